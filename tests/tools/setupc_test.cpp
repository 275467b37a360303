// setupc run as a program: errors, the installer it writes, reproducibility and page sets.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>

#include "common/file_bytes.h"
#include "common/program_runner.h"
#include "common/scoped_env.h"
#include "setup/core/compiled_lines.h"
#include "setup/core/package_integrity.h"
#include "setup/core/pak.h"
#include "setup/core/product_info.h"
#include "setup/core/setup_info.h"

namespace fs = std::filesystem;

namespace {
using setupkit_test::ReadBytes;
using setupkit_test::WriteBytes;

std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  // Half random, half repeating text, so the data compress a little but not to nothing.
  for (size_t i = 0; i < size; ++i) {
    bytes[i] = i % 2 ? static_cast<char>(random()) : static_cast<char>('a' + i % 7);
  }
  return bytes;
}

using RunResult = setupkit_test::ProgramResult;

class SetupcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = folder_.Path();
    fs::create_directories(dir_ / "out");
    // The drive table and registry of the child stay inside the test folder.
    setenv("SETUP_ROOT", (dir_ / "root").c_str(), 1);
    runtime_ = std::string("#!runtime image\n") + RandomBytes(3000, 7);
    WriteBytes(dir_ / "runtime", runtime_);
    // A source tree: files of the top folder come before those of its subfolder.
    WriteBytes(dir_ / "src" / "b.txt", "second file\r\n");
    WriteBytes(dir_ / "src" / "A.dat", RandomBytes(200000, 1));
    WriteBytes(dir_ / "src" / "empty.txt", "");
    WriteBytes(dir_ / "src" / "sub" / "c.bin", RandomBytes(70000, 2));
    WriteBytes(dir_ / "src" / "sub" / "deeper" / "d.txt", "d");
  }

  RunResult Run(const std::string& arguments) {
    RunResult result = setupkit_test::RunShell(setupkit_test::BinPath("setupc") + " " + arguments);
    EXPECT_FALSE(result.timed_out) << arguments;
    return result;
  }

  // Writes the script and compiles it with the stand-in runtime into out/.
  RunResult Compile(const std::string& script, const std::string& extra = "") {
    WriteBytes(dir_ / "setup.sus", script);
    return Run("--runtime " + (dir_ / "runtime").string() + " -o " + (dir_ / "out").string() + " " +
               extra + " " + (dir_ / "setup.sus").string());
  }

  std::string Script() const { return (dir_ / "setup.sus").string(); }

  setupkit_test::TempFolder folder_{"setupkit-setupc"};
  fs::path dir_;
  std::string runtime_;
};

constexpr const char kGoodScript[] =
    "; a small installer\r\n"
    "name \"Test Setup\"\r\n"
    "shortname Test\r\n"
    "OUTFILE test.exe\r\n"
    "installdir \"$PROGRAMFILES\\Test\\\"\r\n"
    "language install\\english\r\n"
    "uninstalllanguage uninstall\\czech\r\n"
    "\r\n"
    "File src\\\r\n"
    "message <LANG21>\r\n"
    "goto end\r\n"
    "end:\r\n";

TEST_F(SetupcTest, NamesThatDifferOnlyInLetterCaseStopTheCompile) {
  WriteBytes(dir_ / "web" / "Index.html", "first");
  WriteBytes(dir_ / "web" / "index.html", "second");
  WriteBytes(dir_ / "extra" / "a.txt", "a");
  WriteBytes(dir_ / "more" / "A.TXT", "A");
  const RunResult result = Compile(
      "name Clash\r\n"
      "outfile clash.exe\r\n"
      "file web\\\r\n"
      "file extra\\ Sub\r\n"
      "file more\\ sub\r\n");
  EXPECT_EQ(result.exit_code, 2);
  const std::string message = ": Files land on one path when letter case is ignored - ";
  EXPECT_NE(result.err.find(Script() + ":3" + message + (dir_ / "web" / "Index.html").string() +
                            " and " + (dir_ / "web" / "index.html").string()),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find(Script() + ":5" + message + (dir_ / "extra" / "a.txt").string() +
                            " (line 4) and " + (dir_ / "more" / "A.TXT").string()),
            std::string::npos)
      << result.err;
  EXPECT_TRUE(fs::is_empty(dir_ / "out"));
}

