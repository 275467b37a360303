// Finds package files that would be extracted to one path when letter case is ignored, as it is
// on the target file systems: the second would silently overwrite the first.
#pragma once

#include <string>
#include <vector>

// One file a `file` line extracts.
struct TTargetFile {
  int line = 0;        // 1-based script line of the `file` line
  std::string folder;  // target subfolder below the install folder as written ("" for none)
  std::string entry;   // entry name (relative path with backslashes)
  std::string source;  // where the file is read from, for the message
};

struct TCaseCollision {
  TTargetFile first;
  TTargetFile second;  // the later of the two, whose line the error is reported on
};

// Every file whose target path equals an earlier one's when Windows-1252 letter case is ignored.
// Within one line that is always a collision. Across lines a target spelled exactly alike is a
// deliberate replacement by the later line and is allowed; only spellings that differ in letter
// case collide. `files` are in line order; the result is in the order the later files appear.
std::vector<TCaseCollision> FindCaseCollisions(const std::vector<TTargetFile>& files);
