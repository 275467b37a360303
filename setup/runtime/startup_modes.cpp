#include "setup/runtime/startup_modes.h"

#include <algorithm>

#include "platform/ascii_case.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/text_encoding.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/command_class.h"
#include "setup/core/compiled_lines.h"
#include "setup/core/pak.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/io/cp1252_case.h"
#include "setup/text/languages.h"

namespace {

std::string FileNamePart(const std::string& path) {
  size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string StripPass(const std::string& text, char open, char close) {
  std::string result;
  size_t pos = 0;
  while (true) {
    size_t start = text.find(open, pos);
    if (start == std::string::npos) {
      result += text.substr(pos);
      return result;
    }
    result += text.substr(pos, start - pos);
    size_t end = text.find(close, start + 1);
    if (end == std::string::npos) {
      result += text.substr(start);
      return result;
    }
    std::string inside = text.substr(start + 1, end - start - 1);
    bool keep = false;
    for (char c : inside) {
      if (c < '1' || c > '9') keep = true;
    }
    if (!inside.empty() && keep) result += text.substr(start, end - start + 1);
    pos = end + 1;
  }
}

std::string JoinFolder(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

}  // namespace

std::string StripCopySuffixes(const std::string& text) {
  return StripPass(StripPass(text, '(', ')'), '[', ']');
}

std::string ReadInstallFolderFromRegistry() {
  SetupState& state = SetupState::Instance();
  for (const TInstallDirRegKey& place : state.SetupInfo().InstallDirRegKey) {
    if (place.Key.empty()) continue;
    std::optional<platform::RootKey> root = RootKeyFromIndex(place.HKEY);
    if (!root) continue;
    state.registry.SetRootKey(*root);
    if (!state.registry.OpenKey(place.Path, false)) continue;
    std::optional<std::string> value = state.registry.ReadString(place.Key);
    state.registry.CloseKey();
    if (value && !value->empty()) return *value;
  }
  return {};
}

uint64_t UninstallerAndLogBytes(const TPak& pak, const SecondStageInput& input) {
  // The uninstaller: the runtime image (the own file up to its package, or all of it when the
  // package came from the command line) and the UNINSTALL_ entries as stored, plus its
  // directory and setup record.
  constexpr uint64_t kPackageOverhead = 64 * 1024;
  uint64_t image = platform::GetFileSize(input.own_executable_path).value_or(0);
  if (!input.package_from_command_line) {
    for (const TPakFile& entry : pak.Entries()) {
      if (entry.BlobLength() > 0) image = std::min<uint64_t>(image, entry.offset);
    }
  }
  uint64_t total = image + kPackageOverhead;
  // The install log: a length and a contracted path per extracted file, and room for the
  // folders, registry records and links the script lines record.
  constexpr uint64_t kPathAllowance = 2 + 300;
  constexpr uint64_t kLineAllowance = 3 * kPathAllowance;
  for (const TPakFile& entry : pak.Entries()) {
    if (entry.group == 0) {
      const std::string name = AsciiLower(entry.name);
      if (name.rfind("uninstall_", 0) == 0 || name == "window.exe") total += entry.BlobLength();
    } else {
      total += kPathAllowance + entry.name.size();
    }
  }
  total += kLineAllowance * static_cast<uint64_t>(SetupState::Instance().CompiledLines().Count());
  return total;
}

bool UpdateSpaceAvailable(const std::string& folder) {
  if (folder.empty() || !platform::IsAsciiLetter(folder[0])) return false;
  // Measured where the files go: the file system of the folder's nearest existing folder, which
  // need not be the one of its drive's root (a mount below it, a --dir elsewhere).
  std::optional<uint64_t> free = platform::GetDiskFreeSpace(folder);
  SetupState::Instance().SetSpaceAvailable(free ? static_cast<int64_t>(*free) : -1);
  return true;
}

bool RunSecondStage(const SecondStageInput& input) {
  SetupState& state = SetupState::Instance();
  TPak& pak = *state.package;
  TSetupInfoFile& info = state.SetupInfo();

  state.ResolveSystemFolders();  // $CDDRIVE and the shell folders, once
  state.SetSpaceRequired(static_cast<int64_t>(input.grouped_bytes));

  std::optional<std::string> setup_info = pak.FindEntry("SetupInfo", 0);
  if (!setup_info) {
    platform::MessageBox("Error: Setup Information Missing. Setup is corrupt", "Verification Error",
                         platform::kMbOk);
    return false;
  }
  info.ReadFromBuffer(setup_info->data(), setup_info->size());
  int64_t running_total = 0;

  const bool uninstall_mode = info.IsUninstaller == 1;
  if (uninstall_mode) {
    const std::string log_path = JoinFolder(info.InstallDir, info.UninstallPrefix + "install.log");
    if (!platform::FileExists(log_path)) {
      platform::MessageBox("Error: install log is missing", "Setup Error", platform::kMbOk);
      return false;
    }
    std::string folder = info.InstallDir;
    while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
    // A log that cannot be read whole would make the removal forget part of the product, and
    // the uninstaller would then delete itself and its entry: refuse, and keep everything.
    TUninstallList& list = TUninstallList::Instance();
    if (!list.LoadLog(folder, info.UninstallPrefix) || !list.LooksValid()) {
      const bool mismatch = list.ChecksumMismatch();
      list.Clear();
      platform::MessageBox(
          "Error: install log is damaged or unreadable: " + log_path +
              (mismatch ? " (it does not match its checksum; nothing was removed)" : ""),
          "Setup Error", platform::kMbOk);
      return false;
    }
  } else {
    std::optional<std::string> lines = pak.FindEntry("CompiledLines", 0);
    if (!lines) {
      platform::MessageBox("Error: Compiled Lines Missing. Setup is corrupt", "Verification Error",
                           platform::kMbOk);
      return false;
    }
    state.CompiledLines().LoadFromBuffer(lines->data(), lines->size());
    if (input.register_commands) input.register_commands(state.Commands());

    // Group kind flags: element n describes package group n.
    state.group_kinds.assign(1, false);
    const TCompLines& compiled = state.CompiledLines();
    for (int i = 0; i < compiled.Count(); ++i) {
      int32_t id = compiled[i].CommandID;
      if (id < 1 || id > 32) continue;
      TCommandClass* command = state.Commands().ById(id);
      if (!command) continue;
      uint8_t kind = command->GroupKind();
      if (kind == kGroupKindFiles) state.group_kinds.push_back(false);
      if (kind == kGroupKindArchive) state.group_kinds.push_back(true);
    }
    for (const TPakFile& entry : pak.Entries()) {
      if (entry.group == 0 || entry.group >= state.group_kinds.size()) continue;
      if (state.group_kinds[entry.group]) {
        running_total += entry.stored_size != 0 ? entry.stored_size : entry.full_size;
      } else {
        running_total += entry.full_size;
      }
    }
  }
  if (!uninstall_mode && info.CreateUninstaller == 1) {
    running_total += static_cast<int64_t>(UninstallerAndLogBytes(pak, input));
  }
  state.SetSpaceRequired(running_total);

  if (!uninstall_mode && !input.package_from_command_line) {
    // Compared as Windows compares names: case folded in the code page, accented letters too.
    const std::string expected = LowerCp1252(FileNamePart(info.SetupExeName));
    // The host spells the program's name in UTF-8; the record holds Windows-1252.
    const std::string found_name = platform::Utf8ToCp1252(FileNamePart(input.own_executable_path));
    if (StripCopySuffixes(LowerCp1252(found_name)) != expected) {
      platform::MessageBox("Error: Setup`s filename has been renamed\r\rExpected: \r" +
                               FileNamePart(info.SetupExeName) + "\r\rFound: \r" + found_name,
                           "Error", platform::kMbOk);
      if (input.on_renamed) input.on_renamed();
      return false;
    }
  }

  LoadLanguagesFromPackage(pak, Languages(), input.system_language_id);

  if (!uninstall_mode) {
    bool any_place = false;
    for (const TInstallDirRegKey& place : info.InstallDirRegKey) {
      if (!place.Key.empty()) any_place = true;
    }
    if (any_place) {
      std::string from_registry = ReadInstallFolderFromRegistry();
      if (!from_registry.empty()) info.InstallDir = from_registry;
    }
    if (!input.install_dir_override.empty()) info.InstallDir = input.install_dir_override;
    if (info.InstallDir.empty()) {
      platform::MessageBox("Error: Registry Key Not Found. Please Install Software", "Error",
                           platform::kMbOk);
      return false;
    }
    UpdateSpaceAvailable(info.InstallDir);
  }
  return true;
}
