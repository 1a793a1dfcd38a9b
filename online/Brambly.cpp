#include "online/Brambly.h"

#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "cipher/SeaBottle.h"
#include "runtime/Numbers.h"
#include "runtime/Rounding.h"

namespace online {

namespace {

const cipher::SeaBottle& CodeCipher() {
    static const cipher::SeaBottle bottle = [] {
        cipher::SeaBottle b;
        b.InitialiseCodes(kCodeKey);
        return b;
    }();
    return bottle;
}

std::string Field(std::string_view text) { return std::string(text) + ':'; }
std::string Field(std::int64_t value) { return runtime::NumberText(value) + ':'; }
std::string Field(double value) { return runtime::NumberText(value) + ':'; }

// The fields of a plain code: each is the text up to the next ":". Nothing
// when the text runs out first. `exact`: nothing may follow the last field.
std::optional<std::vector<std::string_view>> SplitFields(std::string_view plain, int count, bool exact) {
    std::vector<std::string_view> fields;
    fields.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const auto colon = plain.find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        fields.push_back(plain.substr(0, colon));
        plain.remove_prefix(colon + 1);
    }
    if (exact && !plain.empty()) return std::nullopt;
    return fields;
}

// A whole number of the field's type, rounded ties to even as the game's own
// conversions round. Empty text, text that is no number, a value that is
// not finite or out of the type's range: nothing.
template <class Whole>
std::optional<Whole> WholeField(std::string_view text) {
    const auto value = runtime::ParseNumberAcceptingComma(text);
    if (!value) return std::nullopt;
    const double r = runtime::Round(*value);
    if (!(r >= static_cast<double>(std::numeric_limits<Whole>::min()) &&
          r <= static_cast<double>(std::numeric_limits<Whole>::max()))) {
        return std::nullopt;
    }
    return static_cast<Whole>(r);
}

std::optional<double> RealField(std::string_view text) {
    const auto value = runtime::ParseNumberAcceptingComma(text);
    if (!value || !std::isfinite(*value)) return std::nullopt;
    return value;
}

// The carried fields of a horse read into a copy of `base`.
std::optional<core::HorseRec> ReadHorse(std::string_view plain, const core::HorseRec& base, bool exact) {
    const auto f = SplitFields(plain, kHorseCodeFields, exact);
    if (!f) return std::nullopt;
    const auto confidence = WholeField<std::int32_t>((*f)[0]);
    const auto colour = WholeField<std::int32_t>((*f)[2]);
    const auto oddsLeft = WholeField<std::int32_t>((*f)[5]);
    const auto oddsRight = WholeField<std::int32_t>((*f)[6]);
    const auto rrp = RealField((*f)[7]);
    const auto sex = WholeField<std::int32_t>((*f)[8]);
    const auto speed = WholeField<std::int32_t>((*f)[9]);
    const auto stamina = WholeField<std::int32_t>((*f)[10]);
    const auto start = WholeField<std::int16_t>((*f)[11]);
    const auto end = WholeField<std::int16_t>((*f)[12]);
    if (!confidence || !colour || !oddsLeft || !oddsRight || !rrp || !sex || !speed || !stamina || !start || !end) {
        return std::nullopt;
    }
    core::HorseRec horse = base;
    horse.Confidence = *confidence;
    horse.Father = std::string((*f)[1]);
    horse.Colour = *colour;
    horse.Mother = std::string((*f)[3]);
    horse.Name = std::string((*f)[4]);
    horse.OddsLeft = *oddsLeft;
    horse.OddsRight = *oddsRight;
    horse.RRP = *rrp;
    horse.Sex = *sex;
    horse.Speed = *speed;
    horse.Stamina = *stamina;
    horse.Start = *start;
    horse.End = *end;
    return horse;
}

std::optional<ScoreRecord> ReadScore(std::string_view plain, bool exact) {
    const auto f = SplitFields(plain, kScoreCodeFields, exact);
    if (!f) return std::nullopt;
    const auto level = WholeField<std::int32_t>((*f)[1]);
    const auto won = WholeField<std::int32_t>((*f)[2]);
    const auto lost = WholeField<std::int32_t>((*f)[3]);
    const auto wager = RealField((*f)[4]);
    if (!level || !won || !lost || !wager) return std::nullopt;
    return ScoreRecord{std::string((*f)[0]), *level, *won, *lost, *wager};
}

}  // namespace

