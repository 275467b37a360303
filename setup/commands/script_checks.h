// Checks of script lines that the compile side makes beyond each command's own: words that the
// run would take as plain text where the author meant a path variable.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The first "$NAME" in TEXT (a '$' followed by a letter, then letters, digits and '_') that no
// path variable of the run ($INSTDIR, $INSTALLDIR, $SMPROGRAMS, $PROGRAMFILES, $DESKTOP,
// $CDDRIVE, $LANGUAGESELECTION, letter case ignored) begins; nothing when every one is known. A
// '$' before a digit or a blank ("$5", "US $") is text.
std::optional<std::string> UnknownPathVariable(const std::string& text);

// The path variables, as a list for messages ("$INSTDIR, $INSTALLDIR, ...").
std::string PathVariableList();

// Whether the run side of COMMAND passes argument INDEX (0-based, as written) through the path
// expansion, so a variable in it means something.
bool ArgumentIsExpanded(const std::string& command, size_t index);
