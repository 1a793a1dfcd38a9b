#pragma once

#include <string>
#include <string_view>

// Text helpers. Game text is bytes in Windows-1252, one byte per character,
// exactly as files, sockets and ciphers carry it; UTF-8 is only for widgets.
namespace runtime {

// Windows-1252 bytes to UTF-8. Every byte maps to one character, the five
// bytes Windows-1252 leaves undefined to the control characters of the same
// number, so the conversion back gives the same bytes.
std::string Cp1252ToUtf8(std::string_view bytes);
// UTF-8 to Windows-1252 bytes; a character that Windows-1252 cannot hold
// becomes "?", and so does a broken UTF-8 sequence.
std::string Utf8ToCp1252(std::string_view utf8);

// Proper case: the first letter of every word upper case, the other letters
// lower case ("sea BREEZE" -> "Sea Breeze"). Words are separated by blanks,
// tabs, line breaks and NUL; Windows-1252 accented letters are cased too.
std::string ProperCase(std::string_view bytes);

// Upper case of Windows-1252 text.
std::string UpperCase(std::string_view bytes);

// Leading and trailing blanks removed (blanks only, as Trim does).
std::string_view Trim(std::string_view text);

// True when the text is empty or holds nothing but blanks.
bool IsBlankText(std::string_view text);

// Empties a buffer of bytes, and gives back its memory when it had grown
// past a few kilobytes: a connection that waits keeps no more than a small
// buffer of what a long burst once needed.
void EmptyBuffer(std::string& buffer);

}  // namespace runtime
