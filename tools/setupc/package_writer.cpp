#include "tools/setupc/package_writer.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/files.h"
#include "setup/core/crc32.h"
#include "setup/core/pak.h"
#include "setup/core/setup_error.h"
#include "setup/io/x86_branches.h"
#include "tools/setupc/lzma_packing.h"
#include "tools/setupc/x86_programs.h"
#include "tools/setupc/zstd_packing.h"

namespace setupc {
namespace {

enum class SlotKind { kPrepared, kEmpty, kLarge, kBlock };

// A file of a zstd block that does not shrink (zstd's fastest level saves less than this share
// of it) is stored raw on its own instead: packing it with the others would only cost time.
// LZMA blocks, which are for the smallest installers, take every file: LZMA still takes a few
// percent off compressed files and pictures that zstd's fastest level leaves as they are.
constexpr uint64_t kShrinkTestSize = 64 * 1024;
constexpr double kShrinkNeeded = 0.97;

struct BlockMember {
  size_t item = 0;
  uint32_t position = 0;
};

struct Slot {
  bool done = false;
  SlotKind kind = SlotKind::kPrepared;
  std::optional<TPreparedEntry> prepared;
  TEntryCoding coding = TEntryCoding::kZlib;
  // kBlock: the frame (in `prepared`, full size = the block's bytes), its members and the items
  // of the block stored raw on their own, each with its bytes.
  std::vector<BlockMember> members;
  std::vector<std::pair<size_t, TPreparedEntry>> alone;
  std::string error;
};

TPreparedEntry RawEntry(std::string bytes) {
  TPreparedEntry entry;
  entry.full_size = static_cast<uint32_t>(bytes.size());
  entry.crc = ComputeCrc32(bytes.data(), bytes.size());
  entry.stored = std::move(bytes);
  return entry;
}

// A block (or an LZMA entry of its own) coded with `coding`, and the coding its entries get:
// made mostly of x86 programs, its branches are converted first.
std::optional<std::pair<std::string, TEntryCoding>> CodedBlock(std::string data, bool programs,
                                                               const PackCoding& coding,
                                                               ZstdPacker& zstd) {
  if (programs) {
    archive_io::ConvertX86Branches(reinterpret_cast<unsigned char*>(data.data()), data.size(),
                                   true);
  }
  const bool lzma = coding.kind == PackCoding::Kind::kSolidLzma;
  std::optional<std::string> stream =
      lzma ? LzmaCompress(data, coding.level) : zstd.Compress(data, coding.level, true);
  if (!stream) return std::nullopt;
  TEntryCoding kind = lzma ? TEntryCoding::kSolidLzma : TEntryCoding::kSolid;
  if (programs) kind = lzma ? TEntryCoding::kSolidLzmaX86 : TEntryCoding::kSolidX86;
  return std::pair(std::move(*stream), kind);
}

// A zstd frame or LZMA stream of `full_size` bytes, its CRC taken over the stored bytes.
TPreparedEntry CodedEntry(std::string stored, size_t full_size) {
  TPreparedEntry entry;
  entry.full_size = static_cast<uint32_t>(full_size);
  entry.crc = ComputeCrc32(stored.data(), stored.size());
  entry.stored = std::move(stored);
  entry.compressed = true;
  return entry;
}

// Shared by the writer (the calling thread) and the compressing workers.
class Pipeline {
 public:
  Pipeline(const std::vector<PackageItem>& items, std::vector<uint64_t> sizes,
           std::vector<PackUnit> units, size_t budget)
      : items_(items),
        sizes_(std::move(sizes)),
        units_(std::move(units)),
        slots_(units_.size()),
        budget_(budget) {}

  const std::vector<PackUnit>& Units() const { return units_; }

  void Work() {
    // One compressor of each kind per thread, reused for every entry it prepares.
    archive_io::ZlibCompressor compressor(archive_io::kPackageLevel);
    std::optional<archive_io::ZlibCompressor> kit_compressor;  // made when first needed
    ZstdPacker zstd;
    for (;;) {
      size_t index;
      {
        std::unique_lock lock(mutex_);
        // A job is taken only when its bytes fit the budget, or when nothing else waits, so
        // a unit larger than the budget still goes through and the writer never starves:
        // the unit it waits for is always taken before any later one.
        work_cv_.wait(lock, [this] {
          return abort_ || next_ >= units_.size() || in_flight_ == 0 ||
                 in_flight_ + Cost(next_) <= budget_;
        });
        if (abort_ || next_ >= units_.size()) return;
        index = next_++;
        in_flight_ += Cost(index);
      }
      Slot slot;
      if (units_[index].block) {
        slot = PrepareBlock(units_[index], zstd);
      } else {
        const size_t item = units_[index].items.front();
        const bool kit_entry = items_[item].group == 0;
        if (kit_entry && !kit_compressor) kit_compressor.emplace(archive_io::kKitEntryLevel);
        slot = Prepare(item, kit_entry ? *kit_compressor : compressor, zstd);
      }
      {
        std::lock_guard lock(mutex_);
        slot.done = true;
        slots_[index] = std::move(slot);
      }
      done_cv_.notify_all();
    }
  }

