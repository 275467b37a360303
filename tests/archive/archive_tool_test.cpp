// setup-archive as its users run it: exit codes, one-line errors and round trips.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/archive_test_support.h"
#include "archive/pak_read_back.h"
#include "common/machine_snapshot.h"
#include "common/program_runner.h"
#include "common/stopped_run.h"
#include "setup/archive/pak_contents.h"
#include "setup/archive/pak_format.h"

namespace {

using archive_test::Exists;
using archive_test::MakeWav;
using archive_test::ReadBytes;
using archive_test::Samples;
using archive_test::ScratchFolder;
using archive_test::WriteBytes;

class ArchiveToolTest : public ::testing::Test {
 protected:
  // Runs the tool in the scratch folder; answers the exit code, keeps stdout and stderr.
  int Run(const std::string& arguments) {
    const std::string tool = setupkit_test::BinPath("setup-archive");
    EXPECT_TRUE(Exists(tool)) << "setup-archive is not built";
    setupkit_test::ProgramOptions options;
    options.working_folder = dir_.str();
    options.env = {{"SETUP_ROOT", dir_ / "root"}};
    const setupkit_test::ProgramResult result =
        setupkit_test::RunShell(setupkit_test::ShellQuote(tool) + " " + arguments, options);
    EXPECT_FALSE(result.timed_out) << arguments;
    out_ = result.out;
    err_ = result.err;
    return result.exit_code;
  }

