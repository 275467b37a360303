#include "setup/core/entry_prefetcher.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace {

// Room for dozens of small files in flight, enough to keep the other cores inflating.
constexpr size_t kSmallFilesBudget = size_t{8} << 20;
// The stored bytes of the blocks being decoded, read beside the ring: blocks decode side by side
// only while theirs add up to no more than this (one alone may hold more), so that the ring, these
// bytes and the program's own memory stay within three blocks and 64 MiB.
constexpr size_t kBlocksStoredBeside = size_t{40} << 20;

}  // namespace

TEntryPrefetcher::TEntryPrefetcher(const TPak& pak, std::vector<int> indexes, size_t budget,
                                   unsigned helpers)
    : pak_(pak), indexes_(std::move(indexes)), budget_(budget), slots_(indexes_.size()) {
  // Runs of entries of one solid block are read together, when the block fits the budget
  // (otherwise each of them is read alone, decoding the block as far as it ends).
  for (size_t position = 0; position < indexes_.size();) {
    size_t end = position + 1;
    const TPakFile* entry = pak_.Entry(indexes_[position]);
    if (entry != nullptr && entry->IsSolid() && entry->block_size <= budget_ &&
        pak_.ReadSize(indexes_[position]) != 0) {
      while (end < indexes_.size()) {
        const TPakFile* next = pak_.Entry(indexes_[end]);
        if (next == nullptr || !next->IsSolid() || next->block_lead != entry->block_lead ||
            pak_.ReadSize(indexes_[end]) == 0) {
          break;
        }
        ++end;
      }
    }
    slots_[position].unit_end = end;
    position = end;
  }
  // No more ring than the entries can fill; its pages are only touched as they are used.
  size_t total = 0;
  for (size_t position = 0; position < indexes_.size() && total < budget_;
       position = slots_[position].unit_end) {
    total += UnitSize(position);
  }
  ring_size_ = std::min(budget_, total);
  ring_ = platform::AllocateLargeBuffer(ring_size_);
  for (unsigned i = 0; i < helpers && i < indexes_.size(); ++i) {
    threads_.emplace_back([this] { Work(); });
  }
}

TEntryPrefetcher::~TEntryPrefetcher() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  helpers_wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

size_t TEntryPrefetcher::BudgetFor(uint64_t largest_full_size, uint64_t largest_block_size) {
  // One entry costs its stored bytes and its inflated bytes, at most twice its full size.
  return kSmallFilesBudget + 2 * static_cast<size_t>(largest_full_size) +
         static_cast<size_t>(largest_block_size);
}

uint64_t TEntryPrefetcher::ReadUnitSize(const TPakFile& entry) {
  return entry.IsSolid() ? entry.block_size : entry.full_size;
}

size_t TEntryPrefetcher::UnitSize(size_t position) const {
  if (slots_[position].unit_end > position + 1) return pak_.Entry(indexes_[position])->block_size;
  return pak_.ReadSize(indexes_[position]);
}

size_t TEntryPrefetcher::PeakInFlight() {
  std::lock_guard lock(mutex_);
  return peak_in_flight_;
}

size_t TEntryPrefetcher::Cost(size_t position) const {
  const TPakFile* entry = pak_.Entry(indexes_[position]);
  if (entry == nullptr) return 0;
  // A raw blob becomes the data itself; a compressed one is held together with its output.
  if (slots_[position].unit_end > position + 1) {
    return size_t{entry->BlobLength()} + entry->block_size;
  }
  return entry->IsRaw() ? entry->full_size : size_t{entry->BlobLength()} + entry->full_size;
}

size_t TEntryPrefetcher::RingPlace(size_t size) const {
  if (size > ring_size_) return kNotInRing;
  if (ring_entries_ == 0) return 0;
  const size_t start = slots_[oldest_].ring_offset;
  if (ring_end_ > start) {
    // The bytes held do not wrap: there is room after them and before them.
    if (ring_size_ - ring_end_ >= size) return ring_end_;
    return start >= size ? 0 : kNotInRing;
  }
  return start - ring_end_ >= size ? ring_end_ : kNotInRing;
}

