// libFuzzer harness for every reader of stored package data: the package trailer, directory and
// entries, the setup information record and the compiled lines. Build with clang, for example:
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address -I. fuzz/pak_reader_fuzz.cpp \
//     setup/core/{pak_reader,pak_writer,buffer_manager,crc32,setup_info,compiled_lines}.cpp \
//     platform/*.cpp -lz -lcrypto -o pak_reader_fuzz
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/files.h"
#include "platform/message_box.h"
#include "setup/core/compiled_lines.h"
#include "setup/core/pak.h"
#include "setup/core/setup_error.h"
#include "setup/core/setup_info.h"

namespace {

class SilentPresenter : public platform::MessageBoxPresenter {
 public:
  int Show(const std::string&, const std::string&, uint32_t) override { return platform::kIdOk; }
};

const std::string& InputPath() {
  static const std::string path = [] {
    platform::SetPresenter(std::make_shared<SilentPresenter>());
    return (std::filesystem::temp_directory_path() /
            ("pak_reader_fuzz." + std::to_string(getpid())))
        .string();
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TSetupInfoFile info;
  info.ReadFromBuffer(data, size);
  TCompLines lines;
  lines.LoadFromBuffer(data, size);

  // A fresh file per input: truncating and rewriting one file forces it to disk on some file
  // systems, which would slow every run down to the disk's pace.
  static uint64_t counter = 0;
  const std::string path = InputPath() + "." + std::to_string(counter++);
  if (!platform::WriteFileBytes(path, data, size)) return 0;
  struct Remove {
    const std::string& path;
    ~Remove() { platform::DeleteFile(path); }
  } remove{path};
  TPak pak(path, false, false);
  for (int i = 0; i < pak.EntryCount(); ++i) {
    try {
      pak.VerifyEntry(i);
      pak.LoadEntry(i);
    } catch (const SetupError&) {
      // A stream that passes its CRC but does not inflate is raised by design.
    }
  }
  for (TGroupItem item = pak.FirstInGroup(1, false); item.found; item = pak.NextInGroup(1, false)) {
  }
  return 0;
}
