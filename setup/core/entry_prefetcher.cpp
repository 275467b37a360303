#include "setup/core/entry_prefetcher.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace {

// Room for dozens of small files in flight, enough to keep the other cores inflating.
constexpr size_t kSmallFilesBudget = size_t{8} << 20;

}  // namespace

TEntryPrefetcher::TEntryPrefetcher(const TPak& pak, std::vector<int> indexes, size_t budget,
                                   unsigned helpers)
    : pak_(pak), indexes_(std::move(indexes)), budget_(budget), slots_(indexes_.size()) {
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

size_t TEntryPrefetcher::BudgetFor(uint64_t largest_full_size) {
  // One entry costs its stored bytes and its inflated bytes, at most twice its full size.
  return kSmallFilesBudget + 2 * static_cast<size_t>(largest_full_size);
}

size_t TEntryPrefetcher::PeakInFlight() {
  std::lock_guard lock(mutex_);
  return peak_in_flight_;
}

size_t TEntryPrefetcher::Cost(size_t position) const {
  const TPakFile* entry = pak_.Entry(indexes_[position]);
  if (entry == nullptr) return 0;
  // A raw blob becomes the data itself; a compressed one is held together with its output.
  return entry->IsRaw() ? entry->full_size : size_t{entry->BlobLength()} + entry->full_size;
}

bool TEntryPrefetcher::ReadNext(std::unique_lock<std::mutex>& lock, std::string& scratch) {
  if (stop_ || next_ >= indexes_.size()) return false;
  const size_t cost = Cost(next_);
  // Over the budget only when nothing else is in flight, so a large entry still goes through.
  if (in_flight_ != 0 && cost > budget_ - std::min(budget_, in_flight_)) return false;
  const size_t position = next_++;
  in_flight_ += cost;
  peak_in_flight_ = std::max(peak_in_flight_, in_flight_);
  lock.unlock();

  TEntryData data;
  bool raised = false;
  try {
    data = pak_.ReadEntryQuietly(indexes_[position], scratch);
  } catch (const std::exception&) {
    raised = true;  // read again by the taking thread, which raises it there
  }
  const size_t kept = std::min(cost, data.data.size());

  lock.lock();
  Slot& slot = slots_[position];
  in_flight_ -= cost - kept;  // the stored bytes are gone once inflated
  slot.cost = kept;
  slot.data = std::move(data);
  slot.raised = raised;
  slot.done = true;
  if (taker_waits_) taker_wakes_.notify_one();
  if (cost != kept) Freed();
  return true;
}

bool TEntryPrefetcher::HelpersMayGo() const {
  if (stop_ || next_ >= indexes_.size() || in_flight_ == 0) return true;
  const size_t room = budget_ - std::min(budget_, in_flight_);
  return room >= std::max(Cost(next_), budget_ / 4);
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

TEntryData TEntryPrefetcher::Take(size_t position) { return TakeAt(position, false); }

TEntryData TEntryPrefetcher::TakeKept(size_t position) { return TakeAt(position, true); }

void TEntryPrefetcher::Release(size_t position) {
  std::lock_guard lock(mutex_);
  in_flight_ -= slots_[position].cost;
  slots_[position].cost = 0;
  Freed();
}

TEntryData TEntryPrefetcher::TakeAt(size_t position, bool keep_counted) {
  std::unique_lock lock(mutex_);
  Slot& slot = slots_[position];
  while (!slot.done) {
    if (ReadNext(lock, taker_scratch_)) continue;
    taker_waits_ = true;
    taker_wakes_.wait(lock);
    taker_waits_ = false;
  }
  TEntryData data = std::move(slot.data);
  const bool raised = slot.raised;
  const size_t cost = slot.cost;
  slot = Slot();
  slot.done = true;
  if (keep_counted) {
    slot.cost = cost;
  } else {
    in_flight_ -= cost;
    Freed();
  }
  lock.unlock();
  // What failed on a helper thread (out of memory) is tried again here, so it raises here.
  if (raised) return pak_.ReadEntryQuietly(indexes_[position]);
  return data;
}
