// Reading package entries ahead on helper threads: whatever the number of helpers and the
// budget, the entries come out in the order asked, exactly as a plain read gives them, damaged
// ones included, and never more than the budget (or one oversized entry) is held at once.
#include "setup/core/entry_prefetcher.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "package_test_util.h"
#include "platform/message_box.h"
#include "setup/core/pak.h"

namespace {

using namespace pak_test;

class EntryPrefetcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetPresenter(std::make_shared<platform::ScriptedPresenter>());
    std::mt19937 random(7);
    TPak pak(dir_.File("pkg.bin"), true, false);
    for (int i = 0; i < 60; ++i) {
      // Compressible text, random (stored raw) and empty entries, up to about 100 KB.
      const size_t size = i % 13 == 5 ? 0 : random() % 100000;
      std::string data(size, '\0');
      for (char& c : data) c = static_cast<char>(i % 3 == 0 ? random() : 'a' + random() % 4);
      std::optional<TPreparedEntry> prepared = PrepareEntry(data.data(), data.size());
      TPreparedEntry entry = prepared.value_or(TPreparedEntry());
      if (i == 17) entry.crc ^= 1;                            // unreadable
      if (i == 32 && entry.compressed) entry.full_size += 3;  // inflates to another length
      pak.AddPreparedEntry("e" + std::to_string(i), 1, entry);
    }
    pak.WriteDirectory();
  }
  // The presenter is process-wide: later tests of this program expect the usual one.
  void TearDown() override {
    platform::SetPresenter(std::make_shared<platform::UnattendedPresenter>());
  }

  TempDir dir_;
};

TEST_F(EntryPrefetcherTest, DeliversInOrderWhatAPlainReadGivesWithinTheBudget) {
  TPak pak(dir_.File("pkg.bin"), false, false);
  std::vector<int> indexes;
  size_t largest_cost = 0;
  for (int i = 0; i < pak.EntryCount(); ++i) {
    if (i % 4 == 2) continue;  // a list with gaps, as a group with skipped entries gives
    indexes.push_back(i);
    const TPakFile& entry = *pak.Entry(i);
    largest_cost = std::max<size_t>(largest_cost, entry.BlobLength() + entry.full_size);
  }
  for (const unsigned helpers : {0u, 1u, 3u}) {
    for (const size_t budget : {size_t{1}, size_t{300000}, size_t{64} << 20}) {
      TEntryPrefetcher prefetcher(pak, indexes, budget, helpers);
      for (size_t n = 0; n < indexes.size(); ++n) {
        const TEntryData want = pak.ReadEntryQuietly(indexes[n]);
        const TEntryData got = prefetcher.Take(n);
        ASSERT_EQ(got.status, want.status) << helpers << " " << budget << " " << n;
        EXPECT_TRUE(got.data == want.data);
        EXPECT_EQ(got.produced, want.produced);
      }
      EXPECT_LE(prefetcher.PeakInFlight(), std::max(budget, largest_cost))
          << helpers << " " << budget;
    }
  }
  EXPECT_EQ(pak.ReadEntryQuietly(17).status, TEntryData::Status::kUnreadable);
  EXPECT_EQ(pak.ReadEntryQuietly(32).status, TEntryData::Status::kWrongSize);
}

TEST_F(EntryPrefetcherTest, KeptEntriesCountAgainstTheBudgetUntilReleased) {
  TPak pak(dir_.File("pkg.bin"), false, false);
  const std::vector<int> indexes = {0, 1, 2};
  const auto cost = [&pak](int i) {
    const TPakFile& entry = *pak.Entry(i);
    return entry.IsRaw() ? size_t{entry.full_size} : size_t{entry.BlobLength()} + entry.full_size;
  };
  {
    TEntryPrefetcher prefetcher(pak, indexes, size_t{64} << 20, 0);
    prefetcher.TakeKept(0);
    prefetcher.Take(1);
    EXPECT_EQ(prefetcher.PeakInFlight(), cost(0) + cost(1));
  }
  {
    // Released, entry 0 no longer counts: only one entry is ever held with a one-byte budget.
    TEntryPrefetcher prefetcher(pak, indexes, 1, 0);
    prefetcher.TakeKept(0);
    prefetcher.Release(0);
    prefetcher.Take(1);
    EXPECT_EQ(prefetcher.PeakInFlight(), std::max(cost(0), cost(1)));
  }
}

TEST_F(EntryPrefetcherTest, KeptBytesStayIntactUntilReleasedWhileLaterOnesAreRead) {
  // As extraction uses it: the taking thread keeps each entry and another thread releases it
  // once it has looked at the bytes, while the read-ahead wraps around its memory many times.
  TPak pak(dir_.File("pkg.bin"), false, false);
  std::vector<int> indexes;
  std::vector<TEntryData> want;
  for (int round = 0; round < 4; ++round) {
    for (int i = 0; i < pak.EntryCount(); ++i) {
      indexes.push_back(i);
      want.push_back(pak.ReadEntryQuietly(i));
    }
  }
  for (const unsigned helpers : {0u, 2u}) {
    for (const size_t budget : {size_t{150000}, size_t{64} << 20}) {
      TEntryPrefetcher prefetcher(pak, indexes, budget, helpers);
      std::mutex mutex;
      std::condition_variable changed;
      std::deque<std::pair<size_t, TEntryPrefetcher::Kept>> queue;
      size_t wrong = 0;
      std::thread releaser([&] {
        for (size_t n = 0; n < indexes.size(); ++n) {
          std::unique_lock lock(mutex);
          changed.wait(lock, [&] { return !queue.empty(); });
          const auto [position, kept] = queue.front();
          queue.pop_front();
          lock.unlock();
          // Give the read-ahead time to reach for this entry's room before it is released.
          std::this_thread::yield();
          if (kept.read.status != want[position].status || kept.bytes != want[position].data) {
            ++wrong;
          }
          prefetcher.Release(position);
        }
      });
      for (size_t n = 0; n < indexes.size(); ++n) {
        TEntryPrefetcher::Kept kept = prefetcher.TakeKept(n);
        EXPECT_TRUE(kept.read.data.empty());
        std::lock_guard lock(mutex);
        queue.emplace_back(n, kept);
        changed.notify_one();
      }
      releaser.join();
      EXPECT_EQ(wrong, 0u) << helpers << " " << budget;
      EXPECT_LE(prefetcher.PeakInFlight(), budget) << helpers << " " << budget;
    }
  }
}

TEST_F(EntryPrefetcherTest, StopsWithoutTakingEverything) {
  TPak pak(dir_.File("pkg.bin"), false, false);
  std::vector<int> indexes;
  for (int i = 0; i < pak.EntryCount(); ++i) indexes.push_back(i);
  for (int round = 0; round < 20; ++round) {
    TEntryPrefetcher prefetcher(pak, indexes, size_t{1} << 20, 2);
    EXPECT_TRUE(prefetcher.Take(0).data == pak.ReadEntryQuietly(0).data);
    // Leaving here must stop and join the helpers, whatever they are doing.
  }
}

}  // namespace
