#include "tools/setupc/solid_blocks.h"

#include <algorithm>
#include <tuple>

#include "platform/ascii_case.h"
#include "tools/setupc/lzma_packing.h"
#include "tools/setupc/zstd_packing.h"

namespace setupc {
namespace {

// The sort key of an entry: programs first (their branches are converted alike), then its
// extension, then its name, both without regard to case.
std::tuple<bool, std::string, std::string> AlikeKey(const PlanItem& item) {
  const std::string name = platform::AsciiLower(item.entry_name);
  const size_t slash = name.find_last_of('\\');
  const size_t dot = name.find_last_of('.');
  std::string extension;
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    extension = name.substr(dot + 1);
  }
  return {!item.program, extension, name};
}

}  // namespace

std::string CodingName(const PackCoding& coding) {
  switch (coding.kind) {
    case PackCoding::Kind::kZlib:
      return "zlib";
    case PackCoding::Kind::kZstd:
      return "zstd " + std::to_string(coding.level);
    case PackCoding::Kind::kSolid:
      return "solid " + std::to_string(coding.level);
    case PackCoding::Kind::kSolidLzma:
      break;
  }
  return "solid lzma " + std::to_string(coding.level);
}

std::optional<PackCoding> ParseCoding(const std::vector<std::string>& words) {
  if (words.empty()) return std::nullopt;
  std::vector<std::string> lower;
  for (const std::string& word : words) lower.push_back(platform::AsciiLower(word));
  PackCoding coding;
  size_t next = 1;
  if (lower[0] == "zlib") return words.size() == 1 ? std::optional(coding) : std::nullopt;
  if (lower[0] == "zstd") {
    coding.kind = PackCoding::Kind::kZstd;
  } else if (lower[0] == "solid") {
    coding.kind = PackCoding::Kind::kSolid;
    if (next < lower.size() && (lower[next] == "zstd" || lower[next] == "lzma")) {
      if (lower[next] == "lzma") coding.kind = PackCoding::Kind::kSolidLzma;
      ++next;
    }
  } else {
    return std::nullopt;
  }
  const bool lzma = coding.kind == PackCoding::Kind::kSolidLzma;
  coding.level = lzma ? kDefaultLzmaLevel : kDefaultZstdLevel;
  if (next == words.size()) return coding;
  const std::string& level = words[next];
  if (next + 1 != words.size() || level.empty() || level.size() > 2 ||
      level.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  coding.level = std::stoi(level);
  const bool in_range = lzma ? coding.level <= kMaxLzmaLevel
                             : coding.level >= kMinZstdLevel && coding.level <= kMaxZstdLevel;
  return in_range ? std::optional(coding) : std::nullopt;
}

std::vector<PackUnit> PlanUnits(const std::vector<PlanItem>& items) {
  std::vector<PackUnit> units;
  for (size_t i = 0; i < items.size();) {
    if (!items[i].solid) {
      units.push_back({{i}, false});
      ++i;
      continue;
    }
    // The run of this solid group's items, in the order alike files sit together.
    size_t end = i;
    while (end < items.size() && items[end].solid && items[end].group == items[i].group) ++end;
    std::vector<size_t> run(end - i);
    for (size_t k = 0; k < run.size(); ++k) run[k] = i + k;
    std::stable_sort(run.begin(), run.end(), [&items](size_t a, size_t b) {
      return AlikeKey(items[a]) < AlikeKey(items[b]);
    });
    PackUnit block{{}, true};
    uint64_t filled = 0;
    const auto close = [&] {
      if (!block.items.empty()) units.push_back(std::move(block));
      block = PackUnit{{}, true};
      filled = 0;
    };
    for (const size_t index : run) {
      const uint64_t size = items[index].size;
      if (size == 0 || size >= kSolidAloneSize) {
        units.push_back({{index}, false});
        continue;
      }
      if (filled + size > kSolidBlockSize) close();
      block.items.push_back(index);
      filled += size;
    }
    close();
    i = end;
  }
  return units;
}

}  // namespace setupc
