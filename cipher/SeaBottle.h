#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace cipher {

// The text cipher of the horse and score codes. Each character code is
// shifted by the mean code of the password, written as three decimal
// digits, and the digit string is folded from both ends into characters of
// codes 0 to 99 (NUL, CR and LF among them: the cipher text is bytes).
//
// Set the password with InitialiseCodes before Encrypt and Decrypt; both
// ends must use the same one.
class SeaBottle {
public:
    // Shows a message box with an OK button to the player; the game wires
    // this to its dialogs.
    using MessageBox = std::function<void(const std::string& prompt)>;

    // Tables all 0 until a password is set.
    explicit SeaBottle(MessageBox showMessage = {});

    // "ODD" or "EVEN" by the parity of the text's length, then the text,
    // enciphered: 3 * (n + 3) / 2 characters for an odd length n,
    // 3 * (n + 4) / 2 for an even one.
    std::string Encrypt(std::string_view InputData) const;
    // The text back, or the empty text when InputData is not a cipher text
    // (its length is not a multiple of 3, or a code above 255 comes out).
    std::string Decrypt(std::string_view InputData) const;

    // Fills the tables from the password's mean character code (ties to
    // even). The empty password shows "Must have an encryption password"
    // and keeps the tables as they are.
    void InitialiseCodes(std::string_view Password);

    const std::array<std::int16_t, 256>& EncTable() const noexcept { return encTable_; }
    const std::array<std::int16_t, 256>& DecTable() const noexcept { return decTable_; }

private:
    static std::int16_t AverageCharCode(std::string_view text);
    std::int16_t EncodeChar(char c) const noexcept;
    char DecodeCode(int code) const noexcept;
    static bool IsOddNumber(std::string_view decimal) noexcept;

    MessageBox showMessage_;
    std::array<std::int16_t, 256> encTable_{};
    std::array<std::int16_t, 256> decTable_{};
};

}  // namespace cipher
