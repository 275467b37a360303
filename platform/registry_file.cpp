// Reading and writing the registry-export text format.
#include "platform/registry_file.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "platform/ascii_case.h"
#include "platform/path_util.h"
#include "platform/text_encoding.h"

namespace platform::internal {
namespace {

constexpr char kHeader[] = "Windows Registry Editor Version 5.00";
constexpr char kOldHeader[] = "REGEDIT4";

// The text of export bytes: UTF-16LE with a byte-order mark becomes UTF-8, a UTF-8 mark goes.
std::string ExportText(const std::string& bytes) {
  std::string text = bytes;
  if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
      static_cast<unsigned char>(text[1]) == 0xFE) {
    std::u16string wide;
    for (size_t i = 2; i + 1 < text.size(); i += 2) {
      wide += static_cast<char16_t>(static_cast<unsigned char>(text[i]) |
                                    (static_cast<unsigned char>(text[i + 1]) << 8));
    }
    text = Utf16ToUtf8(wide);
  } else if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    text.erase(0, 3);
  }
  return text;
}

// Blanks and tabs from `pos` on are passed over.
void SkipBlanks(const std::string& line, size_t& pos) {
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
}

bool SameName(const std::string& a, const std::string& b) { return SameIgnoringAsciiCase(a, b); }

// Splits text into lines, dropping a CR before each LF.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    pos = end + 1;
  }
  return lines;
}

