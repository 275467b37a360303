// The shared registry accessor of a setup run: a selected root, at most one open key, and string
// reads and writes on that key, on top of the platform registry hive.
#pragma once

#include <optional>
#include <string>

#include "platform/registry.h"

class TRegistryAccessor {
 public:
  // The root used by the next OpenKey (HKEY_CURRENT_USER until changed, as the system's own
  // registry object starts).
  void SetRootKey(platform::RootKey root) { root_ = root; }
  platform::RootKey RootKey() const { return root_; }

  // Opens `key` below the root, creating the chain when `can_create`; closes a key that was open.
  bool OpenKey(const std::string& key, bool can_create);
  // Opens an existing key without creating anything.
  bool OpenKeyReadOnly(const std::string& key) { return OpenKey(key, false); }
  bool KeyExists(const std::string& key) const;
  void CloseKey();
  bool HasOpenKey() const { return open_key_.has_value(); }
  // Path of the open key, empty when none is open.
  std::string CurrentPath() const { return open_key_.value_or(std::string()); }

  // Operations on the open key; they fail when no key is open.
  std::optional<std::string> ReadString(const std::string& name) const;
  bool WriteString(const std::string& name, const std::string& value);
  bool ValueExists(const std::string& name) const;
  bool DeleteValue(const std::string& name);
  // Deletes a key below the root (only when it has no subkeys).
  bool DeleteKey(const std::string& key);

 private:
  platform::RootKey root_ = platform::RootKey::kCurrentUser;
  std::optional<std::string> open_key_;
};
