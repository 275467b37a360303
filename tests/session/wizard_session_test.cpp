// The wizard's rules on the stock install pages, with no widget: page order, Next and Back, the
// button state, the folder checks, the language choice and the quit question.
#include "setup/session/wizard_session.h"

#include <filesystem>
#include <fstream>
#include <functional>

#include "common/package_fixture.h"
#include "setup/session/default_driver.h"

namespace setup_session {
namespace {

// A runner whose run ends when the test says so (at once by default).
class FakeRunner : public RunnerLink {
 public:
  void RequestRun() override {
    ++runs;
    requested = !finish_at_once;
  }
  bool RunRequested() const override { return requested; }
  void StopAndJoin() override { stopped = true; }
  bool finish_at_once = true;
  bool requested = false;
  int runs = 0;
  bool stopped = false;
};

// A view that remembers what it was told.
class RecordingView : public WizardView {
 public:
  void PageSelected(int page) override { selected.push_back(page); }
  void ButtonsChanged(const ButtonState&) override { ++button_changes; }
  void FolderTextSet(const std::string& text) override { folder_texts.push_back(text); }
  void FolderProblemChanged(const std::string& problem) override { problems.push_back(problem); }
  void PageShown(int page) override { shown.push_back(page); }
  void KeepAlive() override {
    if (during_run) during_run();
  }
  void SessionEnded() override { ended = true; }
  std::shared_ptr<ProgressTextSink> StatusLineSink() override { return status; }
  std::shared_ptr<ProgressTextSink> SecondStatusLineSink() override { return nullptr; }
  std::shared_ptr<ProgressGaugeSink> GaugeSink() override { return nullptr; }

  std::vector<int> selected, shown;
  std::vector<std::string> folder_texts;
  std::vector<std::string> problems = {""};
  int button_changes = 0;
  bool ended = false;
  std::function<void()> during_run;
  std::shared_ptr<RecordingTextSink> status = std::make_shared<RecordingTextSink>();
};

class WizardSessionTest : public PackageFixture {
 protected:
  void SetUp() override {
    PackageFixture::SetUp();
    SetUpDemoProduct();
  }
  void TearDown() override {
    session_.reset();
    PackageFixture::TearDown();
  }
  WizardSession& Open(bool two_languages = true) {
    AddStockLanguage("install\\english");
    if (two_languages) AddStockLanguage("install\\czech");
    OpenPackage(0x0409);
    auto runner = std::make_unique<FakeRunner>();
    runner_ = runner.get();
    session_ = std::make_unique<WizardSession>(std::move(runner));
    session_->SetView(&view_);
    session_->Start();
    return *session_;
  }
  PageKind Kind() const { return *session_->CurrentKind(); }
  void NextUntil(PageKind kind) {
    for (int i = 0; i < 10 && Kind() != kind; ++i) session_->Next();
    ASSERT_EQ(Kind(), kind);
  }
  static int LanguageIndex(const std::u16string& name) {
    for (size_t i = 0; i < Languages().Items.size(); ++i) {
      if (Languages().Items[i]->Name == name) return static_cast<int>(i);
    }
    return -1;
  }

