// Start-up stages: package verification, the second stage's messages and figures, the name
// check and the language walk.
#include <gtest/gtest.h>

#include <thread>

#include "platform/files.h"
#include "platform/registry.h"
#include "setup/commands/register_commands.h"
#include "setup/core/command_class.h"
#include "setup/core/compiled_lines.h"
#include "setup/core/setup_error.h"
#include "setup/core/text_services.h"
#include "setup/runtime/startup_modes.h"
#include "setup/runtime/startup_package.h"
#include "wizard_fixture.h"

namespace {

class RecordingObserver : public VerifyObserver {
 public:
  void SetStatus(const std::string& text, int position, int maximum) override {
    texts.push_back(text);
    positions.push_back(position);
    maximums.push_back(maximum);
  }
  std::vector<std::string> texts;
  std::vector<int> positions, maximums;
};

class StartupTest : public WizardFixture {
 protected:
  void AddSetupInfo(const TSetupInfoFile& info) { entries_["SetupInfo"] = info.Encode(); }
  void AddLines(const std::vector<int32_t>& ids) {
    TCompLines lines;
    for (int32_t id : ids) {
      TCompLine line;
      line.CommandID = id;
      line.LineIndex = 0;
      lines.Add(line);
    }
    entries_["CompiledLines"] = lines.Encode().value();
  }
  SecondStageInput Input() {
    SecondStageInput input;
    input.own_executable_path = "/opt/Demo/DemoSetup.exe";
    input.register_commands = [](TCommandList& list) { RegisterCommands(list); };
    return input;
  }
  TSetupInfoFile BasicInfo() {
    TSetupInfoFile info;
    info.SetupName = "Demo";
    info.SetupExeName = "DemoSetup.exe";
    info.InstallDir = "C:\\Demo\\";
    info.UninstallPrefix = "Demo_";
    return info;
  }
  std::string LastMessage() {
    auto shown = presenter_->Messages();
    return shown.empty() ? std::string() : shown.back().text;
  }
};

TEST_F(StartupTest, StripCopySuffixesDropsOnlyCopyNumbers) {
  EXPECT_EQ(StripCopySuffixes("setup(2).exe"), "setup.exe");
  EXPECT_EQ(StripCopySuffixes("setup[1].exe"), "setup.exe");
  EXPECT_EQ(StripCopySuffixes("setup(10).exe"), "setup(10).exe");  // 0 is not a copy digit
  EXPECT_EQ(StripCopySuffixes("setup (2).exe"), "setup .exe");     // the blank stays
  EXPECT_EQ(StripCopySuffixes("setup().exe"), "setup.exe");
  EXPECT_EQ(StripCopySuffixes("set(up)(3)[x].exe"), "set(up)[x].exe");
  EXPECT_EQ(StripCopySuffixes("setup(2.exe"), "setup(2.exe");  // no closing bracket
  EXPECT_EQ(StripCopySuffixes("a(1)(2)[3](4)"), "a");
}

TEST_F(StartupTest, VerificationCountsUpAndReportsTheFirstBadEntry) {
  entries_["a"] = "first";
  entries_["b"] = "";  // full size 0: never verified
  grouped_["c.dat"] = std::string(1000, 'x');
  OpenPackage();
  const std::string path = (base_ / "package.bin").string();
  RecordingObserver observer;
  FirstStageResult result = OpenAndVerifyPackage({path, true}, &observer, 0);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.grouped_bytes, 1000u);
  EXPECT_EQ(observer.texts.front(), "Loading Header");
  EXPECT_EQ(observer.texts.back(), "Status: 3 out of 3 files verifyed");
  EXPECT_EQ(observer.positions.back(), 3);
  EXPECT_EQ(VerifyStatusText(3, 5), "Status: 3 out of 5 files verifyed");

