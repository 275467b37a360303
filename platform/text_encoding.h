// Conversions between Windows-1252 bytes, UTF-16 and UTF-8 (for the console and Qt).
#pragma once

#include <optional>
#include <string>

namespace platform {

std::u16string Cp1252ToUtf16(const std::string& text);
// Characters outside Windows-1252 become '?', as WideCharToMultiByte does.
std::string Utf16ToCp1252(const std::u16string& text);
std::string Cp1252ToUtf8(const std::string& text);
std::string Utf8ToCp1252(const std::string& text);
// Nothing when TEXT is not valid UTF-8 or holds a character Windows-1252 has no byte for (so a
// host file name that could not be spelled back is never turned into a wrong one).
std::optional<std::string> Utf8ToCp1252Exact(const std::string& text);
// For messages that name host files: a character without a byte is written "<U+XXXX>" (a
// malformed byte "<XX>"), so the name can still be told from any other.
std::string Utf8ToCp1252Escaped(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);
std::u16string Utf8ToUtf16(const std::string& text);

}  // namespace platform
