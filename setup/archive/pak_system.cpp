#include "setup/archive/pak_system.h"

#include "platform/ascii_case.h"
#include "platform/checksum.h"
#include "platform/message_box.h"
#include "setup/archive/archive_progress.h"
#include "setup/archive/group_source.h"
#include "setup/archive/sound_entry.h"
#include "setup/core/setup_error.h"
#include "setup/io/archive_text.h"
#include "setup/io/byte_io.h"
#include "setup/io/cp1252_case.h"
#include "setup/io/zlib_stream.h"

namespace {

constexpr char kJournalMagic[] = "QXPJ";
constexpr uint32_t kJournalVersion = 1;
constexpr size_t kJournalHeaderSize = 4 + 4 + 8 + 8 + 4;

// The extension from the last "." that comes after the last path separator, upper-cased.
std::string UpperExtension(const std::string& name) {
  size_t at = name.find_last_of(".\\/:");
  if (at == std::string::npos || name[at] != '.') return {};
  return platform::AsciiUpper(std::string_view(name).substr(at));
}

std::string JournalPath(const std::string& path) { return path + kJournalSuffix; }

// Retires a journal once the archive it guards is complete again. Should deleting fail, the
// journal is emptied instead: an empty journal is discarded, never restored from, so a finished
// update cannot be undone by a stale journal.
void RetireJournal(const std::string& path) {
  const std::string journal = JournalPath(path);
  if (platform::DeleteFile(journal) || !platform::FileExists(journal)) return;
  if (auto emptied = platform::File::Open(journal, platform::File::Mode::kCreate)) {
    emptied->Flush();
  }
}

// Journal: magic, version, cut offset, original size, saved length, saved bytes, CRC-32 of all
// bytes before it.
std::string EncodeJournal(uint64_t cut_offset, uint64_t original_size, const std::string& saved) {
  std::string out;
  archive_io::ByteWriter w(out);
  w.Bytes(std::string_view(kJournalMagic, 4));
  w.U32(kJournalVersion);
  w.U32(static_cast<uint32_t>(cut_offset));
  w.U32(static_cast<uint32_t>(cut_offset >> 32));
  w.U32(static_cast<uint32_t>(original_size));
  w.U32(static_cast<uint32_t>(original_size >> 32));
  w.U32(static_cast<uint32_t>(saved.size()));
  w.Bytes(saved);
  w.U32(platform::Crc32(0, out.data(), out.size()));
  return out;
}

struct Journal {
  uint64_t cut_offset = 0;
  uint64_t original_size = 0;
  std::string saved;
};

std::optional<Journal> DecodeJournal(const std::string& bytes) {
  if (bytes.size() < kJournalHeaderSize + 4) return std::nullopt;
  archive_io::ByteReader r(bytes);
  if (r.Bytes(4) != std::string_view(kJournalMagic, 4) || r.U32() != kJournalVersion) {
    return std::nullopt;
  }
  Journal j;
  j.cut_offset = r.U32();
  j.cut_offset |= static_cast<uint64_t>(r.U32()) << 32;
  j.original_size = r.U32();
  j.original_size |= static_cast<uint64_t>(r.U32()) << 32;
  uint32_t length = r.U32();
  j.saved = std::string(r.Bytes(length));
  size_t covered = r.position();
  uint32_t crc = r.U32();
  if (!r.ok() || r.remaining() != 0 || crc != platform::Crc32(0, bytes.data(), covered)) {
    return std::nullopt;
  }
  if (j.saved.size() != j.original_size - std::min(j.original_size, j.cut_offset) ||
      j.cut_offset > j.original_size) {
    return std::nullopt;
  }
  return j;
}

// Cuts the file at `cut_offset` and writes `saved` after it, then flushes.
bool RestoreEnd(platform::File& file, uint64_t cut_offset, const std::string& saved) {
  return file.Truncate(cut_offset) && file.Seek(cut_offset) &&
         file.Write(saved.data(), saved.size()) && file.Flush() &&
         file.Size() == cut_offset + saved.size();
}

}  // namespace

TPakSystem::TPakSystem(TArchiveProgress& progress)
    : progress_(progress), random_(std::random_device{}()) {}

std::string TPakSystem::ArchivePath(const std::string& install_dir, const std::string& name) {
  if (!install_dir.empty() && (install_dir.back() == '\\' || install_dir.back() == '/')) {
    return install_dir + name;
  }
  // A host folder (as tools and tests give) keeps host separators.
  if (!install_dir.empty() && install_dir.front() == '/') return install_dir + "/" + name;
  return install_dir + "\\" + name;
}