TEST_F(SetupcTest, ErrorsNameFileLineAndMessageAndWriteNothing) {
  const RunResult result = Compile(
      "name Broken\r\n"
      "outfile broken.exe\r\n"
      "goto nowhere\r\n"
      "frobnicate now\r\n"
      "writeregstr HKCU Software\\x\r\n"
      "# a comment\r\n"
      "iffileexists a.txt here 0\r\n"
      "here:\r\n");
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.err.find(Script() + ":3: Label not found - nowhere"), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find(Script() + ":4: Unknown command - frobnicate"), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find(Script() + ":5: Too few arguments for writeregstr"), std::string::npos)
      << result.err;
  EXPECT_EQ(result.err.find(":7:"), std::string::npos) << result.err;  // the label exists
  EXPECT_TRUE(fs::is_empty(dir_ / "out"));
}

TEST_F(SetupcTest, AScriptSavedAsUtf16OrAFolderIsNamedForWhatItIs) {
  for (const std::string& bom : {std::string("\xFF\xFE"), std::string()}) {
    std::string utf16 = bom;
    for (const char c : std::string("name T\r\noutfile t.exe\r\n")) utf16 += {c, '\0'};
    const RunResult result = Compile(utf16);
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_NE(result.err.find(Script() + ": the script is UTF-16 text, which setupc does not "
                                         "read: save the script as UTF-8"),
              std::string::npos)
        << result.err;
  }
  const RunResult folder = Run("--runtime " + (dir_ / "runtime").string() + " " + dir_.string());
  EXPECT_EQ(folder.exit_code, 2);
  EXPECT_NE(folder.err.find(dir_.string() + ": is a folder, not a script file"), std::string::npos)
      << folder.err;
}

TEST_F(SetupcTest, AScriptWithoutAnInstallFolderIsWarnedOfWithTheLineToAdd) {
  RunResult result = Compile("name \"Tally\"\r\noutfile t.exe\r\n");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.err.find(Script() + ": warning: no installdir line: the installer proposes no "
                                       "install folder"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("installdir \"$PROGRAMFILES\\Tally\\\""), std::string::npos)
      << result.err;
  // A patch installer that finds its product's folder in the registry needs none.
  result = Compile("name P\r\noutfile p.exe\r\ninstalldirregkey HKCU Software\\P InstallDir\r\n");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err.find("no installdir line"), std::string::npos) << result.err;
}

TEST_F(SetupcTest, MissingOutfileAndBadCommandLine) {
  RunResult result = Compile("name NoName\r\n");
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.err.find("outfile"), std::string::npos);
  result = Compile("name x\r\noutfile ..\\escape.exe\r\n");
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.err.find(Script() + ":2: "), std::string::npos) << result.err;
  EXPECT_FALSE(fs::exists(dir_ / "escape.exe"));
  EXPECT_EQ(Run("").exit_code, 1);
  EXPECT_EQ(Run("-j 0 x.sus").exit_code, 1);
}

