// Case folding of Windows-1252 text, the code page of every 8-bit name the kit stores: package
// entries, archive and VFS paths, script labels. ASCII letters and the accented capitals of the
// code page (0xC0-0xDE without the multiplication sign, S and Z caron, OE, Y diaeresis) become
// their small letters; every other byte stays.
#pragma once

#include <string>
#include <string_view>

char LowerCp1252(char c);
std::string LowerCp1252(std::string_view text);
// Whether the texts are equal once both are folded.
bool SameTextCp1252(std::string_view a, std::string_view b);
