#include "server/ServerLog.h"

#include <ctime>

namespace server {

void StreamLog::Write(std::string_view line) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    const std::size_t length = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local);
    std::fwrite(stamp, 1, length, stream_);
    std::fwrite(line.data(), 1, line.size(), stream_);
    std::fputc('\n', stream_);
    std::fflush(stream_);
}

std::string PeerText(std::string_view bytes, std::size_t limit) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = "\"";
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            text += static_cast<char>(c);
        } else {
            text += "\\x";
            text += kHex[c >> 4];
            text += kHex[c & 0xF];
        }
    }
    text += '"';
    if (bytes.size() > limit) text += "...";
    return text;
}

}  // namespace server
