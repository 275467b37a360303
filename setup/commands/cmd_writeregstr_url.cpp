#include "setup/commands/cmd_writeregstr_url.h"

#include <cerrno>
#include <string>

#include "platform/failure.h"
#include "setup/commands/command_support.h"
#include "setup/commands/rollback_journal.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/run_log.h"
#include "setup/core/setup_error.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"

namespace {

// Writes the key's default value (and an empty second value when named), each noted in the
// rollback journal first. A note that cannot be written is a failed step (answers false; the
// run is undone); a key that cannot be opened or written raises the registry's error, which the
// runner reports (the error report) after undoing the run.
bool WriteDefault(TRegistryAccessor& registry, const std::string& key, const std::string& value,
                  const std::string* second_name = nullptr) {
  const std::string what = "Cannot write registry key HKCR\\" + key;
  TRollbackJournal& journal = TRollbackJournal::Instance();
  if (!journal.NoteRegistryValue(registry.RootKey(), key, std::string()) ||
      (second_name != nullptr &&
       !journal.NoteRegistryValue(registry.RootKey(), key, *second_name))) {
    FailStep(what);
    return false;
  }
  bool ok = registry.OpenKey(key, true) && registry.WriteString(std::string(), value);
  if (ok && second_name != nullptr) ok = registry.WriteString(*second_name, std::string());
  const int reason = errno;
  registry.CloseKey();
  if (!ok) throw SetupError(what + ": " + platform::ErrorText(reason != 0 ? reason : EIO));
  RunLog("registry value written: HKCR\\" + key + " = " + value);
  return true;
}

}  // namespace

void TWriteRegStr_URLCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  const std::string protocol = line.Arg(0);
  const std::string icon_key = protocol + "\\DefaultIcon\\";
  const std::string command_key = protocol + "\\shell\\open\\command\\";
  std::string command = "\"" + ExpandPath(line.Arg(2)) + "\"";
  for (size_t i = 3; i < line.Arguments.size(); ++i) command += " \"" + line.Arguments[i] + "\"";

  TRegistryAccessor& registry = SetupState::Instance().registry;
  registry.SetRootKey(platform::RootKey::kClassesRoot);
  const std::string url_protocol = "URL Protocol";
  if (!WriteDefault(registry, protocol, "URL:" + protocol + " Protocol", &url_protocol) ||
      !WriteDefault(registry, icon_key, ExpandPath(line.Arg(1))) ||
      !WriteDefault(registry, command_key, command)) {
    return;
  }

  // Root, key, value name, value: removal deletes these values (the keys' default values).
  TUninstallList& list = TUninstallList::Instance();
  list.AddRegistryEntry(RegistryRecord("HKCR", protocol, "", ""));
  list.AddRegistryEntry(RegistryRecord("HKCR", protocol, url_protocol, ""));
  list.AddRegistryEntry(RegistryRecord("HKCR", icon_key, "", ""));
  list.AddRegistryEntry(RegistryRecord("HKCR", command_key, "", ""));
}