// Reads a quoted text starting at `pos` (on the opening quote); leaves `pos` after the closing
// quote. Escapes: \\ \" and, for line breaks, \n \r; any other backslash stays as written.
std::optional<std::string> ReadQuoted(const std::string& line, size_t& pos) {
  if (pos >= line.size() || line[pos] != '"') return std::nullopt;
  std::string out;
  for (++pos; pos < line.size(); ++pos) {
    const char c = line[pos];
    if (c == '"') {
      ++pos;
      return out;
    }
    if (c == '\\' && pos + 1 < line.size()) {
      const char next = line[++pos];
      if (next == '\\' || next == '"') {
        out += next;
      } else if (next == 'n') {
        out += '\n';
      } else if (next == 'r') {
        out += '\r';
      } else {
        out += '\\';
        out += next;
      }
      continue;
    }
    out += c;
  }
  return std::nullopt;
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// Decodes hex(1): UTF-16LE bytes of a REG_SZ written in hex form (with its terminating zero).
std::optional<std::string> DecodeHexString(const std::string& raw) {
  std::string digits;
  std::u16string text;
  std::vector<unsigned char> bytes;
  for (size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (std::isxdigit(static_cast<unsigned char>(c))) {
      digits += c;
      if (digits.size() == 2) {
        bytes.push_back(static_cast<unsigned char>(std::stoi(digits, nullptr, 16)));
        digits.clear();
      }
    } else if (c == ',' || c == '\\' || c == ' ' || c == '\n' || c == '\t') {
      if (!digits.empty()) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  if (!digits.empty()) return std::nullopt;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
  }
  while (!text.empty() && text.back() == 0) text.pop_back();
  return Utf16ToCp1252(text);
}

}  // namespace

std::optional<uint32_t> ParseDword(const std::string& raw) {
  constexpr size_t kPrefix = 6;  // "dword:"
  if (raw.size() != kPrefix + 8 || AsciiLower(raw.substr(0, kPrefix)) != "dword:") {
    return std::nullopt;
  }
  uint32_t value = 0;
  for (size_t i = kPrefix; i < raw.size(); ++i) {
    const char c = raw[i];
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    const uint32_t digit = std::isdigit(static_cast<unsigned char>(c))
                               ? static_cast<uint32_t>(c - '0')
                               : static_cast<uint32_t>(std::tolower(c) - 'a' + 10);
    value = value << 4 | digit;
  }
  return value;
}

std::string NormalizeKeyPath(const std::string& key) {
  std::string out;
  std::string current;
  for (size_t i = 0; i <= key.size(); ++i) {
    if (i == key.size() || key[i] == '\\') {
      if (!current.empty()) out += (out.empty() ? "" : "\\") + current;
      current.clear();
    } else {
      current += key[i];
    }
  }
  return out;
}

RegistryDocument RegistryDocument::Parse(const std::string& bytes,
                                         const std::string& root_long_name) {
  const std::string text = ExportText(bytes);
  RegistryDocument doc;
  const std::vector<std::string> lines = SplitLines(text);
  RegistryKey* current = nullptr;
  bool in_foreign = false;
  bool header_seen = false;
  const std::string root_upper = AsciiUpper(root_long_name);
  // A line this reader does not understand stays where it was: in its key after the values
  // read so far, with the sections of other roots, or before the first section.
  auto keep = [&](const std::string& line) {
    if (current != nullptr) {
      current->kept.push_back(KeptLine{current->values.size(), line});
    } else if (in_foreign) {
      doc.foreign_.push_back(line);
    } else if (!line.empty()) {
      doc.preamble_.push_back(line);
    }
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!header_seen && current == nullptr && !in_foreign &&
        (line == kHeader || line == kOldHeader)) {
      header_seen = true;
      continue;
    }
    if (line.empty()) {
      if (in_foreign) doc.foreign_.push_back(line);
      continue;
    }
    if (line[0] == '[') {
      current = nullptr;
      in_foreign = false;
      const size_t close = line.find_last_of(']');
      std::string full;
      if (close != std::string::npos) full = Utf8ToCp1252(line.substr(1, close - 1));
      const size_t slash = full.find('\\');
      if (close == std::string::npos || AsciiUpper(full.substr(0, slash)) != root_upper) {
        in_foreign = true;
        doc.foreign_.push_back(line);
        continue;
      }
      const std::string path =
          NormalizeKeyPath(slash == std::string::npos ? "" : full.substr(slash + 1));
      current = &doc.CreateKey(path);
      continue;
    }
    if (current == nullptr || line[0] == ';') {
      keep(line);
      continue;
    }
    RegistryValue value;
    size_t pos = 0;
    SkipBlanks(line, pos);
    if (pos < line.size() && line[pos] == '@') {
      ++pos;
    } else {
      auto name = ReadQuoted(line, pos);
      if (!name) {
        keep(line);
        continue;
      }
      value.name = Utf8ToCp1252(*name);
    }
    SkipBlanks(line, pos);
    if (pos >= line.size() || line[pos] != '=') {
      keep(line);
      continue;
    }
    ++pos;
    SkipBlanks(line, pos);
    if (pos < line.size() && line[pos] == '"') {
      auto data = ReadQuoted(line, pos);
      if (!data) {
        keep(line);
        continue;
      }
      value.is_string = true;
      value.text = Utf8ToCp1252(*data);
    } else {
      value.raw = line.substr(pos);
      // Hex data wraps over lines that end in a backslash. One with nothing to continue onto
      // (the end, an empty line, a section) is dropped: written back, it would join the value
      // to whatever follows it then, such as a value added later.
      while (!value.raw.empty() && value.raw.back() == '\\') {
        if (i + 1 < lines.size() && !lines[i + 1].empty() && lines[i + 1][0] != '[') {
          value.raw += "\n" + lines[++i];
          continue;
        }
        // Nothing to continue onto: the backslash goes, and with it the lines it leaves empty.
        do {
          value.raw.pop_back();
        } while (!value.raw.empty() && (value.raw.back() == '\n' || value.raw.back() == '\\'));
      }
      if (value.raw == "-") continue;  // a deletion entry, nothing to keep
      if (AsciiLower(value.raw).rfind("hex(1):", 0) == 0) {
        if (auto decoded = DecodeHexString(value.raw.substr(7))) {
          // Read as a string, written back in its own hex form while unchanged.
          value.is_string = true;
          value.text = *decoded;
        }
      }
    }
    if (RegistryValue* existing = FindValue(*current, value.name)) {
      *existing = std::move(value);
    } else {
      current->values.push_back(std::move(value));
    }
  }
  return doc;
}

bool RegistryDocument::Readable(const std::string& bytes) {
  for (const std::string& line : SplitLines(ExportText(bytes))) {
    if (line.empty()) continue;
    return line == kHeader || line == kOldHeader;
  }
  return true;
}

