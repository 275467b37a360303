// The licence page: in the window, found by its controls' names, and in unattended installs that
// accept it only when the command line says so.
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextEdit>

#include "installer_e2e.h"
#include "setup/views/qt/main_form.h"
#include "wizard_fixture.h"

namespace setup_wizard {
namespace {

class NoRunner : public RunnerLink {
 public:
  void RequestRun() override {}
  bool RunRequested() const override { return false; }
  void StopAndJoin() override {}
};

class LicenseWindowTest : public WizardFixture {
 protected:
  void SetUp() override {
    WizardFixture::SetUp();
    SetUpDemoProduct();
    AddStockPageSet("install", "", true);
    entries_["License.rtf"] = "{\\rtf1 The {\\b terms} of use.\\par Second paragraph.}";
  }
  void TearDown() override {
    window_.reset();
    WizardFixture::TearDown();
  }
  template <typename T>
  T* Find(const char* name) {
    T* widget = window_->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  std::unique_ptr<TFrmMain> window_;
};

TEST_F(LicenseWindowTest, NextFollowsTheAcceptChoiceWhichLeavesTheLanguageChoiceAlone) {
  AddStockLanguage("install\\english");
  OpenPackage(0x0409);
  window_ = std::make_unique<TFrmMain>(std::make_unique<NoRunner>());
  window_->SetPagesUp();
  window_->show();
  QTest::mouseClick(window_->NextButton(), Qt::LeftButton);
  ASSERT_EQ(*window_->Session().CurrentKind(), PageKind::License);

  auto* text = Find<QTextEdit>("LicenseText");
  auto* accept = Find<QRadioButton>("AcceptLicense");
  auto* decline = Find<QRadioButton>("DeclineLicense");
  auto* english = Find<QRadioButton>("Language_English");
  ASSERT_TRUE(text && accept && decline && english);
  EXPECT_TRUE(text->isVisible() && accept->isVisible() && decline->isVisible());
  EXPECT_EQ(text->toPlainText(), "The terms of use.\nSecond paragraph.");
  EXPECT_EQ(accept->text(), "I accept the agreement");
  EXPECT_EQ(decline->text(), "I do not accept the agreement");
  EXPECT_FALSE(accept->isChecked());
  EXPECT_FALSE(decline->isChecked());

  // Each click decides Next; the language page's check stays where the layout put it.
  struct Click {
    QRadioButton* radio;
    bool next_enabled;
  };
  for (const Click& click :
       {Click{nullptr, false}, Click{accept, true}, Click{decline, false}, Click{accept, true}}) {
    // On the button's mark: a click right of its caption misses, as for a person.
    if (click.radio) {
      QTest::mouseClick(click.radio, Qt::LeftButton, {}, QPoint(8, click.radio->height() / 2));
    }
    EXPECT_EQ(window_->NextButton()->isEnabled(), click.next_enabled);
    EXPECT_TRUE(english->isChecked());
  }
  EXPECT_FALSE(decline->isChecked());
  QTest::mouseClick(window_->NextButton(), Qt::LeftButton);
  EXPECT_EQ(*window_->Session().CurrentKind(), PageKind::Changelog);
  EXPECT_FALSE(accept->isVisible());
}

}  // namespace
}  // namespace setup_wizard

namespace {

class LicenseUnattendedTest : public InstallerE2ETest {};

// Without --accept-license the run stops on the licence page with one line of reason and exit
// code 2, having changed nothing; with it the install goes through (the window's pictures too).
TEST_F(LicenseUnattendedTest, OnlyAnAcceptedLicenseInstalls) {
  WriteText(src_ / "App" / "app.txt", "app");
  WriteText(src_ / "LICENSE.txt", "Use it well.\n");
  const ProgramResult compiled = Compile(
      "name \"Licensed\"\noutfile licensed.exe\ninstalldir \"$PROGRAMFILES\\Licensed\\\"\n"
      "pages install\nuninstallpages uninstall\nlicense LICENSE.txt\nfile App\\\n",
      {"--source", src_.string()});
  ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
  const std::string installer = (out_ / "licensed.exe").string();
  const std::string folder = Host("C:\\Program Files\\Licensed\\");

  const ProgramResult refused = RunProgram({installer, "--unattended"});
  EXPECT_EQ(refused.exit_code, 2) << refused.output;
  EXPECT_EQ(refused.err,
            "setup: the license agreement is not accepted (add --accept-license to accept it)\n");
  EXPECT_FALSE(std::filesystem::exists(folder));

  const std::filesystem::path shots = base_ / "shots";
  const ProgramResult accepted = RunProgram(
      {installer, "--unattended", "--accept-license", "--screenshot-dir", shots.string()});
  ASSERT_EQ(accepted.exit_code, 0) << accepted.output;
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder) / "app.txt"));
  EXPECT_TRUE(std::filesystem::exists(shots / "02-license.png"));
}

}  // namespace
