// Helpers for the archive and VFS tests: scratch folders, file bytes, a recording progress and
// WAV files built in code.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "common/file_bytes.h"
#include "common/scoped_env.h"
#include "setup/archive/archive_progress.h"
#include "setup/archive/group_source.h"
#include "setup/io/byte_io.h"

namespace archive_test {

using setupkit_test::ReadBytes;
using setupkit_test::WriteBytes;

// A fresh folder for one test, removed at its end.
using ScratchFolder = setupkit_test::TempFolder;

// A package group whose second entry cannot be read, as a damaged package's would be.
class SecondEntryUnreadable : public TMemoryGroupSource {
 public:
  using TMemoryGroupSource::TMemoryGroupSource;
  std::optional<std::string> Load(int index) override {
    if (index == 1) return std::nullopt;
    return TMemoryGroupSource::Load(index);
  }
};

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

// Keeps every text and step; texts 19, 20, 23 and 29 have their English wording.
class RecordingProgress : public TArchiveProgress {
 public:
  std::u16string Text(int number) override {
    switch (number) {
      case 19:
        return u"Processing <%QXPNAME%>: <%FNUM%> of <%FTOTAL%> files";
      case 20:
        return u"Writing header of <%qxpname%>";
      case 23:
        return u"Setup failed to install.";
      case 29:
        return u"Loading <%QXPNAME%>";
      default:
        return u"text " + std::u16string(1, static_cast<char16_t>(u'0' + number % 10));
    }
  }
  void SetStatus(const std::u16string& text) override { statuses.push_back(text); }
  void SetSecondStatus(const std::u16string& text) override { second_statuses.push_back(text); }
  void StepProgress(bool refresh) override { steps.push_back(refresh); }
  void RequestStop() override { stop_requested = true; }

  std::vector<std::u16string> statuses;
  std::vector<std::u16string> second_statuses;
  std::vector<bool> steps;
  bool stop_requested = false;
};

// A plain 44-byte RIFF/WAVE header followed by `data`, then `after` (more chunks).
inline std::string MakeWav(uint16_t channels, uint32_t rate, uint16_t bits, const std::string& data,
                           const std::string& after = {}) {
  std::string out;
  archive_io::ByteWriter w(out);
  w.Bytes("RIFF");
  w.U32(static_cast<uint32_t>(36 + data.size() + after.size()));
  w.Bytes("WAVEfmt ");
  w.U32(16);
  w.U16(1);
  w.U16(channels);
  w.U32(rate);
  w.U32(rate * channels * bits / 8);
  w.U16(static_cast<uint16_t>(channels * bits / 8));
  w.U16(bits);
  w.Bytes("data");
  w.U32(static_cast<uint32_t>(data.size()));
  w.Bytes(data);
  w.Bytes(after);
  return out;
}

// 16-bit little-endian samples.
inline std::string Samples(const std::vector<int16_t>& values) {
  std::string out;
  archive_io::ByteWriter w(out);
  for (int16_t v : values) w.I16(v);
  return out;
}

// A "cue " chunk with the given sample positions.
inline std::string CueChunk(const std::vector<uint32_t>& positions) {
  std::string out;
  archive_io::ByteWriter w(out);
  w.Bytes("cue ");
  w.U32(static_cast<uint32_t>(4 + 24 * positions.size()));
  w.U32(static_cast<uint32_t>(positions.size()));
  for (size_t i = 0; i < positions.size(); ++i) {
    w.U32(static_cast<uint32_t>(i + 1));
    w.U32(positions[i]);
    w.Bytes("data");
    w.U32(0);
    w.U32(0);
    w.U32(positions[i]);
  }
  return out;
}

inline uint32_t U32At(const std::string& bytes, size_t at) {
  return archive_io::LoadU32(bytes.data() + at);
}

}  // namespace archive_test
