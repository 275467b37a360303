// The file commands run through the library: extraction of package groups (also large raw
// entries and damaged packages), the registry condition, copyfile from a CD-ROM drive, rename,
// delete, createdirectory and rmdir.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command_test_env.h"
#include "platform/registry.h"
#include "setup/commands/file_operations.h"
#include "setup/core/crc32.h"

namespace command_test {
namespace {

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class FileCommandsTest : public CommandTest {};

TEST_F(FileCommandsTest, ExtractsSeveralGroupsWithStatusTextAndProgress) {
  WriteFile(Host("src/app/a.txt"), "alpha");
  WriteFile(Host("src/app/sub/b.txt"), std::string(100000, 'b'));
  WriteFile(Host("src/app/empty.dat"), "");
  WriteFile(Host("src/extra/c.txt"), "gamma");
  WriteFile(C("Demo/a.txt"), "old content that is longer");
  CompileAndRun("file app\\\nfile extra\\ Docs\nfile extra\\c.txt Docs\\\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];

  EXPECT_EQ(ReadFile(C("Demo/a.txt")), "alpha");  // replaced without asking
  EXPECT_EQ(ReadFile(C("Demo/sub/b.txt")), std::string(100000, 'b'));
  EXPECT_EQ(ReadFile(C("Demo/empty.dat")), "");
  EXPECT_EQ(ReadFile(C("Demo/Docs/c.txt")), "gamma");

  const std::vector<std::string> texts = StatusTexts();
  EXPECT_TRUE(Contains(texts, "Extracting a.txt"));
  EXPECT_TRUE(Contains(texts, "Extracting sub\\b.txt"));
  EXPECT_TRUE(Contains(texts, "Extracting c.txt"));
  // Every group walk ends with the text for an empty name.
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Extracting "), 3);
  EXPECT_EQ(gauge_->Positions(), (std::vector<int32_t>{1, 2, 3, 4, 5}));

  // The same target from two groups is recorded once; folders are recorded parent first.
  const std::vector<std::string>& files = TUninstallList::Instance().Files();
  EXPECT_EQ(std::count(files.begin(), files.end(), "$INSTDIR\\Docs\\c.txt"), 1);
  EXPECT_TRUE(Contains(files, "$INSTDIR\\sub\\b.txt"));
  const std::vector<std::string>& folders = TUninstallList::Instance().Folders();
  EXPECT_TRUE(Contains(folders, "C:\\Demo\\Docs")) << ::testing::PrintToString(folders);
  EXPECT_FALSE(Contains(folders, "C:\\Demo\\"));  // existed before the run
}

TEST_F(FileCommandsTest, InstallFolderWithFinalBackslashGivesCleanPaths) {
  WriteFile(Host("src/extra/c.txt"), "gamma");
  // A subfolder written with a leading backslash joins the same way.
  auto compiler = CompileText("file extra\\ Docs\\\nfile extra\\\nfile extra\\ \\Manual\n");
  ASSERT_TRUE(compiler->Errors().empty());
  PackAndLoad(*compiler);
  SetupState::Instance().SetupInfo().InstallDir = "C:\\Demo\\";
  Run();
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_EQ(ReadFile(C("Demo/Docs/c.txt")), "gamma");
  // The folder value ends in a backslash, so the contracted form has none after the variable.
  EXPECT_EQ(
      TUninstallList::Instance().Files(),
      (std::vector<std::string>{"$INSTDIRDocs\\c.txt", "$INSTDIRc.txt", "$INSTDIRManual\\c.txt"}));
  for (const std::string& folder : TUninstallList::Instance().Folders()) {
    EXPECT_EQ(folder.find("\\\\"), std::string::npos) << folder;
  }
}

TEST_F(FileCommandsTest, LargeEntryIsCopiedRawInChunks) {
  const size_t size = kLargeEntrySize;  // exactly 70 MiB: the smallest large entry
  std::string data(size, '\0');
  for (size_t i = 0; i < size; i += 4096) data[i] = static_cast<char>(i / 4096);
  data[size - 1] = 'Z';
  WriteFile(Host("src/big/huge.bin"), data);
  CompileAndRun("file big\\\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];

  const TPakFile* entry = SetupState::Instance().package->Entry(2);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->stored_size, 0u);
  EXPECT_TRUE(ReadFile(C("Demo/huge.bin")) == data);
  std::vector<std::string> chunks;
  for (const std::string& text : StatusTexts()) {
    if (text.rfind("Extracting huge.bin - ", 0) == 0) chunks.push_back(text);
  }
  EXPECT_EQ(chunks, (std::vector<std::string>{"Extracting huge.bin - 0.00 Bytes / 70.00 MB",
                                              "Extracting huge.bin - 25.00 MB / 70.00 MB",
                                              "Extracting huge.bin - 50.00 MB / 70.00 MB"}));
  EXPECT_FALSE(SetupState::Instance().StopRequested());
}

// A package whose large entry claims more bytes than are there: past the end of the file, or
// only into the directory that follows the blobs.
class CutShortPackageTest : public FileCommandsTest,
                            public ::testing::WithParamInterface<uint32_t> {};

TEST_P(CutShortPackageTest, LargeEntryStopsTheRunWithoutWritingGarbage) {
  WriteFile(Host("src/big/huge.bin"), std::string(kLargeEntrySize, 'h'));
  auto compiler = CompileText("file big\\\ncreatedirectory $INSTDIR\\after\n");
  ASSERT_TRUE(compiler->Errors().empty());
  PackAndLoad(*compiler);
  SetupState::Instance().package.reset();

  // Raise the entry's full size in its directory record.
  const std::string package = root_ + "/package.bin";
  std::string bytes = *ReadFile(package);
  uint32_t directory = 0;
  std::memcpy(&directory, bytes.data() + bytes.size() - 4, 4);
  const size_t name_at = bytes.find("huge.bin", directory);
  ASSERT_NE(name_at, std::string::npos);
  uint32_t full = 0;
  std::memcpy(&full, bytes.data() + name_at + 8 + 12, 4);
  full += GetParam();
  std::memcpy(bytes.data() + name_at + 8 + 12, &full, 4);
  WriteFile(package, bytes);
  LoadPackage(package);
  Run();

  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_FALSE(fs::exists(C("Demo/huge.bin")));
  EXPECT_FALSE(fs::exists(C("Demo/after")));
  EXPECT_TRUE(SetupState::Instance().StopRequested());
  EXPECT_EQ(platform::Utf16ToUtf8(second_status_->Text()), "Setup failed to install.");
}

INSTANTIATE_TEST_SUITE_P(PastTheFileOrIntoTheDirectory, CutShortPackageTest,
                         ::testing::Values(64u * 1024 * 1024, 10u));

TEST_F(FileCommandsTest, DamagedSmallEntryStopsTheRun) {
  ExtraEntry broken = Extra("bad.txt", 1, std::string(5000, 'q'));
  broken.blob.crc ^= 1;  // the stored bytes no longer match their CRC
  CompileAndRun("file nothing\\\ncreatedirectory $INSTDIR\\after\n", nullptr, {broken});
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_FALSE(fs::exists(C("Demo/bad.txt")));
  EXPECT_FALSE(fs::exists(C("Demo/after")));
  EXPECT_TRUE(SetupState::Instance().StopRequested());
}

// Verification proves an extracted entry by the CRC of its stored bytes; a stream that passes
// it but does not inflate to its full size is caught by the extraction, which stops the run at
// that entry, in directory order, whichever core inflated it, and the run is rolled back.
TEST_F(FileCommandsTest, StreamThatPassesItsCrcButInflatesWrongStopsTheRunInOrder) {
  std::vector<ExtraEntry> entries;
  for (int i = 0; i < 40; ++i) {
    entries.push_back(
        Extra("f" + std::to_string(i) + ".txt", 1, std::string(3000 + i, 'a' + i % 26)));
  }
  // Entry 25 claims 10 bytes fewer than its stream holds; its CRC still matches the blob.
  entries[25].blob.full_size -= 10;
  CompileAndRun("file nothing\\\ncreatedirectory $INSTDIR\\after\n", nullptr, entries);
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_TRUE(SetupState::Instance().StopRequested());
  for (int i = 0; i < 40; ++i) {
    EXPECT_FALSE(fs::exists(C("Demo/f" + std::to_string(i) + ".txt"))) << i;
  }
  EXPECT_FALSE(fs::exists(C("Demo/after")));
  const std::vector<platform::ScriptedPresenter::Shown> shown = presenter_->Messages();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown[0].text, "f25.txt\r\rError: DecompSize - 3025 OrigSize - 3015");
}

TEST_F(FileCommandsTest, StreamThatPassesItsCrcButIsBrokenRaisesTheInflateError) {
  std::vector<ExtraEntry> entries = {Extra("ok.txt", 1, std::string(5000, 'o')),
                                     Extra("bad.txt", 1, std::string(5000, 'b'))};
  // The stream's own Adler-32 no longer matches; the blob's CRC is made to match again.
  std::string& stored = entries[1].blob.stored;
  stored.back() ^= 0x55;
  entries[1].blob.crc = ComputeCrc32(stored.data(), stored.size());
  CompileAndRun("file nothing\\\n", nullptr, entries);
  // The file written before the broken one goes again with the rollback.
  EXPECT_FALSE(fs::exists(C("Demo/ok.txt")));
  EXPECT_FALSE(fs::exists(C("Demo/bad.txt")));
  EXPECT_EQ(errors_, (std::vector<std::string>{"Setup Thread: error"}));
}

TEST_F(FileCommandsTest, EntriesThatWouldLeaveTheFolderAreSkipped) {
  CompileAndRun("file nothing\\ Sub\n", nullptr,
                {Extra("..\\..\\escape.txt", 1, "evil"), Extra("C:\\rooted.txt", 1, "evil"),
                 Extra("\\abs.txt", 1, "evil"), Extra("ok\\fine.txt", 1, "good")});
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_EQ(ReadFile(C("Demo/Sub/ok/fine.txt")), "good");
  EXPECT_FALSE(fs::exists(C("escape.txt")));
  EXPECT_FALSE(fs::exists(C("rooted.txt")));
  EXPECT_FALSE(fs::exists(C("abs.txt")));
  EXPECT_FALSE(fs::exists(C("Demo/abs.txt")));
  EXPECT_EQ(TUninstallList::Instance().Files(),
            std::vector<std::string>{"$INSTDIR\\Sub\\ok\\fine.txt"});
}

TEST_F(FileCommandsTest, RegistryConditionDecidesExtraction) {
  WriteFile(Host("src/app/a.txt"), "a");
  ASSERT_TRUE(
      platform::RegSetString(platform::RootKey::kCurrentUser, "Software\\Cond", "Ver", "2.0"));
  CompileAndRun(
      "file app\\ Equal HKCU Software\\Cond Ver 2.0 1\n"
      "file app\\ CaseCounts HKCU Software\\Cond Ver 2.0X 1\n"
      "file app\\ Negated HKCU Software\\Cond Ver 2.0 F\n"
      "file app\\ Differs hkcu Software\\Cond Ver 1.0 false\n"
      "file app\\ DoubleZero HKCU Software\\Cond Ver 1.0 00\n"
      "file app\\ MissingKey HKCU Software\\Absent Ver \"\" 1\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_TRUE(fs::exists(C("Demo/Equal/a.txt")));
  EXPECT_FALSE(fs::exists(C("Demo/CaseCounts")));
  EXPECT_FALSE(fs::exists(C("Demo/Negated")));
  EXPECT_TRUE(fs::exists(C("Demo/Differs/a.txt")));
  EXPECT_FALSE(fs::exists(C("Demo/DoubleZero")));  // only "0" negates, not "00"
  EXPECT_TRUE(fs::exists(C("Demo/MissingKey/a.txt")));
  EXPECT_TRUE(platform::RegKeyExists(platform::RootKey::kCurrentUser, "Software\\Absent"));
  EXPECT_TRUE(presenter_->Messages().empty());
}

TEST_F(FileCommandsTest, ParamCountInvalidGoesOnButMarksTheRunFailed) {
  WriteFile(Host("src/app/a.txt"), "a");
  std::unique_ptr<TScriptCompiler> compiler = CompileText(
      "createdirectory $INSTDIR\\before\n"
      "file app\\ Sub\n"
      "createdirectory $INSTDIR\\after\n");
  ASSERT_TRUE(compiler->Errors().empty()) << compiler->Errors()[0].text;
  // A package not made by this compiler: the file line carries five arguments, a count the
  // compiler refuses.
  TCompLine& file_line = compiler->MutableLines()[1];
  ASSERT_EQ(file_line.Arguments.size(), 3u);
  file_line.SetArguments({"app\\", "Sub", "HKCU", "Software\\Cond", file_line.Arguments[2]});
  PackAndLoad(*compiler);
  Run();
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  const std::vector<platform::ScriptedPresenter::Shown> shown = presenter_->Messages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "TFileCommand.SFXProcess - Param Count Invalid!!!");
  EXPECT_EQ(shown[0].caption, "Error");
  // The script goes on with its next line and keeps what it did, but the run is marked as
  // faulted, which the program reports as failed (exit code 2), not finished.
  const SetupState& state = SetupState::Instance();
  EXPECT_TRUE(state.LineFaulted());
  EXPECT_FALSE(state.StopRequested());
  EXPECT_TRUE(fs::exists(C("Demo/before")));
  EXPECT_FALSE(fs::exists(C("Demo/Sub")));
  EXPECT_TRUE(fs::exists(C("Demo/after")));
}

TEST_F(FileCommandsTest, NonStringValueInTheConditionIsReportedAsARunnerError) {
  WriteFile(Host("src/app/a.txt"), "a");
  WriteFile(Host("registry/HKCU.reg"),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Typed]\r\n\"Ver\"=dword:00000002\r\n\r\n");
  ASSERT_TRUE(platform::RegValueExists(platform::RootKey::kCurrentUser, "Software\\Typed", "Ver"));
  CompileAndRun("file app\\ Sub HKCU Software\\Typed Ver 2 1\ncreatedirectory $INSTDIR\\after\n");
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0], "Setup Thread: Invalid data type for 'Ver'");
  EXPECT_FALSE(fs::exists(C("Demo/Sub")));
  EXPECT_FALSE(fs::exists(C("Demo/after")));
}