bool TPakSystem::RecoverFromJournal(const std::string& path) {
  const std::string journal_path = JournalPath(path);
  if (!platform::FileExists(journal_path)) return false;
  std::optional<std::string> bytes = platform::ReadFileBytes(journal_path);
  std::optional<Journal> journal = bytes ? DecodeJournal(*bytes) : std::nullopt;
  if (!journal) {
    // A journal is complete before anything is cut; an incomplete one means the archive was
    // never touched.
    platform::DeleteFile(journal_path);
    return false;
  }
  std::optional<platform::File> file = platform::File::Open(path, platform::File::Mode::kReadWrite);
  if (!file) return false;
  std::optional<uint64_t> size = file->Size();
  if (!size || *size < journal->cut_offset) return false;
  if (!RestoreEnd(*file, journal->cut_offset, journal->saved)) return false;
  file->Close();
  RetireJournal(path);
  return true;
}

void TPakSystem::Reset() {
  entries_.clear();
  index_.clear();
  password_.clear();
  has_password_ = false;
  official_ = 0;
  directory_start_ = 0;
  data_end_ = 0;
  original_size_ = 0;
  cut_ = false;
  saved_end_.clear();
}

void TPakSystem::OpenArchive(const std::string& path) {
  Reset();
  path_ = path;
  for (;;) {
    std::string message;
    uint32_t attributes = platform::GetFileAttributes(path);
    if (attributes != platform::kInvalidFileAttributes &&
        (attributes & platform::kFileAttributeReadOnly) != 0 &&
        !platform::SetFileAttributes(path, platform::kFileAttributeNormal)) {
      message = "Unable to modify \"" + path + "\" attributes";
    }
    if (message.empty()) {
      RecoverFromJournal(path);
      file_ = platform::File::Open(path, platform::File::Mode::kReadWrite);
      if (file_) break;
      if (!platform::FileExists(path)) {
        message = "File not found: \"" + path + "\".";
      } else {
        message = "Unable to modify file:\"" + path +
                  "\", file may be in use or drive is write protected...";
      }
    }
    int answer =
        platform::MessageBox(message, "Error", platform::kMbRetryCancel | platform::kMbIconWarning);
    // Cancel is the user's decision to stop the whole setup; nothing was changed yet.
    if (answer != platform::kIdRetry) throw SetupError::Cancelled(message);
  }
  LoadDirectory();
  data_end_ = directory_start_;
}

void TPakSystem::LoadDirectory() {
  std::optional<pak::PakLayout> layout = pak::ReadLayout(*file_);
  if (!layout) Fail("File " + path_ + " has corrupted header.");
  password_ = layout->tail.password;
  has_password_ = !password_.empty();
  official_ = layout->tail.official;
  directory_start_ = layout->directory_start;
  original_size_ = layout->file_size;
  for (pak::PakRecord& record : layout->records) Append(std::move(record));
}

std::optional<size_t> TPakSystem::Find(const std::string& lower_name) const {
  auto it = index_.find(lower_name);
  if (it == index_.end() || it->second.empty()) return std::nullopt;
  return it->second.front();
}

void TPakSystem::RemoveAt(size_t position) {
  std::string key = LowerCp1252(entries_[position]->name);
  std::vector<size_t>& positions = index_[key];
  std::erase(positions, position);
  if (positions.empty()) index_.erase(key);
  entries_[position].reset();
}

void TPakSystem::Append(pak::PakRecord record) {
  if (record.name.size() > pak::kMaxNameLength) record.name.resize(pak::kMaxNameLength);
  index_[LowerCp1252(record.name)].push_back(entries_.size());
  entries_.push_back(std::move(record));
}

std::vector<pak::PakRecord> TPakSystem::LiveRecords() const {
  std::vector<pak::PakRecord> out;
  out.reserve(entries_.size());
  for (const auto& e : entries_) {
    if (e) out.push_back(*e);
  }
  return out;
}