  RecordingView view_;
  std::unique_ptr<WizardSession> session_;
  FakeRunner* runner_ = nullptr;
};

// The button rules of each page of the stock install pages, met in order by pressing Next.
struct PageRule {
  PageKind kind;
  NextAction next_does;  // on this page
  bool back_visible, next_visible, next_enabled, cancel_enabled, language_visible;
  const char16_t* next_caption;
  const char16_t* cancel_caption;
};

constexpr PageRule kInstallPages[] = {
    {PageKind::Welcome, NextAction::kShowPage, false, true, true, true, true, u"Next >", u"Cancel"},
    {PageKind::Changelog, NextAction::kShowPage, true, true, true, true, true, u"Next >",
     u"Cancel"},
    {PageKind::LanguageSelection, NextAction::kCheckFolder, true, true, true, true, true, u"Next >",
     u"Cancel"},
    {PageKind::InstallDir, NextAction::kCheckSpace, true, true, true, true, true, u"Next >",
     u"Cancel"},
    {PageKind::Patch, NextAction::kInstall, true, true, true, true, true, u"Install", u"Cancel"},
    // The run ends at once, so Next goes on to the Finish page; the language button stays hidden.
    // Next is hidden there; the main layout page that follows is never reached.
    {PageKind::Finish, NextAction::kShowPage, false, false, true, true, false, u"Next >",
     u"Finish"},
};

TEST_F(WizardSessionTest, NextWalksThePagesWithEachKindsButtonRules) {
  WizardSession& session = Open();
  EXPECT_EQ(session.Title(), u"Demo Product");
  for (const PageRule& rule : kInstallPages) {
    SCOPED_TRACE(PageKindName(rule.kind));
    ASSERT_EQ(Kind(), rule.kind);
    const ButtonState& b = session.Buttons();
    EXPECT_EQ(session.WhatNextDoes(), rule.next_does);
    EXPECT_EQ(b.back_visible, rule.back_visible);
    EXPECT_EQ(b.next_visible, rule.next_visible);
    EXPECT_EQ(b.next_enabled, rule.next_enabled);
    EXPECT_EQ(b.cancel_enabled, rule.cancel_enabled);
    EXPECT_EQ(b.language_visible, rule.language_visible);
    EXPECT_EQ(b.next_caption, rule.next_caption);
    EXPECT_EQ(b.cancel_caption, rule.cancel_caption);
    EXPECT_EQ(session.CanGoOn(), rule.next_visible && rule.next_enabled);
    if (rule.kind != PageKind::Finish) session.Next();
  }
  EXPECT_EQ(runner_->runs, 1);
  EXPECT_EQ(SetupState::Instance().CurrentLine(), -1);
  // The run page was shown with the run's first status, and the install folder was recorded
  // first so that it is removed last.
  EXPECT_EQ(view_.status->Calls().size(), 0u);  // the first status goes to the view, not echoed
  ASSERT_FALSE(TUninstallList::Instance().Folders().empty());
  EXPECT_EQ(TUninstallList::Instance().Folders()[0], "C:\\Program Files\\Demo\\");
  EXPECT_EQ(SetupState::Instance().language_selection, "English");
  // Finish closes without a question.
  EXPECT_TRUE(session.RequestClose());
  EXPECT_TRUE(session.ClosedOnFinish());
  EXPECT_TRUE(runner_->stopped);
  EXPECT_TRUE(view_.ended);
  EXPECT_TRUE(presenter_->Messages().empty());
}

TEST_F(WizardSessionTest, BackAndNextStayInsideThePagesAndThePatchCaptionComesBack) {
  WizardSession& session = Open();
  session.Back();  // before the first page: nothing changes
  EXPECT_EQ(session.CurrentPage(), 0);
  NextUntil(PageKind::Patch);
  EXPECT_EQ(session.Buttons().next_caption, u"Install");
  session.Back();
  EXPECT_EQ(Kind(), PageKind::InstallDir);
  EXPECT_EQ(session.Buttons().next_caption, u"Next >");
  // Every page change was shown, each arrival once.
  EXPECT_EQ(view_.selected.back(), session.CurrentPage());
  EXPECT_EQ(view_.shown.back(), session.CurrentPage());
}

struct FolderCase {
  std::string typed;
  bool can_go_on;
  std::string install_dir;  // the folder the session keeps ("" : unchanged)
  std::string problem;      // why the folder cannot be used, as the session says it
};

TEST_F(WizardSessionTest, FolderChecksDecideNextAndTheInstallFolder) {
  const std::string drive_c = (base_ / "root" / "drive_c").string();
  const FolderCase cases[] = {
      {"D:\\Demo\\", false, "", "D: is a CD-ROM drive, which cannot be installed to"},
      {"Q:\\Demo\\", false, "", "There is no drive Q: on this machine"},
      {"", false, "",
       "Not a full path: begin it with a drive (C:\\) or, for a folder of this "
       "machine, with /"},
      {"Program Files", false, "",
       "Not a full path: begin it with a drive (C:\\) or, for a "
       "folder of this machine, with /"},
      {"C:\\Program Files\\Typed", true, "C:\\Program Files\\Typed\\", ""},
      {"c:\\lower\\", true, "c:\\lower\\", ""},
      // A host path reaches the install through the drive that holds it.
      {drive_c + "/Games/../Tally/", true, "C:\\Tally\\", ""},
      {"/elsewhere/tally", false, "",
       "No drive of this machine holds /elsewhere/tally (or a name in it has no Windows-1252 "
       "spelling)"},
  };
  WizardSession& session = Open();
  NextUntil(PageKind::InstallDir);
  EXPECT_TRUE(session.InstallDirVisited());
  ASSERT_EQ(view_.folder_texts.size(), 2u);  // at start and on the first arrival
  EXPECT_EQ(session.FolderText(), "C:\\Program Files\\Demo\\");
  for (const FolderCase& c : cases) {
    SCOPED_TRACE(c.typed);
    const std::string before = SetupState::Instance().SetupInfo().InstallDir;
    EXPECT_EQ(session.EditFolder(c.typed), c.can_go_on);
    EXPECT_EQ(session.CanGoOn(), c.can_go_on);
    EXPECT_EQ(SetupState::Instance().SetupInfo().InstallDir,
              c.install_dir.empty() ? before : c.install_dir);
    EXPECT_EQ(session.FolderProblemText(), c.problem);
    EXPECT_EQ(view_.problems.back(), c.problem);
  }
  // A second arrival keeps what was typed; a language switch does not let past a bad drive.
  session.EditFolder("C:\\Kept\\");
  session.Back();
  session.Next();
  EXPECT_EQ(session.FolderText(), "C:\\Kept\\");
  EXPECT_EQ(view_.folder_texts.size(), 2u);
  session.EditFolder("D:\\Demo\\");
  session.ChooseLanguage(LanguageIndex(u"Česky"));
  EXPECT_FALSE(session.CanGoOn());
  EXPECT_EQ(session.FolderText(), "D:\\Demo\\");
}

TEST_F(WizardSessionTest, AHostPathAsTheScriptsInstallFolderIsReachedThroughItsDrive) {
  SetupState::Instance().SetupInfo().InstallDir = (base_ / "root" / "drive_c").string() + "/Tally";
  WizardSession& session = Open();
  EXPECT_EQ(SetupState::Instance().SetupInfo().InstallDir, "C:\\Tally\\");
  EXPECT_EQ(session.FolderText(), "C:\\Tally\\");
  NextUntil(PageKind::InstallDir);
  EXPECT_TRUE(session.CanGoOn());
}

TEST_F(WizardSessionTest, AnInstallFolderThatCannotBeWrittenIsNamedWithItsHostFolder) {
  const std::filesystem::path blocker = base_ / "root" / "drive_c" / "Program Files" / "Demo";
  std::ofstream(blocker) << "a file where the folder would be";
  WizardSession& session = Open();
  NextUntil(PageKind::Patch);
  EXPECT_FALSE(session.CanGoOn());
  const std::string named =
      "Cannot install into C:\\Program Files\\Demo\\ (" + blocker.string() + "): ";
  EXPECT_EQ(session.TargetProblem().rfind(named, 0), 0u) << session.TargetProblem();
  ASSERT_EQ(presenter_->Messages().size(), 1u);
  EXPECT_EQ(presenter_->Messages()[0].text, session.TargetProblem());
}

TEST_F(WizardSessionTest, TooLittleSpaceKeepsThePatchPage) {
  WizardSession& session = Open();
  SetupState::Instance().SetSpaceRequired(int64_t{1} << 60);
  NextUntil(PageKind::Patch);
  EXPECT_FALSE(session.CanGoOn());
  session.ChooseLanguage(LanguageIndex(u"English"));  // the check runs again
  EXPECT_FALSE(session.CanGoOn());
  EXPECT_EQ(DriveWithDefaults(session, nullptr), DriveResult::kStuck);
  EXPECT_EQ(runner_->runs, 0);
}

TEST_F(WizardSessionTest, LanguageChoiceTranslatesTheButtons) {
  WizardSession& session = Open();
  EXPECT_TRUE(session.Buttons().language_visible);
  EXPECT_EQ(session.Buttons().language_caption, u"English");
  session.ChooseLanguage(LanguageIndex(u"Česky"));
  EXPECT_EQ(session.Buttons().language_caption, u"Česky");
  EXPECT_EQ(session.Buttons().back_caption, u"< Zpět");
  EXPECT_EQ(session.Buttons().next_caption, u"Další >");
  session.ChooseLanguage(99);  // no such table
  EXPECT_EQ(session.Buttons().language_caption, u"Česky");
  EXPECT_EQ(session.Title(), u"Demo Product");
}

TEST_F(WizardSessionTest, OneLanguageHidesTheLanguageButton) {
  EXPECT_FALSE(Open(false).Buttons().language_visible);
}

TEST_F(WizardSessionTest, TheCheckedProductLanguageBecomesTheLanguageSelection) {
  WizardSession& session = Open();
  NextUntil(PageKind::LanguageSelection);
  const std::vector<LayoutRecord>& controls = session.Pages()[session.CurrentPage()].controls;
  int czech = -1;
  for (size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].name == "Language_Czech") czech = static_cast<int>(i);
  }
  ASSERT_GE(czech, 0);
  ASSERT_TRUE(session.ChosenOption().has_value());   // English is checked by the layout
  session.ChooseOption({session.CurrentPage(), 0});  // a label is no option
  EXPECT_NE(session.ChosenOption()->index, 0);
  session.ChooseOption({session.CurrentPage(), czech});
  NextUntil(PageKind::Finish);
  EXPECT_EQ(SetupState::Instance().language_selection, "Czech");
}

