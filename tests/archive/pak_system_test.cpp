#include "setup/archive/pak_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "archive/archive_test_support.h"
#include "archive/pak_read_back.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "setup/archive/group_source.h"
#include "setup/archive/pak_contents.h"
#include "setup/core/ciphers.h"
#include "setup/core/setup_error.h"

namespace {

using archive_test::Exists;
using archive_test::MakeWav;
using archive_test::ReadArchiveBytes;
using archive_test::ReadBytes;
using archive_test::ReadZlibEntry;
using archive_test::Samples;
using archive_test::ScratchFolder;
using archive_test::WriteBytes;

using Files = std::vector<std::pair<std::string, std::string>>;

class PakSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The killed-update test forks; the child shares this process's scratch folder and state.
    GTEST_FLAG_SET(death_test_style, "fast");
    path_ = dir_ / "game.qxp";
  }

  // Checks that `action` raises the error that ends the setup with `message` shown in an
  // "Error" box and exit code 2 (`ending` and code as given otherwise).
  template <typename Action>
  void ExpectEnds(Action action, const std::string& message,
                  ErrorEnding ending = ErrorEnding::kMessage, int exit_code = 2) {
    try {
      action();
      ADD_FAILURE() << "no error raised; expected: " << message;
    } catch (const SetupError& error) {
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
      EXPECT_EQ(error.Ending(), ending) << error.what();
      EXPECT_EQ(error.ExitCode(), exit_code) << error.what();
    }
  }

  void MakeArchive(const Files& files, pak::TailForm tail = pak::TailForm::kCurrent,
                   const std::string& password = "", uint8_t official = 0) {
    pak::NewArchiveOptions options;
    options.tail = tail;
    options.password = password;
    options.official = official;
    WriteBytes(path_, pak::BuildArchive(files, options));
  }

  void Update(const Files& files, const std::string& password) {
    TMemoryGroupSource group(files);
    system_.UpdateFromGroup(group, path_, "game.qxp", password);
  }

  archive_test::ReadArchive Read() {
    auto archive = ReadArchiveBytes(ReadBytes(path_));
    EXPECT_TRUE(archive) << "the archive does not read back";
    return archive ? *archive : archive_test::ReadArchive();
  }

  std::string Content(const std::string& name) {
    std::string bytes = ReadBytes(path_);
    auto archive = ReadArchiveBytes(bytes);
    const archive_test::ReadRecord* r = archive ? archive->Find(name) : nullptr;
    if (!r) return "<missing>";
    return ReadZlibEntry(bytes, *r).value_or("<damaged>");
  }

  ScratchFolder dir_;
  std::string path_;
  archive_test::RecordingProgress progress_;
  TPakSystem system_{progress_};
};

TEST_F(PakSystemTest, ArchiveWithoutTailTakesThePasswordOfItsFirstUpdate) {
  MakeArchive({{"a.txt", "alpha"}}, pak::TailForm::kNone);
  Update({{"b.txt", "beta"}}, "pw-1");
  auto a = Read();
  EXPECT_EQ(a.tail, "EIH2");
  EXPECT_EQ(a.password, "pw-1");
  EXPECT_EQ(a.official, 0);
  ASSERT_EQ(a.records.size(), 2u);
  EXPECT_EQ(Content("a.txt"), "alpha");
  EXPECT_EQ(Content("b.txt"), "beta");
  EXPECT_EQ(a.records[1].marker, 0x0A0D);
  EXPECT_EQ(a.records[1].kind, 2);
  EXPECT_EQ(a.records[1].offset, a.records[0].offset + a.records[0].stored);

  Update({{"c.txt", "gamma"}}, "pw-1");
  EXPECT_EQ(Content("c.txt"), "gamma");
  const std::string before = ReadBytes(path_);
  ExpectEnds(
      [&] {
        Update({{"d.txt", "delta"}}, "PW-1");
      },
      "Error Incorrect Password\rFile: game.qxp");
  EXPECT_EQ(ReadBytes(path_), before);
  EXPECT_FALSE(Exists(path_ + ".journal"));
}

