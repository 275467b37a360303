// Small services the command classes share: argument access, jump targets, language texts
// with a file name, path joining and registry root selection.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"
#include "setup/core/compiled_lines.h"

// The argument's value as a jump target: its integer value, or -1 when it is not a number.
int32_t JumpTarget(const TCompLine& line, int argument);

// Text `number` of the current language table with "<%FILENAME%>" replaced by `file_name`.
std::u16string TextWithFileName(int number, const std::string& file_name);

// Joins a folder and a relative part with exactly one backslash between them.
std::string JoinPath(const std::string& folder, const std::string& part);
// The folder part of a path, with its final backslash ("C:\a\b.txt" gives "C:\a\").
std::string ExtractFilePath(const std::string& path);
// The name after the last backslash, slash or colon.
std::string ExtractFileName(const std::string& path);

// The registry root for a short name (HKLM, HKCU, HKCR, HKU, HKCC, any case); any other name
// selects HKEY_LOCAL_MACHINE.
platform::RootKey RootFromShortName(const std::string& name);

// A registry record of the uninstall list: four double-quoted parts separated by blanks.
std::string RegistryRecord(const std::string& root, const std::string& key,
                           const std::string& value_name, const std::string& value);

// The script's `failure` line: text 23 on the second status line and the stop requested; what
// the run did is kept, the closing steps run and the run is committed.
void StopRunAsScriptAsks();
// A step of the kit's own failed (a damaged package, a write): text 23 on the second status
// line and the stop requested; the run is undone.
void StopRunWithFailure();

// A step of the run failed: the run stops as StopRunWithFailure stops it, and `what` followed
// by ": " and the system's reason for the current errno becomes the run's failure message
// ("Cannot write C:\x\a.dll: No space left on device"). Call it right after the failing
// operation, before anything else can change errno.
void FailStep(const std::string& what);

// A step the script may meet on a machine as it is (a rename onto a name that exists, a copy of
// a missing file, a program that cannot start): the run goes on. `what` followed by ": " and the
// reason for the current errno goes into the run log as a warning and, unattended, as one
// "setup: warning:" line on standard error.
void WarnStep(const std::string& what);
