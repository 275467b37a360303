#include "tools/archive/tool_support.h"

#include <algorithm>
#include <cerrno>
#include <charconv>

#include "platform/failure.h"
#include "platform/files.h"
#include "platform/link_check.h"
#include "platform/safe_parent.h"

namespace archive_tool {

bool Args::Flag(const std::string& name) const {
  return std::any_of(options.begin(), options.end(),
                     [&](const auto& o) { return o.first == name; });
}

std::string Args::Option(const std::string& name, const std::string& fallback) const {
  for (const auto& [n, v] : options) {
    if (n == name) return v;
  }
  return fallback;
}

uint32_t Args::NumberOption(const std::string& name) const {
  std::string text = Option(name, "");
  if (text.empty()) throw ToolError("--" + name + " is required");
  uint32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) {
    throw ToolError("--" + name + " needs a decimal number, not \"" + text + "\"");
  }
  return value;
}

Args ParseArgs(const std::vector<std::string>& words, const std::vector<std::string>& flags) {
  Args args;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (w.size() > 2 && w.compare(0, 2, "--") == 0) {
      std::string name = w.substr(2);
      if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
        args.options.emplace_back(name, "");
        continue;
      }
      if (i + 1 >= words.size()) throw ToolError(w + " needs a value");
      args.options.emplace_back(name, words[++i]);
    } else {
      args.positional.push_back(w);
    }
  }
  return args;
}

namespace {

std::string ReadFileOrThrow(const std::string& path) {
  std::optional<std::string> bytes = platform::ReadFileBytes(path);
  if (!bytes) throw ToolError("cannot read " + path);
  return *bytes;
}

void CollectFolder(const std::string& folder, const std::string& prefix,
                   std::vector<std::pair<std::string, std::string>>& out) {
  for (const platform::FindData& f : platform::FindFiles(folder)) {
    if (f.is_symlink) continue;
    const std::string path = folder + "/" + f.name;
    const std::string name = prefix.empty() ? f.name : prefix + "\\" + f.name;
    if (f.attributes & platform::kFileAttributeDirectory) {
      CollectFolder(path, name, out);
    } else {
      out.emplace_back(name, ReadFileOrThrow(path));
    }
  }
}

std::string BaseName(const std::string& path) {
  size_t at = path.find_last_of("\\/");
  return at == std::string::npos ? path : path.substr(at + 1);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> CollectSources(
    const std::vector<std::string>& sources) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const std::string& source : sources) {
    size_t eq = source.find('=');
    if (eq != std::string::npos && eq > 0) {
      files.emplace_back(source.substr(0, eq), ReadFileOrThrow(source.substr(eq + 1)));
    } else if (platform::DirectoryExists(source)) {
      CollectFolder(source, "", files);
    } else if (platform::FileExists(source)) {
      files.emplace_back(BaseName(source), ReadFileOrThrow(source));
    } else {
      throw ToolError("no such file or folder: " + source);
    }
  }
  return files;
}

namespace {

// A failed write, with the system's reason; a link met on the way is said as such.
ToolError WriteError(const std::string& what) {
  if (errno == ELOOP) return ToolError(what + ": refusing to write through a link");
  return ToolError(what + ": " + platform::LastErrorText());
}

}  // namespace

void WriteBelow(const std::string& folder, const std::string& name, const std::string& content) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("\\/", start);
    if (end == std::string::npos) end = name.size();
    std::string part = name.substr(start, end - start);
    if (part == "..") throw ToolError("refusing entry name with \"..\": " + name);
    if (!part.empty() && part != ".") parts.push_back(part);
    start = end + 1;
  }
  if (parts.empty() || name.find(':') != std::string::npos) {
    throw ToolError("refusing entry name: \"" + name + "\"");
  }
  std::string path = folder;
  for (const std::string& part : parts) path += "/" + part;
  // As the archivers' safe modes do: a link in the destination (planted, or left by anyone) is
  // never written through, nor are folders made through it. A link there before is named; below
  // the destination as a trusted folder, every folder is opened without following a link and
  // the file is made in the last one, so a link planted during the extraction is refused too.
  if (const std::optional<std::string> link = platform::LinkBelow(folder, path, true)) {
    throw ToolError("refusing to write " + name + " through the link " + *link);
  }
  platform::StartFaultCounting();
  const platform::TrustedFolderScope destination(folder);
  path = folder;
  if (!platform::DirectoryExists(path)) platform::CreateDirectory(path);
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    path += "/" + parts[i];
    if (!platform::DirectoryExists(path) && !platform::CreateDirectory(path)) {
      throw WriteError("cannot create folder " + path);
    }
  }
  path += "/" + parts.back();
  if (!platform::WriteFileBytes(path, content.data(), content.size())) {
    throw WriteError("cannot write " + path);
  }
}

}  // namespace archive_tool
