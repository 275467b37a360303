#include "setup/errorlog/error_log.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/file_bytes.h"
#include "core/state_test_support.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "setup/core/setup_error.h"
#include "setup/errorlog/error_ending.h"
#include "setup/errorlog/os_info.h"

namespace {

using setupkit_test::ReadBytes;
using state_test::StateTest;

TEST(ErrorLogFormatTest, FileNamesHaveAtLeastFourDigits) {
  EXPECT_EQ(ErrorLogFileName(0), "ErrorLog0000.TXT");
  EXPECT_EQ(ErrorLogFileName(42), "ErrorLog0042.TXT");
  EXPECT_EQ(ErrorLogFileName(9999), "ErrorLog9999.TXT");
  EXPECT_EQ(ErrorLogFileName(10000), "ErrorLog10000.TXT");
}

TEST(ErrorLogFormatTest, ParamsAreUpperCasedAndTheJoinParameterIsMasked) {
  EXPECT_EQ(FormatParams({"a", "/j", "1.2.3.4", "5", "b"}), "A /j X X.X.X.X B");
  EXPECT_EQ(FormatParams({"/J", "1.2.3.4"}), "/j X X.X.X.X");
  EXPECT_EQ(FormatParams({"setup.pak", "--unattended"}), "SETUP.PAK --UNATTENDED");
  EXPECT_EQ(FormatParams({}), "");
}

TEST(ErrorLogFormatTest, ReportLayout) {
  ErrorLogContents c;
  c.setup_name = "Demo Setup";
  c.setup_exe_name = "Setup.exe";
  c.pak_id = "QXPF";
  c.pak_version = 1;
  c.pak_count = 12;
  c.error_text = "boom";
  c.params = {"x", "/J", "a", "b"};
  c.product = "Debian GNU/Linux 12 (bookworm)";
  c.build_number = 17;
  c.physical_memory_bytes = uint64_t{2047} * 1024 * 1024 + 5;
  c.cpu_mhz = 2400;
  const std::string expected =
      "General Info\r\n"
      "------------\r\n"
      "Setup Name             : Demo Setup\r\n"
      "Setup EXE Name         : Setup.exe\r\n"
      "\r\n"
      "Pak Info\r\n"
      "--------\r\n"
      "ID                     : QXPF\r\n"
      "Version                : 1\r\n"
      "Count                  : 12\r\n"
      "\r\n"
      "ErrorType              : Unknown\r\n"
      "ErrorText              : boom\r\n"
      "\r\n"
      "Params                 : X /j X X.X.X.X\r\n"
      "ParamCount             : 4\r\n"
      "\r\n"
      "Windows Info\r\n"
      "------------\r\n"
      "Product                : Debian GNU/Linux 12 (bookworm)\r\n"
      "BuildNumber            : 17\r\n"
      "ServicePack            : \r\n"
      "ServicePackMajor       : 0\r\n"
      "ServicePackMinor       : 0\r\n"
      "\r\n"
      "Physical Memory        : 2048MB\r\n"
      "CPU Speed              : 2400Mhz\r\n";
  EXPECT_EQ(FormatErrorLog(c), expected);
  c.error_type = kErrorTypeSetupThread;
  EXPECT_NE(FormatErrorLog(c).find("ErrorType              : Setup Thread\r\n"), std::string::npos);

  EXPECT_EQ(ErrorReportMessage("boom", "", "C:\\T\\ErrorLog0000.TXT"),
            "Unknown Error: boom\r\rError Log Created. Please Include "
            "\"C:\\T\\ErrorLog0000.TXT\" with your bug report");
}

class ErrorLogProcessTest : public StateTest {
 protected:
  std::string TempHost() { return platform::ToHostPath(platform::GetTempPath()).value(); }
  // Runs `body` in a child process with stderr sent to a file; answers the exit status.
  int RunChild(const std::function<void()>& body) {
    const std::string err_path = Root() + "/child_stderr.txt";
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      std::freopen(err_path.c_str(), "w", stderr);
      body();
      _exit(99);  // WriteErrorLog returned: it must not
    }
    int status = 0;
    waitpid(pid, &status, 0);
    child_stderr_ = ReadBytes(err_path);
    return status;
  }
  std::string child_stderr_;
};

