// The registry hive: five roots kept as registry-export text files under $SETUP_ROOT/registry/.
// Keys and value names are matched without regard to case. Each change re-reads the root file
// and writes it back atomically under an exclusive file lock, so concurrent processes keep each
// other's values. The files are UTF-8 "Windows Registry Editor Version 5.00" exports (a UTF-16
// one with a byte-order mark is read too); values of other types (dword:, hex(2):, ...) are kept
// exactly as written; comment lines, lines of forms not understood and sections of another
// root are kept through every rewrite. A root file that is not an export text at all is set
// aside under a new name (the user is told) before the first change starts a new one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class RootKey { kClassesRoot, kCurrentUser, kLocalMachine, kUsers, kCurrentConfig };

// "HKEY_LOCAL_MACHINE" / "HKLM" and so on (any case); nothing for another name.
std::optional<RootKey> RootKeyFromName(const std::string& name);
std::string RootLongName(RootKey root);   // "HKEY_LOCAL_MACHINE"
std::string RootShortName(RootKey root);  // "HKLM"
// The host folder that holds the hive's files: $SETUP_ROOT/registry.
std::string RegistryHostFolder();

// Key paths use backslashes; leading and trailing backslashes are ignored. Texts are Windows-1252.
bool RegCreateKey(RootKey root, const std::string& key);
bool RegKeyExists(RootKey root, const std::string& key);
// Writes a REG_SZ value, creating the key chain when missing. Empty name = the default value.
bool RegSetString(RootKey root, const std::string& key, const std::string& name,
                  const std::string& value);
// Writes a REG_DWORD value (stored as dword:XXXXXXXX), creating the key chain when missing.
bool RegSetDword(RootKey root, const std::string& key, const std::string& name, uint32_t value);
// Nothing when the key or value is missing, or when the value is not a REG_DWORD.
std::optional<uint32_t> RegGetDword(RootKey root, const std::string& key, const std::string& name);

enum class ValueType { kString, kDword, kOther };
// The type of a value; nothing when the key or value is missing.
std::optional<ValueType> RegGetValueType(RootKey root, const std::string& key,
                                         const std::string& name);

// Nothing when the key or value is missing, or when the value is not a string (REG_SZ).
std::optional<std::string> RegGetString(RootKey root, const std::string& key,
                                        const std::string& name);
// True when a value of any type with that name exists.
bool RegValueExists(RootKey root, const std::string& key, const std::string& name);
bool RegDeleteValue(RootKey root, const std::string& key, const std::string& name);
// Deletes a key that has no subkeys (RegDeleteKeyA); false otherwise.
bool RegDeleteKey(RootKey root, const std::string& key);
std::vector<std::string> RegValueNames(RootKey root, const std::string& key);

// A value of any type as stored: a string's text, or another type's data exactly as the export
// writes it after '=' ("dword:0000002a", "hex(2):..."). Used to put a changed value back.
struct RegValueData {
  bool is_string = false;
  std::string text;  // REG_SZ data when is_string
  std::string raw;   // the stored data of any other type
  bool operator==(const RegValueData&) const = default;
};
std::optional<RegValueData> RegGetValue(RootKey root, const std::string& key,
                                        const std::string& name);
// Writes the value with its type, creating the key chain when missing.
bool RegSetValue(RootKey root, const std::string& key, const std::string& name,
                 const RegValueData& data);
std::vector<std::string> RegSubKeyNames(RootKey root, const std::string& key);

}  // namespace platform