  // Damage the grouped entry's stored bytes.
  uint32_t offset = SetupState::Instance().package->Entry(2)->offset;
  SetupState::Instance().package.reset();
  {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(offset + 4);
    file.put('\x7f');
  }
  result = OpenAndVerifyPackage({path, true}, nullptr, 0);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(LastMessage(), "Error: Verification Failed. Setup is corrupt.\rID: 2 Filename: c.dat");

  std::ofstream(base_ / "plain.bin") << "no package here";
  result = OpenAndVerifyPackage({(base_ / "plain.bin").string(), true}, nullptr, 0);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(LastMessage(), "Invalid Setup Header. No Contents or Corrupted Contents.");
}

TEST_F(StartupTest, FirstFailureInDirectoryOrderIsReportedWhicheverCoreFoundIt) {
  for (int i = 0; i < 6; ++i) entries_["e" + std::to_string(i)] = std::string(4000 + i, 'a' + i);
  OpenPackage();
  const std::string path = (base_ / "package.bin").string();
  std::vector<uint32_t> offsets;
  for (int i = 0; i < 6; ++i) offsets.push_back(SetupState::Instance().package->Entry(i)->offset);
  SetupState::Instance().package.reset();
  auto damage = [&](int index) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(offsets[index] + 6);
    file.put('\x55');
  };
  damage(4);
  damage(3);  // odd entries are checked on the second core
  RecordingObserver observer;
  EXPECT_FALSE(OpenAndVerifyPackage({path, true}, &observer, 0).ok);
  EXPECT_EQ(LastMessage(), "Error: Verification Failed. Setup is corrupt.\rID: 3 Filename: e3");
  EXPECT_EQ(observer.texts.back(), "Status: 3 out of 6 files verifyed");
  damage(2);
  EXPECT_FALSE(OpenAndVerifyPackage({path, true}, nullptr, 0).ok);
  EXPECT_EQ(LastMessage(), "Error: Verification Failed. Setup is corrupt.\rID: 2 Filename: e2");
}

// Records which thread showed each message: a message box from any thread but the window's
// would wait for a window thread that is busy verifying.
class ThreadRecordingPresenter : public platform::MessageBoxPresenter {
 public:
  int Show(const std::string& text, const std::string&, uint32_t) override {
    std::lock_guard<std::mutex> lock(mutex);
    shown.push_back({text, std::this_thread::get_id()});
    return platform::kIdOk;
  }
  std::mutex mutex;
  std::vector<std::pair<std::string, std::thread::id>> shown;
};

TEST_F(StartupTest, EntryWithAWrongSizeIsReportedFromTheCallingThreadInOrder) {
  const std::string path = (base_ / "sizes.bin").string();
  auto write = [&](bool first_damaged) {
    TPak pak(path, true, false);
    std::string data(4000, 'q');
    TPreparedEntry good = *PrepareEntry(data.data(), data.size());
    ASSERT_NE(good.stored.size(), good.full_size);  // compressed
    pak.AddPreparedEntry("e0", 0, good.stored, good.full_size, good.crc + (first_damaged ? 1 : 0),
                         true);
    // The blob's CRC is right, but the directory claims fewer bytes than it inflates to.
    pak.AddPreparedEntry("e1", 0, good.stored, 3000, good.crc, true);
    for (int i = 2; i < 6; ++i) pak.AddPreparedEntry("e" + std::to_string(i), 0, good);
    pak.WriteDirectory();
    pak.Close();
  };
  auto presenter = std::make_shared<ThreadRecordingPresenter>();
  platform::SetPresenter(presenter);

  write(false);
  EXPECT_FALSE(OpenAndVerifyPackage({path, true}, nullptr, 0).ok);
  ASSERT_EQ(presenter->shown.size(), 2u);
  EXPECT_EQ(presenter->shown[0].first, "e1\r\rError: DecompSize - 4000 OrigSize - 3000");
  EXPECT_EQ(presenter->shown[1].first,
            "Error: Verification Failed. Setup is corrupt.\rID: 1 Filename: e1");
  for (const auto& [text, thread] : presenter->shown) {
    EXPECT_EQ(thread, std::this_thread::get_id()) << text;
  }

  // An earlier failure ends verification: the later entry's size is never looked at.
  presenter->shown.clear();
  write(true);
  for (int round = 0; round < 20; ++round) {
    EXPECT_FALSE(OpenAndVerifyPackage({path, true}, nullptr, 0).ok);
  }
  ASSERT_EQ(presenter->shown.size(), 20u);
  for (const auto& [text, thread] : presenter->shown) {
    EXPECT_EQ(text, "Error: Verification Failed. Setup is corrupt.\rID: 0 Filename: e0");
  }
  platform::SetPresenter(presenter_);
}