TEST_F(SetupcTest, WritesAnInstallerThatReadsBack) {
  const RunResult result = Compile(kGoodScript, "-v");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.out.find("Adding To List"), std::string::npos) << result.out;
  EXPECT_NE(result.err.find(Script() + ": warning: no uninstallpages line: the installer will "
                                       "write no uninstaller"),
            std::string::npos)
      << result.err;
  const fs::path installer = dir_ / "out" / "test.exe";
  const std::string bytes = ReadBytes(installer);
  ASSERT_GT(bytes.size(), runtime_.size());
  EXPECT_EQ(bytes.substr(0, runtime_.size()), runtime_);
  EXPECT_FALSE(fs::exists(dir_ / "out" / "test.exe.partial"));

  TPak pak(installer.string(), false, false);
  ASSERT_TRUE(pak.Trailer().HasMagic());
  EXPECT_EQ(pak.Trailer().version, kSealedPakVersion);  // it carries the integrity record
  EXPECT_EQ(pak.Trailer().package_base, runtime_.size());
  EXPECT_EQ(CheckPackageIntegrity(pak).status, TIntegrityVerdict::Status::kGood);
  std::map<std::string, int> index;
  std::vector<std::string> group1;
  for (int i = 0; i < pak.EntryCount(); ++i) {
    // Empty entries hold no bytes and are never verified.
    if (pak.Entry(i)->full_size != 0) {
      EXPECT_TRUE(pak.VerifyEntry(i)) << pak.Entry(i)->name;
    }
    index[pak.Entry(i)->name] = i;
    if (pak.Entry(i)->group == 1) group1.push_back(pak.Entry(i)->name);
    EXPECT_LE(pak.Entry(i)->group, 1);
  }
  EXPECT_EQ(pak.Entry(0)->name, "SetupInfo");
  EXPECT_EQ(pak.Entry(1)->name, "CompiledLines");
  // Breadth-first, in the listing order of each folder (case ignored).
  EXPECT_EQ(group1, (std::vector<std::string>{"A.dat", "b.txt", "empty.txt", "sub\\c.bin",
                                              "sub\\deeper\\d.txt"}));
  EXPECT_EQ(pak.LoadEntry(index["A.dat"]), ReadBytes(dir_ / "src" / "A.dat"));
  EXPECT_EQ(pak.LoadEntry(index["sub\\c.bin"]), ReadBytes(dir_ / "src" / "sub" / "c.bin"));
  EXPECT_EQ(pak.Entry(index["empty.txt"])->full_size, 0u);
  EXPECT_GT(pak.Entry(index["A.dat"])->stored_size, 0u);  // compressed

  EXPECT_EQ(pak.LoadEntry(index.at("LANGUAGE-install\\english")),
            ReadBytes(std::string(SETUPKIT_BIN_DIR) + "/languages/install/english.wri"));
  EXPECT_EQ(pak.LoadEntry(index.at("UNINSTALL_LANGUAGE-uninstall\\czech")),
            ReadBytes(std::string(SETUPKIT_BIN_DIR) + "/languages/uninstall/czech.wri"));

  const std::optional<std::string> info_bytes = pak.LoadEntry(index.at("SetupInfo"));
  ASSERT_TRUE(info_bytes);
  TSetupInfoFile info;
  info.ReadFromBuffer(info_bytes->data(), info_bytes->size());
  EXPECT_EQ(info.SetupName, "Test Setup");
  EXPECT_EQ(info.ShortName, "Test");
  EXPECT_EQ(info.SetupExeName, "test.exe");
  EXPECT_EQ(info.InstallDir, "$PROGRAMFILES\\Test\\");
  // No uninstallpages line: no uninstall page set and no uninstaller (said as a warning).
  EXPECT_EQ(info.UninstallPagesName, "");
  EXPECT_EQ(info.CreateUninstaller, 0);
  EXPECT_EQ(index.count("UNINSTALL_Pages.txt"), 0u);

  const std::optional<std::string> line_bytes = pak.LoadEntry(index.at("CompiledLines"));
  ASSERT_TRUE(line_bytes);
  TCompLines lines;
  lines.LoadFromBuffer(line_bytes->data(), line_bytes->size());
  ASSERT_EQ(lines.Count(), 12);
  EXPECT_EQ(lines[1], TCompLine::Empty());  // name: definition lines are stored empty
  EXPECT_EQ(lines[5].CommandID, 18);        // language lines keep their id
  EXPECT_EQ(lines[8].CommandID, 7);
  EXPECT_EQ(lines[8].LineIndex, 8);
  EXPECT_EQ(lines[8].Arguments, (std::vector<std::string>{"src\\", "1"}));
  EXPECT_EQ(lines[10].CommandID, 1);
  EXPECT_EQ(lines[10].Arguments, (std::vector<std::string>{"11"}));
  EXPECT_EQ(lines[11].CommandID, 0);
  EXPECT_EQ(lines[11].Arguments, (std::vector<std::string>{"end"}));
  pak.Close();
}

TEST_F(SetupcTest, SameInputsGiveTheSameBytesOnAnyNumberOfThreads) {
  ASSERT_EQ(Compile(kGoodScript, "-j 1").exit_code, 0);
  const std::string one = ReadBytes(dir_ / "out" / "test.exe");
  ASSERT_EQ(Compile(kGoodScript, "-j 4").exit_code, 0);
  const std::string four = ReadBytes(dir_ / "out" / "test.exe");
  ASSERT_EQ(Compile(kGoodScript).exit_code, 0);
  const std::string again = ReadBytes(dir_ / "out" / "test.exe");
  EXPECT_EQ(one, four);
  EXPECT_EQ(one, again);
}

