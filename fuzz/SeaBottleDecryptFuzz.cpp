// The text cipher on untrusted bytes: Decrypt returns (the empty text for
// anything malformed), and any text enciphers to codes below 100 and
// deciphers back whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cipher/SeaBottle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const cipher::SeaBottle bottle = [] {
        cipher::SeaBottle keyed;
        keyed.InitialiseCodes("Pelmora");
        return keyed;
    }();
    const std::string input(reinterpret_cast<const char*>(data), size);

    const std::string plain = bottle.Decrypt(input);
    if (plain.size() > 2 * input.size() / 3) std::abort();

    const std::string enciphered = bottle.Encrypt(input);
    for (const char c : enciphered) {
        if (static_cast<unsigned char>(c) >= 100) std::abort();
    }
    if (bottle.Decrypt(enciphered) != input) std::abort();
    return 0;
}
