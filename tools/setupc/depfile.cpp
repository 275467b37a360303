#include "tools/setupc/depfile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

namespace setupc {
namespace {

// Make reads a blank as a separator, '#' as a comment and '$' as a variable; ninja's depfile
// reader follows make for these. Other characters stay as they are, as compilers write them.
std::string Escaped(const std::string& path) {
  std::string out;
  out.reserve(path.size());
  for (char c : path) {
    if (c == ' ' || c == '\t' || c == '#') out += '\\';
    if (c == '$') out += '$';
    out += c;
  }
  return out;
}

}  // namespace

std::string DepfileText(const std::string& target, const std::vector<std::string>& dependencies) {
  std::string text = Escaped(target) + ":";
  std::set<std::string> seen;
  for (const std::string& dependency : dependencies) {
    if (dependency.empty() || !seen.insert(dependency).second) continue;
    text += " \\\n  " + Escaped(dependency);
  }
  return text + "\n";
}

bool WriteDepfile(const std::string& path, const std::string& text) {
  const std::string partial = path + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out.write(text.data(), static_cast<std::streamsize>(text.size())) || !out.flush()) {
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(partial, path, error);
  if (!error) return true;
  std::filesystem::remove(partial, error);
  return false;
}

}  // namespace setupc
