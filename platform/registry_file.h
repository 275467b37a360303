// One registry root held in memory, read from and written to the registry-export text format
// ("Windows Registry Editor Version 5.00"). Used by registry.cpp; not for callers above.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::internal {

struct RegistryValue {
  std::string name;  // Windows-1252, as spelled; empty for the default value ("@")
  bool is_string = false;
  std::string text;  // REG_SZ data (Windows-1252) when is_string
  // The data exactly as written after '=' (continuations kept) for every value that is not
  // a quoted string; written back unchanged. Cleared when a string is stored.
  std::string raw;
};

struct RegistryKey {
  std::string path;  // below the root, as spelled, components joined by '\'; "" for the root
  std::vector<RegistryValue> values;
};

class RegistryDocument {
 public:
  // Parses the export text (UTF-8, or UTF-16LE with a byte-order mark). Lines that are not
  // understood are dropped; sections of another root are dropped too.
  static RegistryDocument Parse(const std::string& bytes, const std::string& root_long_name);
  // The export text in UTF-8 with CR LF line ends.
  std::string Serialize(const std::string& root_long_name) const;

  // Key paths are compared without regard to ASCII case; `path` must be normalised.
  RegistryKey* FindKey(const std::string& path);
  const RegistryKey* FindKey(const std::string& path) const;
  // True when the key has a section or any section lies below it.
  bool KeyExists(const std::string& path) const;
  // Creates the key and every missing parent; answers the key.
  RegistryKey& CreateKey(const std::string& path);
  bool HasSubKeys(const std::string& path) const;
  std::vector<std::string> SubKeyNames(const std::string& path) const;
  bool RemoveKey(const std::string& path);
  // No key at all (a root nobody wrote, or whose last key was removed).
  bool Empty() const { return keys_.empty(); }

  static RegistryValue* FindValue(RegistryKey& key, const std::string& name);

 private:
  std::vector<RegistryKey> keys_;
};

// The value of "dword:XXXXXXXX" data (exactly eight hex digits, any case); nothing otherwise.
std::optional<uint32_t> ParseDword(const std::string& raw);

// Strips leading and trailing backslashes and empty components.
std::string NormalizeKeyPath(const std::string& key);

}  // namespace platform::internal