TEST_F(WizardSessionTest, QuitQuestionOutsideARunAndDuringIt) {
  WizardSession& session = Open();
  presenter_->QueueAnswer(platform::kIdNo);
  EXPECT_FALSE(session.RequestClose());
  ASSERT_EQ(presenter_->Messages().size(), 1u);
  EXPECT_EQ(presenter_->Messages()[0].text, "Are you sure you want to quit the installation?");
  EXPECT_EQ(presenter_->Messages()[0].caption, "Quit");
  // No is the default answer: an Enter that reaches the question keeps the wizard.
  EXPECT_EQ(platform::DefaultButtonIndex(presenter_->Messages()[0].flags), 1u);

  // During the run: a No lets it go on, a Yes stops it, and the session closes once it ended.
  NextUntil(PageKind::Patch);
  runner_->finish_at_once = false;
  int asked = 0;
  view_.during_run = [&] {
    if (asked == 0) {
      presenter_->QueueAnswer(platform::kIdNo);
      EXPECT_FALSE(session.RequestClose());
      EXPECT_FALSE(SetupState::Instance().CancelRequested());
    } else if (asked == 1) {
      presenter_->QueueAnswer(platform::kIdYes);
      EXPECT_FALSE(session.RequestClose());  // never closes while the run works
      EXPECT_TRUE(SetupState::Instance().CancelRequested());
      runner_->requested = false;
    }
    ++asked;
  };
  session.Next();
  EXPECT_EQ(presenter_->Messages().size(), 3u);
  EXPECT_TRUE(session.Closed());
  EXPECT_FALSE(session.ClosedOnFinish());
  EXPECT_FALSE(session.Working());
}

