// The registry: one export-format text file per root under $SETUP_ROOT/registry/. Reads parse
// the file as it is (writers replace it by rename, so a reader sees a whole file); changes run
// under an exclusive flock on a lock file beside it and re-read the file before changing it.
#include "platform/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "platform/ascii_case.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/path_util.h"
#include "platform/registry_file.h"
#include "platform/text_encoding.h"

namespace platform {
namespace {

using internal::NormalizeKeyPath;
using internal::RegistryDocument;
using internal::RegistryKey;
using internal::RegistryValue;

struct RootNames {
  RootKey root;
  const char* long_name;
  const char* short_name;
};

constexpr RootNames kRoots[] = {
    {RootKey::kClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},
    {RootKey::kCurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {RootKey::kLocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
    {RootKey::kUsers, "HKEY_USERS", "HKU"},
    {RootKey::kCurrentConfig, "HKEY_CURRENT_CONFIG", "HKCC"},
};

const RootNames& NamesOf(RootKey root) {
  for (const RootNames& names : kRoots) {
    if (names.root == root) return names;
  }
  return kRoots[2];
}

std::string RootFile(RootKey root) {
  return RegistryHostFolder() + "/" + NamesOf(root).short_name + ".reg";
}

RegistryDocument Load(RootKey root) {
  const auto bytes = ReadFileBytes(RootFile(root));
  return RegistryDocument::Parse(bytes.value_or(""), NamesOf(root).long_name);
}

// Moves an unreadable root file to the first free name "FILE.unreadable-N" and tells the user.
bool SetAsideUnreadable(const std::string& file) {
  for (int n = 1; n < 1000; ++n) {
    const std::string aside = file + ".unreadable-" + std::to_string(n);
    if (FileExists(aside)) continue;
    if (!MoveFile(file, aside)) return false;
    MessageBox("The registry file " + Utf8ToCp1252Escaped(file) +
                   " could not be read; it was kept as " + Utf8ToCp1252Escaped(aside) +
                   " and a new one was started.",
               "Setup", kMbOk | kMbIconWarning);
    return true;
  }
  errno = EEXIST;
  return false;
}

// Holds an exclusive lock on the root's lock file for its lifetime.
class RootLock {
 public:
  explicit RootLock(RootKey root) {
    if (!internal::MakeHostFolders(RegistryHostFolder())) return;
    const std::string path = RootFile(root) + ".lock";
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) return;
    int result;
    do {
      result = flock(fd_, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~RootLock() {
    if (fd_ >= 0) {
      flock(fd_, LOCK_UN);
      close(fd_);
    }
  }
  RootLock(const RootLock&) = delete;
  RootLock& operator=(const RootLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Runs `change` on the current content under the lock. `change` answers whether it succeeded;
// the file is written only then, and the operation answers false when the write fails.
bool Change(RootKey root, const std::function<bool(RegistryDocument&)>& change) {
  RootLock lock(root);
  if (!lock.Held()) return false;
  const std::string file = RootFile(root);
  std::optional<std::string> bytes = ReadFileBytes(file);
  if (bytes && !RegistryDocument::Readable(*bytes)) {
    // Not an export text at all: rewriting it would lose whatever it holds, so it is kept
    // under a new name, said so, and the root starts afresh.
    if (!SetAsideUnreadable(file)) return false;
    bytes.reset();
  }
  RegistryDocument doc = RegistryDocument::Parse(bytes.value_or(""), NamesOf(root).long_name);
  if (!change(doc)) return false;
  // A root left without keys is no file at all, as before anything was written to it, so
  // taking back every change leaves the hive's files as they were.
  if (doc.Empty()) {
    return !FileExists(file) || DeleteFile(file);
  }
  const std::string text = doc.Serialize(NamesOf(root).long_name);
  return WriteFileAtomically(RootFile(root), text.data(), text.size());
}

// A copy of the value `name` of `key` as the root's file holds it now.
std::optional<RegistryValue> LoadValue(RootKey root, const std::string& key,
                                       const std::string& name) {
  RegistryDocument doc = Load(root);
  RegistryKey* node = doc.FindKey(NormalizeKeyPath(key));
  if (node == nullptr) return std::nullopt;
  const RegistryValue* value = RegistryDocument::FindValue(*node, name);
  if (value == nullptr) return std::nullopt;
  return *value;
}

}  // namespace

std::string RegistryHostFolder() { return SetupRoot() + "/registry"; }

std::optional<RootKey> RootKeyFromName(const std::string& name) {
  const std::string upper = AsciiUpper(name);
  for (const RootNames& names : kRoots) {
    if (upper == names.long_name || upper == names.short_name) return names.root;
  }
  return std::nullopt;
}

std::string RootLongName(RootKey root) { return NamesOf(root).long_name; }
std::string RootShortName(RootKey root) { return NamesOf(root).short_name; }

bool RegCreateKey(RootKey root, const std::string& key) {
  const std::string path = NormalizeKeyPath(key);
  if (path.empty()) return true;
  if (Load(root).FindKey(path) != nullptr) return true;
  return Change(root, [&](RegistryDocument& doc) {
    doc.CreateKey(path);
    return true;
  });
}

bool RegKeyExists(RootKey root, const std::string& key) {
  return Load(root).KeyExists(NormalizeKeyPath(key));
}

bool RegSetString(RootKey root, const std::string& key, const std::string& name,
                  const std::string& value) {
  return RegSetValue(root, key, name, RegValueData{true, value, ""});
}

bool RegSetDword(RootKey root, const std::string& key, const std::string& name, uint32_t value) {
  char raw[16];
  std::snprintf(raw, sizeof raw, "dword:%08x", value);
  return RegSetValue(root, key, name, RegValueData{false, "", raw});
}

std::optional<uint32_t> RegGetDword(RootKey root, const std::string& key, const std::string& name) {
  const std::optional<RegistryValue> value = LoadValue(root, key, name);
  if (!value || value->is_string) return std::nullopt;
  return internal::ParseDword(value->raw);
}

std::optional<ValueType> RegGetValueType(RootKey root, const std::string& key,
                                         const std::string& name) {
  const std::optional<RegistryValue> value = LoadValue(root, key, name);
  if (!value) return std::nullopt;
  if (value->is_string) return ValueType::kString;
  return internal::ParseDword(value->raw) ? ValueType::kDword : ValueType::kOther;
}

std::optional<std::string> RegGetString(RootKey root, const std::string& key,
                                        const std::string& name) {
  const std::optional<RegistryValue> value = LoadValue(root, key, name);
  if (!value || !value->is_string) return std::nullopt;
  return value->text;
}

bool RegValueExists(RootKey root, const std::string& key, const std::string& name) {
  return LoadValue(root, key, name).has_value();
}

bool RegDeleteValue(RootKey root, const std::string& key, const std::string& name) {
  const std::string path = NormalizeKeyPath(key);
  return Change(root, [&](RegistryDocument& doc) {
    RegistryKey* node = doc.FindKey(path);
    if (node == nullptr) return false;
    RegistryValue* value = RegistryDocument::FindValue(*node, name);
    if (value == nullptr) return false;
    node->values.erase(node->values.begin() + (value - node->values.data()));
    return true;
  });
}

bool RegDeleteKey(RootKey root, const std::string& key) {
  const std::string path = NormalizeKeyPath(key);
  if (path.empty()) return false;
  return Change(root, [&](RegistryDocument& doc) {
    if (doc.HasSubKeys(path)) return false;
    return doc.RemoveKey(path);
  });
}

std::vector<std::string> RegValueNames(RootKey root, const std::string& key) {
  std::vector<std::string> names;
  RegistryDocument doc = Load(root);
  if (RegistryKey* node = doc.FindKey(NormalizeKeyPath(key))) {
    for (const RegistryValue& value : node->values) names.push_back(value.name);
  }
  return names;
}

std::optional<RegValueData> RegGetValue(RootKey root, const std::string& key,
                                        const std::string& name) {
  const std::optional<RegistryValue> value = LoadValue(root, key, name);
  if (!value) return std::nullopt;
  return RegValueData{value->is_string, value->text, value->raw};
}

bool RegSetValue(RootKey root, const std::string& key, const std::string& name,
                 const RegValueData& data) {
  const std::string path = NormalizeKeyPath(key);
  return Change(root, [&](RegistryDocument& doc) {
    RegistryKey& node = doc.CreateKey(path);
    RegistryValue stored{name, data.is_string, data.is_string ? data.text : std::string(),
                         data.is_string ? std::string() : data.raw};
    if (RegistryValue* existing = RegistryDocument::FindValue(node, name)) {
      stored.name = existing->name;
      *existing = stored;
    } else {
      node.values.push_back(stored);
    }
    return true;
  });
}

std::vector<std::string> RegSubKeyNames(RootKey root, const std::string& key) {
  return Load(root).SubKeyNames(NormalizeKeyPath(key));
}

}  // namespace platform
