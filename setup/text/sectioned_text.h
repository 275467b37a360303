// Reader of the 8-bit sectioned text files that describe the wizard: the page list
// ("Pages.txt") and the page layouts. Lines are trimmed, empty lines dropped, and lines are
// grouped into sections that each begin with a "[Name]" header line. No Qt; the wizard reads
// package entries with it and setupc reads the page-set files on disk with it.
#pragma once

#include <functional>
#include <string>
#include <vector>

class TPak;  // setup/core/pak.h

// The layout reader's line list (Windows-1252 lines).
class TStringList {
 public:
  void Add(const std::string& line) { lines_.push_back(line); }
  // The line at `index`, or an empty string when the index is negative or past the end.
  const std::string& Get(int index) const;
  void Clear() { lines_.clear(); }
  int count() const { return static_cast<int>(lines_.size()); }

 private:
  std::vector<std::string> lines_;
};

// Called once per section; line 0 is the header (or, for lines before the first header, the
// first of them).
using SectionHandler = std::function<void(const TStringList& section)>;

// Trim as the sectioned files use it: blanks, tabs and every other control character (bytes up
// to 0x20) go from both ends.
std::string TrimControl(const std::string& text);

// Cuts `bytes` (up to the first NUL) at every CR, trims each piece and keeps the non-empty ones.
// A file that uses LF alone is one single line.
TStringList SplitTrimmedLines(const std::string& bytes);

// Groups the lines of `bytes` into sections and calls `handler` for each, in file order.
void ReadSections(const std::string& bytes, const SectionHandler& handler);

// The section name of a header line: the line without its first and last character.
std::string SectionName(const std::string& header);

// Which message a missing entry shows.
enum class MissingEntryMessage {
  kLayout,    // "Error File Missing: |NAME|", caption "Missing File"
  kPageList,  // "Error File Missing: NAME", caption "Missing File"
  kNone,      // no message (tools and tests)
};

// Reads the group-0 entry `entry_name` (case-insensitive) of the package and hands its sections
// to `handler`. A missing or unreadable entry shows the chosen message and answers false
// without calling the handler.
bool ReadSectionedEntry(TPak& pak, const std::string& entry_name, MissingEntryMessage message,
                        const SectionHandler& handler);
