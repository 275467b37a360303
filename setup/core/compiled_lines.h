// The compiled install script: one TCompLine per script line, stored as the package entry
// "CompiledLines" (2-byte line count; per line id, line index and argument count as signed
// 4-byte values, then the arguments as 2-byte-length strings).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr size_t kLineCountSize = 2;
constexpr size_t kLineIdSize = 4;
constexpr size_t kLineIndexSize = 4;
constexpr size_t kLineArgCountSize = 4;
constexpr size_t kLineHeaderSize = kLineIdSize + kLineIndexSize + kLineArgCountSize;
static_assert(kLineHeaderSize == 12);
constexpr size_t kMaxCompiledLines = 0xFFFF;

struct TCompLine {
  // 1..32: the command registered at index id - 1; 0 or -1: no command (blank line, comment,
  // label with its name as first argument, or a line emptied because it only defines the setup).
  int32_t CommandID = 0;
  std::vector<std::string> Arguments;
  // Number of arguments; always equal to Arguments.size() once loaded.
  int32_t ArgCount = 0;
  // The line's own 0-based position for command lines (handed to the command); -1 otherwise.
  int32_t LineIndex = -1;

  // Argument i, or an empty string when the line has fewer arguments.
  const std::string& Arg(int i) const;
  // Replaces the arguments and keeps ArgCount in step.
  void SetArguments(std::vector<std::string> arguments);
  // The stored form of a line emptied at compile time: id -1, line index -1, no arguments.
  static TCompLine Empty();

  bool operator==(const TCompLine&) const = default;
};

class TCompLines {
 public:
  std::vector<TCompLine> Lines;

  int Count() const { return static_cast<int>(Lines.size()); }
  TCompLine& operator[](int index) { return Lines[static_cast<size_t>(index)]; }
  const TCompLine& operator[](int index) const { return Lines[static_cast<size_t>(index)]; }
  // Nullptr for an index outside the list.
  TCompLine* Line(int index);
  const TCompLine* Line(int index) const;
  void Add(TCompLine line) { Lines.push_back(std::move(line)); }
  void Clear() { Lines.clear(); }

  // Replaces every line with the stored form. Reading stops at the end of the data; what was not
  // there stays 0 or empty. Counts are checked against the bytes present before allocating.
  void LoadFromBuffer(const void* data, size_t size);
  // The stored form; nothing when it cannot be represented (more than 65,535 lines or an
  // argument longer than 65,535 bytes).
  std::optional<std::string> Encode() const;

  bool operator==(const TCompLines&) const = default;
};