TEST_F(WizardSessionTest, TheDefaultsInstallAndCloseOnTheFinishPage) {
  WizardSession& session = Open();
  EXPECT_EQ(DriveWithDefaults(session, nullptr), DriveResult::kEnded);
  EXPECT_EQ(runner_->runs, 1);
  EXPECT_TRUE(session.ClosedOnFinish());
  EXPECT_TRUE(presenter_->Messages().empty());
}

TEST_F(WizardSessionTest, TheDefaultsStopAtAFolderThatCannotBeUsedAndSayWhy) {
  SetupState::Instance().SetupInfo().InstallDir = "D:\\Demo\\";
  WizardSession& session = Open();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(DriveWithDefaults(session, nullptr), DriveResult::kStuck);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("setup: cannot go on from the installdir page (D: is a CD-ROM drive, which "
                     "cannot be installed to)"),
            std::string::npos)
      << err;
  EXPECT_EQ(runner_->runs, 0);
}

TEST_F(WizardSessionTest, AFolderPageFirstIsVisitedFromTheStart) {
  entries_["Pages.txt"] =
      "[Pages]\r\ninstall.txt\r\nlayout5.txt\r\n[PageTypes]\r\nInstallDir\r\nFinish\r\n";
  WizardSession& session = Open(false);
  ASSERT_EQ(Kind(), PageKind::InstallDir);
  EXPECT_TRUE(session.InstallDirVisited());
  session.EditFolder("C:\\Elsewhere\\");
  EXPECT_EQ(SetupState::Instance().SetupInfo().InstallDir, "C:\\Elsewhere\\");
}

