// Deciphering untrusted bytes: any input is either deciphered to a length
// the layout allows or refused with the size-descriptor error, untouched.
// The same bytes as plain data, under a key taken from the input, must
// encipher and decipher back whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cipher/DABlowfish.h"
#include "runtime/Error.h"

namespace {

void CheckDeciphering(cipher::DABlowfish& blowfish, const std::string& input) {
    std::string bytes = input;
    try {
        blowfish.DecryptByte(bytes);
    } catch (const runtime::Error& error) {
        if (error.Description() != cipher::kSizeDescriptorText || bytes != input) std::abort();
        return;
    }
    const std::size_t overhead = input.size() - bytes.size();
    if (bytes.size() > input.size() || overhead < 12 || overhead > 19) std::abort();
}

void CheckRoundTrip(cipher::DABlowfish& blowfish, const std::string& input) {
    // First byte: the key length; then the key; the rest is the plain data.
    const std::size_t keyLength = input.empty() ? 0 : static_cast<unsigned char>(input[0]) % 16;
    const std::string key = input.substr(input.empty() ? 0 : 1, keyLength);
    std::string bytes = input;
    blowfish.EncryptByte(bytes, key);
    blowfish.DecryptByte(bytes, key);
    if (bytes != input) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static cipher::DABlowfish pelmora = [] {
        cipher::DABlowfish keyed;
        keyed.Key("Pelmora");
        return keyed;
    }();
    static cipher::DABlowfish anyKey;
    const std::string input(reinterpret_cast<const char*>(data), size);
    CheckDeciphering(pelmora, input);
    CheckRoundTrip(anyKey, input);
    return 0;
}