std::string RegistryDocument::Serialize(const std::string& root_long_name) const {
  std::string out = std::string(kHeader) + "\r\n";
  for (const std::string& line : preamble_) out += line + "\r\n";
  for (const RegistryKey& key : keys_) {
    out += "\r\n[" + root_long_name + (key.path.empty() ? "" : "\\") + Cp1252ToUtf8(key.path) +
           "]\r\n";
    size_t kept = 0;
    auto kept_lines_to = [&](size_t values) {
      for (; kept < key.kept.size() && key.kept[kept].after <= values; ++kept) {
        out += key.kept[kept].text + "\r\n";
      }
    };
    for (size_t v = 0; v < key.values.size(); ++v) {
      kept_lines_to(v);
      const RegistryValue& value = key.values[v];
      out += value.name.empty() ? "@" : Quote(Cp1252ToUtf8(value.name));
      out += '=';
      if (value.is_string && value.raw.empty()) {
        out += Quote(Cp1252ToUtf8(value.text));
      } else {
        std::string raw = value.raw;
        for (size_t p = 0; (p = raw.find('\n', p)) != std::string::npos; p += 2) {
          raw.insert(p, "\r");
        }
        out += raw;
      }
      out += "\r\n";
    }
    kept_lines_to(SIZE_MAX);
  }
  if (!foreign_.empty()) out += "\r\n";
  for (const std::string& line : foreign_) out += line + "\r\n";
  return out;
}

RegistryKey* RegistryDocument::FindKey(const std::string& path) {
  for (RegistryKey& key : keys_) {
    if (SameName(key.path, path)) return &key;
  }
  return nullptr;
}

const RegistryKey* RegistryDocument::FindKey(const std::string& path) const {
  return const_cast<RegistryDocument*>(this)->FindKey(path);
}

bool RegistryDocument::KeyExists(const std::string& path) const {
  return path.empty() || FindKey(path) != nullptr || HasSubKeys(path);
}

RegistryKey& RegistryDocument::CreateKey(const std::string& path) {
  if (RegistryKey* key = FindKey(path)) return *key;
  const size_t slash = path.find_last_of('\\');
  if (slash != std::string::npos) CreateKey(path.substr(0, slash));
  // A new key takes the spelling of its existing parent, as the real registry keeps names.
  std::string spelled = path;
  if (slash != std::string::npos) {
    if (const RegistryKey* parent = FindKey(path.substr(0, slash))) {
      spelled = parent->path + path.substr(slash);
    }
  }
  keys_.push_back(RegistryKey{spelled, {}, {}});
  return keys_.back();
}

bool RegistryDocument::HasSubKeys(const std::string& path) const {
  return !SubKeyNames(path).empty();
}

std::vector<std::string> RegistryDocument::SubKeyNames(const std::string& path) const {
  std::vector<std::string> names;
  const std::string prefix = path.empty() ? "" : AsciiUpper(path) + "\\";
  for (const RegistryKey& key : keys_) {
    if (key.path.empty() || key.path.size() <= prefix.size()) continue;
    if (AsciiUpper(key.path.substr(0, prefix.size())) != prefix) continue;
    const std::string rest = key.path.substr(prefix.size());
    const std::string name = rest.substr(0, rest.find('\\'));
    const bool known = std::any_of(names.begin(), names.end(),
                                   [&](const std::string& n) { return SameName(n, name); });
    if (!known) names.push_back(name);
  }
  return names;
}

bool RegistryDocument::RemoveKey(const std::string& path) {
  const auto it = std::find_if(keys_.begin(), keys_.end(),
                               [&](const RegistryKey& key) { return SameName(key.path, path); });
  if (it == keys_.end()) return false;
  keys_.erase(it);
  return true;
}

RegistryValue* RegistryDocument::FindValue(RegistryKey& key, const std::string& name) {
  for (RegistryValue& value : key.values) {
    if (SameName(value.name, name)) return &value;
  }
  return nullptr;
}

}  // namespace platform::internal