TEST_F(StartupTest, PackageOnTheCommandLineOnlyWhenTheFileExists) {
  std::ofstream(base_ / "pkg.bin") << "x";
  PackageChoice chosen = ChoosePackageFile({(base_ / "pkg.bin").string()});
  EXPECT_TRUE(chosen.from_command_line);
  EXPECT_EQ(chosen.path, (base_ / "pkg.bin").string());
  chosen = ChoosePackageFile({(base_ / "missing.bin").string()});
  EXPECT_FALSE(chosen.from_command_line);
  EXPECT_NE(chosen.path.find("wizard_tests"), std::string::npos);
}

TEST_F(StartupTest, InstallModeFiguresAndGroupFlags) {
  AddSetupInfo(BasicInfo());
  // file (group 1, files), a line without a command, an id past the registry, qxpupdate (group
  // 2, archive data), file (group 3).
  TCommandList probe;
  RegisterCommands(probe);
  const int32_t file_id = probe.IdOf("file");
  const int32_t qxpupdate_id = probe.IdOf("qxpupdate");
  ASSERT_EQ(probe.ById(file_id)->GroupKind(), kGroupKindFiles);
  ASSERT_EQ(probe.ById(qxpupdate_id)->GroupKind(), kGroupKindArchive);
  AddLines({file_id, -1, 77, qxpupdate_id, file_id});
  grouped_["one.txt"] = std::string(5000, 'a');  // group 1: full size counts
  OpenPackage();
  SecondStageInput input = Input();
  input.package_from_command_line = true;
  input.grouped_bytes = 5000;
  ASSERT_TRUE(RunSecondStage(input)) << LastMessage();
  SetupState& state = SetupState::Instance();
  EXPECT_EQ(state.group_kinds, (std::vector<bool>{false, false, true, false}));
  EXPECT_EQ(state.space_required, 5000);
  EXPECT_EQ(state.space_required_text, "4.88 KB");
  EXPECT_EQ(state.space_available_text.empty(), false);
}

TEST_F(StartupTest, RenamedExecutableIsRefusedUnlessTheCopyNumberIsAll) {
  AddSetupInfo(BasicInfo());
  AddLines({});
  OpenPackage();
  SecondStageInput input = Input();
  input.own_executable_path = "/tmp/DemoSetup(3).exe";
  EXPECT_TRUE(RunSecondStage(input)) << LastMessage();
  input.own_executable_path = "/tmp/Other.exe";
  EXPECT_FALSE(RunSecondStage(input));
  EXPECT_EQ(LastMessage(),
            "Error: Setup`s filename has been renamed\r\rExpected: \rDemoSetup.exe\r\rFound: "
            "\rOther.exe");
  input.package_from_command_line = true;  // never checked then
  EXPECT_TRUE(RunSecondStage(input));
}

TEST_F(StartupTest, TheNameCheckFoldsAccentedLettersToo) {
  TSetupInfoFile info = BasicInfo();
  info.SetupExeName = "\xC9xample.exe";  // Windows-1252 E acute
  AddSetupInfo(info);
  AddLines({});
  OpenPackage();
  SecondStageInput input = Input();
  // The host spells the copied file's name in UTF-8, small e acute.
  input.own_executable_path = "/tmp/\xC3\xA9XAMPLE(2).exe";
  EXPECT_TRUE(RunSecondStage(input)) << LastMessage();
  input.own_executable_path = "/tmp/example.exe";
  EXPECT_FALSE(RunSecondStage(input));
}