void TEntryPrefetcher::RingRelease(Slot& slot) {
  if (slot.ring_offset == kNotInRing) return;
  slot.ring_offset = kNotInRing;
  if (--ring_entries_ == 0) {
    ring_end_ = 0;  // empty: the next entry starts at the front, with the whole ring before it
    return;
  }
  while (slots_[oldest_].ring_offset == kNotInRing) ++oldest_;
}

size_t TEntryPrefetcher::StoredBeside(size_t position) const {
  if (slots_[position].unit_end <= position + 1) return 0;
  return pak_.Entry(indexes_[position])->BlobLength();
}

bool TEntryPrefetcher::BlockMayStart(size_t position) const {
  const size_t stored = StoredBeside(position);
  return stored == 0 || stored_beside_ == 0 || stored_beside_ + stored <= kBlocksStoredBeside;
}

bool TEntryPrefetcher::ReadNext(std::unique_lock<std::mutex>& lock, std::string& scratch) {
  if (stop_ || next_ >= indexes_.size()) return false;
  const size_t cost = Cost(next_);
  // Over the budget only when nothing else is in flight, so a large entry still goes through.
  if (in_flight_ != 0 && cost > budget_ - std::min(budget_, in_flight_)) return false;
  if (!BlockMayStart(next_)) return false;
  // An entry that fits the ring waits for room there; one larger than the ring (larger than
  // the budget, so read alone) gets a buffer of its own.
  const size_t size = UnitSize(next_);
  const size_t offset = size != 0 ? RingPlace(size) : kNotInRing;
  if (offset == kNotInRing && size != 0 && size <= ring_size_) return false;
  const size_t position = next_;
  const size_t end = slots_[position].unit_end;
  const bool block = end > position + 1;
  next_ = end;
  if (offset != kNotInRing) {
    for (size_t member = position; member < end; ++member) {
      Slot& slot = slots_[member];
      const TPakFile& entry = *pak_.Entry(indexes_[member]);
      // The block's first entry holds the block's front; each later one holds from its own start.
      slot.view_offset = offset + (block ? entry.block_position : 0);
      slot.ring_offset = member == position ? offset : slot.view_offset;
      slot.ring_bytes = block ? entry.full_size : size;
    }
    ring_end_ = offset + size;
    if (ring_entries_ == 0) oldest_ = position;
    ring_entries_ += end - position;
  }
  in_flight_ += cost;
  peak_in_flight_ = std::max(peak_in_flight_, in_flight_);
  const size_t stored = StoredBeside(position);
  stored_beside_ += stored;
  lock.unlock();

  TEntryData data;
  bool raised = false;
  try {
    if (block) {
      data = ReadBlock(position, scratch, offset);
    } else {
      data = offset != kNotInRing
                 ? pak_.ReadEntryQuietlyInto(indexes_[position], scratch, ring_.get() + offset)
                 : pak_.ReadEntryQuietly(indexes_[position], scratch);
    }
  } catch (const std::exception&) {
    raised = true;  // read again by the taking thread, which raises it there
  }
  // The stored bytes are gone once decoded; the entries' place in the ring stays taken. A
  // block's buffer is given back with them, as only blocks being decoded may hold one.
  const size_t kept = std::min(cost, offset != kNotInRing ? size : data.data.size());
  if (stored != 0) std::string().swap(scratch);

  lock.lock();
  in_flight_ -= cost - kept;
  stored_beside_ -= stored;
  // Each later entry of a block counts its own bytes; the first one the rest of the block.
  size_t rest = kept;
  for (size_t member = end - 1; member > position; --member) {
    slots_[member].cost = std::min(rest, slots_[member].ring_bytes);
    rest -= slots_[member].cost;
  }
  slots_[position].cost = rest;
  for (size_t member = position; member < end; ++member) {
    Slot& slot = slots_[member];
    slot.data.status = data.status;
    slot.data.produced = data.produced;
    slot.raised = raised;
    slot.done = true;
  }
  slots_[position].data.data = std::move(data.data);
  if (taker_waits_) taker_wakes_.notify_one();
  if (cost != kept) Freed();
  return true;
}

