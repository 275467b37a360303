// A small installer damaged one byte at a time: every byte of its package directory and
// trailer through the start-up's first stage (what the program runs before it changes
// anything), and a seeded sample of bytes all over the file (runtime image, entries,
// directory, trailer) through the real program, which must end with exit code 2 and leave the
// machine exactly as it was.
#include <gtest/gtest.h>

#include <random>

#include "common/machine_snapshot.h"
#include "common/program_runner.h"
#include "setup/core/pak.h"
#include "setup/core/setup_error.h"
#include "setup/runtime/startup_package.h"
#include "wizard_fixture.h"

namespace {

namespace fs = std::filesystem;
using setupkit_test::BinPath;
using setupkit_test::RunProgram;

class IntegrityEndToEndTest : public WizardFixture {
 protected:
  void SetUp() override {
    WizardFixture::SetUp();
    const fs::path src = base_ / "src";
    fs::create_directories(src / "App");
    std::ofstream(src / "App" / "Readme.txt") << "Read me first.\n";
    std::ofstream(src / "App" / "data.bin") << std::string(5000, 'd');
    std::ofstream(src / "small.setup")
        << "name Small\nshortname Small\noutfile SmallSetup.exe\n"
           "installdir \"$PROGRAMFILES\\Small\\\"\npages install\nuninstallpages uninstall\n"
           "prefix Small\nlanguage install\\english\nuninstalllanguage uninstall\\english\n"
           "file \"App\\\"\n";
    MakeInstaller({});
  }

  // Compiles the installer with setupc's `extra` options and reads it.
  void MakeInstaller(const std::vector<std::string>& extra) {
    const fs::path src = base_ / "src";
    std::vector<std::string> command = {BinPath("setupc"), "-q", "--source", src.string(), "-o",
                                        base_.string(), (src / "small.setup").string()};
    command.insert(command.begin() + 1, extra.begin(), extra.end());
    const auto compiled = RunProgram(command);
    ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
    installer_ = (base_ / "SmallSetup.exe").string();
    damaged_ = (base_ / "Damaged.exe").string();
    whole_ = setupkit_test::ReadBytes(installer_);
    const TPak pak(installer_, false, false);
    directory_ = pak.Trailer().directory_offset;
    image_end_ = UINT64_MAX;
    for (const TPakFile& entry : pak.Entries()) {
      image_end_ = std::min<uint64_t>(image_end_, entry.offset);
    }
  }

  // Writes the installer with byte AT changed into `damaged_`.
  void Damage(size_t at, unsigned char mask) {
    std::string bytes = whole_;
    bytes[at] = static_cast<char>(bytes[at] ^ mask);
    std::ofstream(damaged_, std::ios::binary | std::ios::trunc) << bytes;
  }

  bool FirstStagePasses() {
    SetupState::Instance().package.reset();
    try {
      return OpenAndVerifyPackage({damaged_, true}, nullptr, 0).ok;
    } catch (const SetupError&) {
      return false;  // the error report, exit code 2
    }
  }