void TPakSystem::BeginJournal() {
  std::string saved(original_size_ - directory_start_, '\0');
  if (!file_->Seek(directory_start_) || !file_->ReadExact(saved.data(), saved.size())) {
    Fail("Unable to read \"" + path_ + "\"; the archive was not changed.");
  }
  std::string journal = EncodeJournal(directory_start_, original_size_, saved);
  const std::string journal_path = JournalPath(path_);
  std::optional<platform::File> out =
      platform::File::Open(journal_path, platform::File::Mode::kCreate);
  bool written = out && out->Write(journal.data(), journal.size()) && out->Flush();
  if (out) out->Close();
  if (!written) {
    platform::DeleteFile(journal_path);
    Fail("Unable to write \"" + journal_path + "\" (disk full?); " + path_ + " was not changed.");
  }
  saved_end_ = std::move(saved);
}

void TPakSystem::CutAtDirectory() {
  // An "EIH1" tail can hold a password one byte longer than a rewritten "EIH2" tail can carry
  // where readers look for it; rewriting such an archive would make it unreadable.
  if (password_.size() > kMaxPakPassword) {
    Fail("The password of " + archive_name_ + " is longer than " + std::to_string(kMaxPakPassword) +
         " bytes and cannot be stored again; the archive was not changed.");
  }
  BeginJournal();
  cut_ = true;
  if (!file_->Truncate(data_end_)) FailDiskFull();
}

bool TPakSystem::RollBack() {
  if (!cut_) return true;
  bool restored = false;
  if (!file_) file_ = platform::File::Open(path_, platform::File::Mode::kReadWrite);
  if (file_) restored = RestoreEnd(*file_, directory_start_, saved_end_);
  if (restored) {
    RetireJournal(path_);
    cut_ = false;
  }
  return restored;
}

void TPakSystem::CloseArchive() {
  if (file_) file_->Close();
  file_.reset();
}

void TPakSystem::Fail(const std::string& message) {
  // The archive is back as it was (or its journal waits for the next open) before anyone shows
  // the message and ends the program.
  RollBack();
  CloseArchive();
  throw SetupError::Fatal(message);
}

void TPakSystem::FailDiskFull() {
  if (RollBack()) {
    Fail("Disk full, " + path_ +
         " was restored to its previous state. Free some disk space and try again. ");
  }
  Fail("Disk full, " + path_ +
       " could not be restored yet; it is restored from its journal the next time it is opened. "
       "Free some disk space and try again. ");
}

bool TPakSystem::WriteArchive(const std::string& bytes) {
  size_t allowed = bytes.size();
  if (write_limit_) {
    allowed = static_cast<size_t>(std::min<uint64_t>(*write_limit_, bytes.size()));
    *write_limit_ -= allowed;
  }
  bool ok = file_->Write(bytes.data(), allowed);
  return ok && allowed == bytes.size();
}

void TPakSystem::AddFromPackage(TGroupSource& group, int index, const std::string& name,
                                uint32_t full_size) {
  std::optional<std::string> content = group.Load(index);
  if (!content) throw SetupError("Unable to read the package entry \"" + name + "\".");

  std::string stored;
  uint8_t kind;
  if (UpperExtension(name) != ".WAV") {
    stored = archive_io::ZlibCompress(*content);
    pak::ApplyMask(stored);
    kind = pak::kKindZlib;
  } else {
    std::optional<std::string> sound = sound_entry::EncodeSoundEntry(*content, name);
    if (!sound) return;  // not a plain PCM WAV file: passed over
    stored = std::move(*sound);
    kind = pak::kKindSound;
  }

  std::string record_name = name.substr(0, pak::kMaxNameLength);
  std::optional<size_t> existing = Find(LowerCp1252(record_name));
  if (existing) {
    const pak::PakRecord& old = *entries_[*existing];
    if (old.stored_size == stored.size() && old.full_size == full_size &&
        pak::RecordInData(old, data_end_)) {
      std::string old_bytes(old.stored_size, '\0');
      if (file_->Seek(old.offset) && file_->ReadExact(old_bytes.data(), old_bytes.size()) &&
          platform::Crc32(0, old_bytes.data(), old_bytes.size()) ==
              platform::Crc32(0, stored.data(), stored.size())) {
        return;  // unchanged content
      }
    }
  }

  // Offsets are 32-bit: an archive cannot grow past 4 GiB.
  if (data_end_ > 0xFFFFFFFFull || stored.size() > 0xFFFFFFFFull - data_end_) {
    Fail("The archive " + path_ +
         " would grow past 4 GiB; it was restored to its previous "
         "state.");
  }
  if (!file_->Seek(data_end_) || !WriteArchive(stored)) FailDiskFull();

  pak::PakRecord record;
  record.kind = kind;
  record.date = archive_io::TodayDosDate();
  record.stored_size = static_cast<uint32_t>(stored.size());
  record.full_size = full_size;
  record.offset = static_cast<uint32_t>(data_end_);
  record.name = record_name;
  data_end_ += stored.size();
  if (existing) {
    record.name = entries_[*existing]->name;  // keeps the spelling the archive already had
    RemoveAt(*existing);
  }
  Append(std::move(record));
}

