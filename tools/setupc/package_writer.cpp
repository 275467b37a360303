#include "tools/setupc/package_writer.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/files.h"
#include "setup/core/crc32.h"
#include "setup/core/pak.h"
#include "setup/core/setup_error.h"

namespace setupc {
namespace {

enum class SlotKind { kPrepared, kEmpty, kLarge };

struct Slot {
  bool done = false;
  SlotKind kind = SlotKind::kPrepared;
  std::optional<TPreparedEntry> prepared;
  std::string error;
};

// Shared by the writer (the calling thread) and the compressing workers.
class Pipeline {
 public:
  Pipeline(const std::vector<PackageItem>& items, std::vector<uint64_t> sizes, size_t budget)
      : items_(items), sizes_(std::move(sizes)), slots_(items.size()), budget_(budget) {}

  void Work() {
    // One compressor per thread, reused for every entry it prepares.
    archive_io::ZlibCompressor compressor(archive_io::kPackageLevel);
    std::optional<archive_io::ZlibCompressor> kit_compressor;  // made when first needed
    for (;;) {
      size_t index;
      {
        std::unique_lock lock(mutex_);
        // A job is taken only when its bytes fit the budget, or when nothing else waits, so
        // an entry larger than the budget still goes through and the writer never starves:
        // the entry it waits for is always taken before any later one.
        work_cv_.wait(lock, [this] {
          return abort_ || next_ >= items_.size() || in_flight_ == 0 ||
                 in_flight_ + Cost(next_) <= budget_;
        });
        if (abort_ || next_ >= items_.size()) return;
        index = next_++;
        in_flight_ += Cost(index);
      }
      const bool kit_entry = items_[index].group == 0;
      if (kit_entry && !kit_compressor) kit_compressor.emplace(archive_io::kKitEntryLevel);
      Slot slot = Prepare(index, kit_entry ? *kit_compressor : compressor);
      {
        std::lock_guard lock(mutex_);
        slot.done = true;
        slots_[index] = std::move(slot);
      }
      done_cv_.notify_all();
    }
  }

  // Waits for entry `index` and hands it over; its budget share is released.
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
  size_t Cost(size_t index) const {
    const uint64_t size = sizes_[index];
    return size >= kLargeEntrySize ? 0 : static_cast<size_t>(size);
  }

  Slot Prepare(size_t index, archive_io::ZlibCompressor& compressor) const {
    const PackageItem& item = items_[index];
    Slot slot;
    try {
      std::string file_bytes;
      const std::string* data = nullptr;
      if (item.bytes) {
        data = &*item.bytes;
      } else if (sizes_[index] >= kLargeEntrySize) {
        slot.kind = SlotKind::kLarge;  // copied raw by the writer, in chunks
        return slot;
      } else {
        file_bytes = ReadWholeFile(item.host_path);
        data = &file_bytes;
      }
      if (data->empty()) {
        slot.kind = SlotKind::kEmpty;
        return slot;
      }
      if (item.store_raw) {
        slot.prepared = TPreparedEntry{*data, static_cast<uint32_t>(data->size()),
                                       ComputeCrc32(data->data(), data->size()), false};
        return slot;
      }
      slot.prepared = PrepareEntry(data->data(), data->size(), compressor);
      if (!slot.prepared) slot.error = "cannot prepare entry " + item.entry_name;
    } catch (const std::exception& error) {
      slot.error = item.entry_name + ": " + error.what();
    }
    return slot;
  }

  const std::vector<PackageItem>& items_;
  const std::vector<uint64_t> sizes_;
  std::vector<Slot> slots_;
  const size_t budget_;
  std::mutex mutex_;
  std::condition_variable work_cv_;
  std::condition_variable done_cv_;
  size_t next_ = 0;
  size_t in_flight_ = 0;
  bool abort_ = false;
};

}  // namespace

PackageResult AppendPackage(const std::string& file, const std::vector<PackageItem>& items,
                            unsigned threads, size_t memory_budget) {
  PackageResult result;
  std::vector<uint64_t> sizes;
  sizes.reserve(items.size());
  for (const PackageItem& item : items) {
    if (item.bytes) {
      sizes.push_back(item.bytes->size());
      continue;
    }
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

  TPak pak(file, false, true);
  if (!pak.IsOpen()) {
    result.error = "cannot open " + file + " for writing";
    return result;
  }

  Pipeline pipeline(items, sizes, memory_budget);
  std::vector<std::thread> workers;
  for (unsigned i = 0; i < std::max(1u, threads); ++i) {
    workers.emplace_back([&pipeline] { pipeline.Work(); });
  }

  for (size_t i = 0; i < items.size() && result.error.empty(); ++i) {
    Slot slot = pipeline.Take(i);
    const PackageItem& item = items[i];
    if (!slot.error.empty()) {
      result.error = slot.error;
      break;
    }
    bool stored = true;
    switch (slot.kind) {
      case SlotKind::kEmpty:
        pak.AddEntry(item.entry_name, item.host_path, item.group);
        break;
      case SlotKind::kLarge:
        try {
          stored = pak.StoreFromFile(pak.AddEntry(item.entry_name, item.host_path, item.group));
        } catch (const std::exception& error) {
          result.error = item.entry_name + ": " + error.what();
        }
        break;
      case SlotKind::kPrepared:
        stored = pak.AddPreparedEntry(item.entry_name, item.group, *slot.prepared);
        break;
    }
    if (!stored && result.error.empty()) result.error = "cannot write " + item.entry_name;
  }
  pipeline.Abort();
  for (std::thread& worker : workers) worker.join();

  if (result.error.empty() && !pak.WriteDirectory()) result.error = "cannot write the directory";
  pak.Close();
  result.ok = result.error.empty();
  return result;
}

}  // namespace setupc