TEST_F(SetupcTest, LargeFilesAreCopiedRawBetweenCompressedOnes) {
  // A sparse file of exactly the large-entry size, between two small files.
  fs::create_directories(dir_ / "big");
  WriteBytes(dir_ / "big" / "a.txt", "before");
  { std::ofstream out(dir_ / "big" / "m.bin", std::ios::binary); }
  fs::resize_file(dir_ / "big" / "m.bin", kLargeEntrySize);
  WriteBytes(dir_ / "big" / "z.txt", "after");
  ASSERT_EQ(Compile("name L\r\noutfile l.exe\r\nfile big\\\r\n", "-j 3").exit_code, 0);

  TPak pak((dir_ / "out" / "l.exe").string(), false, false);
  // The group's three files come after the stock page sets and tables, and before the
  // integrity record, whose digest covers the large one too.
  ASSERT_GE(pak.EntryCount(), 6);
  EXPECT_EQ(pak.Entry(pak.EntryCount() - 1)->name, kIntegrityEntry);
  EXPECT_EQ(CheckPackageIntegrity(pak).status, TIntegrityVerdict::Status::kGood);
  const int first = pak.EntryCount() - 4;
  EXPECT_EQ(pak.Entry(first - 1)->group, 0);
  const TPakFile& large = *pak.Entry(first + 1);
  EXPECT_EQ(large.name, "m.bin");
  EXPECT_EQ(large.group, 1);
  EXPECT_EQ(large.full_size, kLargeEntrySize);
  EXPECT_EQ(large.stored_size, 0u);
  EXPECT_EQ(large.crc, 0u);
  std::string tail(16, 'x');
  EXPECT_EQ(pak.ReadBlobRange(first + 1, kLargeEntrySize - 16, tail.data(), tail.size()), 16u);
  EXPECT_EQ(tail, std::string(16, '\0'));
  EXPECT_EQ(pak.LoadEntry(first), "before");
  EXPECT_EQ(pak.LoadEntry(first + 2), "after");
  pak.Close();
}

// A data folder of our own with a small install and uninstall page set.
class SetupcPageSetTest : public SetupcTest {
 protected:
  void SetUp() override {
    SetupcTest::SetUp();
    const fs::path data = dir_ / "data";
    fs::create_directories(data);
    fs::copy(std::string(SETUPKIT_BIN_DIR) + "/languages", data / "languages",
             fs::copy_options::recursive);
    WriteBytes(data / "layout" / "Inst" / "pages.TXT",
               "[Pages]\r\nwelcome.txt\r\nSide.txt\r\n[PageTypes]\r\nWelcome\r\nMainLayout\r\n");
    WriteBytes(data / "layout" / "Inst" / "Welcome.txt",
               "[Title]\r\nType=TLabel\r\nCaption=<LANG1>\r\n[Log]\r\nType=TRichEdit\r\n"
               "file=<%CHANGELOG%>\r\n");
    WriteBytes(data / "layout" / "Inst" / "side.txt",
               "[Side]\r\nType=TImage\r\nFile=pics\\side.jpg\r\n");
    WriteBytes(data / "layout" / "Inst" / "Pics" / "Side.JPG", RandomBytes(5000, 3));
    WriteBytes(data / "layout" / "Inst" / "icon.ico", "install icon");
    WriteBytes(data / "layout" / "Uninst" / "Pages.txt", "[Pages]\r\nbye.txt\r\n");
    WriteBytes(data / "layout" / "Uninst" / "bye.txt", "[Bye]\r\nType=TLabel\r\n");
    WriteBytes(data / "layout" / "Uninst" / "icon.ico", "uninstall icon");
  }
  std::string DataOption() const { return "--data " + (dir_ / "data").string(); }
};

