// Conversions between Windows-1252 bytes, UTF-16 and UTF-8 (for the console and Qt).
#pragma once

#include <string>

namespace platform {

std::u16string Cp1252ToUtf16(const std::string& text);
// Characters outside Windows-1252 become '?', as WideCharToMultiByte does.
std::string Utf16ToCp1252(const std::u16string& text);
std::string Cp1252ToUtf8(const std::string& text);
std::string Utf8ToCp1252(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);
std::u16string Utf8ToUtf16(const std::string& text);

}  // namespace platform
