#include "setup/session/uninstall.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/helper_process.h"
#include "platform/process.h"
#include "platform/text_encoding.h"
#include "setup/commands/command_support.h"
#include "setup/commands/desktop_links.h"
#include "setup/commands/rollback_journal.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/crc32.h"
#include "setup/core/exe_icon.h"
#include "setup/core/icon_png.h"
#include "setup/core/package_integrity.h"
#include "setup/core/pak.h"
#include "setup/core/product_info.h"
#include "setup/core/run_log.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/session/finaliser.h"
#include "setup/session/temp_files.h"
#include "setup/text/languages.h"

namespace setup_session {

namespace {

constexpr size_t kCopyChunk = 1 << 20;

// Length of the runtime image at the front of the running program's file: everything before its
// own package, or the whole file when it carries none (a package named on the command line).
// Entries that own no bytes in the file (never stored, size 0) do not count.
std::optional<uint64_t> RuntimeImageLength(const std::string& own_path) {
  std::optional<uint64_t> file_size = platform::GetFileSize(own_path);
  if (!file_size) return std::nullopt;
  TPak own(own_path, false, false);
  if (!own.Trailer().HasMagic()) return *file_size;
  uint64_t start = own.Trailer().directory_offset;
  for (const TPakFile& entry : own.Entries()) {
    if (entry.BlobLength() > 0) start = std::min<uint64_t>(start, entry.offset);
  }
  own.Close();
  return std::min(start, *file_size);
}

bool CopyPrefix(const std::string& from, const std::string& to, uint64_t length) {
  auto source = platform::File::Open(from, platform::File::Mode::kRead);
  if (!source) return false;
  platform::DeleteFile(to);
  auto target = platform::File::Open(to, platform::File::Mode::kCreateNew);
  if (!target) return false;
  std::vector<char> buffer(kCopyChunk);
  uint64_t left = length;
  while (left > 0) {
    size_t part = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
    if (!source->ReadExact(buffer.data(), part) || !target->Write(buffer.data(), part)) {
      const int reason = errno;
      target->Close();
      platform::DeleteFile(to);
      errno = reason;
      return false;
    }
    left -= part;
  }
  target->Close();
  return true;
}

bool StartsWithUninstall(const std::string& name) {
  return name.size() >= 10 && AsciiLower(name.substr(0, 10)) == "uninstall_";
}

// The path with the extension of its file name replaced (or added when it has none).
std::string ChangeFileExt(const std::string& path, const std::string& extension) {
  const size_t name = path.find_last_of("\\/:");
  const size_t dot = path.find_last_of('.');
  const bool has_extension = dot != std::string::npos && (name == std::string::npos || dot > name);
  return (has_extension ? path.substr(0, dot) : path) + extension;
}

bool IsIconEntry(const std::string& name) { return AsciiLower(name) == "uninstall_icon.ico"; }

// The window program is carried once, under its own name, and serves the uninstaller too.
bool IsWindowEntry(const std::string& name) { return AsciiLower(name) == "window.exe"; }

}  // namespace

void RegisterUninstaller() {
  SetupState& state = SetupState::Instance();
  const TSetupInfoFile& info = state.SetupInfo();
  TPak* pak = state.package.get();
  if (!pak || pak->EntryCount() == 0) return;

  const std::string own_path = platform::OwnExecutablePath();
  std::optional<uint64_t> image_length = RuntimeImageLength(own_path);
  if (!image_length || *image_length == 0) {
    return FailStep("Cannot read " + platform::ToWindowsPath(own_path).value_or(
                                         platform::Utf8ToCp1252Escaped(own_path)));
  }

  const std::string uninstaller = JoinPath(info.InstallDir, info.UninstallExeName);
  // Made whole under another name and renamed into place: whoever starts the uninstaller
  // meanwhile runs the old one or the new one, never a file still being written.
  const std::string building = uninstaller + ".setup-new";
  if (!ForceFolders(info.InstallDir) ||
      !TRollbackJournal::Instance().PrepareFileWrite(uninstaller) ||
      !TRollbackJournal::Instance().PrepareFileWrite(building) ||
      !CopyPrefix(own_path, building, *image_length)) {
    return FailStep("Cannot write " + PlaceName(uninstaller));
  }

  // An ELF program carries no icon resource (ReplaceExeIcon answers false for it), so the icon
  // is installed beside the uninstaller instead: NAME.ico for DisplayIcon, NAME.png for the
  // desktop entry. Both are recorded, so the removal run takes them away again.
  TUninstallList& list = TUninstallList::Instance();
  std::string display_icon;
  std::string icon_png;
  for (int i = 0; i < pak->EntryCount(); ++i) {
    const TPakFile& entry = *pak->Entry(i);
    if (entry.group != 0 || !IsIconEntry(entry.name)) continue;
    std::optional<std::string> icon = pak->LoadEntry(i);
    if (!icon) continue;
    const std::string icon_path = TempFilePath("icon.ico");
    TRollbackJournal::Instance().NoteFileCreated(icon_path);
    if (WriteFreshFile(icon_path, icon->data(), icon->size())) {
      ReplaceExeIcon(icon_path, building);
      platform::DeleteFile(icon_path);
    }
    // The icons are closing steps like the uninstaller itself: one that cannot be written
    // stops the run (an icon that cannot be converted is only left out).
    const std::string beside = ChangeFileExt(uninstaller, ".ico");
    if (!WriteWholeFile(beside, icon->data(), icon->size())) {
      return FailStep("Cannot write " + PlaceName(beside));
    }
    list.AddFile(beside);
    display_icon = beside;
    const std::string png = ChangeFileExt(uninstaller, ".png");
    if (InstallPngIcon(*icon, png)) {
      icon_png = png;
    } else if (IconToPng(*icon)) {
      return FailStep("Cannot write " + PlaceName(png));
    }
  }

  // The reason of the first part that could not be written; later parts may change errno.
  bool complete = true;
  int first_reason = 0;
  auto part_failed = [&] {
    if (complete) first_reason = errno;
    complete = false;
  };
  {
    TPak out(building, false, true);
    if (!out.IsOpen()) return FailStep("Cannot write " + PlaceName(uninstaller));
    for (int i = 0; i < pak->EntryCount(); ++i) {
      const TPakFile entry = *pak->Entry(i);
      const bool window = IsWindowEntry(entry.name);
      if (entry.group != 0 || (!StartsWithUninstall(entry.name) && !window) ||
          IsIconEntry(entry.name)) {
        continue;
      }
      const std::string name = window ? entry.name : entry.name.substr(10);
      // The stored blob is copied as it is (same bytes, sizes and CRC), so nothing is
      // compressed a second time; an entry that holds no bytes stays empty.
      std::optional<std::string> stored = pak->ReadStored(i);
      if (!stored) {
        out.AddEntry(name, "", 0);
        continue;
      }
      if (!out.AddPreparedEntry(name, 0, *stored, entry.full_size, entry.crc,
                                entry.stored_size != 0)) {
        part_failed();
      }
      // A zstd-coded blob stays one: the copy is named in the uninstaller's coding table.
      if (entry.coding != TEntryCoding::kZlib) {
        out.SetCoding(out.EntryCount() - 1, entry.coding, entry.block_position, entry.block_size);
      }
    }
    TSetupInfoFile copy = info;
    copy.IsUninstaller = 1;
    const std::string record = copy.Encode();
    int index = out.AddEntry("SetupInfo", "", 0);
    if (!out.StoreFromMemory(index, record.data(), record.size())) part_failed();
    if (platform::MachineScope()) out.AddEntry(kAllUsersEntry, "", 0);
    // The uninstaller carries its own digest, filled in below once the package is complete.
    const std::string seal = IntegrityPlaceholder();
    if (!out.AddPreparedEntry(kIntegrityEntry, 0, seal, static_cast<uint32_t>(seal.size()),
                              ComputeCrc32(seal.data(), seal.size()), false)) {
      part_failed();
    }
    if (!out.WriteDirectory()) part_failed();
    out.Close();
  }
  if (std::string reason; complete && !SealPackageFile(building, std::nullopt, reason)) {
    RunLog("uninstaller not sealed: " + reason);
    part_failed();
  }
  if (complete && !platform::MoveFile(building, uninstaller)) part_failed();
  if (!complete) {
    platform::DeleteFile(building);
    RunLog("uninstaller not written: " + uninstaller);
    errno = first_reason;
    return FailStep("Cannot write " + PlaceName(uninstaller));
  }
  RunLog("uninstaller written: " + uninstaller);
  // Registered only once the uninstaller is there (WriteUninstallEntry never writes without a
  // key name, which would address the Uninstall key itself). The key and DisplayName are the
  // short name, which the uninstaller finds the key by; the desktop entry shows the full name.
  const std::string display_name = info.SetupName.empty() ? info.ShortName : info.SetupName;
  TUninstallEntry values;
  values.display_name = info.ShortName;
  values.uninstaller = uninstaller;
  values.install_location = info.InstallDir;
  values.display_icon = display_icon;
  values.installed_bytes = InstalledBytes(list) + platform::GetFileSize(uninstaller).value_or(0);
  values.install_date = TodayAsInstallDate();
  if (std::optional<std::string> product = pak->FindEntry(kProductInfoEntry, 0)) {
    const TProductInfo details = TProductInfo::Decode(product->data(), product->size());
    values.version = details.Version;
    values.publisher = details.Publisher;
    values.url = details.Url;
  }
  // Every value the entry may hold goes to the rollback journal first (old value or none).
  const std::string key = UninstallKeyPath(info.ShortName);
  bool noted = true;
  for (const char* name :
       {"DisplayName", "UninstallString", "QuietUninstallString", "InstallLocation", "DisplayIcon",
        "DisplayVersion", "Publisher", "URLInfoAbout", "EstimatedSize", "InstallDate", "NoModify",
        "NoRepair"}) {
    noted = noted && (info.ShortName.empty() || TRollbackJournal::Instance().NoteRegistryValue(
                                                    platform::RootKey::kLocalMachine, key, name));
  }
  if (!noted) return FailStep("Cannot write registry key HKLM\\" + key);
  if (WriteUninstallEntry(info.ShortName, values)) {
    RunLog("uninstall entry written: HKLM\\" + key);
  } else if (!info.ShortName.empty()) {
    return FailStep("Cannot write registry key HKLM\\" + key);
  }
  AddUninstallerDesktopEntry(display_name, uninstaller, icon_png);
  if (state.StepFailed()) return;  // the entry could not be written; the run is undone
  // The icons and the uninstaller's desktop entry came after the install log was saved. The run
  // ends as finished only once the log that lists them is written.
  if (!list.SaveLog(info.InstallDir, info.UninstallPrefix)) {
    return FailStep("Cannot write " +
                    PlaceName(TUninstallList::LogPath(info.InstallDir, info.UninstallPrefix)));
  }
}

std::u16string FormatProgressText(const std::u16string& name, int number, int total) {
  std::u16string text = GetText(kTextItemProgress);
  text = ReplaceAll(text, u"<%QXPNAME%>", name);
  std::string n = std::to_string(number);
  std::string t = std::to_string(total);
  text = ReplaceAll(text, u"<%FNUM%>", std::u16string(n.begin(), n.end()));
  text = ReplaceAll(text, u"<%FTOTAL%>", std::u16string(t.begin(), t.end()));
  return text;
}

bool ProgressStep(int done, int total, int last) {
  if (total <= 0) return false;
  return static_cast<int64_t>(done) * 100 / total > last;
}

void StartFinaliser(const std::vector<std::string>& folders_above) {
  SetupState& state = SetupState::Instance();
  TPak* pak = state.package.get();
  if (!pak) return;
  // A folder of its own, made fresh and private (mode 0700) in the temporary folder: nobody
  // else can put another program where the finaliser is written and then started.
  const std::optional<std::string> temp = platform::ToHostPath(platform::GetTempPath());
  const std::optional<std::string> folder =
      temp ? platform::MakePrivateFolder(*temp, kFinaliserFolderPrefix) : std::nullopt;
  const std::optional<std::string> windows_folder =
      folder ? platform::ToWindowsPath(*folder) : std::nullopt;
  if (!windows_folder) return;
  const std::string path = JoinPath(*windows_folder, "FINALISE.exe");
  const std::string own_host = platform::OwnExecutablePath();
  std::string own = platform::ToWindowsPath(own_host).value_or(own_host);
  // An installer that ran while this uninstaller waited for its turn replaced the file it was
  // started from (this process runs the replaced one, which is gone): the uninstaller to remove
  // is the one at its recorded place.
  if (!platform::FileExists(own_host)) {
    const TSetupInfoFile& info = state.SetupInfo();
    own = JoinPath(info.InstallDir, info.UninstallExeName);
  }
  // A package may carry a finaliser program; otherwise the runtime image (the front of the file
  // this process runs, read through /proc even when that file is gone) is the finaliser, started
  // with --finalise.
  if (std::optional<std::string> program = pak->FindEntry("FINALISE.EXE", 0);
      program && !program->empty()) {
    if (!WriteFreshFile(path, program->data(), program->size())) return;
    platform::ShellExecute(path, "\"" + own + "\"");
    return;
  }
  const std::string running = "/proc/self/exe";
  const std::optional<uint64_t> image_length = RuntimeImageLength(running);
  if (!image_length || *image_length == 0) return;
  platform::DeleteFile(path);
  if (!CopyPrefix(running, path, *image_length)) return;
  platform::ShellExecute(path, "--finalise \"" + FinaliseArgument(own, folders_above) + "\"");
}

}  // namespace setup_session