TEST_F(SetupcPageSetTest, PacksPageListLayoutsPicturesAndUninstallMaterial) {
  ASSERT_TRUE(fs::exists(std::string(SETUPKIT_BIN_DIR) + "/setup-window"))
      << "setup-window is not built";
  const RunResult result =
      Compile("name P\r\noutfile p.exe\r\npages inst\r\nuninstallpages uninst\r\n", DataOption());
  ASSERT_EQ(result.exit_code, 0) << result.err;
  TPak pak((dir_ / "out" / "p.exe").string(), false, false);
  std::vector<std::string> names;
  for (const TPakFile& entry : pak.Entries()) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{
                       "SetupInfo", "CompiledLines", "LANGUAGE-install\\english",
                       "UNINSTALL_LANGUAGE-uninstall\\english", "Pages.txt", "welcome.txt",
                       "Side.txt", "pics\\side.jpg", "UNINSTALL_Pages.txt", "UNINSTALL_bye.txt",
                       "UNINSTALL_ICON.ICO", "WINDOW.EXE", "Integrity"}));
  EXPECT_EQ(pak.FindEntry("pics\\side.jpg", 0),
            ReadBytes(dir_ / "data" / "layout" / "Inst" / "Pics" / "Side.JPG"));
  EXPECT_EQ(pak.FindEntry("UNINSTALL_ICON.ICO", 0), "uninstall icon");
  EXPECT_EQ(pak.FindEntry("WINDOW.EXE", 0),
            ReadBytes(std::string(SETUPKIT_BIN_DIR) + "/setup-window"));
  pak.Close();
  // Without an uninstaller's icon the window shows the page set's own.
  ASSERT_EQ(Compile("name P\r\noutfile i.exe\r\npages inst\r\n", DataOption()).exit_code, 0);
  TPak patch((dir_ / "out" / "i.exe").string(), false, false);
  EXPECT_EQ(patch.FindEntry("ICON.ICO", 0), "install icon");
  patch.Close();
}

TEST_F(SetupcPageSetTest, LayoutsMayNameTheChangeLogPackedBeside) {
  WriteBytes(dir_ / "data" / "layout" / "Inst" / "side.txt",
             "[Log]\r\nType=TRichEdit\r\nfile=\\Changes.txt\r\n");
  WriteBytes(dir_ / "Changes.txt", "Version 1");
  const RunResult result = Compile(
      "name P\r\noutfile p.exe\r\nchangelog Changes.txt\r\npages inst\r\n"
      "uninstallpages uninst\r\n",
      DataOption());
  ASSERT_EQ(result.exit_code, 0) << result.err;
  TPak pak((dir_ / "out" / "p.exe").string(), false, false);
  EXPECT_EQ(pak.FindEntry("\\Changes.txt", 0), "Version 1");
  pak.Close();
}

TEST_F(SetupcPageSetTest, MissingPageSetMaterialIsAnErrorAtTheLine) {
  fs::remove(dir_ / "data" / "layout" / "Inst" / "Pics" / "Side.JPG");
  RunResult result = Compile("name P\r\noutfile p.exe\r\n\r\npages inst\r\n", DataOption());
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.err.find(Script() + ":4: page set 'inst': picture 'pics\\side.jpg'"),
            std::string::npos)
      << result.err;
  result = Compile("name P\r\noutfile p.exe\r\npages nothere\r\n", DataOption());
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.err.find(Script() + ":3: page set 'nothere' not found"), std::string::npos)
      << result.err;
  EXPECT_TRUE(fs::is_empty(dir_ / "out"));
}

TEST_F(SetupcPageSetTest, ProductLinesGoToTheirOwnEntryAndEmfPicturesAreWarnedOf) {
  WriteBytes(dir_ / "data" / "layout" / "Inst" / "side.txt",
             "[Side]\r\nType=TImage\r\nFile=pics\\side.emf\r\n");
  WriteBytes(dir_ / "data" / "layout" / "Inst" / "Pics" / "side.emf", "EMF bytes");
  RunResult result = Compile(
      "name P\r\noutfile p.exe\r\nversion 1.0\r\nPublisher \"The Makers\"\r\n"
      "url https://example.org\r\npages inst\r\nuninstallpages uninst\r\n",
      DataOption());
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.err.find(Script() + ":6: warning: page set 'inst': layout 'Side.txt' names "
                                       "'pics\\side.emf', an enhanced metafile"),
            std::string::npos)
      << result.err;
  TPak pak((dir_ / "out" / "p.exe").string(), false, false);
  const std::optional<std::string> product = pak.FindEntry("ProductInfo", 0);
  ASSERT_TRUE(product.has_value());
  EXPECT_EQ(TProductInfo::Decode(product->data(), product->size()),
            (TProductInfo{"1.0", "The Makers", "https://example.org"}));
  // The setup record keeps its stored form; the new lines are stored empty like the others.
  TSetupInfoFile info;
  const std::optional<std::string> record = pak.FindEntry("SetupInfo", 0);
  ASSERT_TRUE(record.has_value());
  info.ReadFromBuffer(record->data(), record->size());
  EXPECT_EQ(info.Encode(), *record);
  TCompLines lines;
  const std::optional<std::string> stored = pak.FindEntry("CompiledLines", 0);
  lines.LoadFromBuffer(stored->data(), stored->size());
  for (int i = 2; i <= 4; ++i) EXPECT_EQ(lines[i], TCompLine::Empty()) << i;
  pak.Close();

  // Without those lines there is no such entry, as in installers built before them.
  result =
      Compile("name P\r\noutfile q.exe\r\npages inst\r\nuninstallpages uninst\r\n", DataOption());
  ASSERT_EQ(result.exit_code, 0) << result.err;
  TPak plain((dir_ / "out" / "q.exe").string(), false, false);
  EXPECT_FALSE(plain.FindEntry("ProductInfo", 0).has_value());
  plain.Close();
}

