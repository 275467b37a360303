#include "platform/process.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>

#include <filesystem>
#include <fstream>

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/system.h"
#include "test_root.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using platform_test::TempSetupRoot;

using Args = std::vector<std::string>;

TEST(SplitCommandLineTest, FollowsTheWindowsRules) {
  EXPECT_EQ(SplitCommandLine(""), Args{});
  EXPECT_EQ(SplitCommandLine("  \t "), Args{});
  EXPECT_EQ(SplitCommandLine("a  b\tc"), (Args{"a", "b", "c"}));
  EXPECT_EQ(SplitCommandLine("\"a b\" c"), (Args{"a b", "c"}));
  EXPECT_EQ(SplitCommandLine("x\"a b\"y"), (Args{"xa by"}));
  EXPECT_EQ(SplitCommandLine("\"\" b"), (Args{"", "b"}));
  EXPECT_EQ(SplitCommandLine("C:\\dir\\ \"C:\\x y\\\\\""), (Args{"C:\\dir\\", "C:\\x y\\"}));
  EXPECT_EQ(SplitCommandLine("a\\\\\\\"b"), (Args{"a\\\"b"}));          // 3 backslashes + quote
  EXPECT_EQ(SplitCommandLine("a\\\\\\\\\"b c\""), (Args{"a\\\\b c"}));  // 4 + quote
  EXPECT_EQ(SplitCommandLine("a\\\\b"), (Args{"a\\\\b"}));
  // Doubled quotes inside quotes give a quote and end the quoted part.
  EXPECT_EQ(SplitCommandLine("\"a\"\"b c\""), (Args{"a\"b", "c"}));
  EXPECT_EQ(SplitCommandLine("\"\"\"x\"\"\""), (Args{"\"x\""}));
  EXPECT_EQ(SplitCommandLine("\"open"), (Args{"open"}));
}

class ShellExecuteTest : public ::testing::Test {
 protected:
  TempSetupRoot root_;

  // Polls until the process has ended (bounded, never a timing assertion).
  static std::optional<uint32_t> WaitForExit(Process& process) {
    for (int i = 0; i < 20000; ++i) {
      const auto code = process.ExitCode();
      if (code != kStillActive) return code;
      Sleep(1);
    }
    return kStillActive;
  }
};

TEST_F(ShellExecuteTest, ScriptRunsWithSplitArgumentsAndReportsItsExitCode) {
  const std::string script =
      "#!/bin/sh\n"
      "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > args.txt\n"
      "while [ ! -e go ]; do sleep 0.01; done\n"
      "exit 7\n";
  ASSERT_TRUE(CreateDirectory("C:\\Tools"));
  ASSERT_TRUE(WriteFileBytes("C:\\Tools\\job.exe", script.data(), script.size()));
  auto process = ShellExecute("c:\\TOOLS\\JOB.EXE", "one \"two words\" C:\\x\\", "C:\\Tools");
  ASSERT_TRUE(process);
  EXPECT_GT(process->Pid(), 0);
  // The script waits for "go", so it is certainly still running here.
  EXPECT_EQ(process->ExitCode(), kStillActive);
  EXPECT_TRUE(process->Running());
  ASSERT_TRUE(WriteFileBytes("C:\\Tools\\go", "", 0));
  EXPECT_EQ(WaitForExit(*process), 7u);
  EXPECT_EQ(process->ExitCode(), 7u);  // remembered once reaped
  EXPECT_FALSE(process->Running());
  EXPECT_EQ(ReadFileBytes("C:\\Tools\\args.txt"), "one\ntwo words\nC:\\x\\\n");
}

TEST_F(ShellExecuteTest, KilledProcessReportsTheSignal) {
  const std::string script = "#!/bin/sh\nkill -9 $$\n";
  ASSERT_TRUE(WriteFileBytes("C:\\die.exe", script.data(), script.size()));
  auto process = ShellExecute("C:\\die.exe", "");
  ASSERT_TRUE(process);
  EXPECT_EQ(WaitForExit(*process), 128u + 9u);
}

TEST_F(ShellExecuteTest, DroppedHandleLeavesNoZombie) {
  const std::string script = "#!/bin/sh\nwhile [ ! -e go ]; do sleep 0.01; done\n";
  ASSERT_TRUE(CreateDirectory("C:\\W"));
  ASSERT_TRUE(WriteFileBytes("C:\\W\\wait.exe", script.data(), script.size()));
  auto process = ShellExecute("C:\\W\\wait.exe", "", "C:\\W");
  ASSERT_TRUE(process);
  const int pid = process->Pid();
  process.reset();  // still running: the program goes on without its handle
  EXPECT_EQ(kill(pid, 0), 0);
  ASSERT_TRUE(WriteFileBytes("C:\\W\\go", "", 0));
  // A zombie still answers kill(pid, 0); a reaped process does not.
  bool gone = false;
  for (int i = 0; i < 20000 && !gone; ++i) {
    gone = kill(pid, 0) != 0 && errno == ESRCH;
    if (!gone) Sleep(1);
  }
  EXPECT_TRUE(gone);
}

TEST_F(ShellExecuteTest, MissingFilesStartNothing) {
  EXPECT_FALSE(ShellExecute("C:\\no\\such.exe", ""));
  EXPECT_FALSE(ShellExecute("relative.exe\\x", ""));
}

TEST(OwnExecutableTest, NamesThisTestProgram) {
  const std::string path = OwnExecutablePath();
  EXPECT_EQ(fs::path(path).filename(), "platform_tests");
  EXPECT_TRUE(fs::exists(path));
}

}  // namespace
}  // namespace platform
