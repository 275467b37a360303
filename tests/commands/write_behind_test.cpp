// Creating and filling files on a thread of their own: in the order handed over, each told when
// done, and after the first failure nothing more made, that failure (not a later one) answered.
#include "setup/commands/write_behind.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "platform/files.h"

namespace {

namespace fs = std::filesystem;

class WriteBehindTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("write-behind-" + std::to_string(::getpid()) + (GetParam() ? "-t" : "-s"));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  fs::path folder_;
};

TEST_P(WriteBehindTest, FillsInOrderAndStopsAtTheFirstFailure) {
  const std::string first = (folder_ / "first").string();
  const std::string refused = (folder_ / "refused").string();
  const std::string last = (folder_ / "last").string();
  // A folder stands where the middle file would go.
  fs::create_directories(refused);
  const std::vector<std::pair<std::string, std::string>> files = {
      {first, "#!/bin/sh\necho first\n"}, {refused, "lost"}, {last, "never written"}};
  std::mutex mutex;
  std::vector<std::pair<std::string, bool>> done;
  {
    TWriteBehind writer(GetParam());
    for (const auto& [path, bytes] : files) {
      writer.Submit(path, path, bytes, [&mutex, &done, path = path](bool written) {
        std::lock_guard lock(mutex);
        done.emplace_back(path, written);
      });
    }
    const std::optional<TWriteBehind::Failure> failure = writer.Finish();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->path, refused);
    EXPECT_EQ(failure->reason, EISDIR);
    EXPECT_TRUE(writer.Failed());
  }
  const std::vector<std::pair<std::string, bool>> expected = {
      {first, true}, {refused, false}, {last, false}};
  EXPECT_EQ(done, expected);
  EXPECT_EQ(platform::ReadFileBytes(first), files[0].second);
  // Closed after writing, a script gets its execute bits as a directly written one does.
  EXPECT_NE(fs::status(first).permissions() & fs::perms::owner_exec, fs::perms::none);
  EXPECT_FALSE(fs::exists(last));
}

INSTANTIATE_TEST_SUITE_P(ThreadedAndNot, WriteBehindTest, ::testing::Bool());

}  // namespace
