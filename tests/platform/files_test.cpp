#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/drives.h"
#include "test_root.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using platform_test::TempSetupRoot;

bool WriteString(const std::string& path, const std::string& bytes) {
  return WriteFileBytes(path, bytes.data(), bytes.size());
}

mode_t ModeOf(const std::string& windows_path) {
  struct stat info {};
  EXPECT_EQ(stat(ToHostPath(windows_path)->c_str(), &info), 0);
  return info.st_mode & 07777;
}

std::vector<std::string> Names(const std::vector<FindData>& found) {
  std::vector<std::string> names;
  for (const FindData& f : found) names.push_back(f.name);
  return names;
}

TEST(FilesTest, FindFilesListsInCaseInsensitiveOrdinalOrder) {
  TempSetupRoot root;
  ASSERT_TRUE(CreateDirectory("C:\\d"));
  // Compared upper-cased: letters of either case mix, and "[" (0x5B) and "_" (0x5F) follow "Z";
  // plain byte order would put "Sub", "Zeta", "[y" and "_x" ahead of "a.TXT2".
  for (const char* name : {"b.txt", "_x", "A.txt", "a.TXT2", "Zeta", "[y", "10", "9"}) {
    ASSERT_TRUE(WriteString(std::string("C:\\d\\") + name, "x")) << name;
  }
  ASSERT_TRUE(CreateDirectory("C:\\d\\Sub"));
  const auto all = FindFiles("C:\\d");
  EXPECT_EQ(Names(all), (std::vector<std::string>{"10", "9", "A.txt", "a.TXT2", "b.txt", "Sub",
                                                  "Zeta", "[y", "_x"}));
  EXPECT_EQ(Names(FindFiles("c:\\D", "*.txt")), (std::vector<std::string>{"A.txt", "b.txt"}));
  EXPECT_EQ(Names(FindFiles("C:\\d\\?.TXT*")),
            (std::vector<std::string>{"A.txt", "a.TXT2", "b.txt"}));
  EXPECT_EQ(FindFiles("C:\\d", "*.*").size(), all.size());
  const auto sub = FindFiles("C:\\d", "sub");
  ASSERT_EQ(sub.size(), 1u);
  EXPECT_EQ(sub[0].attributes & kFileAttributeDirectory, kFileAttributeDirectory);
  EXPECT_TRUE(FindFiles("C:\\missing").empty());
}

TEST(FilesTest, ProgramContentGetsExecuteBits) {
  TempSetupRoot root;
  const std::string elf(
      "\x7F"
      "ELF\x02\x01\x01",
      7);
  ASSERT_TRUE(WriteString("C:\\prog.exe", elf));
  EXPECT_EQ(ModeOf("C:\\prog.exe") & 0100, 0100);
  ASSERT_TRUE(WriteString("C:\\run.bat", "#!/bin/sh\necho hi\n"));
  EXPECT_EQ(ModeOf("C:\\run.bat") & 0100, 0100);
  ASSERT_TRUE(WriteString("C:\\readme.txt", "#just text"));
  EXPECT_EQ(ModeOf("C:\\readme.txt") & 0111, 0);
  ASSERT_TRUE(WriteFileAtomically("C:\\atomic.exe", elf.data(), elf.size()));
  EXPECT_EQ(ModeOf("C:\\atomic.exe") & 0100, 0100);

  // Written in pieces through a handle, the header arrives first and counts at close.
  {
    auto file = File::Open("C:\\pieces", File::Mode::kCreateNew);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->Write("#", 1));
    ASSERT_TRUE(file->Write("!/bin/sh\n", 9));
    EXPECT_EQ(ModeOf("C:\\pieces") & 0111, 0);
  }
  EXPECT_EQ(ModeOf("C:\\pieces") & 0100, 0100);
  // A header written over after a seek back: what the file starts with at close counts.
  {
    auto file = File::Open("C:\\rewritten", File::Mode::kCreateNew);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->Write(elf.data(), elf.size()));
    ASSERT_TRUE(file->Seek(0));
    ASSERT_TRUE(file->Write("text", 4));
  }
  EXPECT_EQ(ModeOf("C:\\rewritten") & 0111, 0);
}

TEST(FilesTest, ReadOnlyFilesRefuseWritesAndDeletion) {
  TempSetupRoot root;
  ASSERT_TRUE(WriteString("C:\\ro.txt", "old"));
  EXPECT_EQ(GetFileAttributes("C:\\ro.txt") & kFileAttributeReadOnly, 0u);
  ASSERT_TRUE(SetFileAttributes("C:\\ro.txt", kFileAttributeReadOnly));
  EXPECT_EQ(GetFileAttributes("C:\\ro.txt") & kFileAttributeReadOnly, kFileAttributeReadOnly);
  EXPECT_FALSE(File::Open("C:\\ro.txt", File::Mode::kCreate));
  EXPECT_FALSE(File::Open("C:\\ro.txt", File::Mode::kReadWrite));
  EXPECT_FALSE(DeleteFile("C:\\ro.txt"));
  ASSERT_TRUE(WriteString("C:\\src.txt", "new"));
  EXPECT_FALSE(CopyFile("C:\\src.txt", "C:\\ro.txt", false));
  EXPECT_EQ(ReadFileBytes("C:\\ro.txt"), "old");  // refused opens leave the content alone
  ASSERT_TRUE(SetFileAttributes("C:\\ro.txt", kFileAttributeNormal));
  EXPECT_TRUE(DeleteFile("C:\\ro.txt"));
  EXPECT_EQ(GetFileAttributes("C:\\ro.txt"), kInvalidFileAttributes);
}