TEST_F(StartupTest, InstallFolderComesFromTheRegistryOrStops) {
  TSetupInfoFile info = BasicInfo();
  info.InstallDir = "";
  info.InstallDirRegKey[1] = {1, "Software\\Demo", "Folder"};
  AddSetupInfo(info);
  AddLines({});
  OpenPackage();
  EXPECT_FALSE(RunSecondStage(Input()));
  EXPECT_EQ(LastMessage(), "Error: Registry Key Not Found. Please Install Software");
  ASSERT_TRUE(platform::RegSetString(platform::RootKey::kCurrentUser, "Software\\Demo", "Folder",
                                     "Q:\\Games\\Demo\\"));
  ASSERT_TRUE(RunSecondStage(Input()));
  EXPECT_EQ(SetupState::Instance().SetupInfo().InstallDir, "Q:\\Games\\Demo\\");
  // A drive that does not exist has no free space to tell.
  EXPECT_EQ(SetupState::Instance().space_available, -1);
  EXPECT_EQ(SetupState::Instance().space_available_text, "-1.00 Bytes");
}

TEST_F(StartupTest, MissingRecordsStopWithTheirMessages) {
  OpenPackage();
  EXPECT_FALSE(RunSecondStage(Input()));
  EXPECT_EQ(LastMessage(), "Error: Setup Information Missing. Setup is corrupt");
  entries_.clear();
  AddSetupInfo(BasicInfo());
  OpenPackage();
  EXPECT_FALSE(RunSecondStage(Input()));
  EXPECT_EQ(LastMessage(), "Error: Compiled Lines Missing. Setup is corrupt");
}

TEST_F(StartupTest, UninstallModeNeedsTheLogButNoScript) {
  TSetupInfoFile info = BasicInfo();
  info.IsUninstaller = 1;
  AddSetupInfo(info);
  OpenPackage();
  EXPECT_FALSE(RunSecondStage(Input()));
  EXPECT_EQ(LastMessage(), "Error: install log is missing");
  TUninstallList log;
  log.AddFile("C:\\Demo\\a.txt");
  ASSERT_TRUE(platform::CreateDirectory("C:\\Demo"));
  ASSERT_TRUE(log.SaveLog("C:\\Demo", "Demo_"));
  ASSERT_TRUE(RunSecondStage(Input()));  // no CompiledLines needed, no name check
  EXPECT_EQ(TUninstallList::Instance().Files().size(), 1u);
  EXPECT_EQ(SetupState::Instance().space_required, 0);
}

TEST_F(StartupTest, EveryLanguageEntryIsATableAndOneWithoutDataEndsTheStartUp) {
  AddStockLanguage("install\\english");
  AddStockLanguage("install\\czech");
  OpenPackage(0x0409, false);
  TLanguages languages;
  LoadLanguagesFromPackage(*SetupState::Instance().package, languages, 0x0405);
  ASSERT_EQ(languages.Items.size(), 2u);
  EXPECT_EQ(languages.Items[languages.Current]->Name, QString::fromUtf8("Česky").toStdU16String());
  languages.Clear();
  LoadLanguagesFromPackage(*SetupState::Instance().package, languages, 0x0C07);  // nobody's
  EXPECT_EQ(languages.Current, 0);

  // An empty table is a damaged package: the start-up's error handler reports it.
  entries_["LANGUAGE-zz-empty"] = "";
  OpenPackage(0x0409, false);
  languages.Clear();
  try {
    LoadLanguagesFromPackage(*SetupState::Instance().package, languages, 0x0405);
    ADD_FAILURE() << "an empty language entry was accepted";
  } catch (const SetupError& error) {
    EXPECT_STREQ(error.what(), "Cannot open file");
    EXPECT_EQ(error.Ending(), ErrorEnding::kErrorReport);
  }
  EXPECT_EQ(languages.Items.size(), 3u);  // counted, as AddLanguage counts a table that fails
}

}  // namespace