TEST_F(PakSystemTest, OldTailKeepsItsPlainPasswordAndIsRewrittenInCurrentForm) {
  MakeArchive({{"a.txt", "alpha"}}, pak::TailForm::kOld, "abc12");
  EXPECT_EQ(Read().tail, "QXP2");
  const std::string before = ReadBytes(path_);
  ExpectEnds([&] { Update({{"b.txt", "beta"}}, "abc1"); }, "Incorrect Password");
  EXPECT_EQ(ReadBytes(path_), before);
  Update({{"b.txt", "beta"}}, "abc12");
  auto a = Read();
  EXPECT_EQ(a.tail, "EIH2");
  EXPECT_EQ(a.password, "abc12");
  EXPECT_EQ(Content("b.txt"), "beta");

  // Only the leading run of letters and digits counts.
  pak::NewArchiveOptions no_tail;
  no_tail.tail = pak::TailForm::kNone;
  std::string odd = pak::BuildArchive({{"a.txt", "x"}}, no_tail);
  odd += std::string("QXP2ab-cd\0\0\0\0", 13);
  WriteBytes(path_, odd);
  Update({{"b.txt", "beta"}}, "ab");
  EXPECT_EQ(Read().password, "ab");
}

TEST_F(PakSystemTest, PasswordsOverFortyOneBytesAreRefusedAndTheLongestAllowedReadsBack) {
  MakeArchive({{"a.txt", "alpha"}}, pak::TailForm::kNone);
  const std::string before = ReadBytes(path_);
  ExpectEnds(
      [&] {
        Update({{"b.txt", "beta"}}, std::string(kMaxPakPassword + 1, 'p'));
      },
      "longer than 41 bytes");
  EXPECT_EQ(ReadBytes(path_), before);

  const std::string longest(kMaxPakPassword, '\xE9');
  Update({{"b.txt", "beta"}}, longest);
  EXPECT_EQ(Read().password, longest);
  Update({{"c.txt", "gamma"}}, longest);  // the next update finds the tail again
  EXPECT_EQ(Content("c.txt"), "gamma");
}

TEST_F(PakSystemTest, LoadedPasswordTooLongToRewriteLeavesTheArchiveAlone) {
  // An "EIH1" block has no official byte, so its tail can carry a 42-byte password that the
  // reader still finds. Rewritten as "EIH2" it would end up where no reader looks.
  const std::string password(kMaxPakPassword + 1, 'q');
  TQuillEncryptionType cipher;
  cipher.SineSeed = 3;
  cipher.CosineSeed = 5;
  const std::string enciphered = cipher.Encrypt(password);
  pak::NewArchiveOptions options;
  options.tail = pak::TailForm::kNone;
  std::string bytes = pak::BuildArchive({{"a.txt", "alpha"}}, options);
  archive_io::ByteWriter w(bytes);
  w.Bytes("QXP3");
  w.U16(1);
  w.Bytes("EIH1");
  w.U8(3);
  w.U8(5);
  w.U16(static_cast<uint16_t>(enciphered.size()));
  w.Bytes(enciphered);
  WriteBytes(path_, bytes);
  ASSERT_EQ(Read().password, password);

  ExpectEnds([&] { system_.SetOfficial(path_, "game.qxp", "pelkrav", "1"); },
             "longer than 41 bytes");
  EXPECT_EQ(ReadBytes(path_), bytes);
  ExpectEnds([&] { system_.DuplicateEntry(path_, "game.qxp", "a.txt", "b.txt"); },
             "longer than 41 bytes");
  EXPECT_EQ(ReadBytes(path_), bytes);
  EXPECT_FALSE(Exists(path_ + kJournalSuffix));
}

TEST_F(PakSystemTest, UnchangedContentIsPassedOverEntirely) {
  MakeArchive({{"a.txt", "alpha"}, {"b.txt", "beta"}});
  Update({{"c.txt", "gamma"}}, "");
  auto first = Read();
  Update({{"A.TXT", "alpha"}, {"c.txt", "gamma"}}, "");
  auto second = Read();
  EXPECT_EQ(second.records, first.records);
  EXPECT_EQ(second.directory_start, first.directory_start);

  // Content added earlier in the same update counts as already stored.
  Update({{"d.txt", "delta"}, {"D.TXT", "delta"}}, "");
  auto third = Read();
  ASSERT_EQ(third.records.size(), first.records.size() + 1);
  EXPECT_EQ(third.records.back().name, "d.txt");
  EXPECT_EQ(third.directory_start, first.directory_start + third.records.back().stored);
}

