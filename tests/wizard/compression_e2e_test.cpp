// Installers of each coding built by setupc and run by the real runtime: the installed tree is
// the source tree, and an installer whose block was damaged installs nothing and exits 2.
#include <algorithm>
#include <random>

#include "common/file_bytes.h"
#include "common/machine_snapshot.h"
#include "installer_e2e.h"
#include "setup/core/pak.h"

namespace {

namespace fs = std::filesystem;

// Every file below `folder`, by path relative to it, with its bytes.
std::map<std::string, std::string> Tree(const fs::path& folder) {
  std::map<std::string, std::string> tree;
  for (const fs::directory_entry& item : fs::recursive_directory_iterator(folder)) {
    if (item.is_regular_file()) {
      tree[fs::relative(item.path(), folder).string()] = setupkit_test::ReadBytes(item.path());
    }
  }
  return tree;
}

class CompressionE2ETest : public InstallerE2ETest {
 protected:
  void SetUp() override {
    InstallerE2ETest::SetUp();
    // Many small alike text files in folders, some that do not shrink, an empty one.
    std::mt19937 random(99);
    for (int i = 0; i < 60; ++i) {
      std::string text;
      for (int line = 0; line < 20 + i * 5; ++line) {
        text += "def function_" + std::to_string(random() % 50) + "(x):\n    return x * " +
                std::to_string(random() % 9) + "\n";
      }
      WriteText(src_ / "Product" / ("pkg" + std::to_string(i % 4)) /
                    ("mod" + std::to_string(i) + (i % 3 ? ".py" : ".txt")),
                text);
    }
    std::string noise(150000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    WriteText(src_ / "Product" / "data" / "noise.bin", noise);
    WriteText(src_ / "Product" / "empty.cfg", "");
    // A real program, the larger part of an LZMA block: its branches are converted.
    WriteText(src_ / "Product" / "bin" / "finalise",
              setupkit_test::ReadBytes(BinPath("setup-finalise")));
  }

  std::string Script(const std::string& coding, const std::string& name) const {
    return "name " + name + "\noutfile " + name + ".exe\ninstalldir \"$PROGRAMFILES\\" + name +
           "\\\"\n" + coding + "\nfile Product\\\n";
  }
};

TEST_F(CompressionE2ETest, EachCodingInstallsTheSourceTree) {
  const std::map<std::string, std::string> source = Tree(src_ / "Product");
  for (const char* coding : {"compression zlib", "compression zstd 5", "compression solid 5",
                             "compression solid lzma 1"}) {
    const ProgramResult compiled = Compile(Script(coding, "Tree"));
    ASSERT_EQ(compiled.exit_code, 0) << coding << "\n" << compiled.output;
    const ProgramResult installed = RunProgram({(out_ / "Tree.exe").string(), "--unattended"});
    ASSERT_EQ(installed.exit_code, 0) << coding << "\n" << installed.output;
    const fs::path target = Host("C:\\Program Files\\Tree");
    EXPECT_TRUE(Tree(target) == source) << coding;
#if defined(__x86_64__) || defined(__i386__)
    const TPak pak((out_ / "Tree.exe").string(), false, false);
    const bool converted =
        std::any_of(pak.Entries().begin(), pak.Entries().end(), [](const TPakFile& entry) {
          return entry.group != 0 && HasX86Branches(entry.coding);
        });
    EXPECT_EQ(converted, std::string(coding).find("solid") != std::string::npos) << coding;
#endif
    fs::remove_all(target);
  }
}

TEST_F(CompressionE2ETest, ADamagedBlockInstallsNothingAndExits2) {
  const ProgramResult compiled = Compile(Script("compression solid 5", "Damaged"));
  ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
  const std::string installer = (out_ / "Damaged.exe").string();
  uint64_t block = 0;
  uint32_t length = 0;
  {
    const TPak pak(installer, false, false);
    for (const TPakFile& entry : pak.Entries()) {
      if (entry.IsSolid()) {
        block = entry.offset;
        length = entry.stored_size;
        break;
      }
    }
  }
  ASSERT_GT(length, 0u);
  std::string bytes = setupkit_test::ReadBytes(installer);
  bytes[block + length / 2] ^= 0x20;
  setupkit_test::WriteBytes(installer, bytes);
  fs::permissions(installer, fs::perms::owner_all);
  platform::GetTempPath();
  const setupkit_test::MachineSnapshot before = setupkit_test::TakeSnapshot(root_);
  const ProgramResult run = RunProgram({installer, "--unattended"});
  EXPECT_EQ(run.exit_code, 2) << run.output;
  const setupkit_test::MachineSnapshot after = setupkit_test::TakeSnapshot(root_);
  EXPECT_TRUE(after == before) << setupkit_test::SnapshotDifference(before, after);
}

}  // namespace
