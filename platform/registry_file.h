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

// A line of a section that is not a value this reader understands (a comment, a value line of
// a form it does not know), kept as written after the first `after` values of its key.
struct KeptLine {
  size_t after = 0;
  std::string text;
};

struct RegistryKey {
  std::string path;  // below the root, as spelled, components joined by '\'; "" for the root
  std::vector<RegistryValue> values;
  std::vector<KeptLine> kept;
};

class RegistryDocument {
 public:
  // Parses the export text (UTF-8, or UTF-16LE with a byte-order mark). Lines that are not
  // understood (comments, lines before the first section, sections of another root, value
  // lines of another form) are kept as written and written back in their places.
  static RegistryDocument Parse(const std::string& bytes, const std::string& root_long_name);
  // Whether `bytes` are an export text at all: empty, or starting (after a byte-order mark and
  // blank lines) with one of the export headers. A file that is not cannot be rewritten
  // without losing what it holds.
  static bool Readable(const std::string& bytes);
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
  bool Empty() const { return keys_.empty() && preamble_.empty() && foreign_.empty(); }

  static RegistryValue* FindValue(RegistryKey& key, const std::string& name);

 private:
  std::vector<RegistryKey> keys_;
  std::vector<std::string> preamble_;  // lines between the header and the first section
  std::vector<std::string> foreign_;   // sections of other roots, with their lines
};

// The value of "dword:XXXXXXXX" data (exactly eight hex digits, any case); nothing otherwise.
std::optional<uint32_t> ParseDword(const std::string& raw);

// Strips leading and trailing backslashes and empty components.
std::string NormalizeKeyPath(const std::string& key);

}  // namespace platform::internal
