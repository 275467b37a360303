// A compiled script's package as the runtime reads it, for tests and benchmarks that run the
// commands without setupc: the setup information and compiled lines records, then every file the
// script packs, in its group.
#pragma once

#include <string>

#include "setup/commands/script_compiler.h"
#include "setup/core/pak.h"

namespace setupkit_test {

// Adds the entries to a package opened for writing; the caller may add more, then writes the
// directory.
inline void AddCompiledEntries(TPak& writer, const TScriptCompiler& compiler) {
  const std::string info = compiler.SetupInfoBytes();
  const std::string lines = compiler.StoredLinesBytes();
  writer.StoreFromMemory(writer.AddEntry("SetupInfo", "", 0), info.data(), info.size());
  writer.StoreFromMemory(writer.AddEntry("CompiledLines", "", 0), lines.data(), lines.size());
  for (const TPackFile& file : compiler.FilesToPack()) {
    writer.StoreFromFile(writer.AddEntry(file.entry_name, file.source_path, file.group));
  }
}

}  // namespace setupkit_test