TEST_F(PakSystemTest, ReplacementMovesTheRecordToTheEndAndKeepsTheOldSpelling) {
  MakeArchive({{"Data\\Map.DAT", "old map"}, {"b.txt", "beta"}});
  const std::string old_bytes = ReadBytes(path_);
  auto before = Read();
  Update({{"data\\map.dat", "the new map"}}, "");
  auto after = Read();
  ASSERT_EQ(after.records.size(), 2u);
  EXPECT_EQ(after.records[0].name, "b.txt");
  EXPECT_EQ(after.records[1].name, "Data\\Map.DAT");
  EXPECT_EQ(after.records[1].offset, before.directory_start);
  EXPECT_EQ(Content("Data\\Map.DAT"), "the new map");
  // The old bytes stay where they were, no longer pointed to.
  const std::string now = ReadBytes(path_);
  EXPECT_EQ(now.substr(0, before.directory_start), old_bytes.substr(0, before.directory_start));
}

TEST_F(PakSystemTest, WavNamesOfEitherCaseTakeTheSoundPath) {
  MakeArchive({});
  const std::string wav = MakeWav(1, 8000, 16, Samples({0, 100, 50, -200}));
  Update({{"sfx\\a.wav", wav},
          {"sfx\\B.WAV", wav},
          {"sfx\\c.wav.txt", wav},
          {"sfx\\bad.wav", "not a wave file at all, but long enough for a header......"},
          {"wav", "no extension"}},
         "");
  auto a = Read();
  ASSERT_EQ(a.records.size(), 4u);
  EXPECT_EQ(a.Find("sfx\\a.wav")->kind, 1);
  EXPECT_EQ(a.Find("sfx\\B.WAV")->kind, 1);
  EXPECT_EQ(a.Find("sfx\\c.wav.txt")->kind, 2);
  EXPECT_EQ(a.Find("sfx\\bad.wav"), nullptr);
  EXPECT_EQ(Content("sfx\\c.wav.txt"), wav);
  EXPECT_EQ(Content("wav"), "no extension");
  const auto* sound = a.Find("sfx\\a.wav");
  EXPECT_EQ(sound->full, wav.size());
  EXPECT_EQ(sound->stored, 58u + 8u);
  EXPECT_EQ(ReadBytes(path_).substr(sound->offset, 4), "RIFF");
}

TEST_F(PakSystemTest, DuplicateEntrySharesDataOnlyWhereItMay) {
  MakeArchive({{"Src.dat", "source"}, {"same.dat", "source"}, {"other.dat", "other"}});
  // Equal content at another offset is other data: the target stays.
  system_.DuplicateEntry(path_, "game.qxp", "src.dat", "SAME.dat");
  auto a = Read();
  const auto src = *a.Find("Src.dat");
  EXPECT_NE(a.Find("same.dat")->offset, src.offset);
  EXPECT_EQ(a.tail, "EIH2");

  system_.DuplicateEntry(path_, "game.qxp", "SRC.DAT", "New\\Copy.DAT");
  a = Read();
  ASSERT_EQ(a.records.size(), 4u);
  const auto copy = a.records.back();
  EXPECT_EQ(copy.name, "new\\copy.dat");
  EXPECT_EQ(copy.offset, src.offset);
  EXPECT_EQ(copy.stored, src.stored);
  EXPECT_EQ(copy.full, src.full);
  EXPECT_EQ(copy.kind, src.kind);
  EXPECT_EQ(Content("new\\copy.dat"), "source");

  // A target already sharing the data takes the source's fields again and keeps its place.
  system_.DuplicateEntry(path_, "game.qxp", "src.dat", "new\\copy.dat");
  EXPECT_EQ(Read().records, a.records);

  system_.DuplicateEntry(path_, "game.qxp", "src.dat", "other.dat");
  EXPECT_EQ(Content("other.dat"), "other");

  const std::string before = ReadBytes(path_);
  system_.DuplicateEntry(path_, "game.qxp", "missing.dat", "x.dat");
  EXPECT_EQ(ReadBytes(path_), before);
}

