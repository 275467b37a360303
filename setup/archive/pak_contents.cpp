#include "setup/archive/pak_contents.h"

#include "platform/files.h"
#include "setup/archive/sound_entry.h"
#include "setup/io/archive_text.h"
#include "setup/io/cp1252_case.h"
#include "setup/io/zlib_stream.h"

namespace pak {

namespace {

bool IsWavName(const std::string& name) {
  size_t at = name.find_last_of(".\\/:");
  return at != std::string::npos && name[at] == '.' && LowerCp1252(name.substr(at)) == ".wav";
}

}  // namespace

std::string BuildArchive(const std::vector<std::pair<std::string, std::string>>& files,
                         const NewArchiveOptions& options) {
  std::string out;
  std::vector<PakRecord> records;
  for (const auto& [name, content] : files) {
    PakRecord r;
    std::string stored;
    if (IsWavName(name)) {
      std::optional<std::string> sound = sound_entry::EncodeSoundEntry(content, name);
      if (!sound) continue;
      stored = std::move(*sound);
      r.kind = kKindSound;
    } else {
      stored = archive_io::ZlibCompress(content);
      ApplyMask(stored);
      r.kind = kKindZlib;
    }
    r.date = archive_io::TodayDosDate();
    r.stored_size = static_cast<uint32_t>(stored.size());
    r.full_size = static_cast<uint32_t>(content.size());
    r.offset = static_cast<uint32_t>(out.size());
    r.name = name.substr(0, kMaxNameLength);
    out += stored;
    records.push_back(std::move(r));
  }
  out += EncodeDirectoryAndTrailer(records);
  switch (options.tail) {
    case TailForm::kNone:
      break;
    case TailForm::kOld: {
      std::string field = options.password.substr(0, 9);
      field.resize(9, '\0');
      out += "QXP2" + field;
      break;
    }
    case TailForm::kCurrent:
      out += EncodeTail(options.password, options.official, options.sine_seed, options.cosine_seed);
      break;
  }
  return out;
}

std::optional<std::string> DecodeEntry(const PakRecord& record, std::string stored) {
  if (record.kind == kKindSound) return sound_entry::DecodeSoundEntry(stored);
  if (record.kind != kKindZlib) return std::nullopt;
  ApplyMask(stored);
  return archive_io::ZlibInflateExact(stored, record.full_size);
}

std::vector<std::string> VerifyArchive(const std::string& path) {
  std::vector<std::string> problems;
  std::optional<platform::File> file = platform::File::Open(path, platform::File::Mode::kRead);
  if (!file) return {"cannot open " + path};
  std::string error;
  std::optional<PakLayout> layout = ReadLayout(*file, &error);
  if (!layout) return {error};
  if (layout->tail.form == TailForm::kCurrent && layout->tail.info_id != "EIH1" &&
      layout->tail.info_id != "EIH2") {
    problems.push_back("the information block after \"QXP3\" is neither EIH1 nor EIH2");
  }
  for (size_t i = 0; i < layout->records.size(); ++i) {
    const PakRecord& r = layout->records[i];
    const std::string label = "record " + std::to_string(i) + " (" + r.name + ")";
    if (r.marker != kRecordMarker) problems.push_back(label + ": wrong record marker");
    if (!RecordInData(r, layout->directory_start)) {
      problems.push_back(label + ": stored bytes lie outside the data area");
      continue;
    }
    std::string stored(r.stored_size, '\0');
    if (!file->Seek(r.offset) || !file->ReadExact(stored.data(), stored.size())) {
      problems.push_back(label + ": stored bytes cannot be read");
      continue;
    }
    if (r.kind != kKindSound && r.kind != kKindZlib) {
      problems.push_back(label + ": unknown kind " + std::to_string(r.kind));
    } else if (!DecodeEntry(r, std::move(stored))) {
      problems.push_back(label + ": stored bytes do not decode");
    }
  }
  return problems;
}

}  // namespace pak
