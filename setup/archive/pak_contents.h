// Whole-archive helpers for the people who make and check pak archives (setup-archive, tests):
// building a new archive from files, turning stored entries back into file content, and
// checking an archive from end to start.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "setup/archive/pak_format.h"

namespace pak {

struct NewArchiveOptions {
  TailForm tail = TailForm::kCurrent;
  std::string password;  // the old form keeps at most 9 letters and digits
  uint8_t official = 0;
  uint8_t sine_seed = 3;
  uint8_t cosine_seed = 5;
};

// A complete archive holding the files in order: ".wav" files as sound entries (rejected ones
// are left out), everything else as masked zlib streams. Names are cut to 127 characters.
std::string BuildArchive(const std::vector<std::pair<std::string, std::string>>& files,
                         const NewArchiveOptions& options);

// The file content of a stored entry: zlib entries unmasked and inflated to the full size,
// sound entries decoded back to a PCM WAV file. Nothing when the stored bytes are damaged.
std::optional<std::string> DecodeEntry(const PakRecord& record, std::string stored);

// Everything wrong with the archive at `path`; empty when it reads cleanly (directory, trailer,
// tail, and every record's bytes inside the data area and decodable).
std::vector<std::string> VerifyArchive(const std::string& path);

}  // namespace pak