std::optional<std::string> DecipherCode(std::string_view code) {
    if (code.empty()) return std::nullopt;
    const cipher::SeaBottle& bottle = CodeCipher();
    // The cipher hands back "" both for a refused text and for an empty
    // one; re-enciphering tells them apart and checks the length marker.
    std::string plain = bottle.Decrypt(code);
    if (bottle.Encrypt(plain) != code) return std::nullopt;
    return plain;
}

bool CouldStartCode(std::string_view firstBytes) {
    if (firstBytes.size() < 3) return true;
    // The first three digits of the unfolded text are the tens of the first
    // three bytes whatever the code's length: together the first character
    // of the length marker, "O" or "E".
    int k = 0;
    for (int i = 0; i < 3; ++i) {
        const int b = static_cast<unsigned char>(firstBytes[static_cast<std::size_t>(i)]);
        k = 10 * k + (b >= 100 ? b / 100 : b / 10);
    }
    if (k > 255) return false;
    const char first = static_cast<char>(CodeCipher().DecTable()[static_cast<std::size_t>(k)]);
    return first == 'O' || first == 'E';
}

std::size_t DecipherableLength(std::string_view bytes) {
    // Deciphering unfolds the bytes into the first digits of all of them in
    // order, then their last digits in reverse, and reads that three digits
    // at a time. For a prefix of whole groups both halves split at group
    // boundaries: each group of three bytes gives one number from its first
    // digits and one from its last digits (read backwards), and any number
    // above 255 is no character.
    const auto first = [](unsigned char b) { return b >= 100 ? b / 100 : b / 10; };
    const auto last = [](unsigned char b) { return b % 10; };
    std::size_t length = 0;
    for (; length + 3 <= bytes.size(); length += 3) {
        const auto a = static_cast<unsigned char>(bytes[length]);
        const auto b = static_cast<unsigned char>(bytes[length + 1]);
        const auto c = static_cast<unsigned char>(bytes[length + 2]);
        if (100 * first(a) + 10 * first(b) + first(c) > 255) break;
        if (100 * last(c) + 10 * last(b) + last(a) > 255) break;
    }
    return length;
}

std::string EncodeHorseCode(const core::HorseRec& horse) {
    std::string plain;
    plain += Field(static_cast<std::int64_t>(horse.Confidence));
    plain += Field(horse.Father);
    plain += Field(static_cast<std::int64_t>(horse.Colour));
    plain += Field(horse.Mother);
    plain += Field(horse.Name);
    plain += Field(static_cast<std::int64_t>(horse.OddsLeft));
    plain += Field(static_cast<std::int64_t>(horse.OddsRight));
    plain += Field(horse.RRP);
    plain += Field(static_cast<std::int64_t>(horse.Sex));
    plain += Field(static_cast<std::int64_t>(horse.Speed));
    plain += Field(static_cast<std::int64_t>(horse.Stamina));
    plain += Field(static_cast<std::int64_t>(horse.Start));
    plain += Field(static_cast<std::int64_t>(horse.End));
    return CodeCipher().Encrypt(plain);
}

bool DecodeHorseCode(std::string_view code, core::HorseRec& horse) {
    const auto plain = DecipherCode(code);
    if (!plain) return false;
    const auto decoded = ReadHorse(*plain, horse, false);
    if (!decoded) return false;
    horse = *decoded;
    return true;
}

std::string EncodeScoreCode(const ScoreRecord& score) {
    std::string plain;
    plain += Field(score.Name);
    plain += Field(static_cast<std::int64_t>(score.Level));
    plain += Field(static_cast<std::int64_t>(score.LANwon));
    plain += Field(static_cast<std::int64_t>(score.LANlost));
    plain += Field(score.LANwager);
    return CodeCipher().Encrypt(plain);
}

std::optional<ScoreRecord> DecodeScoreCode(std::string_view code) {
    const auto plain = DecipherCode(code);
    if (!plain) return std::nullopt;
    return ReadScore(*plain, false);
}

bool IsWholeHorseCode(std::string_view code) {
    const auto plain = DecipherCode(code);
    return plain && ReadHorse(*plain, core::HorseRec{}, true).has_value();
}

bool IsWholeScoreCode(std::string_view code) {
    const auto plain = DecipherCode(code);
    return plain && ReadScore(*plain, true).has_value();
}

}  // namespace online
