#include "tools/setupc/page_list_text.h"

#include <vector>

#include "platform/ascii_case.h"

namespace setupc {
namespace {

std::string Trimmed(const std::string& line) {
  size_t begin = 0;
  size_t end = line.size();
  while (begin < end && static_cast<unsigned char>(line[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(line[end - 1]) <= ' ') --end;
  return line.substr(begin, end - begin);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(line);
      line.clear();
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += text[i];
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string JoinCrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace

std::string WithCrLf(const std::string& text) {
  std::string result = JoinCrLf(SplitLines(text));
  // A text without a final line end keeps it that way.
  if (!text.empty() && text.back() != '\n' && text.back() != '\r') result.resize(result.size() - 2);
  return result;
}

namespace {

// The page list's lines, and which of them are pages of the given kinds.
struct KindLines {
  std::vector<std::string> lines;
  std::vector<bool> drop;
  bool any = false;
};

KindLines FindPagesOfKinds(const std::string& page_list, const std::set<std::string>& kinds) {
  std::vector<std::string> lines = SplitLines(page_list);
  // Positions (into `lines`) of the body lines of [Pages] and [PageTypes].
  std::vector<size_t> pages;
  std::vector<size_t> types;
  std::vector<size_t>* section = nullptr;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string line = Trimmed(lines[i]);
    if (line.empty()) continue;
    if (line[0] == '[') {
      const std::string name =
          platform::AsciiLower(line.substr(1, line.size() >= 2 ? line.size() - 2 : 0));
      section = name == "pages" ? &pages : name == "pagetypes" ? &types : nullptr;
      continue;
    }
    if (section) section->push_back(i);
  }
  KindLines found{lines, std::vector<bool>(lines.size(), false), false};
  for (size_t k = 0; k < types.size() && k < pages.size(); ++k) {
    if (kinds.count(platform::AsciiLower(Trimmed(lines[types[k]]))) == 0) continue;
    found.drop[types[k]] = found.drop[pages[k]] = true;
    found.any = true;
  }
  return found;
}

}  // namespace

std::string WithoutPagesOfKinds(const std::string& page_list, const std::set<std::string>& kinds) {
  const KindLines found = FindPagesOfKinds(page_list, kinds);
  if (!found.any) return page_list;
  std::vector<std::string> kept;
  for (size_t i = 0; i < found.lines.size(); ++i) {
    if (!found.drop[i]) kept.push_back(found.lines[i]);
  }
  return JoinCrLf(kept);
}

bool HasPageOfKind(const std::string& page_list, const std::string& kind) {
  return FindPagesOfKinds(page_list, {kind}).any;
}

}  // namespace setupc
