// Reads and inflates package entries ahead of the thread that consumes them, on the other cores,
// and hands them over in the order given, so extraction writes one file while the next ones are
// inflated. Memory stays bounded: the entries read but not yet taken hold at most `budget`
// bytes (stored and inflated bytes counted while both are held); a single entry larger than
// the budget is still read, alone.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "setup/core/pak.h"

class TEntryPrefetcher {
 public:
  // `indexes` are directory indexes of `pak`, which must stay open and unchanged while this
  // object lives. `helpers` threads read ahead (0: the taking thread reads everything itself).
  TEntryPrefetcher(const TPak& pak, std::vector<int> indexes, size_t budget, unsigned helpers);
  ~TEntryPrefetcher();
  TEntryPrefetcher(const TEntryPrefetcher&) = delete;
  TEntryPrefetcher& operator=(const TEntryPrefetcher&) = delete;

  // The entry at position `position` of the list, as TPak::ReadEntryQuietly answers it. Positions
  // are taken in increasing order, each at most once; while the entry is not ready the caller
  // reads the next entries itself.
  TEntryData Take(size_t position);
  // As Take, but the entry's bytes stay counted against the budget until Release(position): for
  // a caller that hands the data on to be written later, so that what waits there counts too.
  TEntryData TakeKept(size_t position);
  // Stops counting the bytes of an entry taken with TakeKept; any thread may call it.
  void Release(size_t position);

  // Bytes the budget allows in flight for entries of these full sizes: enough to keep every core
  // busy on small files, and one entry (stored and inflated) beyond that.
  static size_t BudgetFor(uint64_t largest_full_size);

  // The most bytes that were in flight at once: at most the budget, or one entry's cost when a
  // single entry is larger.
  size_t PeakInFlight();

 private:
  struct Slot {
    bool done = false;
    bool raised = false;  // reading raised on a helper thread
    size_t cost = 0;      // bytes counted against the budget until taken (or released)
    TEntryData data;
  };

  void Work();
  // Claims and reads the next entry when the budget allows; `lock` is held on entry and exit.
  // `scratch` holds the stored bytes of compressed entries for the calling thread.
  bool ReadNext(std::unique_lock<std::mutex>& lock, std::string& scratch);
  TEntryData TakeAt(size_t position, bool keep_counted);
  size_t Cost(size_t position) const;
  // Whether a waiting helper should go on: nothing left to read, stopping, or room in the budget
  // for the next entry and a good share more, so that the entries taken and written one by one
  // wake it once per batch rather than once each.
  bool HelpersMayGo() const;
  // After bytes left the budget (`lock` held): wakes whoever waits and can now go on.
  void Freed();

  const TPak& pak_;
  const std::vector<int> indexes_;
  const size_t budget_;
  std::vector<Slot> slots_;
  std::mutex mutex_;
  std::condition_variable taker_wakes_;   // an entry is ready, or bytes left the budget
  std::condition_variable helpers_wake_;  // HelpersMayGo turned true
  bool taker_waits_ = false;
  unsigned helpers_waiting_ = 0;
  size_t next_ = 0;       // first position not claimed yet
  size_t in_flight_ = 0;  // bytes of claimed entries not taken yet
  size_t peak_in_flight_ = 0;
  bool stop_ = false;
  std::vector<std::thread> threads_;
  std::string taker_scratch_;  // for the entries the taking thread reads itself
};
