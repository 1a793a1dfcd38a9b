#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "runtime/Text.h"

// The one crossing between game text (Windows-1252 bytes) and widget text.
namespace platform {

inline QString ToQString(std::string_view cp1252) {
    const std::string utf8 = runtime::Cp1252ToUtf8(cp1252);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string FromQString(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return runtime::Utf8ToCp1252(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

// Game text with CR LF line breaks, for a multi-line box.
inline QString ToQStringLines(std::string_view cp1252) {
    QString text = ToQString(cp1252);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

}  // namespace platform
