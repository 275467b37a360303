#include "setup/commands/case_collisions.h"

#include <unordered_map>

#include "setup/io/cp1252_case.h"

namespace {

// The target below the install folder with one backslash between components and none at the
// ends, so "Docs\", "\docs" and "docs" name one folder.
std::string TargetPath(const TTargetFile& file) {
  std::string joined = file.folder + "\\" + file.entry;
  std::string path;
  for (char c : joined) {
    if (c == '/') c = '\\';
    if (c == '\\' && (path.empty() || path.back() == '\\')) continue;
    path.push_back(c);
  }
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace

std::vector<TCaseCollision> FindCaseCollisions(const std::vector<TTargetFile>& files) {
  std::vector<TCaseCollision> collisions;
  // Folded target path -> the file that holds it now (a later line's replacement takes over).
  std::unordered_map<std::string, size_t> holders;
  holders.reserve(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string target = TargetPath(files[i]);
    auto [it, inserted] = holders.try_emplace(LowerCp1252(target), i);
    if (inserted) continue;
    const TTargetFile& earlier = files[it->second];
    if (earlier.line != files[i].line && TargetPath(earlier) == target) {
      it->second = i;
      continue;
    }
    collisions.push_back({earlier, files[i]});
  }
  return collisions;
}
