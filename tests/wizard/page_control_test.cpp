#include "setup/views/qt/page_control.h"

#include <QLabel>

#include "setup/core/setup_error.h"
#include "wizard_fixture.h"

namespace setup_wizard {
namespace {

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

class PageControlTest : public WizardFixture {
 protected:
  void SetUp() override {
    WizardFixture::SetUp();
    window_ = std::make_unique<QWidget>();
    back_ = new QPushButton(window_.get());
    next_ = new QPushButton(window_.get());
    cancel_ = new QPushButton(window_.get());
    language_ = new QPushButton(window_.get());
    host_ = new QWidget(window_.get());
    for (const char* name : {"a", "b", "c", "d"}) {
      entries_[std::string(name) + ".txt"] =
          Lines({std::string("[Label_") + name + "]", "Type=TLabel"});
    }
    AddStockLanguage("install\\english");
  }
  TSEPageControl& Load(const std::string& pages) {
    entries_["Pages.txt"] = pages;
    OpenPackage();
    control_ = std::make_unique<TSEPageControl>(back_, next_, cancel_, language_, host_);
    control_->LoadPages("Pages.txt");
    window_->show();
    return *control_;
  }
  std::unique_ptr<QWidget> window_;
  QPushButton *back_, *next_, *cancel_, *language_;
  QWidget* host_;
  std::unique_ptr<TSEPageControl> control_;
};

TEST_F(PageControlTest, KindsFollowTheirLinesAndUnknownWordsKeepTheirPlace) {
  TSEPageControl& pages = Load(Lines(
      {"[Pages]", "A.TXT", "b.txt", "c.txt", "d.txt", "[PageTypes]", "Welcome", ";x", "InstallDir",
       "mainlayout", "Finish", "Patch", "[Settings]", "colour $00FF00", "fontcolour=$123456"}));
  ASSERT_EQ(pages.Pages.size(), 4u);
  EXPECT_EQ(pages.Pages[1]->Kind, PageKind::Welcome);  // ";x" left it unchanged
  EXPECT_EQ(pages.Pages[2]->Kind, PageKind::InstallDir);
  EXPECT_EQ(pages.Pages[3]->Kind, PageKind::MainLayout);
  EXPECT_EQ(pages.Colour, 0x00FF00u);
  EXPECT_EQ(pages.FontColour, 0x123456u);
  // Page 0 shown with the main layout behind it; the others hidden.
  EXPECT_TRUE(pages.Pages[0]->Controls[0]->isVisible());
  EXPECT_FALSE(pages.Pages[1]->Controls[0]->isVisible());
  EXPECT_TRUE(pages.Pages[3]->Controls[0]->isVisible());
}

TEST_F(PageControlTest, SelectPageAppliesTheButtonRules) {
  TSEPageControl& pages = Load(Lines({"[Pages]", "a.txt", "b.txt", "c.txt", "d.txt", "[PageTypes]",
                                      "Welcome", "Patch", "Patching", "Finish"}));
  EXPECT_FALSE(back_->isVisible());
  EXPECT_EQ(next_->text(), "Next >");
  pages.SelectPage(1);
  EXPECT_TRUE(back_->isVisible());
  EXPECT_EQ(next_->text(), "Install");
  pages.SelectPage(0);
  EXPECT_EQ(next_->text(), "Next >");
  pages.SelectPage(-1);
  pages.SelectPage(4);
  EXPECT_EQ(pages.CurrentPage, 0);
  pages.SelectPage(2);
  EXPECT_FALSE(back_->isVisible());
  EXPECT_FALSE(next_->isEnabled());
  EXPECT_FALSE(cancel_->isEnabled());
  EXPECT_FALSE(language_->isVisible());
  pages.SelectPage(3);
  EXPECT_EQ(cancel_->text(), "Finish");
  EXPECT_TRUE(cancel_->isEnabled());
  EXPECT_FALSE(next_->isVisible());
  pages.SelectPage(1);
  EXPECT_FALSE(next_->isVisible());  // nothing brings Next or the language button back
  EXPECT_FALSE(language_->isVisible());
}

TEST_F(PageControlTest, ExtraKindLinesAreIgnoredAndBadSettingsEndStartUp) {
  TSEPageControl& pages =
      Load(Lines({"[Pages]", "a.txt", "[PageTypes]", "Finish", "Patch", "Patching"}));
  ASSERT_EQ(pages.Pages.size(), 1u);
  EXPECT_EQ(pages.Pages[0]->Kind, PageKind::Finish);
  EXPECT_THROW(Load(Lines({"[Pages]", "[Settings]", "colour white"})), SetupError);
}

TEST_F(PageControlTest, ALayoutListedTwiceRepeatsItsNames) {
  EXPECT_THROW(Load(Lines({"[Pages]", "a.txt", "a.txt"})), SetupError);
}

TEST_F(PageControlTest, MissingPageListBuildsNothing) {
  OpenPackage();
  TSEPageControl pages(back_, next_, cancel_, language_, host_);
  pages.LoadPages("Pages.txt");
  EXPECT_TRUE(pages.Pages.empty());
  EXPECT_FALSE(pages.CurrentKind().has_value());
  ASSERT_EQ(presenter_->Messages().size(), 1u);
  EXPECT_EQ(presenter_->Messages()[0].text, "Error File Missing: Pages.txt");
}

}  // namespace
}  // namespace setup_wizard
