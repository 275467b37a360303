// Process and system information: language, operating system, memory, clocks, environment, exit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// GetSystemDefaultLangID from LC_ALL / LC_MESSAGES / LANG (cs_CZ 0x0405, en_GB 0x0809, en_US
// 0x0409, ...), overridden by SETUP_LANGID (hex); 0x0409 when nothing matches.
uint16_t GetSystemDefaultLangId();

struct OsVersion {
  std::string product_name;  // NAME from /etc/os-release ("Debian GNU/Linux")
  std::string edition;       // VERSION from /etc/os-release ("12 (bookworm)")
  uint32_t major = 0;        // kernel release numbers
  uint32_t minor = 0;
  uint32_t build = 0;
  std::string service_pack;  // empty here
};
OsVersion GetOsVersion();

uint64_t PhysicalMemoryBytes();
uint64_t AvailableMemoryBytes();
uint32_t GetTickCount();  // milliseconds since an arbitrary start, wrapping
uint64_t ReadTimeStampCounter();
void Sleep(uint32_t milliseconds);
// GetEnvironmentStringsA: "NAME=value" texts, in Windows-1252 like every 8-bit text.
std::vector<std::string> EnvironmentStrings();
std::string GetEnvironmentVariable(const std::string& name);
// The user name of the per-user folders: $USER, else "user".
std::string GetUserName();

// Ends the process at once with the exit code, without running destructors (ExitProcess). The
// handlers registered with std::at_quick_exit run (a terminal gets its modes back there).
[[noreturn]] void ExitProcess(int exit_code);

}  // namespace platform
