#include "setup/core/setup_state.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "core/state_test_support.h"
#include "platform/drives.h"
#include "platform/process.h"
#include "setup/core/exe_icon.h"

namespace {

using state_test::StateTest;
using SetupStateTest = StateTest;

TEST_F(SetupStateTest, StatusAndProgressDoNothingUntilSinksAreRegistered) {
  State().SetStatusText(u"ignored");
  State().SetSecondStatusText(u"ignored", true);
  State().StepProgress(true);
  State().StepProgress(false);
  EXPECT_EQ(State().ProgressPosition(), 0);

  auto status = std::make_shared<RecordingTextSink>();
  auto second = std::make_shared<RecordingTextSink>();
  auto gauge = std::make_shared<RecordingGaugeSink>();
  State().SetStatusLineSink(status);
  State().SetSecondStatusLineSink(second);
  State().SetGaugeSink(gauge);

  State().SetStatusText(u"Extracting");
  State().SetSecondStatusText(u"file.dat", true);
  State().SetProgressTotal(10);
  State().StepProgress(false);
  State().StepProgress(true);
  EXPECT_EQ(status->Text(), u"Extracting");
  ASSERT_EQ(second->Calls().size(), 1u);
  EXPECT_TRUE(second->Calls()[0].repaint);
  EXPECT_EQ(gauge->Max(), 10);
  EXPECT_EQ(State().ProgressPosition(), 2);
  // Only the step with the update flag moves the visible gauge.
  EXPECT_EQ(gauge->Positions(), std::vector<int32_t>{2});

  State().SetGaugeSink(nullptr);
  State().StepProgress(true);
  EXPECT_EQ(State().ProgressPosition(), 2);
}

TEST_F(SetupStateTest, ProgressStepsFromTwoThreadsAreAllCounted) {
  State().SetGaugeSink(std::make_shared<NullGaugeSink>());
  auto step = [this] {
    for (int i = 0; i < 20000; ++i) State().StepProgress(i % 100 == 0);
  };
  std::thread a(step);
  std::thread b(step);
  a.join();
  b.join();
  EXPECT_EQ(State().ProgressPosition(), 40000);
}

TEST_F(SetupStateTest, RunFlagsAndResetRestoreAFreshState) {
  EXPECT_EQ(State().CurrentLine(), 0);
  EXPECT_EQ(State().language_selection, "English");
  State().SetCurrentLine(-1);
  State().RequestStop();
  State().SetUnattended(true);
  State().SetTerminating(true);
  State().SetSpaceRequired(1536);
  State().SetSpaceAvailable(int64_t{3} << 30);
  SetInstallDir("C:\\Tool\\");
  State().ResolveSystemFolders();
  State().params = {"a"};
  EXPECT_EQ(State().CurrentLine(), -1);
  EXPECT_TRUE(State().StopRequested());
  EXPECT_EQ(State().space_required_text, "1.50 KB");
  EXPECT_EQ(State().space_available_text, "3.00 GB");
  EXPECT_EQ(State().InstallDir(), "C:\\Tool\\");

  State().Reset();
  EXPECT_EQ(State().CurrentLine(), 0);
  EXPECT_FALSE(State().StopRequested());
  EXPECT_FALSE(State().Unattended());
  EXPECT_FALSE(State().Terminating());
  EXPECT_EQ(State().space_required, 0);
  EXPECT_EQ(State().space_available_text, "");
  EXPECT_EQ(State().InstallDir(), "");
  EXPECT_EQ(State().program_files, "");
  EXPECT_EQ(State().cd_drive, "");
  EXPECT_TRUE(State().params.empty());
  EXPECT_EQ(State().package, nullptr);
}

TEST_F(SetupStateTest, EnvironmentSnapshotHoldsNamedVariablesOnly) {
  state_test::ScopedEnv var("SETUPKIT_STATE_TEST", std::string("a=b"));
  State().TakeEnvironmentSnapshot();
  bool found = false;
  for (const TSysVar& v : State().environment) {
    EXPECT_FALSE(v.name.empty());
    if (v.name == "SETUPKIT_STATE_TEST") {
      found = true;
      EXPECT_EQ(v.value, "a=b");  // split at the first "=" only
    }
  }
  EXPECT_TRUE(found);
}

TEST_F(SetupStateTest, RegistryAccessorReadsAndWritesTheOpenKey) {
  TRegistryAccessor& reg = State().registry;
  EXPECT_FALSE(reg.WriteString("x", "no key open"));
  reg.SetRootKey(platform::RootKey::kLocalMachine);
  EXPECT_FALSE(reg.OpenKey("Software\\Missing", false));
  ASSERT_TRUE(reg.OpenKey("Software\\Tool", true));
  EXPECT_TRUE(reg.WriteString("Path", "C:\\Tool"));
  EXPECT_EQ(reg.ReadString("path"), "C:\\Tool");
  reg.CloseKey();
  EXPECT_FALSE(reg.ReadString("Path").has_value());
  ASSERT_TRUE(reg.OpenKeyReadOnly("SOFTWARE\\TOOL"));
  EXPECT_TRUE(reg.ValueExists("Path"));
  EXPECT_TRUE(reg.DeleteValue("Path"));
  EXPECT_FALSE(reg.ValueExists("Path"));
  reg.CloseKey();
  EXPECT_EQ(platform::RegGetString(platform::RootKey::kCurrentUser, "Software\\Tool", "Path"),
            std::nullopt);
}

// An icon file with one image: 6-byte header, one 16-byte entry, then the image.
std::string MakeIcon(const std::string& image, uint32_t size_field, uint32_t offset_field) {
  std::string ico = {0, 0, 1, 0, 1, 0};
  std::string entry(16, '\0');
  entry[0] = 32;
  entry[1] = 32;
  for (int i = 0; i < 4; ++i) {
    entry[8 + i] = static_cast<char>((size_field >> (8 * i)) & 0xFF);
    entry[12 + i] = static_cast<char>((offset_field >> (8 * i)) & 0xFF);
  }
  return ico + entry + image;
}

TEST_F(SetupStateTest, IconImageMustLieInsideTheIconFile) {
  const std::string image(40, '\x5A');
  const std::string good = HostC("good.ico");
  std::ofstream(good, std::ios::binary) << MakeIcon(image, 40, 22);
  EXPECT_EQ(ReadFirstIconImage("C:\\good.ico"), image);

  for (auto [size, offset] : {std::pair<uint32_t, uint32_t>{41, 22},
                              {40, 23},
                              {0xFFFFFFFF, 22},
                              {16, 0xFFFFFFF8},
                              {0, 22}}) {
    std::ofstream(HostC("bad.ico"), std::ios::binary | std::ios::trunc)
        << MakeIcon(image, size, offset);
    EXPECT_FALSE(ReadFirstIconImage("C:\\bad.ico").has_value()) << size << " " << offset;
  }
  std::ofstream(HostC("short.ico"), std::ios::binary) << std::string(20, '\0');
  EXPECT_FALSE(ReadFirstIconImage("C:\\short.ico").has_value());
  EXPECT_FALSE(ReplaceExeIcon("C:\\missing.ico", platform::OwnExecutablePath()));
  // This test program is an ELF file: it has no icon resource to replace.
  EXPECT_FALSE(ReplaceExeIcon("C:\\good.ico", platform::OwnExecutablePath()));
}

}  // namespace