// The stock pages with the licence page that a `license` line keeps.
class LicenseSessionTest : public WizardSessionTest {
 protected:
  void SetUp() override {
    WizardSessionTest::SetUp();
    AddStockPageSet("install", "", true);
    entries_["License.rtf"] = "{\\rtf1 Terms}";
  }
  ControlRef Radio(const char* name) const {
    const int page = session_->CurrentPage();
    const std::vector<LayoutRecord>& controls = session_->Pages()[page].controls;
    for (size_t i = 0; i < controls.size(); ++i) {
      if (controls[i].name == name) return {page, static_cast<int>(i)};
    }
    ADD_FAILURE() << name;
    return {};
  }
};

TEST_F(LicenseSessionTest, NextWaitsForIAcceptWhichTheLanguageOptionNeverMoves) {
  WizardSession& session = Open();
  session.Next();
  ASSERT_EQ(Kind(), PageKind::License);
  EXPECT_TRUE(presenter_->Messages().empty());  // its text was found
  const std::optional<ControlRef> language = session.ChosenOption();
  ASSERT_TRUE(language.has_value());
  const ControlRef accept = Radio("AcceptLicense");
  const ControlRef decline = Radio("DeclineLicense");
  // Neither choice is checked at first; each choice sets Next, and the view hears of it.
  struct Step {
    std::optional<ControlRef> choose;
    bool accepted;
  };
  const Step steps[] = {{std::nullopt, false}, {decline, false}, {accept, true}, {decline, false}};
  bool was_accepted = false;
  for (const Step& step : steps) {
    const int changes = view_.button_changes;
    if (step.choose) session.ChooseOption(*step.choose);
    EXPECT_EQ(view_.button_changes > changes, step.accepted != was_accepted);
    was_accepted = step.accepted;
    EXPECT_EQ(session.CanGoOn(), step.accepted);
    EXPECT_EQ(session.LicenseAccepted(), step.accepted);
    EXPECT_EQ(session.IsChecked(accept), step.accepted);
    EXPECT_EQ(session.IsChecked(decline), step.choose.has_value() && !step.accepted);
    EXPECT_EQ(session.ChosenOption()->index, language->index);
  }
  // A language switch re-applies the page's rules without letting past a declined licence.
  session.ChooseLanguage(LanguageIndex(u"Česky"));
  EXPECT_FALSE(session.CanGoOn());
  session.ChooseOption(accept);
  session.Back();
  session.Next();
  EXPECT_TRUE(session.CanGoOn());  // the choice is kept on coming back
  session.Next();
  EXPECT_EQ(Kind(), PageKind::Changelog);
  NextUntil(PageKind::Finish);
  EXPECT_EQ(SetupState::Instance().language_selection, "English");
}

}  // namespace
}  // namespace setup_session
