#include "setup/core/compiled_lines.h"

#include <algorithm>
#include <utility>

#include "setup/core/buffer_manager.h"

namespace {
const std::string kNoArgument;
}

const std::string& TCompLine::Arg(int i) const {
  if (i < 0 || static_cast<size_t>(i) >= Arguments.size()) return kNoArgument;
  return Arguments[static_cast<size_t>(i)];
}

void TCompLine::SetArguments(std::vector<std::string> arguments) {
  Arguments = std::move(arguments);
  ArgCount = static_cast<int32_t>(Arguments.size());
}

TCompLine TCompLine::Empty() {
  TCompLine line;
  line.CommandID = -1;
  line.LineIndex = -1;
  return line;
}

TCompLine* TCompLines::Line(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  return &Lines[static_cast<size_t>(index)];
}

const TCompLine* TCompLines::Line(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return &Lines[static_cast<size_t>(index)];
}

void TCompLines::LoadFromBuffer(const void* data, size_t size) {
  Lines.clear();
  TBufferManager in(data, size);
  const uint16_t count = in.ReadUInt16();
  Lines.resize(count);
  for (TCompLine& line : Lines) {
    line.CommandID = in.ReadInt32();
    line.LineIndex = in.ReadInt32();
    const int32_t stored_count = in.ReadInt32();
    // Each argument takes at least its 2-byte length, so a count beyond what the remaining bytes
    // can hold describes arguments that are not there; they are not created.
    const size_t possible = in.Remaining() / 2 + (in.Remaining() % 2);
    const size_t arg_count =
        stored_count <= 0 ? 0 : std::min(static_cast<size_t>(stored_count), possible);
    line.Arguments.resize(arg_count);
    for (std::string& argument : line.Arguments) argument = in.ReadShortString();
    line.ArgCount = static_cast<int32_t>(arg_count);
  }
}

std::optional<std::string> TCompLines::Encode() const {
  if (Lines.size() > kMaxCompiledLines) return std::nullopt;
  TBufferWriter out;
  out.WriteUInt16(static_cast<uint16_t>(Lines.size()));
  for (const TCompLine& line : Lines) {
    out.WriteInt32(line.CommandID);
    out.WriteInt32(line.LineIndex);
    // The stored count is the number of strings that follow, whatever ArgCount says.
    out.WriteInt32(static_cast<int32_t>(line.Arguments.size()));
    for (const std::string& argument : line.Arguments) {
      if (!out.WriteShortString(argument)) return std::nullopt;
    }
  }
  return out.Take();
}