TEntryData TEntryPrefetcher::ReadBlock(size_t position, std::string& scratch, size_t offset) {
  if (offset == kNotInRing) return TEntryData();
  return pak_.ReadBlockQuietlyInto(indexes_[position], scratch, ring_.get() + offset);
}

bool TEntryPrefetcher::HelpersMayGo() const {
  if (stop_ || next_ >= indexes_.size() || in_flight_ == 0) return true;
  const size_t room = budget_ - std::min(budget_, in_flight_);
  if (room < std::max(Cost(next_), budget_ / 4) || !BlockMayStart(next_)) return false;
  const size_t size = UnitSize(next_);
  return size == 0 || size > ring_size_ || RingPlace(size) != kNotInRing;
}

void TEntryPrefetcher::Freed() {
  if (taker_waits_) taker_wakes_.notify_one();
  if (helpers_waiting_ != 0 && HelpersMayGo()) helpers_wake_.notify_all();
}

void TEntryPrefetcher::Work() {
  std::string scratch;
  std::unique_lock lock(mutex_);
  while (!stop_ && next_ < indexes_.size()) {
    if (ReadNext(lock, scratch)) continue;
    ++helpers_waiting_;
    helpers_wake_.wait(lock, [this] { return HelpersMayGo(); });
    --helpers_waiting_;
  }
}

TEntryPrefetcher::Slot& TEntryPrefetcher::TakeSlot(size_t position,
                                                   std::unique_lock<std::mutex>& lock) {
  Slot& slot = slots_[position];
  while (!slot.done) {
    if (ReadNext(lock, taker_scratch_)) continue;
    taker_waits_ = true;
    taker_wakes_.wait(lock);
    taker_waits_ = false;
  }
  if (slot.raised) {
    // What failed on a helper thread (out of memory) is tried again here, so it raises here;
    // the slot is the taker's alone from now on.
    Drop(slot);
    slot.raised = false;
    lock.unlock();
    TEntryData again = pak_.ReadEntryQuietly(indexes_[position], taker_scratch_);
    lock.lock();
    slot.cost = again.data.size();
    in_flight_ += slot.cost;
    slot.data = std::move(again);
  }
  return slot;
}

std::string_view TEntryPrefetcher::BytesOf(const Slot& slot) const {
  if (slot.data.status != TEntryData::Status::kOk) return {};
  if (slot.ring_offset == kNotInRing) return slot.data.data;
  return {ring_.get() + slot.view_offset, slot.ring_bytes};
}

void TEntryPrefetcher::Drop(Slot& slot) {
  RingRelease(slot);
  slot.data = TEntryData();
  in_flight_ -= slot.cost;
  slot.cost = 0;
  Freed();
}

TEntryData TEntryPrefetcher::Take(size_t position) {
  std::unique_lock lock(mutex_);
  Slot& slot = TakeSlot(position, lock);
  TEntryData data;
  data.status = slot.data.status;
  data.produced = slot.data.produced;
  if (slot.ring_offset != kNotInRing) {
    data.data.assign(BytesOf(slot));
  } else {
    data.data = std::move(slot.data.data);
  }
  Drop(slot);
  return data;
}

TEntryPrefetcher::Kept TEntryPrefetcher::TakeKept(size_t position) {
  std::unique_lock lock(mutex_);
  Slot& slot = TakeSlot(position, lock);
  Kept kept;
  kept.read.status = slot.data.status;
  kept.read.produced = slot.data.produced;
  kept.bytes = BytesOf(slot);
  return kept;
}

void TEntryPrefetcher::Release(size_t position) {
  std::lock_guard lock(mutex_);
  Drop(slots_[position]);
}
