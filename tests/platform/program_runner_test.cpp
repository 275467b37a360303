// The shared runner the end-to-end tests start the kit's programs with.
#include "common/program_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using setupkit_test::ProgramOptions;
using setupkit_test::RunShell;

TEST(ProgramRunnerTest, KeepsBothStreamsTheExitCodeAndTheChildsOwnSettings) {
  ProgramOptions options;
  options.working_folder = "/";
  options.env = {{"RUNNER_TEST_WORD", "it's set"}};
  const auto result = RunShell("pwd; echo \"$RUNNER_TEST_WORD\" >&2; exit 3", options);
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_EQ(result.out, "/\n");
  EXPECT_EQ(result.err, "it's set\n");
  EXPECT_EQ(result.output, "/\nit's set\n");
  EXPECT_EQ(getenv("RUNNER_TEST_WORD"), nullptr);
}

TEST(ProgramRunnerTest, AHungProgramIsKilledWithWhatItStartedAtTheTimeLimit) {
  ProgramOptions options;
  options.timeout = std::chrono::seconds(1);
  // The shell waits for a child of its own, which must end too for the pipes to close.
  const auto result = RunShell("echo started; sleep 600 & wait", options);
  EXPECT_TRUE(result.timed_out);
  EXPECT_EQ(result.exit_code, -1);
  EXPECT_EQ(result.out, "started\n");
}

TEST(ProgramRunnerTest, AProcessLeftRunningDoesNotHoldTheResultBack) {
  ProgramOptions options;
  options.timeout = std::chrono::seconds(5);  // far less than the process left behind lives
  const auto result = RunShell("sleep 60 & echo $!", options);
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_code, 0);
  const pid_t left = static_cast<pid_t>(std::atoi(result.out.c_str()));
  ASSERT_GT(left, 0) << result.out;
  kill(left, SIGKILL);
}

}  // namespace
