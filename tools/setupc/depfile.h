// The make-style dependency file setupc writes with --depfile, so a build system compiles the
// installer again when its script or a file it packs changes.
#pragma once

#include <string>
#include <vector>

namespace setupc {

// "TARGET: DEP..." with the characters make and ninja treat specially escaped; one dependency
// per continued line, each named once, in the order given.
std::string DepfileText(const std::string& target, const std::vector<std::string>& dependencies);

// Writes the text to PATH through a temporary file; false when it cannot.
bool WriteDepfile(const std::string& path, const std::string& text);

}  // namespace setupc