TEST_F(PakSystemTest, OfficialFlagFollowsTheFlagTextOnlyWithTheAccessCode) {
  MakeArchive({{"a.txt", "alpha"}}, pak::TailForm::kCurrent, "pw");
  struct Case {
    const char* text;
    int flag;
  } cases[] = {{"T", 1}, {"TRUE", 1}, {"True", 1}, {"1", 1}, {"yes", 0}, {"0", 0}, {"", 0}};
  for (const Case& c : cases) {
    system_.SetOfficial(path_, "game.qxp", "PelKrav", c.text);
    auto a = Read();
    EXPECT_EQ(a.official, c.flag) << c.text;
    EXPECT_EQ(a.password, "pw");
    EXPECT_EQ(Content("a.txt"), "alpha");
  }
  system_.SetOfficial(path_, "game.qxp", "pelkrav", "1");
  const std::string before = ReadBytes(path_);
  system_.SetOfficial(path_, "game.qxp", "pelkra", "0");
  EXPECT_EQ(ReadBytes(path_), before);
  EXPECT_TRUE(progress_.statuses.empty());
}

TEST_F(PakSystemTest, ProgressShowsFinishedCountsThenTheHeaderText) {
  MakeArchive({});
  Update({{"a", "1"}, {"b", "2"}, {"c", "3"}}, "");
  std::vector<std::u16string> expected = {
      u"Processing game.qxp: 0 of 3 files", u"Processing game.qxp: 0 of 3 files",
      u"Processing game.qxp: 1 of 3 files", u"Processing game.qxp: 2 of 3 files",
      u"Writing header of game.qxp"};
  EXPECT_EQ(progress_.statuses, expected);
  EXPECT_EQ(progress_.steps, (std::vector<bool>{false, true, true}));
}

TEST_F(PakSystemTest, EmptyGroupLeavesEvenAMissingArchiveAlone) {
  TMemoryGroupSource empty;
  system_.UpdateFromGroup(empty, dir_ / "missing.qxp", "missing.qxp", "");
  EXPECT_FALSE(Exists(dir_ / "missing.qxp"));
  EXPECT_TRUE(progress_.statuses.empty());
}

TEST_F(PakSystemTest, ForcedWriteFailuresRestoreTheArchiveByteForByte) {
  MakeArchive({{"a.txt", "alpha"}, {"b.txt", "beta"}}, pak::TailForm::kCurrent, "pw");
  const std::string before = ReadBytes(path_);
  const std::string big(20000, 'x');
  // Limits inside the first entry, between entries, and inside the new directory.
  for (uint64_t limit : {0ull, 3ull, 60ull, 80ull}) {
    SCOPED_TRACE(limit);
    system_.SetWriteLimitForTesting(limit);
    ExpectEnds(
        [&] {
          Update({{"c.txt", "a fairly long line of text " + big}, {"d.txt", "delta"}}, "pw");
        },
        "Disk full, " + path_ + " was restored to its previous state");
    system_.SetWriteLimitForTesting(std::nullopt);
    EXPECT_EQ(ReadBytes(path_), before);
    EXPECT_FALSE(Exists(path_ + ".journal"));
  }
}

TEST_F(PakSystemTest, DataAreaAlreadyPastFourGiBIsNotAddedTo) {
  // A directory after more than 4 GiB of data: no new record offset can reach it. The data
  // area is a hole, so the file takes almost no disk space.
  const uint64_t data_end = (uint64_t{1} << 32) + 16;
  const std::string end = pak::BuildArchive({}, {});
  {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.seekp(static_cast<std::streamoff>(data_end));
    out.write(end.data(), static_cast<std::streamsize>(end.size()));
  }
  struct stat info {};
  ASSERT_EQ(::stat(path_.c_str(), &info), 0);
  if (static_cast<uint64_t>(info.st_blocks) * 512 > (uint64_t{1} << 30)) {
    GTEST_SKIP() << "the file system does not keep holes";
  }
  ExpectEnds([&] { Update({{"a.txt", "alpha"}}, ""); }, "past 4 GiB");
  ASSERT_EQ(std::filesystem::file_size(path_), data_end + end.size());
  std::ifstream in(path_, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(data_end));
  std::string after(end.size(), '\0');
  in.read(after.data(), static_cast<std::streamsize>(after.size()));
  EXPECT_EQ(after, end);
}

TEST_F(PakSystemTest, ErrorDuringTheWalkRestoresTheArchive) {
  MakeArchive({{"a.txt", "alpha"}});
  const std::string before = ReadBytes(path_);
  archive_test::SecondEntryUnreadable group(Files{{"b.txt", "beta"}, {"c.txt", "gamma"}});
  EXPECT_THROW(system_.UpdateFromGroup(group, path_, "game.qxp", ""), SetupError);
  EXPECT_EQ(ReadBytes(path_), before);
  EXPECT_FALSE(Exists(path_ + ".journal"));
  // The system is usable again afterwards.
  Update({{"b.txt", "beta"}}, "");
  EXPECT_EQ(Content("b.txt"), "beta");
}

