#include "setup/archive/group_source.h"

#include "setup/core/pak.h"

int TPakGroupSource::Count() { return pak_.CountInGroup(group_); }

void TPakGroupSource::ForEach(const std::function<void(int, const std::string&, uint32_t)>& visit) {
  pak_.ForEachInGroup(group_, [&](int index) {
    const TPakFile* entry = pak_.Entry(index);
    if (entry) visit(index, entry->name, entry->full_size);
  });
}

std::optional<std::string> TPakGroupSource::Load(int index) {
  const TPakFile* entry = pak_.Entry(index);
  if (!entry) return std::nullopt;
  // An empty entry has no blob; its content is the empty text.
  if (entry->full_size == 0) return std::string();
  return pak_.LoadEntry(index);
}
