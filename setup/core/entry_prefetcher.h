// Reads and inflates package entries ahead of the thread that consumes them, on the other cores,
// and hands them over in the order given, so extraction writes one file while the next ones are
// inflated. Memory stays bounded: the entries read but not yet taken hold at most `budget`
// bytes (stored and inflated bytes counted while both are held); a single entry larger than
// the budget is still read, alone.
//
// A run of entries that lie one after the other in the list and in one solid block is read as
// one: the block is decoded once, on whichever thread claims its first entry, straight into the
// ring, and each of its entries is handed over as its share of the block's bytes.
//
// The entries' bytes go into one ring of `budget` bytes, taken in the order of the list and
// given back in the same order. A buffer of its own for every entry would cost an allocation,
// a zero fill and a page fault per 4 KB of every file; the ring's pages are touched once.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/large_buffer.h"
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

  // An entry taken without copying its bytes out of the read-ahead's memory.
  struct Kept {
    TEntryData read;         // the answer's status and counted length; its data stays empty
    std::string_view bytes;  // the entry's bytes when the status is kOk
  };
  // As Take, but the bytes stay where they were read, valid and counted against the budget
  // until Release(position): for a caller that hands them on to be written later.
  Kept TakeKept(size_t position);
  // Gives up the bytes of an entry taken with TakeKept; any thread may call it.
  void Release(size_t position);

  // Bytes the budget allows in flight for entries of these full sizes (for a solid entry, its
  // block's size): enough to keep every core busy on small files, and one entry or block
  // (stored and decoded) beyond that. With solid blocks (`largest_block_size` not 0), room for
  // one more block: a block is decoded whole before its first file can be written, so the next
  // one must be decoding on another core while this one's files are written.
  static size_t BudgetFor(uint64_t largest_full_size, uint64_t largest_block_size);
  // What an entry counts for that: its full size, or for a solid entry its block's.
  static uint64_t ReadUnitSize(const TPakFile& entry);

  // The most bytes that were in flight at once: at most the budget, or one entry's cost when a
  // single entry is larger.
  size_t PeakInFlight();

 private:
  static constexpr size_t kNotInRing = static_cast<size_t>(-1);

  struct Slot {
    bool done = false;
    bool raised = false;              // reading raised on a helper thread
    size_t cost = 0;                  // bytes counted against the budget until taken (or released)
    size_t ring_offset = kNotInRing;  // where the bytes the entry holds in the ring start
    size_t view_offset = 0;           // where its own bytes are in the ring
    size_t ring_bytes = 0;            // and how many
    size_t unit_end = 0;              // one past the last position read together with it
    TEntryData data;  // its status; holds the bytes themselves only when not in the ring
  };

  void Work();
  // Claims and reads the next entry when the budget and the ring allow; `lock` is held on entry
  // and exit. `scratch` holds the stored bytes of compressed entries for the calling thread.
  bool ReadNext(std::unique_lock<std::mutex>& lock, std::string& scratch);
  Slot& TakeSlot(size_t position, std::unique_lock<std::mutex>& lock);
  std::string_view BytesOf(const Slot& slot) const;
  // Gives up the slot's bytes and stops counting them (`lock` held).
  void Drop(Slot& slot);
  size_t Cost(size_t position) const;
  // The bytes a read of the unit starting at `position` places in the ring.
  size_t UnitSize(size_t position) const;
  // Reads the solid block of positions [position, unit end) into the ring at `offset`; answers
  // the status every entry of the block gets (`lock` not held).
  TEntryData ReadBlock(size_t position, std::string& scratch, size_t offset);
  // The stored bytes a read of the unit at `position` holds beside the ring while it decodes: a
  // block's; 0 for an entry (counted in the budget with the small files).
  size_t StoredBeside(size_t position) const;
  // Whether the unit at `position` may start with the blocks being decoded now (`lock` held).
  bool BlockMayStart(size_t position) const;
  // Whether a waiting helper should go on: nothing left to read, stopping, or room in the budget
  // for the next entry and a good share more (so that the entries taken and written one by one
  // wake it once per batch rather than once each) and room for it in the ring.
  bool HelpersMayGo() const;
  // After bytes left the budget (`lock` held): wakes whoever waits and can now go on.
  void Freed();
  // Where `size` bytes fit in the ring after the bytes held, or kNotInRing (`lock` held).
  size_t RingPlace(size_t size) const;
  // Gives the slot's place in the ring back (`lock` held).
  void RingRelease(Slot& slot);

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
  size_t stored_beside_ = 0;  // stored bytes of the blocks being decoded
  bool stop_ = false;

  // The ring: entries placed one after the other in claiming order, wrapping to the start when
  // one does not fit before the end. The bytes held run from the oldest entry still holding
  // bytes (`oldest_`) to `ring_end_`.
  platform::LargeBuffer ring_;
  size_t ring_size_ = 0;
  size_t ring_end_ = 0;      // where the next entry's bytes go
  size_t ring_entries_ = 0;  // entries holding bytes in the ring
  size_t oldest_ = 0;        // no position before this one holds bytes in the ring

  std::vector<std::thread> threads_;
  std::string taker_scratch_;  // for the entries the taking thread reads itself
};
