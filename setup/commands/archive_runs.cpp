#include "setup/commands/archive_runs.h"

#include <charconv>
#include <initializer_list>
#include <optional>

#include "platform/files.h"
#include "setup/archive/archive_progress.h"
#include "setup/archive/group_source.h"
#include "setup/archive/pak_system.h"
#include "setup/commands/command_support.h"
#include "setup/commands/rollback_journal.h"
#include "setup/commands/vfs_update.h"
#include "setup/core/ciphers.h"
#include "setup/core/compiled_lines.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/io/cp1252_case.h"
#include "setup/text/languages.h"
#include "setup/vfs/vfs_hash_file.h"

namespace {

// Progress of the archive runs on the wizard's status lines and gauge, in the current language.
class TRuntimeProgress : public TArchiveProgress {
 public:
  std::u16string Text(int number) override { return GetText(number); }
  void SetStatus(const std::u16string& text) override {
    if (auto sink = SetupState::Instance().StatusLineSink()) sink->SetText(text, true);
  }
  void SetSecondStatus(const std::u16string& text) override {
    SetupState::Instance().SetSecondStatusText(text, true);
  }
  void StepProgress(bool refresh) override { SetupState::Instance().StepProgress(refresh); }
  // A failed archive update is a failed step: the run is undone.
  void RequestStop() override { SetupState::Instance().RequestStepFailure(); }
};

TRuntimeProgress& RuntimeProgress() {
  static TRuntimeProgress progress;
  return progress;
}

// The one archive system of the process.
TPakSystem& PakSystem() {
  static TPakSystem system(RuntimeProgress());
  return system;
}

// The package group named by the line's last argument; nothing when it is not a group number.
std::optional<uint16_t> GroupOf(const TCompLine& line) {
  if (line.Arguments.empty()) return std::nullopt;
  const std::string& text = line.Arguments.back();
  unsigned value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value > 0xFFFF) {
    return std::nullopt;
  }
  return static_cast<uint16_t>(value);
}

// An empty group when there is no package (nothing then happens).
class TNoGroup : public TGroupSource {
 public:
  int Count() override { return 0; }
  void ForEach(const std::function<void(int, const std::string&, uint32_t)>&) override {}
  std::optional<std::string> Load(int) override { return std::nullopt; }
};

template <typename Body>
void WithGroup(const TCompLine& line, Body body) {
  std::optional<uint16_t> group = GroupOf(line);
  TPak* package = SetupState::Instance().package.get();
  if (!group || !package) {
    TNoGroup none;
    body(static_cast<TGroupSource&>(none));
    return;
  }
  TPakGroupSource source(*package, *group);
  body(static_cast<TGroupSource&>(source));
}

const std::string& InstallDir() { return SetupState::Instance().InstallDir(); }

// The run's journal keeps a whole copy of each file an archive command changes in place, so a
// rolled-back run (a failed step, Cancel, a signal, a kill) puts it back byte for byte. False,
// with the step failed, when the copy cannot be made; the command then changes nothing.
bool KeepForRollback(std::initializer_list<std::string> paths) {
  TRollbackJournal& journal = TRollbackJournal::Instance();
  for (const std::string& path : paths) {
    if (!journal.KeepCopy(path)) {
      FailStep("Cannot write " + PlaceName(path));
      return false;
    }
  }
  return true;
}

// A pak archive: a journal a killed update left beside it is applied first, so the copy is of
// a whole archive; the journal the update makes is noted too, so a rollback leaves none.
bool KeepPakForRollback(const std::string& path) {
  TPakSystem::RecoverFromJournal(path);
  const std::string journal = path + kJournalSuffix;
  if (!platform::FileExists(journal) && !TRollbackJournal::Instance().NoteFileCreated(journal)) {
    FailStep("Cannot write " + PlaceName(journal));
    return false;
  }
  return KeepForRollback({path});
}

}  // namespace

void RunQxpUpdate(TCompLine& line) {
  if (line.Arguments.size() < 4) return;
  // Deciphered into a copy: the loaded line keeps its enciphered form, so a line reached again
  // through a jump gives the same password.
  const std::string password = DecryptWithDigitKey(kUpdateKey, line.Arg(1));
  const std::string& name = line.Arg(2);
  const std::string path = TPakSystem::ArchivePath(InstallDir(), name);
  if (!KeepPakForRollback(path)) return;
  WithGroup(line,
            [&](TGroupSource& group) { PakSystem().UpdateFromGroup(group, path, name, password); });
}

void RunQxpOfficial(TCompLine& line) {
  if (line.Arguments.size() < 3) return;
  const std::string code = DecryptWithDigitKey(kUpdateKey, line.Arg(1));
  const std::string& name = line.Arg(0);
  const std::string path = TPakSystem::ArchivePath(InstallDir(), name);
  if (LowerCp1252(code) != kOfficialAccessCode || !KeepPakForRollback(path)) return;
  PakSystem().SetOfficial(path, name, code, line.Arg(2));
}

void RunDuplicateEntry(TCompLine& line) {
  if (line.Arguments.size() < 3) return;
  const std::string& name = line.Arg(0);
  const std::string path = TPakSystem::ArchivePath(InstallDir(), name);
  if (!KeepPakForRollback(path)) return;
  PakSystem().DuplicateEntry(path, name, line.Arg(1), line.Arg(2));
}

void RunVfsUpdate(TCompLine& line) {
  if (line.Arguments.size() < 3) return;
  const bool close_after = line.Arguments.size() < 4 || line.Arg(2) == "1";
  const std::string& name = line.Arg(1);
  const std::string path = TPakSystem::ArchivePath(InstallDir(), name);
  if (platform::FileExists(path) && !KeepForRollback({path, TVFSHashFile::HashFilePath(path)})) {
    return;
  }
  WithGroup(line, [&](TGroupSource& group) {
    VfsUpdate(group, InstallDir(), name, close_after, RuntimeProgress());
  });
}

void CloseOpenVfsContainer() { CloseOpenVfs(RuntimeProgress()); }
