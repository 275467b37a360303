// libFuzzer harness for the .lnk reader: any bytes are refused or read without a crash, and a
// link that was read writes out and reads back to the same fields. The input is the link file,
// held in memory; the written copy goes to a second memory file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "fuzz/memory_file.h"
#include "platform/shell.h"

namespace {

bool SameLink(const platform::ShellLink& a, const platform::ShellLink& b) {
  return a.target == b.target && a.arguments == b.arguments &&
         a.working_directory == b.working_directory && a.show_command == b.show_command &&
         a.icon_location == b.icon_location && a.icon_index == b.icon_index &&
         a.description == b.description;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemoryFile input;
  static fuzz::MemoryFile copy;
  input.Fill(data, size);
  const std::optional<platform::ShellLink> link = platform::ReadShellLink(input.Path());
  if (!link) return 0;
  copy.Fill(nullptr, 0);
  if (platform::WriteShellLink(copy.Path(), *link)) {
    const std::optional<platform::ShellLink> again = platform::ReadShellLink(copy.Path());
    if (!again || !SameLink(*again, *link)) std::abort();
  }
  return 0;
}
