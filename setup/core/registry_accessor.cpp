#include "setup/core/registry_accessor.h"

bool TRegistryAccessor::OpenKey(const std::string& key, bool can_create) {
  CloseKey();
  if (can_create) {
    if (!platform::RegCreateKey(root_, key)) return false;
  } else if (!platform::RegKeyExists(root_, key)) {
    return false;
  }
  open_key_ = key;
  return true;
}

bool TRegistryAccessor::KeyExists(const std::string& key) const {
  return platform::RegKeyExists(root_, key);
}

void TRegistryAccessor::CloseKey() { open_key_.reset(); }

std::optional<std::string> TRegistryAccessor::ReadString(const std::string& name) const {
  if (!open_key_) return std::nullopt;
  return platform::RegGetString(root_, *open_key_, name);
}

bool TRegistryAccessor::WriteString(const std::string& name, const std::string& value) {
  if (!open_key_) return false;
  return platform::RegSetString(root_, *open_key_, name, value);
}

bool TRegistryAccessor::ValueExists(const std::string& name) const {
  if (!open_key_) return false;
  return platform::RegValueExists(root_, *open_key_, name);
}

bool TRegistryAccessor::DeleteValue(const std::string& name) {
  if (!open_key_) return false;
  return platform::RegDeleteValue(root_, *open_key_, name);
}

bool TRegistryAccessor::DeleteKey(const std::string& key) {
  return platform::RegDeleteKey(root_, key);
}
