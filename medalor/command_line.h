// Command-line mode: composes and saves one sheet without opening a window.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "medalor/sheet_composer.h"

namespace medalor {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 2;

// Whether the arguments (without the program name) ask for command-line mode.
bool IsSheetCommand(const std::vector<std::string>& args);

// Runs `--sheet OUT.png [--badges NAME,...] [--per-row N] [--background NAME]
// [--half-size --filter NAME]` with the given composer, whose folders it reads. Without
// --badges every badge of the catalogue is used. Answers the exit code: 0 when the file was
// written, 2 with a message on `err` for a bad argument, a missing badge or background, or a
// picture or file that cannot be read or written.
int RunSheetCommand(const std::vector<std::string>& args, TSheetComposer& composer,
                    std::ostream& out, std::ostream& err);

std::string SheetCommandUsage();

}  // namespace medalor
