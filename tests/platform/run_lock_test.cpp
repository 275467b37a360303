// The run lock: a second taker learns who holds it, gives up at once, after a time or when
// asked to stop, and gets it as soon as the holder ends, however the holder ends.
#include "platform/run_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "platform/files.h"
#include "test_root.h"

namespace {

using platform::RunLock;
using namespace std::chrono_literals;

// A child process that takes the lock for "Trial", tells the parent through a pipe, and holds
// it until it is killed.
pid_t HoldInChild(const std::string& path) {
  int ready[2];
  EXPECT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  if (child == 0) {
    std::optional<RunLock> lock;
    const bool taken =
        RunLock::Acquire(path, "Trial", 0ms, nullptr, nullptr, lock) == RunLock::Outcome::kTaken;
    const char answer = taken ? 'y' : 'n';
    (void)!write(ready[1], &answer, 1);
    pause();
    _exit(0);
  }
  char answer = 0;
  EXPECT_EQ(read(ready[0], &answer, 1), 1);
  EXPECT_EQ(answer, 'y');
  close(ready[0]);
  close(ready[1]);
  return child;
}

TEST(RunLockTest, ASecondTakerIsToldTheHolderAndWaitsAsAsked) {
  platform_test::TempSetupRoot root;
  const std::string path = RunLock::DefaultPath();
  const pid_t holder = HoldInChild(path);

  std::vector<std::optional<platform::LockHolder>> told;
  auto waiting = [&](const std::optional<platform::LockHolder>& who) { told.push_back(who); };
  std::optional<RunLock> lock;
  EXPECT_EQ(RunLock::Acquire(path, "Other", 0ms, nullptr, waiting, lock), RunLock::Outcome::kBusy);
  EXPECT_FALSE(lock);
  ASSERT_EQ(told.size(), 1u);
  ASSERT_TRUE(told[0]);
  EXPECT_EQ(told[0]->name, "Trial");
  EXPECT_EQ(told[0]->pid, holder);
  EXPECT_EQ(platform::DescribeHolder(told[0]), "Trial (process " + std::to_string(holder) + ")");

  EXPECT_EQ(RunLock::Acquire(path, "Other", 150ms, nullptr, waiting, lock),
            RunLock::Outcome::kBusy);
  EXPECT_EQ(RunLock::Acquire(
                path, "Other", std::nullopt, [] { return true; }, waiting, lock),
            RunLock::Outcome::kStopped);
  EXPECT_EQ(told.size(), 3u);  // once per attempt, not once per retry

  // A holder killed outright leaves the lock free, and a waiter without a limit gets it.
  std::thread killer([holder] {
    std::this_thread::sleep_for(200ms);
    kill(holder, SIGKILL);
  });
  EXPECT_EQ(RunLock::Acquire(path, "Other", std::nullopt, nullptr, waiting, lock),
            RunLock::Outcome::kTaken);
  killer.join();
  waitpid(holder, nullptr, 0);
  ASSERT_TRUE(lock);
  EXPECT_EQ(RunLock::ReadHolder(path)->name, "Other");
  EXPECT_EQ(RunLock::ReadHolder(path)->pid, getpid());
  lock.reset();
  EXPECT_EQ(RunLock::Acquire(path, "Third", 0ms, nullptr, nullptr, lock), RunLock::Outcome::kTaken);
}

TEST(RunLockTest, AnUnreadableRecordNamesNobody) {
  platform_test::TempSetupRoot root;
  EXPECT_FALSE(RunLock::ReadHolder(RunLock::DefaultPath()));
  for (const char* text : {"", "\n", "x\nName\n", "-4\nName\n", "12"}) {
    platform::WriteFileBytes(RunLock::DefaultPath(), text, std::strlen(text));
    EXPECT_FALSE(RunLock::ReadHolder(RunLock::DefaultPath())) << text;
  }
  EXPECT_EQ(platform::DescribeHolder(std::nullopt), "another program");
}

}  // namespace