TEST_F(PakSystemTest, UpdateKilledMidwayIsRolledBackWhenTheArchiveIsNextOpened) {
  MakeArchive({{"a.txt", "alpha"}}, pak::TailForm::kCurrent, "pw");
  const std::string before = ReadBytes(path_);
  EXPECT_EXIT(
      {
        system_.SetAfterEntryHookForTesting([](int) { platform::ExitProcess(9); });
        Update({{"b.txt", "beta"}, {"c.txt", "gamma"}}, "pw");
      },
      ::testing::ExitedWithCode(9), "");
  // What a killed process leaves: no directory, and the journal.
  EXPECT_NE(ReadBytes(path_), before);
  EXPECT_FALSE(ReadArchiveBytes(ReadBytes(path_)));
  ASSERT_TRUE(Exists(path_ + ".journal"));

  system_.DuplicateEntry(path_, "game.qxp", "missing", "x");
  EXPECT_EQ(ReadBytes(path_), before);
  EXPECT_FALSE(Exists(path_ + ".journal"));
}

TEST_F(PakSystemTest, IncompleteJournalIsDiscardedAndTheArchiveLeftAsItIs) {
  MakeArchive({{"a.txt", "alpha"}});
  const std::string before = ReadBytes(path_);
  WriteBytes(path_ + ".journal", "QXPJ\x01\0\0\0 torn");
  EXPECT_FALSE(TPakSystem::RecoverFromJournal(path_));
  EXPECT_FALSE(Exists(path_ + ".journal"));
  EXPECT_EQ(ReadBytes(path_), before);
}

TEST_F(PakSystemTest, DamagedArchiveEndsWithTheCorruptedHeaderMessage) {
  MakeArchive({{"a.txt", "alpha"}}, pak::TailForm::kNone);
  std::string bytes = ReadBytes(path_);
  bytes[bytes.size() - 12] = 4;  // version
  WriteBytes(path_, bytes);
  ExpectEnds([&] { Update({{"b.txt", "beta"}}, ""); }, "File " + path_ + " has corrupted header.");
  EXPECT_EQ(ReadBytes(path_), bytes);
}

// Answers Retry once, after putting the missing archive in place.
class CreatingPresenter : public platform::MessageBoxPresenter {
 public:
  CreatingPresenter(std::string path, std::string bytes) : path_(path), bytes_(bytes) {}
  int Show(const std::string& text, const std::string& caption, uint32_t flags) override {
    shown.push_back(caption + ": " + text);
    EXPECT_EQ(flags & platform::kMbButtonMask, platform::kMbRetryCancel);
    WriteBytes(path_, bytes_);
    return platform::kIdRetry;
  }
  std::vector<std::string> shown;

 private:
  std::string path_, bytes_;
};

TEST_F(PakSystemTest, MissingArchiveAsksToRetryAndCancelEndsTheSetup) {
  const std::string bytes = pak::BuildArchive({{"a.txt", "alpha"}}, {});
  auto presenter = std::make_shared<CreatingPresenter>(path_, bytes);
  platform::SetPresenter(presenter);
  Update({{"b.txt", "beta"}}, "");
  platform::SetPresenter(std::make_shared<platform::UnattendedPresenter>());
  ASSERT_EQ(presenter->shown.size(), 1u);
  EXPECT_EQ(presenter->shown[0], "Error: File not found: \"" + path_ + "\".");
  EXPECT_EQ(Content("b.txt"), "beta");

  // The unattended presenter answers Cancel: the setup ends without another message.
  ExpectEnds([&] { system_.DuplicateEntry(dir_ / "gone.qxp", "gone.qxp", "a", "b"); },
             "File not found", ErrorEnding::kQuiet, 1);
  EXPECT_FALSE(Exists(dir_ / "gone.qxp"));
}

TEST_F(PakSystemTest, ReadOnlyArchiveIsMadeWritableAndUpdated) {
  MakeArchive({{"a.txt", "alpha"}});
  ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
  Update({{"b.txt", "beta"}}, "");
  EXPECT_EQ(Content("b.txt"), "beta");
  struct stat st;
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IWUSR, 0u);
}

}  // namespace