void TPakSystem::SaveDirectory() {
  std::uniform_int_distribution<int> seed(2, 6);
  uint8_t sine = static_cast<uint8_t>(seed(random_));
  uint8_t cosine = static_cast<uint8_t>(seed(random_));
  std::string bytes = pak::EncodeDirectoryAndTrailer(LiveRecords());
  bytes += pak::EncodeTail(password_, official_, sine, cosine);
  if (!file_->Seek(data_end_) || !WriteArchive(bytes) || !file_->Flush()) FailDiskFull();
  CloseArchive();
  // The new directory is on disk: the saved end is no longer needed.
  RetireJournal(path_);
  cut_ = false;
  Reset();
}

void TPakSystem::UpdateFromGroup(TGroupSource& group, const std::string& path,
                                 const std::string& archive_name, const std::string& password) {
  const int total = group.Count();
  if (total == 0) return;
  archive_name_ = archive_name;
  if (password.size() > kMaxPakPassword) {
    throw SetupError::Fatal("The password for " + archive_name + " is longer than " +
                            std::to_string(kMaxPakPassword) +
                            " bytes and cannot be stored; the archive was not changed.");
  }
  OpenArchive(path);
  if (has_password_ && password != password_) {
    Fail("Error Incorrect Password\rFile: " + archive_name);
  }
  if (!has_password_) {
    password_ = password;
    has_password_ = true;
  }
  CutAtDirectory();

  int done = 0;
  archive_io::TPercentStepper stepper(total);
  progress_.SetStatus(archive_io::ItemProgressText(progress_, archive_name_, 0, total));
  try {
    group.ForEach([&](int index, const std::string& name, uint32_t full_size) {
      bool refresh = stepper.Refresh(done);
      progress_.SetStatus(archive_io::ItemProgressText(progress_, archive_name_, done, total));
      AddFromPackage(group, index, name, full_size);
      progress_.StepProgress(refresh);
      ++done;
      if (after_entry_hook_) after_entry_hook_(done);
    });
  } catch (...) {
    // Nothing of a failed update stays: the archive goes back to its previous bytes.
    RollBack();
    CloseArchive();
    Reset();
    throw;
  }
  progress_.SetStatus(archive_io::NamedText(progress_, 20, archive_name_));
  SaveDirectory();
}

void TPakSystem::SetOfficial(const std::string& path, const std::string& archive_name,
                             const std::string& code, const std::string& flag_text) {
  if (LowerCp1252(code) != kOfficialAccessCode) return;
  archive_name_ = archive_name;
  OpenArchive(path);
  std::string flag = LowerCp1252(flag_text);
  official_ = (flag == "t" || flag == "true" || flag_text == "1") ? 1 : 0;
  CutAtDirectory();
  SaveDirectory();
}

void TPakSystem::DuplicateEntry(const std::string& path, const std::string& archive_name,
                                const std::string& source, const std::string& target) {
  archive_name_ = archive_name;
  OpenArchive(path);
  std::optional<size_t> from = Find(LowerCp1252(source.substr(0, pak::kMaxNameLength)));
  if (!from) {
    CloseArchive();
    Reset();
    return;
  }
  CutAtDirectory();
  const pak::PakRecord src = *entries_[*from];
  std::string target_lower = LowerCp1252(target.substr(0, pak::kMaxNameLength));
  auto share = [&src](pak::PakRecord& r) {
    r.marker = src.marker;
    r.kind = src.kind;
    r.date = src.date;
    r.stored_size = src.stored_size;
    r.full_size = src.full_size;
    r.offset = src.offset;
  };
  std::optional<size_t> to = Find(target_lower);
  if (!to) {
    pak::PakRecord record;
    record.name = target_lower;
    share(record);
    Append(std::move(record));
  } else {
    pak::PakRecord& existing = *entries_[*to];
    if (existing.offset == src.offset && existing.full_size == src.full_size &&
        existing.stored_size == src.stored_size) {
      share(existing);
    }
  }
  SaveDirectory();
}
