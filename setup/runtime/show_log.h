// --show-log: an installed product's install log in plain text, so an administrator sees what
// its uninstaller will remove. No Qt.
#pragma once

#include <string>

// WHAT is an install log file (a host path) or an installed product (its Uninstall key or its
// name, as --list-installed shows them; letters A-Z compared without case). Prints the files,
// registry values and folders the log lists, expanded as the uninstaller will expand them, in the
// order it removes them. Answers the exit code: 0, or 2 after one line on standard error for an
// unknown product, a missing log or a damaged one (its checksum does not match, it ends early,
// or its texts are not ones an install writes).
int ShowLogCommand(const std::string& what);