TEST_F(ErrorLogProcessTest, WritesTheNextNumberedReportAndExitsWithTwo) {
  const std::string temp = TempHost();
  std::ofstream(temp + "/ErrorLog0000.TXT") << "old";
  std::ofstream(temp + "/ErrorLog0001.TXT") << "old";
  const int status = RunChild([] {
    SetupState& state = SetupState::Instance();
    state.SetUnattended(true);
    state.SetupInfo().SetupName = "Demo Setup";
    state.SetupInfo().SetupExeName = "Setup.exe";
    state.params = {"a", "/j", "1.2.3.4", "5", "b"};
    platform::SetPresenter(std::make_shared<platform::UnattendedPresenter>());
    WriteErrorLog("boom");
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kErrorLogExitCode);
  EXPECT_EQ(ReadBytes(temp + "/ErrorLog0000.TXT"), "old");
  const std::string report = ReadBytes(temp + "/ErrorLog0002.TXT");
  ASSERT_FALSE(report.empty());
  EXPECT_NE(report.find("Setup Name             : Demo Setup\r\n"), std::string::npos);
  EXPECT_NE(report.find("ErrorType              : Unknown\r\n"), std::string::npos);
  EXPECT_NE(report.find("ErrorText              : boom\r\n"), std::string::npos);
  EXPECT_NE(report.find("Params                 : A /j X X.X.X.X B\r\n"), std::string::npos);
  EXPECT_NE(report.find("ParamCount             : 5\r\n"), std::string::npos);
  EXPECT_NE(report.find("Product                : " + TOSInfo::Current().Product() + "\r\n"),
            std::string::npos);
  // Every field puts " : " at column 23.
  std::istringstream lines(report);
  int fields = 0;
  for (std::string line; std::getline(lines, line);) {
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.back(), '\r');
    const size_t colon = line.find(" : ");
    if (colon == std::string::npos) continue;
    EXPECT_EQ(colon, 22u) << line;
    ++fields;
  }
  EXPECT_EQ(fields, 16);
  EXPECT_NE(child_stderr_.find("Unknown Error: boom"), std::string::npos) << child_stderr_;
  EXPECT_NE(child_stderr_.find("Please Include \"" + platform::GetTempPath() +
                               "ErrorLog0002.TXT\" with your bug report"),
            std::string::npos)
      << child_stderr_;
}

TEST_F(ErrorLogProcessTest, TwoThreadsAtOnceWriteOneReport) {
  const std::string temp = TempHost();
  const int status = RunChild([] {
    SetupState::Instance().SetUnattended(true);
    std::thread first([] { WriteErrorLog("first", kErrorTypeSetupThread); });
    std::thread second([] { WriteErrorLog("second"); });
    first.join();
    second.join();
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kErrorLogExitCode);
  const std::string report = ReadBytes(temp + "/ErrorLog0000.TXT");
  EXPECT_TRUE(report.find("ErrorText              : first\r\n") != std::string::npos ||
              report.find("ErrorText              : second\r\n") != std::string::npos)
      << report;
  EXPECT_FALSE(std::filesystem::exists(temp + "/ErrorLog0001.TXT"));
}

// What the program's top shows for the errors that end it without a report.
TEST(ErrorEndingTest, FatalMessagesAreShownAndCancelsEndQuietly) {
  struct Case {
    SetupError error;
    int exit_code;
    std::vector<std::string> shown;
  } cases[] = {
      {SetupError::Fatal("File C:\\g.qxp has corrupted header."),
       2,
       {"Error: File C:\\g.qxp has corrupted header."}},
      {SetupError::Cancelled("File not found: \"C:\\g.qxp\"."), 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error.what());
    auto presenter = std::make_shared<platform::ScriptedPresenter>();
    platform::SetPresenter(presenter);
    EXPECT_EQ(ShowEndingError(c.error), c.exit_code);
    std::vector<std::string> shown;
    for (const auto& message : presenter->Messages()) {
      shown.push_back(message.caption + ": " + message.text);
    }
    EXPECT_EQ(shown, c.shown);
  }
  platform::SetPresenter(std::make_shared<platform::UnattendedPresenter>());
}

TEST_F(ErrorLogProcessTest, ErrorsForTheReportKeepTheirStage) {
  const std::string temp = TempHost();
  const int status = RunChild([] {
    SetupState::Instance().SetUnattended(true);
    ShowEndingError(SetupError("bad entry", kErrorTypeVerification));
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kErrorLogExitCode);
  const std::string report = ReadBytes(temp + "/ErrorLog0000.TXT");
  EXPECT_NE(report.find("ErrorType              : Verification Stage\r\n"), std::string::npos)
      << report;
  EXPECT_NE(child_stderr_.find("Verification Stage Error: bad entry"), std::string::npos)
      << child_stderr_;
}

}  // namespace
