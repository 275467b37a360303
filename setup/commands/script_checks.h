// Checks of script lines that the compile side makes beyond each command's own: words that the
// run would take as plain text where the author meant a path variable.
#pragma once

#include <optional>
#include <string>
#include <vector>

// How the run side uses an argument: not expanded, a path the file system is given, or a value
// (registry data, program parameters, link arguments, message texts).
enum class ArgumentUse { kText, kPath, kValue };
ArgumentUse ArgumentUseOf(const std::string& command, size_t index);

// The first "$NAME" in TEXT (a '$' followed by a letter, then letters, digits and '_') that no
// path variable of the run ($INSTDIR, $INSTALLDIR, $SMPROGRAMS, $PROGRAMFILES, $DESKTOP,
// $CDDRIVE, $LANGUAGESELECTION, letter case ignored) begins; nothing when every one is known. A
// '$' before a digit or a blank ("$5", "US $") is text. In a value only a "$NAME\" that begins a
// folder counts: "--greet $HOME" may be meant for the program as it stands.
std::optional<std::string> UnknownPathVariable(const std::string& text, ArgumentUse use);

// The path variables, as a list for messages ("$INSTDIR, $INSTALLDIR, ...").
std::string PathVariableList();