  // Waits for unit `index` and hands it over; its budget share is released.
  Slot Take(size_t index) {
    std::unique_lock lock(mutex_);
    done_cv_.wait(lock, [&] { return slots_[index].done; });
    Slot slot = std::move(slots_[index]);
    slots_[index] = Slot();
    in_flight_ -= Cost(index);
    lock.unlock();
    work_cv_.notify_all();
    return slot;
  }

  void Abort() {
    {
      std::lock_guard lock(mutex_);
      abort_ = true;
    }
    work_cv_.notify_all();
  }

 private:
  size_t Cost(size_t unit) const {
    size_t cost = 0;
    for (const size_t item : units_[unit].items) {
      const uint64_t size = sizes_[item];
      if (size < kLargeEntrySize) cost += static_cast<size_t>(size);
    }
    return cost;
  }

  std::string Bytes(size_t item) const {
    return items_[item].bytes ? *items_[item].bytes : ReadWholeFile(items_[item].host_path);
  }

  Slot Prepare(size_t index, archive_io::ZlibCompressor& compressor, ZstdPacker& zstd) const {
    const PackageItem& item = items_[index];
    Slot slot;
    try {
      if (!item.bytes && sizes_[index] >= kLargeEntrySize) {
        slot.kind = SlotKind::kLarge;  // copied raw by the writer, in chunks
        return slot;
      }
      const std::string data = Bytes(index);
      if (data.empty()) {
        slot.kind = SlotKind::kEmpty;
        return slot;
      }
      if (item.store_raw) {
        slot.prepared = RawEntry(data);
        return slot;
      }
      if (item.coding == PackCoding::Kind::kZlib) {
        slot.prepared = PrepareEntry(data.data(), data.size(), compressor);
        if (!slot.prepared) slot.error = "cannot prepare entry " + item.entry_name;
        return slot;
      }
      // zstd on its own (a zstd solid group's large files too, with the long window), or an
      // LZMA block of one entry; kept raw when the frame is no shorter than the bytes.
      std::optional<std::pair<std::string, TEntryCoding>> frame;
      if (item.coding == PackCoding::Kind::kSolidLzma) {
        frame = CodedBlock(data, IsX86Program(data), item.Coding(), zstd);
      } else if (auto zstd_frame =
                     zstd.Compress(data, item.level, item.coding == PackCoding::Kind::kSolid)) {
        frame.emplace(std::move(*zstd_frame), TEntryCoding::kZstd);
      }
      if (!frame) {
        slot.error = "cannot compress entry " + item.entry_name;
      } else if (frame->first.size() >= data.size()) {
        slot.prepared = RawEntry(data);
      } else {
        slot.prepared = CodedEntry(std::move(frame->first), data.size());
        slot.coding = frame->second;
      }
    } catch (const std::exception& error) {
      slot.error = item.entry_name + ": " + error.what();
    }
    return slot;
  }

  Slot PrepareBlock(const PackUnit& unit, ZstdPacker& zstd) const {
    Slot slot;
    slot.kind = SlotKind::kBlock;
    std::string content;
    size_t current = 0;
    const PackageItem& first = items_[unit.items.front()];
    const bool lzma = first.coding == PackCoding::Kind::kSolidLzma;
    size_t program_bytes = 0;
    try {
      for (const size_t item : unit.items) {
        current = item;
        std::string data = Bytes(item);
        if (!lzma && data.size() >= kShrinkTestSize) {
          const std::optional<std::string> quick = zstd.Compress(data, 1, false);
          if (quick && static_cast<double>(quick->size()) > kShrinkNeeded * data.size()) {
            slot.alone.emplace_back(item, RawEntry(std::move(data)));
            continue;
          }
        }
        slot.members.push_back({item, static_cast<uint32_t>(content.size())});
        if (IsX86Program(data)) program_bytes += data.size();
        content += data;
      }
    } catch (const std::exception& error) {
      slot.error = items_[current].entry_name + ": " + error.what();
      return slot;
    }
    if (content.empty()) return slot;
    const size_t size = content.size();
    std::optional<std::pair<std::string, TEntryCoding>> frame =
        CodedBlock(std::move(content), program_bytes > size / 2, first.Coding(), zstd);
    if (!frame) {
      slot.error = "cannot compress a block of " + first.entry_name;
      return slot;
    }
    slot.prepared = CodedEntry(std::move(frame->first), size);
    slot.coding = frame->second;
    return slot;
  }