  std::string installer_, whole_;
  std::string damaged_;
  uint64_t directory_ = 0;
  uint64_t image_end_ = UINT64_MAX;
};

TEST_F(IntegrityEndToEndTest, EveryByteOfTheDirectoryAndTrailerIsRefusedBeforeAnyChange) {
  // Only the package is checked here, in this process: small stand-ins for the runtime image and
  // the window program keep each of the thousand checks from hashing megabytes (many more in a
  // sanitized build) that no flip of this test touches.
  const fs::path stand_in = base_ / "stand-in";
  std::ofstream(stand_in, std::ios::binary) << std::string(4096, '\x7f');
  MakeInstaller({"--runtime", stand_in.string(), "--window", stand_in.string()});
  Damage(0, 0);
  ASSERT_TRUE(FirstStagePasses());
  std::mt19937 random(2121);
  std::uniform_int_distribution<int> mask(1, 255);
  ASSERT_GT(whole_.size() - directory_, 500u);
  int passed = 0;
  for (size_t at = directory_; at < whole_.size(); ++at) {
    Damage(at, static_cast<unsigned char>(mask(random)));
    if (FirstStagePasses()) {
      ++passed;
      ADD_FAILURE() << "byte " << at << " of the directory and trailer (from " << directory_
                    << ") passed";
    }
  }
  EXPECT_EQ(passed, 0);
}

TEST_F(IntegrityEndToEndTest, TheProgramExits2AndWritesNothingForASampleOfDamagedBytes) {
  platform::GetTempPath();
  const fs::path root = base_ / "root";
  const setupkit_test::MachineSnapshot before = setupkit_test::TakeSnapshot(root);
  std::mt19937 random(2122);
  // Four from each part: the runtime image, the entries, the directory and the trailer.
  const std::vector<std::pair<uint64_t, uint64_t>> parts = {
      {0, image_end_},
      {image_end_, directory_},
      {directory_, whole_.size() - kTrailerSize},
      {whole_.size() - kTrailerSize, whole_.size()}};
  for (const auto& [from, to] : parts) {
    std::uniform_int_distribution<uint64_t> where(from, to - 1);
    for (int i = 0; i < 4; ++i) {
      const uint64_t at = where(random);
      Damage(at, static_cast<unsigned char>(1 + random() % 255));
      fs::permissions(damaged_, fs::perms::owner_all);
      const auto run = RunProgram({BinPath("setup"), damaged_, "--unattended"});
      EXPECT_EQ(run.exit_code, 2) << "byte " << at << "\n" << run.output;
      const setupkit_test::MachineSnapshot after = setupkit_test::TakeSnapshot(root);
      EXPECT_TRUE(after == before)
          << "byte " << at << setupkit_test::SnapshotDifference(before, after);
    }
  }
}

TEST_F(IntegrityEndToEndTest, SignedInstallersAreCheckedAgainstTheRequiredKeys) {
  const std::string key = (base_ / "maker").string();
  auto made = RunProgram({BinPath("setupc"), "--keygen", key});
  ASSERT_EQ(made.exit_code, 0) << made.output;
  EXPECT_EQ(fs::status(key + ".key").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_NE(RunProgram({BinPath("setupc"), "--keygen", key}).exit_code, 0);  // never over one
  ASSERT_EQ(RunProgram({BinPath("setupc"), "--keygen", key + "2"}).exit_code, 0);

  auto verify = [&](std::vector<std::string> extra,
                    std::vector<std::pair<std::string, std::string>> env = {}) {
    std::vector<std::string> args = {BinPath("setup"), installer_, "--verify"};
    args.insert(args.end(), extra.begin(), extra.end());
    setupkit_test::ProgramOptions options;
    options.env = std::move(env);
    return RunProgram(args, options);
  };
  EXPECT_EQ(verify({}).exit_code, 0);
  EXPECT_EQ(verify({"--require-signature=" + key + ".pub"}).exit_code, 2);  // not signed yet
  auto signed_now =
      RunProgram({BinPath("setupc"), "--sign", key + ".key", "--installer", installer_});
  ASSERT_EQ(signed_now.exit_code, 0) << signed_now.output;
  auto good = verify({"--require-signature=" + key + ".pub"});
  EXPECT_EQ(good.exit_code, 0) << good.output;
  EXPECT_NE(good.out.find("signed by ed25519:"), std::string::npos) << good.out;
  EXPECT_EQ(verify({"--require-signature=" + key + "2.pub"}).exit_code, 2);
  EXPECT_EQ(verify({}, {{"SETUP_REQUIRE_SIGNATURE", key + "2.pub"}}).exit_code, 2);
  EXPECT_EQ(verify({}, {{"SETUP_REQUIRE_SIGNATURE", key + "2.pub," + key + ".pub"}}).exit_code, 0);

  const auto listed = RunProgram({BinPath("setup"), installer_, "--list-contents", "--json"});
  ASSERT_EQ(listed.exit_code, 0) << listed.output;
  EXPECT_NE(listed.out.find("\"name\": \"Small\""), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("\"signer\": \"ed25519:"), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("{\"name\": \"data.bin\", \"group\": 1, \"size\": 5000"),
            std::string::npos)
      << listed.out;
}

}  // namespace
