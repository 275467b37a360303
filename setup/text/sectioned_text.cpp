#include "setup/text/sectioned_text.h"

#include "platform/message_box.h"
#include "setup/core/pak.h"

const std::string& TStringList::Get(int index) const {
  static const std::string kEmpty;
  if (index < 0 || index >= count()) return kEmpty;
  return lines_[static_cast<size_t>(index)];
}

std::string TrimControl(const std::string& text) {
  size_t start = 0;
  size_t end = text.size();
  while (start < end && static_cast<unsigned char>(text[start]) <= ' ') ++start;
  while (end > start && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(start, end - start);
}

TStringList SplitTrimmedLines(const std::string& bytes) {
  // Reading stops at the first NUL, as the files are 8-bit text.
  const std::string text = bytes.substr(0, bytes.find('\0'));
  TStringList lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t cr = text.find('\r', start);
    const size_t stop = cr == std::string::npos ? text.size() : cr;
    std::string line = TrimControl(text.substr(start, stop - start));
    if (!line.empty()) lines.Add(line);
    if (cr == std::string::npos) break;
    start = cr + 1;
  }
  return lines;
}

void ReadSections(const std::string& bytes, const SectionHandler& handler) {
  const TStringList lines = SplitTrimmedLines(bytes);
  TStringList section;
  for (int i = 0; i < lines.count(); ++i) {
    const std::string& line = lines.Get(i);
    if (line[0] == '[' && section.count() > 0) {
      handler(section);
      section.Clear();
    }
    section.Add(line);
  }
  if (section.count() > 0) handler(section);
}

std::string SectionName(const std::string& header) {
  if (header.size() < 2) return std::string();
  return header.substr(1, header.size() - 2);
}

bool ReadSectionedEntry(TPak& pak, const std::string& entry_name, MissingEntryMessage message,
                        const SectionHandler& handler) {
  std::optional<std::string> bytes = pak.FindEntry(entry_name, 0);
  if (!bytes) {
    if (message == MissingEntryMessage::kLayout) {
      platform::MessageBox("Error File Missing: |" + entry_name + "|", "Missing File",
                           platform::kMbOk);
    } else if (message == MissingEntryMessage::kPageList) {
      platform::MessageBox("Error File Missing: " + entry_name, "Missing File", platform::kMbOk);
    }
    return false;
  }
  ReadSections(*bytes, handler);
  return true;
}