  const std::vector<PackageItem>& items_;
  const std::vector<uint64_t> sizes_;
  const std::vector<PackUnit> units_;
  std::vector<Slot> slots_;
  const size_t budget_;
  std::mutex mutex_;
  std::condition_variable work_cv_;
  std::condition_variable done_cv_;
  size_t next_ = 0;
  size_t in_flight_ = 0;
  bool abort_ = false;
};

// Writes a block's members (the first carries the frame, the others share it) and the files
// of the block stored raw on their own; answers false when a blob could not be written.
bool WriteBlock(TPak& pak, const std::vector<PackageItem>& items,
                const std::vector<uint64_t>& sizes, Slot& slot) {
  bool stored = true;
  if (slot.prepared) {
    const TPreparedEntry& frame = *slot.prepared;
    int first = -1;
    for (const BlockMember& member : slot.members) {
      const PackageItem& item = items[member.item];
      const auto size = static_cast<uint32_t>(sizes[member.item]);
      int index;
      if (first < 0) {
        stored =
            pak.AddPreparedEntry(item.entry_name, item.group, frame.stored, size, frame.crc, true);
        index = first = pak.EntryCount() - 1;
      } else {
        index = pak.AddEntry(item.entry_name, std::string(), item.group);
        pak.ShareBlob(index, first, size);
      }
      pak.SetCoding(index, slot.coding, member.position, frame.full_size);
    }
  }
  for (const auto& [item, entry] : slot.alone) {
    stored = pak.AddPreparedEntry(items[item].entry_name, items[item].group, entry) && stored;
  }
  return stored;
}

}  // namespace

PackageResult AppendPackage(const std::string& file, const std::vector<PackageItem>& items,
                            unsigned threads, size_t memory_budget) {
  PackageResult result;
  std::vector<uint64_t> sizes;
  std::vector<PlanItem> plan;
  sizes.reserve(items.size());
  for (const PackageItem& item : items) {
    if (item.bytes) {
      sizes.push_back(item.bytes->size());
    } else {
      std::optional<uint64_t> size = platform::GetFileSize(item.host_path);
      if (!size) {
        result.error = "cannot read " + item.host_path;
        return result;
      }
      if (*size > UINT32_MAX) {
        result.error = item.host_path + " is too large for a package entry";
        return result;
      }
      sizes.push_back(*size);
    }
    const bool solid = item.Coding().Solid() && !item.store_raw;
    // Only files that may go into a block are looked at: programs are packed beside each other.
    const bool program =
        solid && sizes.back() != 0 && sizes.back() < kSolidAloneSize &&
        (item.bytes ? IsX86Program(*item.bytes) : HostFileIsX86Program(item.host_path));
    plan.push_back({item.entry_name, item.group, sizes.back(), solid, program});
    if (item.group != 0) {
      GroupFigures& figures = result.groups[item.group];
      figures.coding = item.Coding();
      figures.bytes_in += sizes.back();
    }
  }

  TPak pak(file, false, true);
  if (!pak.IsOpen()) {
    result.error = "cannot open " + file + " for writing";
    return result;
  }

  Pipeline pipeline(items, sizes, PlanUnits(plan), memory_budget);
  std::vector<std::thread> workers;
  for (unsigned i = 0; i < std::max(1u, threads); ++i) {
    workers.emplace_back([&pipeline] { pipeline.Work(); });
  }

  const std::vector<PackUnit>& units = pipeline.Units();
  for (size_t u = 0; u < units.size() && result.error.empty(); ++u) {
    Slot slot = pipeline.Take(u);
    const size_t first = units[u].items.front();
    const PackageItem& item = items[first];
    if (!slot.error.empty()) {
      result.error = slot.error;
      break;
    }
    const int before = pak.EntryCount();
    uint64_t written = 0;
    bool stored = true;
    switch (slot.kind) {
      case SlotKind::kEmpty:
        pak.AddEntry(item.entry_name, item.host_path, item.group);
        break;
      case SlotKind::kLarge:
        try {
          stored = pak.StoreFromFile(pak.AddEntry(item.entry_name, item.host_path, item.group));
          written = sizes[first];
        } catch (const std::exception& error) {
          result.error = item.entry_name + ": " + error.what();
        }
        break;
      case SlotKind::kPrepared:
        stored = pak.AddPreparedEntry(item.entry_name, item.group, *slot.prepared);
        // An LZMA-coded entry alone is a block of one member.
        if (slot.coding != TEntryCoding::kZlib) {
          pak.SetCoding(before, slot.coding, 0, slot.prepared->full_size);
        }
        written = slot.prepared->stored.size();
        break;
      case SlotKind::kBlock:
        stored = WriteBlock(pak, items, sizes, slot);
        written = slot.prepared ? slot.prepared->stored.size() : 0;
        for (const auto& alone : slot.alone) written += alone.second.stored.size();
        break;
    }
    if (!stored && result.error.empty()) result.error = "cannot write " + item.entry_name;
    if (item.group != 0) result.groups[item.group].bytes_out += written;
  }
  pipeline.Abort();
  for (std::thread& worker : workers) worker.join();

  if (result.error.empty() && !pak.WriteDirectory()) result.error = "cannot write the directory";
  pak.Close();
  result.ok = result.error.empty();
  return result;
}

}  // namespace setupc
