#include "setup/vfs/free_block_index.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace {

// Random frees and allocations against a plain ordered set, with sizes around the word and
// summary-level boundaries.
TEST(FreeBlockIndexTest, AgreesWithAnOrderedSetOfFreeBlocks) {
  for (uint32_t count : {1u, 63u, 64u, 65u, 4095u, 4096u, 4097u, 300000u}) {
    SCOPED_TRACE(count);
    TFreeBlockIndex index;
    index.Reset(count);
    std::set<uint32_t> model;
    std::mt19937 random(count);
    EXPECT_EQ(index.FirstFreeFrom(1), 0u);
    for (int step = 0; step < 20000; ++step) {
      uint32_t block = 1 + random() % count;
      if (random() % 3 != 0) {
        index.MarkFree(block);
        model.insert(block);
      } else {
        index.MarkUsed(block);
        model.erase(block);
      }
      uint32_t from = 1 + random() % count;
      auto expected = model.lower_bound(from);
      ASSERT_EQ(index.FirstFreeFrom(from), expected == model.end() ? 0u : *expected);
      ASSERT_EQ(index.FreeCount(), model.size());
    }
    uint32_t lowest = model.empty() ? 0 : *model.begin();
    EXPECT_EQ(index.FirstFreeFrom(1), lowest);
    EXPECT_EQ(index.FirstFreeFrom(count + 1), 0u);
  }
}

}  // namespace