  ScratchFolder dir_;
  std::string out_, err_;
};

TEST_F(ArchiveToolTest, PakRoundTripThroughCreateAddListVerifyAndExtract) {
  std::filesystem::create_directories(dir_ / "src/sub");
  WriteBytes(dir_ / "src/a.txt", "alpha");
  WriteBytes(dir_ / "src/sub/b.bin", std::string(3000, 'b'));
  const std::string wav = MakeWav(1, 8000, 16, Samples({0, 100, 50, -200}));
  WriteBytes(dir_ / "tone.wav", wav);
  ASSERT_EQ(Run("pak create game.qxp --password pw src"), 0) << err_;
  ASSERT_EQ(Run("pak add game.qxp --password pw sfx\\\\Tone.WAV=tone.wav"), 0) << err_;
  ASSERT_EQ(Run("pak list game.qxp"), 0) << err_;
  EXPECT_NE(out_.find("tail QXP3/EIH2"), std::string::npos) << out_;
  EXPECT_NE(out_.find("sub\\b.bin"), std::string::npos) << out_;
  EXPECT_NE(out_.find("sound"), std::string::npos) << out_;
  EXPECT_EQ(Run("pak verify game.qxp"), 0) << err_;

  auto archive = archive_test::ReadArchiveBytes(ReadBytes(dir_ / "game.qxp"));
  ASSERT_TRUE(archive);
  EXPECT_EQ(archive->password, "pw");
  ASSERT_EQ(archive->records.size(), 3u);

  ASSERT_EQ(Run("pak extract game.qxp out"), 0) << err_;
  EXPECT_EQ(ReadBytes(dir_ / "out/a.txt"), "alpha");
  EXPECT_EQ(ReadBytes(dir_ / "out/sub/b.bin"), std::string(3000, 'b'));
  // The sound entry comes back as a WAV file: the same header, the decoded samples (the
  // predictor values 0, 11, 41, -22 the coder reached).
  const std::string decoded = ReadBytes(dir_ / "out/sfx/Tone.WAV");
  EXPECT_EQ(decoded.substr(0, 44), wav.substr(0, 44));
  EXPECT_EQ(decoded.substr(44), Samples({0, 11, 41, -22}));

  const std::string before = ReadBytes(dir_ / "game.qxp");
  EXPECT_EQ(Run("pak add game.qxp --password nope src"), 2);
  EXPECT_NE(err_.find("Incorrect Password"), std::string::npos) << err_;
  EXPECT_EQ(ReadBytes(dir_ / "game.qxp"), before);
}

TEST_F(ArchiveToolTest, BadInputGivesOneLineAndExitCodeTwo) {
  struct Case {
    std::string arguments;
    std::string message;
  } cases[] = {
      {"zip list x", "unknown archive kind"},
      {"pak explode x.qxp", "unknown pak command"},
      {"pak list missing.qxp", "cannot open"},
      {"pak create x.qxp --tail qxp4 a", "--tail takes none, qxp2 or qxp3"},
      {"pak create x.qxp --password " + std::string(42, 'p') + " a", "at most 41 bytes"},
      {"vfs create c.vfs --block-size 0 --blocks 10 --roots 2", "block size"},
      {"vfs create c.vfs --block-size 64 --blocks ten --roots 2", "decimal number"},
      {"vfs list missing.vfs", "Unable to open"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(Run(c.arguments), 2);
    EXPECT_NE(err_.find(c.message), std::string::npos) << err_;
    EXPECT_EQ(std::count(err_.begin(), err_.end(), '\n'), 1) << err_;
  }
  WriteBytes(dir_ / "broken.qxp", std::string(100, 'x'));
  EXPECT_EQ(Run("pak verify broken.qxp"), 2);
  EXPECT_EQ(Run("pak list broken.qxp"), 2);
}

TEST_F(ArchiveToolTest, ExtractRefusesNamesThatLeaveTheFolder) {
  WriteBytes(dir_ / "evil.qxp",
             pak::BuildArchive({{"ok.txt", "fine"}, {"..\\escaped.txt", "bad"}}, {}));
  EXPECT_EQ(Run("pak extract evil.qxp out"), 2);
  EXPECT_NE(err_.find("refusing"), std::string::npos) << err_;
  EXPECT_FALSE(Exists(dir_ / "escaped.txt"));
}

// A record whose size field claims far more than the file holds is refused before anything is
// allocated for it: with the address space held to 256 MiB, the 4 GiB claim would end the tool.
TEST_F(ArchiveToolTest, ExtractRefusesASizeFieldTheFileCannotHoldBeforeAllocatingIt) {
  for (const uint32_t offset : {0u, 8u}) {
    SCOPED_TRACE(offset);
    pak::PakRecord record;
    record.kind = pak::kKindZlib;
    record.stored_size = 0xFFFFFF00u;
    record.full_size = 16;
    record.offset = offset;
    record.name = "big.bin";
    WriteBytes(dir_ / "big.qxp", std::string(12, 'x') + pak::EncodeDirectoryAndTrailer({record}) +
                                     pak::EncodeTail("", 0, 2, 3));
    setupkit_test::ProgramOptions options;
    options.working_folder = dir_.str();
#ifdef __SANITIZE_ADDRESS__
    // AddressSanitizer maps its shadow memory up front, which a virtual-memory limit refuses;
    // its own allocation limit stands in for the ulimit.
    const std::string limit =
        "export ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}max_allocation_size_mb=256\"; ";
#else
    const std::string limit = "ulimit -v 262144; ";
#endif
    const setupkit_test::ProgramResult result = setupkit_test::RunShell(
        limit + "exec " + setupkit_test::ShellQuote(setupkit_test::BinPath("setup-archive")) +
            " pak extract big.qxp out",
        options);
    EXPECT_EQ(result.exit_code, 2) << result.err;
    EXPECT_NE(result.err.find("entry big.bin is damaged"), std::string::npos) << result.err;
    EXPECT_FALSE(Exists(dir_ / "out/big.bin"));
  }
}

// A link in the destination, at a folder's place or a file's, is never written through.
TEST_F(ArchiveToolTest, ExtractRefusesToWriteThroughALinkInTheDestination) {
  WriteBytes(dir_ / "game.qxp", pak::BuildArchive({{"data\\a.txt", "new"}}, {}));
  for (const std::string planted : {"out/data", "out/data/a.txt"}) {
    SCOPED_TRACE(planted);
    std::filesystem::remove_all(dir_ / "out");
    std::filesystem::remove_all(dir_ / "victim");
    std::filesystem::create_directories(dir_ / "victim");
    WriteBytes(dir_ / "victim/a.txt", "mine");
    const bool folder = planted == "out/data";
    std::filesystem::create_directories(folder ? dir_ / "out" : dir_ / "out/data");
    std::filesystem::create_symlink(folder ? dir_ / "victim" : dir_ / "victim/a.txt",
                                    dir_ / planted);
    EXPECT_EQ(Run("pak extract game.qxp out"), 2);
    EXPECT_NE(err_.find("through the link"), std::string::npos) << err_;
    EXPECT_EQ(ReadBytes(dir_ / "victim/a.txt"), "mine");
  }
}

// The race: the extraction stops at each of its changes below the destination, after its checks;
// the folder of the change moves aside and a link to a copy of it outside takes its place; the
// extraction goes on. The copy is never changed, and a refused extraction says why.
TEST_F(ArchiveToolTest, ExtractNeverWritesThroughALinkPlantedDuringTheExtraction) {
  namespace fs = std::filesystem;
  WriteBytes(dir_ / "game.qxp", pak::BuildArchive({{"data\\a.txt", "a"},
                                                   {"data\\sub\\b.txt", "b"},
                                                   {"data\\sub\\deep\\c.txt", "c"},
                                                   {"data\\sub\\deep\\d.txt", "d"}},
                                                  {}));
  const std::vector<std::string> args = {setupkit_test::BinPath("setup-archive"), "pak", "extract",
                                         dir_ / "game.qxp", dir_ / "out"};
  const setupkit_test::ScopedEnv root("SETUP_ROOT", dir_ / "root");
  setupkit_test::ProgramOptions tallied;
  tallied.env = {{"SETUP_FAULT_TALLY", dir_ / "tally"}};
  ASSERT_EQ(setupkit_test::RunProgram(args, tallied).exit_code, 0);
  int cases = 0, broken = 0;
  for (const setupkit_test::TalliedStep& step : setupkit_test::ReadTally(dir_ / "tally")) {
    const fs::path folder = fs::path(step.path).parent_path();
    if (folder.string().rfind(dir_ / "out/", 0) != 0) continue;
    fs::remove_all(dir_ / "out");
    fs::remove_all(dir_ / "victim");
    setupkit_test::MachineSnapshot before, after;
    bool stopped = false;
    const int exit_code = setupkit_test::RunStoppedAt(
        args, step.number,
        [&] {
          fs::copy(folder, dir_ / "victim", fs::copy_options::recursive);
          fs::rename(folder, folder.string() + ".moved");
          fs::create_directory_symlink(dir_ / "victim", folder);
          setupkit_test::AddTreeToSnapshot(dir_ / "victim", "", before);
        },
        stopped, dir_ / "errors");
    setupkit_test::AddTreeToSnapshot(dir_ / "victim", "", after);
    ++cases;
    broken += before == after ? 0 : 1;
    EXPECT_TRUE(stopped) << "step " << step.number;
    EXPECT_TRUE(before == after) << "step " << step.number << " at " << folder << "\n"
                                 << setupkit_test::SnapshotDifference(before, after);
    // A file being written is already open in the folder that moved aside and is finished
    // there; when it is the last one, the extraction ends well.
    if (exit_code == 0 && step.operation == "write") continue;
    EXPECT_EQ(exit_code, 2) << "step " << step.number << " " << step.operation;
    EXPECT_NE(ReadBytes(dir_ / "errors").find("refusing to write"), std::string::npos)
        << ReadBytes(dir_ / "errors");
  }
  std::printf("extraction with a link planted after the checks: %d cases, %d held, %d broken\n",
              cases, cases - broken, broken);
  EXPECT_GE(cases, 6);
}

TEST_F(ArchiveToolTest, VfsRoundTripAndVerify) {
  std::filesystem::create_directories(dir_ / "levels/maps");
  WriteBytes(dir_ / "levels/maps/a.dat", std::string(120000, 'a'));
  WriteBytes(dir_ / "levels/readme", "r");
  ASSERT_EQ(Run("vfs create game.vfs --block-size 512 --blocks 300 --roots 4 --id GVFS"), 0)
      << err_;
  EXPECT_EQ(Run("vfs verify game.vfs"), 0) << err_;
  ASSERT_EQ(Run("vfs add game.vfs levels"), 0) << err_;
  EXPECT_EQ(Run("vfs verify game.vfs"), 0) << err_;
  ASSERT_EQ(Run("vfs list game.vfs"), 0);
  EXPECT_NE(out_.find("file+zlib"), std::string::npos) << out_;
  ASSERT_EQ(Run("vfs extract game.vfs out"), 0) << err_;
  EXPECT_EQ(ReadBytes(dir_ / "out/maps/a.dat"), std::string(120000, 'a'));
  EXPECT_EQ(ReadBytes(dir_ / "out/readme"), "r");
  EXPECT_TRUE(Exists(dir_ / "game.ht"));
}

}  // namespace
