#include "online/MessageReader.h"

#include "online/Brambly.h"
#include "runtime/Text.h"

namespace online {

MessageReader::MessageReader(const Grammar& grammar, std::size_t cap) : grammar_(grammar), cap_(cap) {}

void MessageReader::Append(std::string_view bytes) {
    if (start_ > 0 && start_ == pending_.size()) Clear();
    pending_.append(bytes);
}

std::optional<std::string> MessageReader::Next() { return Cut(false); }

std::optional<std::string> MessageReader::NextAfterIdle() { return Cut(true); }

void MessageReader::Clear() {
    runtime::EmptyBuffer(pending_);
    start_ = 0;
}

std::optional<std::string> MessageReader::Cut(bool idle) {
    while (HoldsBytes()) {
        const std::string_view held = std::string_view(pending_).substr(start_);
        const online::Cut cut = grammar_.Next(held, idle);
        if (cut.kind == Cut::Kind::NeedMore) return std::nullopt;
        // A grammar that asks for nothing or for more than is there would
        // stall or overrun the reader: take at least one byte, at most all.
        const std::size_t length = std::min(std::max<std::size_t>(cut.length, 1), held.size());
        if (cut.kind == Cut::Kind::Skip) {
            skipped_ += length;
            start_ += length;
            continue;
        }
        std::string message(held.substr(0, length));
        start_ += length;
        if (start_ == pending_.size()) {
            Clear();
        } else if (start_ >= 4096) {
            pending_.erase(0, start_);
            start_ = 0;
        }
        return message;
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// What may appear in a number in its plain text form, either decimal point.
bool IsNumberChar(char c) {
    return IsDigit(c) || c == '.' || c == ',' || c == '-' || c == '+' || c == 'E' || c == 'e';
}

}  // namespace

KeywordGrammar::KeywordGrammar(std::vector<Shape> shapes) : shapes_(std::move(shapes)) {}

KeywordGrammar::Match KeywordGrammar::MatchAt(std::string_view pending, std::size_t at, const Shape& shape) const {
    const std::string_view keyword = shape.keyword;
    const std::size_t available = std::min(keyword.size(), pending.size() - at);
    for (std::size_t i = 0; i < available; ++i) {
        const char a = pending[at + i];
        const char b = keyword[i];
        if (shape.anyCase ? Upper(a) != Upper(b) : a != b) return Match::No;
    }
    return available == keyword.size() ? Match::Whole : Match::Partial;
}

KeywordGrammar::Match KeywordGrammar::AnyKeywordAt(std::string_view pending, std::size_t at) const {
    Match best = Match::No;
    for (const Shape& shape : shapes_) {
        const Match m = MatchAt(pending, at, shape);
        if (m == Match::Whole) return m;
        if (m == Match::Partial) best = m;
    }
    return best;
}

bool KeywordGrammar::Plausible(std::string_view pending, std::size_t at, const Shape& shape) {
    const std::size_t tail = at + shape.keyword.size();
    if (tail >= pending.size()) return true;
    const char c = pending[tail];
    switch (shape.tail) {
    case Tail::Digit:
        return IsDigit(c);
    case Tail::Number:
        return IsNumberChar(c);
    case Tail::Frame:
        return IsNumberChar(c) || c == ':';
    case Tail::HorseCode:
    case Tail::HorseCodeDigit:
    case Tail::ScoreCode:
        return CouldStartCode(pending.substr(tail));
    case Tail::None:
    case Tail::Text:
    case Tail::TextDigit:
    case Tail::Bytes:
        break;
    }
    return true;
}

std::size_t KeywordGrammar::NextKeyword(std::string_view pending, std::size_t from) const {
    for (std::size_t at = from; at < pending.size(); ++at) {
        for (const Shape& shape : shapes_) {
            if (MatchAt(pending, at, shape) == Match::Whole && Plausible(pending, at, shape)) return at;
        }
    }
    return std::string_view::npos;
}

Cut KeywordGrammar::Next(std::string_view pending, bool idle) const {
    bool partial = false;
    for (const Shape& shape : shapes_) {
        switch (MatchAt(pending, 0, shape)) {
        case Match::Whole:
            return TailCut(pending, shape, idle);
        case Match::Partial:
            // The keyword may still come whole; after the idle gap a longer
            // literal gives way to a shorter keyword ("WIN:" after "WIN:NO").
            if (!idle) return Cut::More();
            partial = true;
            break;
        case Match::No:
            break;
        }
    }
    // A keyword cut short stays: its rest may still be on its way.
    if (partial) return Cut::More();
    return Resync(pending);
}

Cut KeywordGrammar::Resync(std::string_view pending) const {
    for (std::size_t at = 1; at < pending.size(); ++at) {
        if (AnyKeywordAt(pending, at) != Match::No) return Cut::Drop(at);
    }
    return Cut::Drop(pending.size());
}

Cut KeywordGrammar::TailCut(std::string_view pending, const Shape& shape, bool idle) const {
    const std::size_t k = shape.keyword.size();
    const std::size_t size = pending.size();
    switch (shape.tail) {
    case Tail::None:
        return Cut::Take(k);

    case Tail::Digit:
        if (size > k) return Cut::Take(k + 1);
        return idle ? Cut::Take(k) : Cut::More();

    case Tail::Number: {
        std::size_t end = k;
        while (end < size && end - k <= kMaxNumber && IsNumberChar(pending[end])) ++end;
        if (end - k > kMaxNumber) return Cut::Drop(k);
        if (end < size) return Cut::Take(end);
        return idle ? Cut::Take(size) : Cut::More();
    }

    case Tail::Text:
    case Tail::TextDigit: {
        // A slot digit is at least one character of the tail.
        const std::size_t from = shape.tail == Tail::TextDigit ? k + 1 : k;
        // A slot digit ends the text only where the next message begins
        // right after a digit: "PLAYER>KEITH1" is no name "KEIT" and a frame.
        const std::string_view window = pending.substr(0, std::min(size, k + kMaxText + 1));
        for (std::size_t next = NextKeyword(window, from); next != std::string_view::npos;
             next = NextKeyword(window, next + 1)) {
            if (shape.tail == Tail::Text || IsDigit(pending[next - 1])) return Cut::Take(next);
        }
        if (size - k > kMaxText) return Cut::Drop(k);
        return idle ? Cut::Take(size) : Cut::More();
    }

    case Tail::HorseCode:
    case Tail::HorseCodeDigit:
    case Tail::ScoreCode:
        return CodeCut(pending, k, shape.tail, idle);

    case Tail::Frame: {
        int colons = 0;
        for (std::size_t at = k; at < size && at - k < kMaxFrame; ++at) {
            if (pending[at] == ':' && ++colons == 5) return Cut::Take(at + 1);
        }
        if (size - k >= kMaxFrame) return Cut::Drop(k);
        return idle ? Cut::Take(size) : Cut::More();
    }

    case Tail::Bytes:
        return Cut::Take(size);
    }
    return Cut::Drop(k);
}

Cut KeywordGrammar::CodeCut(std::string_view pending, std::size_t k, Tail tail, bool idle) const {
    const std::size_t size = pending.size();
    const std::string_view body = pending.substr(k);
    const bool score = tail == Tail::ScoreCode;
    const std::size_t maxLength = score ? kMaxScoreCode : kMaxHorseCode;
    const auto whole = [score](std::string_view code) {
        return score ? IsWholeScoreCode(code) : IsWholeHorseCode(code);
    };
    const auto giveUp = [&] {
        // Not a code: the message still ends where the next one begins, or
        // at the silence, and its reader refuses it.
        const Shape text{"", tail == Tail::HorseCodeDigit ? Tail::TextDigit : Tail::Text};
        const Cut cut = TailCut(pending.substr(k), text, idle);
        return cut.kind == Cut::Kind::NeedMore ? cut : Cut{cut.kind, k + cut.length};
    };
    if (!CouldStartCode(body)) return giveUp();

    // Cipher texts come in threes; a code is whole only when it deciphers
    // cleanly to exactly its fields, which a piece of one practically never
    // does. No code here reaches past what deciphers at all, and the slot
    // digit or keyword after a code spoils the group it begins, so at most
    // one end is tried in full: a peer that sends a long almost-code a byte
    // at a time costs each arrival one pass, not one pass per possible end.
    const std::size_t reach = std::min(DecipherableLength(body), maxLength);
    if (tail == Tail::HorseCodeDigit) {
        for (std::size_t length = 3; length <= reach && k + length < size; length += 3) {
            if (IsDigit(pending[k + length]) && whole(body.substr(0, length))) return Cut::Take(k + length + 1);
        }
    } else {
        const std::string_view window = pending.substr(0, std::min(size, k + maxLength + 1));
        for (std::size_t at = NextKeyword(window, k + 3); at != std::string_view::npos && at - k <= reach;
             at = NextKeyword(window, at + 1)) {
            if ((at - k) % 3 == 0 && whole(pending.substr(k, at - k))) return Cut::Take(at);
        }
        if (idle && body.size() % 3 == 0 && body.size() <= reach && whole(body)) return Cut::Take(size);
    }
    if (body.size() > maxLength + 1) return giveUp();
    return idle ? giveUp() : Cut::More();
}

}  // namespace online
