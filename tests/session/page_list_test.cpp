// The page list as the session reads it: pages, kinds, settings and the layout records.
#include "setup/session/page_list.h"

#include "common/package_fixture.h"
#include "setup/core/setup_error.h"

namespace setup_session {
namespace {

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

class PageListTest : public PackageFixture {
 protected:
  void SetUp() override {
    PackageFixture::SetUp();
    for (const char* name : {"a", "b", "c", "d"}) {
      entries_[std::string(name) + ".txt"] =
          Lines({std::string("[Label_") + name + "]", "Type=TLabel"});
    }
  }
  TPageList Load(const std::string& pages) {
    entries_["Pages.txt"] = pages;
    OpenPackage();
    TPageList list;
    list.LoadPages("Pages.txt");
    return list;
  }
};

TEST_F(PageListTest, KindsFollowTheirLinesAndUnknownWordsKeepTheirPlace) {
  TPageList list = Load(Lines({"[Pages]", "A.TXT", "b.txt", "c.txt", "d.txt", "[PageTypes]",
                               "Welcome", ";x", "InstallDir", "mainlayout", "Finish", "Patch",
                               "[Settings]", "colour $00FF00", "fontcolour=$123456"}));
  ASSERT_EQ(list.Pages.size(), 4u);
  EXPECT_EQ(list.Pages[1].kind, PageKind::Welcome);  // ";x" left it unchanged
  EXPECT_EQ(list.Pages[2].kind, PageKind::InstallDir);
  EXPECT_EQ(list.Pages[3].kind, PageKind::MainLayout);
  EXPECT_EQ(list.Colour, 0x00FF00u);
  EXPECT_EQ(list.FontColour, 0x123456u);
  ASSERT_EQ(list.Pages[0].controls.size(), 1u);
  EXPECT_EQ(list.Pages[0].controls[0].name, "Label_a");
}

TEST_F(PageListTest, ExtraKindLinesAreIgnoredAndBadSettingsOrRepeatedNamesEndStartUp) {
  TPageList list = Load(Lines({"[Pages]", "a.txt", "[PageTypes]", "Finish", "Patch", "Patching"}));
  ASSERT_EQ(list.Pages.size(), 1u);
  EXPECT_EQ(list.Pages[0].kind, PageKind::Finish);
  EXPECT_THROW(Load(Lines({"[Pages]", "[Settings]", "colour white"})), SetupError);
  // A layout listed twice repeats its names, which all pages share.
  EXPECT_THROW(Load(Lines({"[Pages]", "a.txt", "A.txt"})), SetupError);
}

TEST_F(PageListTest, MissingPageListReadsNothing) {
  OpenPackage();
  TPageList list;
  list.LoadPages("Pages.txt");
  EXPECT_TRUE(list.Pages.empty());
  ASSERT_EQ(presenter_->Messages().size(), 1u);
  EXPECT_EQ(presenter_->Messages()[0].text, "Error File Missing: Pages.txt");
}

TEST_F(PageListTest, RecordsCheckNumbersAndLoadTheEntriesTheirFilesName) {
  entries_["pic.bmp"] = "BM-not-really";
  entries_["log.txt"] = "1.0 first";
  entries_["p.txt"] =
      Lines({"[Pic]",        "Type=TImage",    "file=PIC.BMP",   "[Gone]",
             "Type=TImage",  "file=none.bmp",  "[Log]",          "Type=TRichEdit",
             "file=log.txt", "Colour=$FF00FF", "[Tree]",         "Type=TShellTreeView",
             "fontsize=big", "[Ignored]",      "Type=TCheckBox", "Left=x",
             "[Choice]",     "Type=TRadio",    "checked=TRUE",   "Caption=<LANG1>",
             "checked=false"});
  TPageList list = Load(Lines({"[Pages]", "p.txt"}));
  const std::vector<LayoutRecord>& records = list.Pages[0].controls;
  ASSERT_EQ(records.size(), 5u);  // the unknown type word creates nothing
  EXPECT_EQ(records[0].properties[0].data, "BM-not-really");
  EXPECT_FALSE(records[1].properties[0].data.has_value());  // missing picture: no message
  EXPECT_EQ(records[2].properties[0].data, "1.0 first");
  EXPECT_EQ(records[2].properties[1].number, 0xFF00FF);
  EXPECT_FALSE(records[3].properties[0].number.has_value());  // a tree has no font size
  // The checked button of a group cannot be unchecked; its caption is kept untranslated.
  EXPECT_TRUE(records[4].checked);
  EXPECT_EQ(records[4].source_text, u"<LANG1>");
  EXPECT_TRUE(presenter_->Messages().empty());

  entries_["bad.txt"] = Lines({"[A]", "Type=TLabel", "Left=12px"});
  EXPECT_THROW(Load(Lines({"[Pages]", "bad.txt"})), SetupError);
  entries_.erase("log.txt");
  Load(Lines({"[Pages]", "p.txt"}));
  ASSERT_EQ(presenter_->Messages().size(), 1u);
  EXPECT_EQ(presenter_->Messages()[0].text, "Error: File \"log.txt\" Missing");
  EXPECT_EQ(presenter_->Messages()[0].caption, "Rich Edit Error");
}

}  // namespace
}  // namespace setup_session