TEST_F(FileCommandsTest, CopyFileFindsTheSourceOnTheFirstCdDriveThatHoldsIt) {
  WriteFile(Host("cd_e/setup/only_e.dat"), "from E");
  WriteFile(Host("cd_d/setup/both.dat"), "from D");
  WriteFile(Host("cd_e/setup/both.dat"), "from E");
  EXPECT_EQ(FindOnCdDrives("$cddrive\\setup\\only_e.dat"), "E:\\\\setup\\only_e.dat");
  EXPECT_EQ(FindOnCdDrives("$CDDRIVE\\setup\\none.dat"), "$CDDRIVE\\setup\\none.dat");
  EXPECT_EQ(FindOnCdDrives("C:\\plain.txt"), "C:\\plain.txt");

  CompileAndRun(
      "copyfile $CDDRIVE\\setup\\only_e.dat $INSTDIR\\Data\\one.dat\n"
      "copyfile $CDDRIVE\\setup\\both.dat $INSTDIR\\two.dat\n"
      "iffileexists $CDDRIVE\\setup\\both.dat found 0\n"
      "goto end\n"
      "found:\n"
      "createdirectory $INSTDIR\\found\n"
      "end:\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_EQ(ReadFile(C("Demo/Data/one.dat")), "from E");
  EXPECT_EQ(ReadFile(C("Demo/two.dat")), "from D");
  EXPECT_TRUE(fs::exists(C("Demo/found")));
  EXPECT_TRUE(Contains(StatusTexts(), "Copying File only_e.dat"));
  EXPECT_TRUE(Contains(TUninstallList::Instance().Files(), "$INSTDIR\\two.dat"));
}

TEST_F(FileCommandsTest, RenameDeleteAndCreateDirectory) {
  WriteFile(C("Demo/old.txt"), "old");
  WriteFile(C("Demo/gone.txt"), "gone");
  CompileAndRun(
      "rename $INSTDIR\\old.txt $INSTDIR\\new.txt\n"
      "rename $INSTDIR\\missing.txt $INSTDIR\\other.txt\n"
      "delete $INSTDIR\\gone.txt\n"
      "delete $INSTDIR\\nothing.txt\n"
      "createdirectory $INSTDIR\\A\\B\\\n"
      "createdirectory $INSTDIR\\A\\\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_EQ(ReadFile(C("Demo/new.txt")), "old");
  EXPECT_FALSE(fs::exists(C("Demo/old.txt")));
  EXPECT_FALSE(fs::exists(C("Demo/other.txt")));
  EXPECT_FALSE(fs::exists(C("Demo/gone.txt")));
  EXPECT_TRUE(fs::is_directory(C("Demo/A/B")));
  EXPECT_EQ(TUninstallList::Instance().Folders(),
            (std::vector<std::string>{"C:\\Demo\\A\\", "C:\\Demo\\A\\B\\", "C:\\Demo\\A\\B\\",
                                      "C:\\Demo\\A\\"}));
  // rename and delete keep their expanded arguments in the loaded line.
  EXPECT_EQ(SetupState::Instance().CompiledLines()[0].Arguments[0], "C:\\Demo\\old.txt");
  EXPECT_TRUE(TUninstallList::Instance().Files().empty());
}

TEST_F(FileCommandsTest, RmdirRemovesTheTreeButNeverFollowsLinks) {
  WriteFile(C("Demo/tree/a.txt"), "a");
  WriteFile(C("Demo/tree/sub/deeper/b.txt"), "b");
  WriteFile(C("Demo/tree/sub/.hidden"), "h");
  WriteFile(C("Outside/precious.txt"), "keep me");
  fs::create_directory_symlink(C("Outside"), C("Demo/tree/sub/link"));
  fs::create_symlink(C("Outside/precious.txt"), C("Demo/tree/file_link"));
  CompileAndRun("rmdir $INSTDIR\\tree 1\nrmdir $INSTDIR\\absent 0\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_FALSE(fs::exists(C("Demo/tree")));
  EXPECT_EQ(ReadFile(C("Outside/precious.txt")), "keep me");
  EXPECT_TRUE(fs::exists(C("Demo")));
}

TEST_F(FileCommandsTest, RemoveFolderTreeRefusesRootsAndFollowsNoLinkedTop) {
  WriteFile(C("keep.txt"), "k");
  EXPECT_FALSE(RemoveFolderTree(""));
  EXPECT_FALSE(RemoveFolderTree("C:\\"));
  EXPECT_FALSE(RemoveFolderTree("C:"));
  EXPECT_FALSE(RemoveFolderTree("\\"));
  // The root spelled with "." or ".." components is still the root.
  WriteFile(C("Demo/sub/x.txt"), "x");
  EXPECT_FALSE(RemoveFolderTree("C:\\."));
  EXPECT_FALSE(RemoveFolderTree("C:\\Demo\\.."));
  EXPECT_FALSE(RemoveFolderTree("C:\\Demo\\sub\\..\\..\\..\\"));
  EXPECT_TRUE(fs::exists(C("keep.txt")));
  // Below the root they resolve on the text: Demo\sub\.. is Demo.
  EXPECT_TRUE(RemoveFolderTree("C:\\Demo\\sub\\.\\.."));
  EXPECT_FALSE(fs::exists(C("Demo")));
  EXPECT_TRUE(fs::exists(C("keep.txt")));

  WriteFile(C("Real/inside.txt"), "i");
  fs::create_directory_symlink(C("Real"), C("Linked"));
  EXPECT_TRUE(RemoveFolderTree("C:\\Linked\\"));
  EXPECT_FALSE(fs::is_symlink(C("Linked")));
  EXPECT_EQ(ReadFile(C("Real/inside.txt")), "i");
}

// Permissions do not stop the superuser, so under root this test runs itself again as the
// unprivileged user "nobody": from a copy of the test program in a folder that user can reach
// (the build folder may lie under a home folder closed to others), through setpriv.
std::string RunThisTestUnprivileged() {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter = std::string(test->test_suite_name()) + "." + test->name();
  std::string folder_template = (fs::temp_directory_path() / "unprivileged.XXXXXX").string();
  const char* folder = mkdtemp(folder_template.data());
  if (folder == nullptr) return "cannot create a folder for the copy";
  const fs::path copy = fs::path(folder) / "commands_tests";
  std::error_code error;
  fs::copy_file("/proc/self/exe", copy, error);
  fs::permissions(folder,
                  fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                      fs::perms::others_read | fs::perms::others_exec,
                  error);
  const std::string command = "setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME='" +
                              std::string(folder) + "' '" + copy.string() +
                              "' --gtest_filter=" + filter + " 2>&1";
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    const int status = pclose(pipe);
    if (status != 0) output += "\nexit status " + std::to_string(status);
  }
  fs::remove_all(folder, error);
  return output;
}

TEST_F(FileCommandsTest, RemoveFolderTreeGivesUpOnWhatItCannotDelete) {
  if (geteuid() == 0) {
    const std::string output = RunThisTestUnprivileged();
    EXPECT_NE(output.find("[  PASSED  ] 1 test."), std::string::npos) << output;
    return;
  }
  WriteFile(C("Tree/locked/file.txt"), "x");
  WriteFile(C("Tree/free/other.txt"), "y");
  fs::permissions(C("Tree/locked"), fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(RemoveFolderTree("C:\\Tree"));
  fs::permissions(C("Tree/locked"), fs::perms::owner_all);
  EXPECT_FALSE(fs::exists(C("Tree/free")));
  EXPECT_TRUE(fs::exists(C("Tree/locked/file.txt")));
}

}  // namespace
}  // namespace command_test