TEST(FilesTest, CreateDeleteCopyMoveFollowWindowsRules) {
  TempSetupRoot root;
  EXPECT_TRUE(CreateDirectory("C:\\Folder"));
  EXPECT_FALSE(CreateDirectory("C:\\folder"));  // already there, in another spelling
  EXPECT_FALSE(CreateDirectory("C:\\a\\b"));    // one level only
  EXPECT_TRUE(DirectoryExists("c:\\FOLDER"));
  EXPECT_FALSE(FileExists("C:\\Folder"));
  EXPECT_FALSE(DeleteFile("C:\\Folder"));

  ASSERT_TRUE(WriteString("C:\\Folder\\one.txt", "1"));
  EXPECT_FALSE(RemoveDirectory("C:\\Folder"));  // not empty
  EXPECT_TRUE(CopyFile("C:\\folder\\ONE.txt", "C:\\two.txt", true));
  EXPECT_FALSE(CopyFile("C:\\Folder\\one.txt", "C:\\two.txt", true));
  ASSERT_TRUE(WriteString("C:\\Folder\\one.txt", "changed"));
  EXPECT_TRUE(CopyFile("C:\\Folder\\one.txt", "C:\\two.txt", false));
  EXPECT_EQ(ReadFileBytes("C:\\two.txt"), "changed");
  // Onto itself (another spelling of the same file) the copy is refused and nothing is lost.
  EXPECT_FALSE(CopyFile("C:\\two.txt", "c:\\TWO.TXT", false));
  EXPECT_EQ(ReadFileBytes("C:\\two.txt"), "changed");
  EXPECT_FALSE(MoveFile("C:\\two.txt", "C:\\Folder\\one.txt"));  // target exists
  EXPECT_TRUE(MoveFile("C:\\two.txt", "C:\\Folder\\three.txt"));
  EXPECT_FALSE(FileExists("C:\\two.txt"));
  EXPECT_EQ(GetFileSize("C:\\Folder\\three.txt"), 7u);
  EXPECT_FALSE(GetFileSize("C:\\Folder"));
}

TEST(FilesTest, CreateNewRefusesExistingFilesAndLinks) {
  TempSetupRoot root;
  ASSERT_TRUE(WriteString("C:\\target.txt", "keep"));
  fs::create_symlink(root.DriveC() + "/target.txt", root.DriveC() + "/link");
  fs::create_symlink(root.DriveC() + "/nowhere", root.DriveC() + "/dangling");
  EXPECT_FALSE(File::Open("C:\\target.txt", File::Mode::kCreateNew));
  EXPECT_FALSE(File::Open("C:\\link", File::Mode::kCreateNew));
  EXPECT_FALSE(File::Open("C:\\dangling", File::Mode::kCreateNew));
  EXPECT_FALSE(fs::exists(root.DriveC() + "/nowhere"));
  EXPECT_EQ(ReadFileBytes("C:\\target.txt"), "keep");
  // Deleting a link removes the link, not its target.
  EXPECT_TRUE(DeleteFile("C:\\link"));
  EXPECT_TRUE(FileExists("C:\\target.txt"));
}

TEST(FilesTest, HandlesUseSixtyFourBitOffsets) {
  TempSetupRoot root;
  constexpr uint64_t kFar = (5ull << 30) + 17;  // past 4 GiB; the file stays sparse
  auto file = File::Open("C:\\big.bin", File::Mode::kCreate);
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->Seek(kFar));
  ASSERT_TRUE(file->Write("z", 1));
  EXPECT_EQ(file->Position(), kFar + 1);
  EXPECT_EQ(file->Size(), kFar + 1);
  ASSERT_TRUE(file->Seek(kFar));
  char c = 0;
  EXPECT_TRUE(file->ReadExact(&c, 1));
  EXPECT_EQ(c, 'z');
  EXPECT_FALSE(file->ReadExact(&c, 1));
  EXPECT_TRUE(file->Truncate(3));
  EXPECT_EQ(file->Size(), 3u);
}

TEST(FilesTest, RelativePathsStartAtTheWorkingFolder) {
  TempSetupRoot root;
  ASSERT_TRUE(CreateDirectory("C:\\Work"));
  const fs::path saved = fs::current_path();
  fs::current_path(root.DriveC() + "/Work");
  EXPECT_TRUE(WriteString("Data\\..\\note.txt", "n"));
  EXPECT_TRUE(FileExists("C:\\Work\\note.txt"));
  EXPECT_TRUE(FileExists("NOTE.TXT"));
  EXPECT_TRUE(FileExists("\\work\\Note.txt"));  // root of the working folder's drive
  EXPECT_FALSE(FileExists("\\\\server\\share\\note.txt"));
  fs::current_path(saved);
}

TEST(FilesTest, TempFolderIsPerUserAndCreated) {
  TempSetupRoot root;
  EXPECT_EQ(GetTempPath(), "C:\\users\\tester\\Temp\\");
  EXPECT_TRUE(fs::is_directory(root.DriveC() + "/users/tester/Temp"));
  const auto free_bytes = GetDiskFreeSpace("C:\\users\\tester\\Temp\\not\\there\\yet");
  ASSERT_TRUE(free_bytes);
  EXPECT_GT(*free_bytes, 0u);
  EXPECT_FALSE(GetDiskFreeSpace("Q:\\"));
}

}  // namespace
}  // namespace platform
