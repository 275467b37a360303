#include "tools/setupc/page_set.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "platform/ascii_case.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "setup/commands/case_collisions.h"
#include "setup/text/sectioned_text.h"
#include "tools/setupc/page_list_text.h"

namespace setupc {
namespace {

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
      if (platform::AsciiLower(line.substr(0, equals)) != "file") continue;
      const std::string value = line.substr(equals + 1);
      if (value.empty() || value.find("<%") != std::string::npos) continue;
      names.push_back(value);
    }
  });
  return names;
}

// Files of the set's folder (at any depth) whose names differ only in letter case.
void CheckCaseCollisions(const std::string& folder, const std::string& name, PageSet& set) {
  std::vector<TTargetFile> files;
  std::error_code error;
  for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (!it->is_regular_file(error)) continue;
    const std::string relative = it->path().lexically_relative(folder).string();
    files.push_back({0, "", relative, it->path().string()});
  }
  std::sort(files.begin(), files.end(),
            [](const TTargetFile& a, const TTargetFile& b) { return a.entry < b.entry; });
  for (const TCaseCollision& collision : FindCaseCollisions(files)) {
    set.errors.push_back("page set '" + name +
                         "': files land on one name when letter case is ignored - " +
                         collision.first.source + " and " + collision.second.source);
  }
}

}  // namespace

std::string FindFileIgnoringCase(const std::string& folder, const std::string& relative) {
  std::optional<std::string> path = platform::FindHostPathIgnoringCase(folder, relative);
  return path && platform::FileExists(*path) ? *path : std::string();
}

PageSet CollectPageSet(const std::string& layout_folder, const std::string& name,
                       const std::set<std::string>& other_entries,
                       const std::set<std::string>& dropped_kinds) {
  PageSet set;
  // The set is one folder directly in the layout folder.
  const bool one_name = name.find_first_of("\\/") == std::string::npos;
  const std::optional<std::string> found =
      one_name ? platform::FindHostPathIgnoringCase(layout_folder, name) : std::nullopt;
  if (!found || !platform::DirectoryExists(*found)) {
    set.errors.push_back("page set '" + name + "' not found in " + layout_folder);
    return set;
  }
  const std::string& folder = *found;
  CheckCaseCollisions(folder, name, set);
  set.icon_host_path = FindFileIgnoringCase(folder, "icon.ico");

  const std::string page_list = FindFileIgnoringCase(folder, "Pages.txt");
  if (page_list.empty()) {
    set.errors.push_back("page set '" + name + "' has no Pages.txt");
    return set;
  }
  std::string page_list_text = WithCrLf(ReadText(page_list));
  page_list_text = WithoutPagesOfKinds(page_list_text, dropped_kinds);
  set.license_page = HasPageOfKind(page_list_text, "license");
  set.files.push_back({"Pages.txt", page_list, page_list_text});

  std::vector<std::string> layouts;
  ReadSections(page_list_text, [&layouts](const TStringList& section) {
    if (platform::AsciiLower(SectionName(section.Get(0))) != "pages") return;
    for (int i = 1; i < section.count(); ++i) layouts.push_back(section.Get(i));
  });

  // Each file goes in once, however many pages name it.
  std::set<std::string> packed = {"pages.txt"};
  auto add = [&](const std::string& entry, const std::string& what) {
    if (!packed.insert(platform::AsciiLower(entry)).second) return std::string();
    const std::string path = FindFileIgnoringCase(folder, entry);
    if (path.empty() && other_entries.count(platform::AsciiLower(entry)) != 0) return std::string();
    if (path.empty()) {
      set.errors.push_back("page set '" + name + "': " + what + " '" + entry + "' not found");
      return std::string();
    }
    set.files.push_back({entry, path, std::nullopt});
    return path;
  };
  for (const std::string& layout : layouts) {
    const std::string path = add(layout, "layout");
    if (path.empty()) continue;
    const std::string text = WithCrLf(ReadText(path));
    set.files.back().bytes = text;
    for (const std::string& picture : LayoutFileNames(text)) {
      const std::string lower = platform::AsciiLower(picture);
      if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".emf") == 0) {
        set.warnings.push_back("page set '" + name + "': layout '" + layout + "' names '" +
                               picture + "', an enhanced metafile, which setup does not draw");
      }
      add(picture, "picture");
    }
  }
  return set;
}

}  // namespace setupc
