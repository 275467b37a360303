#include "tools/setupc/page_set.h"

#include <set>

#include "platform/files.h"
#include "setup/text/sectioned_text.h"

namespace setupc {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::vector<std::string> SplitComponents(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

// The name of `folder`'s entry that equals `name` without regard to case (exact match first).
std::string FindName(const std::string& folder, const std::string& name, bool want_folder) {
  std::string found;
  for (const platform::FindData& item : platform::FindFiles(folder, "*")) {
    const bool is_folder = (item.attributes & platform::kFileAttributeDirectory) != 0;
    if (is_folder != want_folder || Lower(item.name) != Lower(name)) continue;
    if (item.name == name) return item.name;
    if (found.empty()) found = item.name;
  }
  return found;
}

std::string ReadText(const std::string& path) {
  std::optional<std::string> bytes = platform::ReadFileBytes(path);
  return bytes ? *bytes : std::string();
}

// Picture and file names a layout's controls refer to: the `file` key of every section. A value
// holding a placeholder (the change-log box's "<%CHANGELOG%>") names an entry packed elsewhere.
std::vector<std::string> LayoutFileNames(const std::string& layout_bytes) {
  std::vector<std::string> names;
  ReadSections(layout_bytes, [&names](const TStringList& section) {
    for (int i = 2; i < section.count(); ++i) {
      const std::string& line = section.Get(i);
      const size_t equals = line.find('=');
      if (equals == std::string::npos) continue;
      if (Lower(line.substr(0, equals)) != "file") continue;
      const std::string value = line.substr(equals + 1);
      if (value.empty() || value.find("<%") != std::string::npos) continue;
      names.push_back(value);
    }
  });
  return names;
}

}  // namespace

std::string FindFileIgnoringCase(const std::string& folder, const std::string& relative) {
  const std::vector<std::string> parts = SplitComponents(relative);
  if (parts.empty()) return std::string();
  std::string path = folder;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (parts[i] == "." || parts[i] == "..") return std::string();  // stays inside the set
    const bool last = i + 1 == parts.size();
    const std::string name = FindName(path, parts[i], !last);
    if (name.empty()) return std::string();
    path += "/" + name;
  }
  return platform::FileExists(path) ? path : std::string();
}

PageSet CollectPageSet(const std::string& layout_folder, const std::string& name,
                       const std::set<std::string>& other_entries) {
  PageSet set;
  std::string folder;
  const std::string folder_name =
      SplitComponents(name).size() == 1 ? FindName(layout_folder, name, true) : std::string();
  if (folder_name.empty()) {
    set.errors.push_back("page set '" + name + "' not found in " + layout_folder);
    return set;
  }
  folder = layout_folder + "/" + folder_name;
  set.icon_host_path = FindFileIgnoringCase(folder, "icon.ico");

  const std::string page_list = FindFileIgnoringCase(folder, "Pages.txt");
  if (page_list.empty()) {
    set.errors.push_back("page set '" + name + "' has no Pages.txt");
    return set;
  }
  set.files.push_back({"Pages.txt", page_list});

  std::vector<std::string> layouts;
  ReadSections(ReadText(page_list), [&layouts](const TStringList& section) {
    if (Lower(SectionName(section.Get(0))) != "pages") return;
    for (int i = 1; i < section.count(); ++i) layouts.push_back(section.Get(i));
  });

  // Each file goes in once, however many pages name it.
  std::set<std::string> packed = {"pages.txt"};
  auto add = [&](const std::string& entry, const std::string& what) {
    if (!packed.insert(Lower(entry)).second) return std::string();
    const std::string path = FindFileIgnoringCase(folder, entry);
    if (path.empty() && other_entries.count(Lower(entry)) != 0) return std::string();
    if (path.empty()) {
      set.errors.push_back("page set '" + name + "': " + what + " '" + entry + "' not found");
      return std::string();
    }
    set.files.push_back({entry, path});
    return path;
  };
  for (const std::string& layout : layouts) {
    const std::string path = add(layout, "layout");
    if (path.empty()) continue;
    for (const std::string& picture : LayoutFileNames(ReadText(path))) add(picture, "picture");
  }
  return set;
}

}  // namespace setupc
