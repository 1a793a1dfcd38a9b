#include "cipher/SeaBottle.h"

#include "runtime/Numbers.h"
#include "runtime/Rounding.h"

namespace cipher {

SeaBottle::SeaBottle(MessageBox showMessage) : showMessage_(std::move(showMessage)) {}

std::int16_t SeaBottle::AverageCharCode(std::string_view text) {
    if (text.empty()) return 0;
    // A wide sum: a long password must not overflow it, and the mean of
    // single-byte codes always fits.
    std::int64_t sum = 0;
    for (const char c : text) sum += static_cast<unsigned char>(c);
    const double mean = static_cast<double>(sum) / static_cast<double>(text.size());
    return static_cast<std::int16_t>(runtime::Round(mean));
}

void SeaBottle::InitialiseCodes(std::string_view Password) {
    if (Password.empty()) {
        if (showMessage_) showMessage_("Must have an encryption password");
        return;
    }
    const int shift = AverageCharCode(Password);
    for (int i = 0; i < 256; ++i) {
        encTable_[i] = static_cast<std::int16_t>(i + shift <= 255 ? i + shift : i + shift - 256);
    }
    for (int i = 0; i < 256; ++i) decTable_[static_cast<std::size_t>(encTable_[i])] = static_cast<std::int16_t>(i);
}

std::int16_t SeaBottle::EncodeChar(char c) const noexcept { return encTable_[static_cast<unsigned char>(c)]; }

char SeaBottle::DecodeCode(int code) const noexcept { return static_cast<char>(decTable_[code]); }

bool SeaBottle::IsOddNumber(std::string_view decimal) noexcept {
    return !decimal.empty() && (decimal.back() - '0') % 2 == 1;
}

std::string SeaBottle::Encrypt(std::string_view InputData) const {
    std::string w = IsOddNumber(runtime::NumberText(static_cast<std::int64_t>(InputData.size()))) ? "ODD" : "EVEN";
    w.append(InputData);

    std::string digits;
    digits.reserve(3 * w.size());
    for (const char c : w) {
        const int code = EncodeChar(c);
        digits += static_cast<char>('0' + code / 100);
        digits += static_cast<char>('0' + code / 10 % 10);
        digits += static_cast<char>('0' + code % 10);
    }

    // Tens from the front, units from the back, meeting in the middle.
    const std::size_t length = digits.size();
    std::string folded(length / 2, '\0');
    for (std::size_t i = 0; i < length / 2; ++i) {
        folded[i] = static_cast<char>(10 * (digits[i] - '0') + (digits[length - 1 - i] - '0'));
    }
    return folded;
}

std::string SeaBottle::Decrypt(std::string_view InputData) const {
    // Unfolding: the first digits of the codes in order, then their last
    // digits in reverse order. A code of 100 or more gives its first and
    // last digit, one below 10 a leading zero.
    const std::size_t count = InputData.size();
    std::string digits(2 * count, '0');
    for (std::size_t i = 0; i < count; ++i) {
        const int code = static_cast<unsigned char>(InputData[i]);
        const int first = code >= 100 ? code / 100 : code / 10;
        digits[i] = static_cast<char>('0' + first);
        digits[2 * count - 1 - i] = static_cast<char>('0' + code % 10);
    }
    if (digits.size() % 3 != 0) return {};

    std::string result;
    result.reserve(digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); i += 3) {
        const int k = 100 * (digits[i] - '0') + 10 * (digits[i + 1] - '0') + (digits[i + 2] - '0');
        if (k > 255) return {};
        result += DecodeCode(k);
    }

    const std::string_view text = result;
    if (text.starts_with("ODD")) return result.substr(3);
    if (text.starts_with("EVEN")) return result.substr(4);
    return result;
}

}  // namespace cipher