TEST_F(SetupcPageSetTest, PageSetFilesThatDifferOnlyInLetterCaseStopTheCompile) {
  const fs::path set = dir_ / "data" / "layout" / "Inst";
  WriteBytes(set / "LICENSE.txt", "one");
  WriteBytes(set / "license.txt", "two");
  const RunResult result = Compile("name P\r\noutfile p.exe\r\npages inst\r\n", DataOption());
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(
      result.err.find(Script() +
                      ":3: page set 'inst': files land on one name when letter "
                      "case is ignored - " +
                      (set / "LICENSE.txt").string() + " and " + (set / "license.txt").string()),
      std::string::npos)
      << result.err;
  EXPECT_TRUE(fs::is_empty(dir_ / "out"));
}

// The stock page set's licence page stays only with a `license` line, whose file is packed as
// rich text whatever it was written in; the uninstaller never shows it.
TEST_F(SetupcTest, ALicenseLineKeepsTheStockLicencePageWithItsText) {
  struct Case {
    const char* name;
    std::string file;  // empty: no license line
    std::string rtf;   // what License.rtf holds, or a part of it
  };
  const Case cases[] = {
      {"none", "", ""},
      {"utf8", "\xEF\xBB\xBFTerms \xC5\x99 {x}\\y\r\nLine 2",
       "Terms \\u345? \\{x\\}\\\\y\\par\r\nLine 2}"},
      {"cp1252", "Bedingungen f\xFCr \x80", "Bedingungen f\\u252?r \\u8364?}"},
      {"rtf", "{\\rtf1 {\\b Bold} terms}", "{\\rtf1 {\\b Bold} terms}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string script = "name P\r\noutfile p.exe\r\npages install\r\nuninstallpages uninstall\r\n";
    if (!c.file.empty()) {
      WriteBytes(dir_ / "terms.txt", c.file);
      script += "license terms.txt\r\n";
    }
    const RunResult result = Compile(script);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    TPak pak((dir_ / "out" / "p.exe").string(), false, false);
    const std::string pages = pak.FindEntry("Pages.txt", 0).value_or("");
    const std::optional<std::string> text = pak.FindEntry("License.rtf", 0);
    EXPECT_EQ(pages.find("license.txt\r\n") != std::string::npos, !c.file.empty()) << pages;
    EXPECT_EQ(pak.FindEntry("license.txt", 0).has_value(), !c.file.empty());
    EXPECT_EQ(pak.FindEntry("UNINSTALL_Pages.txt", 0).value_or("").find("icense"),
              std::string::npos);
    ASSERT_EQ(text.has_value(), !c.file.empty());
    if (text) {
      EXPECT_EQ(text->rfind("{\\rtf1", 0), 0u) << *text;
      EXPECT_NE(text->find(c.rtf), std::string::npos) << *text;
    }
    pak.Close();
  }
  const RunResult missing = Compile("name P\r\noutfile p.exe\r\nlicense nothere.txt\r\n");
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_NE(missing.err.find(Script() + ":3: License file not found - nothere.txt"),
            std::string::npos)
      << missing.err;
}

// Sources that cannot work are refused at their line, with exit code 2 and nothing written.
struct Refusal {
  const char* name;
  std::function<void(const fs::path& dir)> prepare;
  std::string line;      // the third script line
  std::string expected;  // the message after "SCRIPT:3: "; DIR stands for the test folder
};

void PrintTo(const Refusal& refusal, std::ostream* os) { *os << refusal.name; }

// A unix socket: a directory entry that is neither folder nor readable file, even for root.
void MakeSocket(const fs::path& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.string().size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, path.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  close(fd);
}

class SetupcRefusalTest : public SetupcTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(SetupcRefusalTest, NamesTheLineAndWritesNothing) {
  const Refusal& refusal = GetParam();
  refusal.prepare(dir_);
  const RunResult result = Compile("name T\r\noutfile t.exe\r\n" + refusal.line + "\r\n");
  EXPECT_EQ(result.exit_code, 2);
  std::string expected = refusal.expected;
  const size_t at = expected.find("DIR");
  if (at != std::string::npos) expected.replace(at, 3, dir_.string());
  EXPECT_NE(result.err.find(Script() + ":3: " + expected), std::string::npos) << result.err;
  EXPECT_TRUE(fs::is_empty(dir_ / "out"));
}

INSTANTIATE_TEST_SUITE_P(
    Sources, SetupcRefusalTest,
    ::testing::Values(
        Refusal{"MistypedFolder", [](const fs::path&) {}, "file Talley\\",
                "Source not found - Talley\\ (DIR/Talley)"},
        Refusal{"MissingFile", [](const fs::path&) {}, "file src\\nothere.txt",
                "Source not found - src\\nothere.txt"},
        Refusal{"MissingArchiveSource", [](const fs::path&) {}, "qxpupdate gone\\ pw data.pak",
                "Source not found - gone\\"},
        Refusal{"MissingContainerSource", [](const fs::path&) {}, "vfsupdate gone\\ data.vfs",
                "Source not found - gone\\"},
        Refusal{"FolderWithoutFiles",
                [](const fs::path& dir) { fs::create_directories(dir / "hollow" / "sub"); },
                "file hollow\\", "Folder packs no files - hollow\\"},
        Refusal{"DanglingLinkInFolder",
                [](const fs::path& dir) {
                  fs::create_symlink(dir / "nowhere", dir / "src" / "broken.txt");
                },
                "file src\\", "Source cannot be read - DIR/src/broken.txt (link to nothing)"},
        Refusal{"DanglingLinkNamed",
                [](const fs::path& dir) { fs::create_symlink(dir / "nowhere", dir / "link.txt"); },
                "file link.txt", "Source cannot be read - DIR/link.txt (link to nothing)"},
        Refusal{"UnreadableEntryInFolder",
                [](const fs::path& dir) { MakeSocket(dir / "src" / "sock"); }, "file src\\",
                "Source cannot be read - DIR/src/sock ("}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

// How a script line is read: comments after a blank, quotes, and argument counts the run side
// would refuse.
struct LineReading {
  const char* name;
  std::string line;                    // the third script line
  std::string error;                   // the message after "SCRIPT:3: "; empty = compiles
  std::vector<std::string> arguments;  // the line's compiled arguments when it compiles
};

void PrintTo(const LineReading& reading, std::ostream* os) { *os << reading.name; }

class SetupcLineReadingTest : public SetupcTest,
                              public ::testing::WithParamInterface<LineReading> {};

TEST_P(SetupcLineReadingTest, ReadsOrRefusesTheLine) {
  const LineReading& reading = GetParam();
  const RunResult result = Compile("name T\r\noutfile t.exe\r\n" + reading.line + "\r\n");
  if (!reading.error.empty()) {
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_NE(result.err.find(Script() + ":3: " + reading.error), std::string::npos) << result.err;
    EXPECT_TRUE(fs::is_empty(dir_ / "out"));
    return;
  }
  ASSERT_EQ(result.exit_code, 0) << result.err;
  TPak pak((dir_ / "out" / "t.exe").string(), false, false);
  const std::optional<std::string> bytes = pak.FindEntry("CompiledLines", 0);
  ASSERT_TRUE(bytes);
  TCompLines lines;
  lines.LoadFromBuffer(bytes->data(), bytes->size());
  ASSERT_EQ(lines.Count(), 3);
  EXPECT_EQ(lines[2].Arguments, reading.arguments);
  pak.Close();
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SetupcLineReadingTest,
    ::testing::Values(
        LineReading{
            "CommentAfterQuotedFolder", "file \"src\\\" ; the whole folder", "", {"src\\", "1"}},
        LineReading{"CommentAfterTab", "file src\\ Docs\t;into Docs", "", {"src\\", "Docs", "1"}},
        LineReading{
            "SemicolonInQuotesOrInsideAWord", "message \"a ; b\" c;d", "", {"a ; b", "c;d"}},
        LineReading{"FileWithFourArguments",
                    "file src\\ Sub HKCU Software\\X",
                    "Wrong number of arguments for file - takes 1, 2 or 7, has 4",
                    {}},
        LineReading{"FileWithEightArguments",
                    "file src\\ Sub HKCU Software\\X V 1 1 more",
                    "Wrong number of arguments for file - takes 1, 2 or 7, has 8",
                    {}},
        LineReading{"UnclosedQuote", "message \"no end ; here", "Unclosed quote", {}},
        LineReading{"MistypedPathVariable",
                    "createdirectory \"$INSTDRI\\Saves\"",
                    "Unknown variable - $INSTDRI (the path variables are $INSTDIR, $INSTALLDIR, "
                    "$SMPROGRAMS, $PROGRAMFILES, $DESKTOP, $CDDRIVE, $LANGUAGESELECTION)",
                    {}},
        LineReading{"MistypedFolderVariableInAValue",
                    "writeregstr HKCU Software\\$Key Cmd \"$instdir\\a.exe $HOMEDIR\\b\"",
                    "Unknown variable - $HOMEDIR",
                    {}},
        LineReading{"DollarsThatNameNoFolderInAValue",
                    "writeregstr HKCU Software\\$Key Cmd \"$INSTDIR\\a.exe $5 $ x $HOME\"",
                    "",
                    {"HKCU", "Software\\$Key", "Cmd", "$INSTDIR\\a.exe $5 $ x $HOME"}},
        LineReading{"ChangeLogThatIsAFolder",
                    "changelog src\\",
                    "Change log is a folder, not a file - src\\",
                    {}},
        LineReading{"OverLongArgumentNamesItsLine",
                    "message \"" + std::string(70000, 'x') + "\"",
                    "Compiled script too large (an argument is longer than 65535 bytes)",
                    {}}),
    [](const ::testing::TestParamInfo<LineReading>& info) { return std::string(info.param.name); });

}  // namespace

// The dependency list a build system reads: every packed file and the folders they came from,
// with the characters make and ninja read specially escaped, and nothing when the compile fails.
TEST_F(SetupcTest, DependencyFileNamesWhatTheInstallerIsMadeFrom) {
  WriteBytes(dir_ / "my src" / "a #1.txt", "a");
  WriteBytes(dir_ / "my src" / "sub" / "cost$.txt", "b");
  const std::string depfile = (dir_ / "out" / "installer.d").string();
  const std::string script =
      "name Deps\r\noutfile deps.exe\r\nfile \"my src\\\"\r\nfile \"my src\\sub\\cost$.txt\"\r\n";
  RunResult result = Compile(script, "--depfile " + depfile);
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::string dir = dir_.string();
  std::string text = ReadBytes(depfile);
  EXPECT_EQ(text.rfind(dir + "/out/deps.exe: \\\n", 0), 0u) << text;
  for (const std::string& line :
       {dir + "/setup.sus", dir + "/runtime", dir + "/my\\ src/a\\ \\#1.txt",
        dir + "/my\\ src/sub/cost$$.txt", dir + "/my\\ src", dir + "/my\\ src/sub"}) {
    const bool listed =
        text.find("  " + line + " \\\n") != std::string::npos || text.ends_with("  " + line + "\n");
    EXPECT_TRUE(listed) << line << "\n" << text;
  }
  EXPECT_EQ(text.find("cost$$.txt", text.find("cost$$.txt") + 1), std::string::npos) << text;
  EXPECT_EQ(text.find(dir + "/out \\"), std::string::npos) << text;  // the installer changes it

  result = Compile(script, "--depfile " + depfile + " --depfile-target build/stamp");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadBytes(depfile).rfind("build/stamp: \\\n", 0), 0u);

  fs::remove(depfile);
  EXPECT_EQ(Compile("name Deps\r\noutfile deps.exe\r\nfile missing.txt\r\n", "--depfile " + depfile)
                .exit_code,
            2);
  EXPECT_FALSE(fs::exists(depfile));
  EXPECT_EQ(Run("--depfile-target x " + Script()).exit_code, 1);
}
