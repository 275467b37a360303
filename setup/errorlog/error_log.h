// The last-resort error report: writes a numbered report file into the temporary folder, tells
// the user where it is, opens it, and ends the process with exit code 2.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Error types the callers pass.
inline constexpr const char* kErrorTypeVerification = "Verification Stage";
inline constexpr const char* kErrorTypeSetupThread = "Setup Thread";

// Exit code of a process ended by the error report.
inline constexpr int kErrorLogExitCode = 2;

// Writes the report, shows the "Error Report" message, opens the report (not when SetupState
// says unattended) and ends the process. May be called from any thread; only the first call
// proceeds, later and concurrent calls block until the process ends.
[[noreturn]] void WriteErrorLog(const std::string& message, const std::string& error_type = "");

// What the report holds; collected from the shared state, or built by tests.
struct ErrorLogContents {
  std::string setup_name;
  std::string setup_exe_name;
  std::string pak_id;  // the four magic characters as read, empty when no package is open
  uint32_t pak_version = 0;
  uint32_t pak_count = 0;
  std::string error_type;  // empty: "Unknown"
  std::string error_text;
  std::vector<std::string> params;  // command-line parameters from the first on
  std::string product;              // product name + " " + edition
  uint32_t build_number = 0;
  std::string service_pack;
  uint32_t service_pack_major = 0;
  uint32_t service_pack_minor = 0;
  uint64_t physical_memory_bytes = 0;
  int cpu_mhz = 0;
};

// Collects the contents from SetupState, the package, TOSInfo and the clock (takes about one
// second: two clock measurements).
ErrorLogContents CollectErrorLogContents(const std::string& message, const std::string& error_type);
// The report text, lines ending in CR LF.
std::string FormatErrorLog(const ErrorLogContents& contents);
// The "Params" value: upper-cased parameters separated by blanks; "/J" and the two parameters
// after it are written as "/j X X.X.X.X".
std::string FormatParams(const std::vector<std::string>& params);
// "ErrorLog" + the number with at least four digits + ".TXT".
std::string ErrorLogFileName(uint32_t number);
// The message box text.
std::string ErrorReportMessage(const std::string& message, const std::string& error_type,
                               const std::string& log_path);
