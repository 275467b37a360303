#include "setup/text/sectioned_text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/message_box.h"
#include "setup/core/pak.h"

namespace {

std::vector<std::vector<std::string>> Sections(const std::string& bytes) {
  std::vector<std::vector<std::string>> sections;
  ReadSections(bytes, [&sections](const TStringList& section) {
    std::vector<std::string> lines;
    for (int i = 0; i < section.count(); ++i) lines.push_back(section.Get(i));
    sections.push_back(lines);
  });
  return sections;
}

using Lines = std::vector<std::vector<std::string>>;

TEST(SectionedTextTest, GroupsTrimmedLinesUnderHeaders) {
  EXPECT_EQ(Sections("[Settings]\r\n\r\n  \t\r\n\tcolour $FFFFFF \r\n"),
            (Lines{{"[Settings]", "colour $FFFFFF"}}));
  EXPECT_EQ(Sections("[A]\r\n[B]\r\nx=1\r\nlast line"),
            (Lines{{"[A]"}, {"[B]", "x=1", "last line"}}));
  // Lines before the first header form a section of their own.
  EXPECT_EQ(Sections("loose\r\n;Top=112\r\n[Pages]\r\nlayout.txt\r\n"),
            (Lines{{"loose", ";Top=112"}, {"[Pages]", "layout.txt"}}));
  EXPECT_TRUE(Sections("").empty());
  EXPECT_TRUE(Sections("\r\n \r\n").empty());
}

TEST(SectionedTextTest, LineEndsAndNul) {
  // LF alone does not end a line; a CR alone does; reading stops at NUL.
  EXPECT_EQ(Sections("[A]\nx=1\ny=2\n"), (Lines{{"[A]\nx=1\ny=2"}}));
  EXPECT_EQ(Sections("[A]\rx=1\r"), (Lines{{"[A]", "x=1"}}));
  EXPECT_EQ(Sections(std::string("[A]\r\nx=1\r\n\0[B]\r\n", 15)), (Lines{{"[A]", "x=1"}}));
}

TEST(SectionedTextTest, StringListAndSectionName) {
  TStringList list;
  list.Add("a");
  EXPECT_EQ(list.Get(0), "a");
  EXPECT_EQ(list.Get(-1), "");
  EXPECT_EQ(list.Get(1), "");
  EXPECT_EQ(SectionName("[WelcomeLabel]"), "WelcomeLabel");
  EXPECT_EQ(SectionName("["), "");
  EXPECT_EQ(TrimControl("\x01 a b\x7f"), "a b\x7f");
}

TEST(SectionedTextTest, ReadsPackageEntriesAndReportsMissingOnes) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("setupkit_text_sections_" + std::to_string(getpid()) + ".pak"))
                               .string();
  const std::string pages = "[Pages]\r\nlayout.txt\r\n";
  {
    TPak pak(path, true, false);
    ASSERT_TRUE(pak.IsOpen());
    pak.StoreFromMemory(pak.AddEntry("Pages.txt", "", 0), pages.data(), pages.size());
    pak.StoreFromMemory(pak.AddEntry("Other.txt", "", 1), pages.data(), pages.size());
    ASSERT_TRUE(pak.WriteDirectory());
    pak.Close();
  }
  auto presenter = std::make_shared<platform::ScriptedPresenter>();
  platform::SetPresenter(presenter);
  TPak pak(path, false, false);
  int calls = 0;
  auto count = [&calls](const TStringList&) { ++calls; };
  EXPECT_TRUE(ReadSectionedEntry(pak, "pages.TXT", MissingEntryMessage::kPageList, count));
  EXPECT_EQ(calls, 1);
  // An entry of another group is not found.
  EXPECT_FALSE(ReadSectionedEntry(pak, "Other.txt", MissingEntryMessage::kLayout, count));
  EXPECT_FALSE(ReadSectionedEntry(pak, "none.txt", MissingEntryMessage::kPageList, count));
  EXPECT_FALSE(ReadSectionedEntry(pak, "quiet.txt", MissingEntryMessage::kNone, count));
  EXPECT_EQ(calls, 1);
  pak.Close();
  std::filesystem::remove(path);
  platform::SetPresenter(std::make_shared<platform::UnattendedPresenter>());

  const auto shown = presenter->Messages();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "Error File Missing: |Other.txt|");
  EXPECT_EQ(shown[0].caption, "Missing File");
  EXPECT_EQ(shown[1].text, "Error File Missing: none.txt");
}

}  // namespace
