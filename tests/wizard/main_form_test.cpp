// The wizard window on real widgets with the stock install pages.
#include "setup/views/qt/main_form.h"

#include <QApplication>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <atomic>

#include "platform/files.h"
#include "setup/controls/shell_tree_view.h"
#include "setup/views/qt/app_identity.h"
#include "setup/views/qt/debug_form.h"
#include "setup/views/qt/qt_presenter.h"
#include "wizard_fixture.h"

namespace setup_wizard {
namespace {

// A runner that finishes when the test says so.
class FakeRunner : public RunnerLink {
 public:
  void RequestRun() override {
    requested = true;
    ++runs;
  }
  bool RunRequested() const override { return requested; }
  void StopAndJoin() override { stopped = true; }
  std::atomic<bool> requested{false};
  int runs = 0;
  bool stopped = false;
};

class MainFormTest : public WizardFixture {
 protected:
  void SetUp() override {
    WizardFixture::SetUp();
    SetUpDemoProduct();
  }
  void TearDown() override {
    window_.reset();
    WizardFixture::TearDown();
  }
  void Open(bool two_languages = true) {
    AddStockLanguage("install\\english");
    if (two_languages) AddStockLanguage("install\\czech");
    OpenPackage(0x0409);
    auto runner = std::make_unique<FakeRunner>();
    runner_ = runner.get();
    window_ = std::make_unique<TFrmMain>(std::move(runner));
    window_->SetPagesUp();
    window_->show();
  }
  PageKind Kind() const { return *window_->Session().CurrentKind(); }
  void NextUntil(PageKind kind) {
    for (int i = 0; i < 10 && Kind() != kind; ++i) window_->NextButtonClick();
    ASSERT_EQ(Kind(), kind);
  }
  QLabel* Label(const char* name) { return window_->findChild<QLabel*>(name); }
  // The menu index of a table, by its display name (tables load in package order).
  static int LanguageIndex(const char* utf8_name) {
    const std::u16string name = QString::fromUtf8(utf8_name).toStdU16String();
    for (size_t i = 0; i < Languages().Items.size(); ++i) {
      if (Languages().Items[i]->Name == name) return static_cast<int>(i);
    }
    return -1;
  }

  std::unique_ptr<TFrmMain> window_;
  FakeRunner* runner_ = nullptr;
};

TEST_F(MainFormTest, ButtonCaptionsFollowThePageKind) {
  Open();
  EXPECT_EQ(window_->windowTitle(), "Demo Product");
  EXPECT_EQ(Kind(), PageKind::Welcome);
  EXPECT_FALSE(window_->BackButton()->isVisible());
  EXPECT_EQ(window_->NextButton()->text(), "Next >");
  EXPECT_EQ(window_->CancelButton()->text(), "Cancel");
  EXPECT_TRUE(Label("SideImage") == nullptr);  // the side picture is no label
  EXPECT_TRUE(window_->findChild<QWidget*>("SideImage")->isVisible());

  QTest::mouseClick(window_->NextButton(), Qt::LeftButton);
  EXPECT_EQ(Kind(), PageKind::Changelog);
  EXPECT_TRUE(window_->BackButton()->isVisible());
  EXPECT_FALSE(Label("WelcomeLabel")->isVisible());
  EXPECT_TRUE(window_->findChild<QWidget*>("SideImage")->isVisible());  // on every page

  NextUntil(PageKind::Patch);
  EXPECT_EQ(window_->NextButton()->text(), "Install");
  QTest::mouseClick(window_->BackButton(), Qt::LeftButton);
  EXPECT_EQ(Kind(), PageKind::InstallDir);
  EXPECT_EQ(window_->NextButton()->text(), "Next >");
  window_->NextButtonClick();

  // The run page: everything off while the runner works; then the finish page.
  QTimer::singleShot(20, [this] {
    EXPECT_EQ(Kind(), PageKind::Patching);
    EXPECT_FALSE(window_->BackButton()->isVisible());
    EXPECT_FALSE(window_->NextButton()->isEnabled());
    EXPECT_FALSE(window_->CancelButton()->isEnabled());
    EXPECT_FALSE(window_->LanguageButton()->isVisible());
    EXPECT_EQ(window_->StatusLabel()->text(), "Status: 0 of 0 files extracted");
    runner_->requested = false;
  });
  window_->NextButtonClick();
  EXPECT_EQ(runner_->runs, 1);
  EXPECT_EQ(SetupState::Instance().CurrentLine(), -1);
  EXPECT_EQ(Kind(), PageKind::Finish);
  EXPECT_EQ(window_->CancelButton()->text(), "Finish");
  EXPECT_FALSE(window_->NextButton()->isVisible());
  EXPECT_FALSE(window_->BackButton()->isVisible());
  EXPECT_FALSE(window_->LanguageButton()->isVisible());  // stays hidden after a run
  // The chosen language of the product reached $LANGUAGESELECTION.
  EXPECT_EQ(SetupState::Instance().language_selection, "English");
  // The install folder was recorded first, so that it is removed last.
  ASSERT_FALSE(TUninstallList::Instance().Folders().empty());
  EXPECT_EQ(TUninstallList::Instance().Folders()[0], "C:\\Program Files\\Demo\\");
}

TEST_F(MainFormTest, LanguageSwitchRetranslatesLabelsButNotEditsOrTheTitle) {
  Open();
  NextUntil(PageKind::InstallDir);
  QLineEdit* edit = window_->InstallDirEdit();
  ASSERT_NE(edit, nullptr);
  edit->setText("C:\\Mine\\");
  const QString english_title = Label("InstallDirLabel")->text();
  const int czech = LanguageIndex("Česky");
  ASSERT_GE(czech, 0);
  window_->LanguageChosen(czech);
  EXPECT_EQ(window_->LanguageButton()->text(), QString::fromUtf8("Česky"));
  EXPECT_NE(Label("InstallDirLabel")->text(), english_title);
  EXPECT_EQ(window_->BackButton()->text(), QString::fromUtf8("< Zpět"));
  EXPECT_EQ(window_->NextButton()->text(), QString::fromUtf8("Další >"));
  EXPECT_EQ(edit->text(), "C:\\Mine\\");
  EXPECT_EQ(window_->windowTitle(), "Demo Product");
  QList<QAction*> items = window_->LanguagePopupMenu()->actions();
  ASSERT_EQ(items.size(), 2);
  EXPECT_TRUE(items[czech]->isChecked());
  EXPECT_FALSE(items[1 - czech]->isChecked());
}

TEST_F(MainFormTest, SecondArrivalAtTheFolderPageKeepsWhatWasTyped) {
  Open();
  NextUntil(PageKind::InstallDir);
  QLineEdit* edit = window_->InstallDirEdit();
  EXPECT_EQ(edit->text(), "C:\\Program Files\\Demo\\");
  edit->clear();
  QTest::keyClicks(edit, "C:\\Program Files\\Typed");
  EXPECT_EQ(SetupState::Instance().SetupInfo().InstallDir, "C:\\Program Files\\Typed\\");
  // The tree followed to the nearest existing folder, and did not rewrite the typed text.
  EXPECT_EQ(window_->FolderTree()->SelectedPath(), "C:\\Program Files");
  EXPECT_EQ(edit->text(), "C:\\Program Files\\Typed");
  window_->BackButtonClick();
  window_->NextButtonClick();
  EXPECT_EQ(edit->text(), "C:\\Program Files\\Typed");
}

TEST_F(MainFormTest, PickingAFolderInTheTreeFillsTheEdit) {
  Open();
  NextUntil(PageKind::InstallDir);
  auto* tree = window_->FolderTree();
  ASSERT_TRUE(tree->SelectPath("C:\\Program Files\\Old"));
  EXPECT_EQ(window_->InstallDirEdit()->text(), "C:\\Program Files\\Old");
  EXPECT_EQ(tree->SelectedPath(), "C:\\Program Files\\Old");
  EXPECT_FALSE(window_->TreeSyncing());
}

TEST_F(MainFormTest, TheButtonsAndTheSpaceLabelShowTheFolderChecks) {
  Open();
  NextUntil(PageKind::InstallDir);
  QLineEdit* edit = window_->InstallDirEdit();
  edit->setText("D:\\Demo\\");  // a CD-ROM drive
  EXPECT_FALSE(window_->NextButton()->isEnabled());
  edit->setText("C:\\Demo\\");
  EXPECT_TRUE(window_->NextButton()->isEnabled());

  SetupState::Instance().SetSpaceRequired(int64_t{1} << 60);
  window_->LanguageChosen(LanguageIndex("Česky"));
  window_->NextButtonClick();
  ASSERT_EQ(Kind(), PageKind::Patch);
  EXPECT_FALSE(window_->NextButton()->isEnabled());
  EXPECT_TRUE(
      window_->SpaceAvailableLabel()->text().startsWith(QString::fromUtf8("Volné místo: ")));
  window_->LanguageChosen(LanguageIndex("English"));
  EXPECT_TRUE(window_->SpaceAvailableLabel()->text().startsWith("Space available "));
}

TEST_F(MainFormTest, AYesDuringARunCancelsItAndTheWindowClosesWhenTheRunHasEnded) {
  Open();
  NextUntil(PageKind::Patch);
  bool closed_during_run = true;
  QTimer::singleShot(20, [this, &closed_during_run] {
    presenter_->QueueAnswer(platform::kIdYes);
    window_->close();
    // The run is asked to stop; the window waits for it to end and undo its work.
    closed_during_run = window_->Closed();
    EXPECT_TRUE(SetupState::Instance().CancelRequested());
    EXPECT_TRUE(SetupState::Instance().StopRequested());
    runner_->requested = false;
  });
  window_->NextButtonClick();
  EXPECT_FALSE(closed_during_run);
  EXPECT_TRUE(window_->Closed());
  EXPECT_FALSE(window_->ClosedOnFinish());
  EXPECT_EQ(presenter_->Messages().size(), 1u);  // the question, asked once
}

TEST_F(MainFormTest, ConfirmedCancelClosesAndStopsTheRunner) {
  Open();
  presenter_->QueueAnswer(platform::kIdYes);
  window_->CancelButtonClick();
  EXPECT_TRUE(window_->Closed());
  EXPECT_FALSE(window_->ClosedOnFinish());
  EXPECT_TRUE(runner_->stopped);
}

TEST_F(MainFormTest, OneLanguageHidesTheLanguageButton) {
  Open(false);
  EXPECT_FALSE(window_->LanguageButton()->isVisible());
  EXPECT_EQ(window_->LanguagePopupMenu()->actions().size(), 1);
}

TEST_F(MainFormTest, LanguagePageChoiceBecomesTheLanguageSelection) {
  Open();
  NextUntil(PageKind::LanguageSelection);
  auto* czech = window_->findChild<QRadioButton*>("Language_Czech");
  ASSERT_NE(czech, nullptr);
  QTest::mouseClick(czech, Qt::LeftButton, {}, QPoint(8, czech->height() / 2));
  EXPECT_TRUE(czech->isChecked());
  NextUntil(PageKind::Patch);
  QTimer::singleShot(10, [this] { runner_->requested = false; });
  window_->NextButtonClick();
  EXPECT_EQ(SetupState::Instance().language_selection, "Czech");
}

TEST_F(MainFormTest, EnterPressesTheDefaultButtonOnEveryPage) {
  Open();
  // Enter where the focus is: the window itself, the folder edit, an option, the tree.
  const std::vector<PageKind> walk = {PageKind::Changelog, PageKind::LanguageSelection,
                                      PageKind::InstallDir, PageKind::Patch};
  for (const PageKind expected : walk) {
    QWidget* target = window_.get();
    if (Kind() == PageKind::InstallDir) target = window_->InstallDirEdit();
    if (Kind() == PageKind::LanguageSelection) {
      target = window_->findChild<QRadioButton*>("Language_English");
    }
    ASSERT_NE(target, nullptr);
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Return);
    ASSERT_EQ(Kind(), expected);
  }
  // Install: the run, then the Finish page, where Enter closes without a question.
  QTimer::singleShot(20, [this] { runner_->requested = false; });
  QTest::keyClick(window_.get(), Qt::Key_Enter);
  ASSERT_EQ(Kind(), PageKind::Finish);
  QTest::keyClick(window_.get(), Qt::Key_Return);
  EXPECT_TRUE(window_->ClosedOnFinish());
  EXPECT_TRUE(presenter_->Messages().empty());
}

TEST_F(MainFormTest, EnterOnTheQuitQuestionAnswersNoAndAFocusedButtonTakesEnter) {
  Open();
  platform::SetPresenter(std::make_shared<QtMessageBoxPresenter>());
  int questions = 0;
  auto press_enter_on_the_question = [&questions] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      ++questions;
      QTest::keyClick(box, Qt::Key_Return);
    }
  };
  QTimer::singleShot(50, press_enter_on_the_question);
  window_->CancelButton()->setFocus();
  QTest::keyClick(window_->CancelButton(), Qt::Key_Return);
  EXPECT_EQ(questions, 1);
  EXPECT_FALSE(window_->Closed());
  EXPECT_EQ(Kind(), PageKind::Welcome);
  platform::SetPresenter(presenter_);
}

TEST_F(MainFormTest, TheApplicationIsNamedAfterTheProductWithTheInstallersIcon) {
  Open(false);
  NameApplication((base_ / "package.bin").string());
  EXPECT_EQ(QApplication::applicationName(), "Demo Product");
  EXPECT_EQ(QGuiApplication::desktopFileName(), "Demo");
  EXPECT_FALSE(QApplication::windowIcon().isNull());
  EXPECT_FALSE(window_->windowIcon().isNull());
}

TEST_F(MainFormTest, DebugDumpListsHeaderEntriesAndRecord) {
  Open(false);
  TFrmDebug debug;
  debug.FillDump();
  const QString text = debug.RichEdit1()->toPlainText();
  EXPECT_TRUE(text.startsWith("Header\nID: QXPF\nVersion: 1\nFile Count: "));
  EXPECT_TRUE(text.contains("\"Pages.txt\" Group: 0"));
  EXPECT_TRUE(text.contains("SetupName: Demo Product"));
  EXPECT_TRUE(text.contains("InstallDirRegKey.HKEY: HKEY_LOCAL_MACHINE"));
  EXPECT_TRUE(text.contains("Changelog: Changes.txt"));
}

}  // namespace
}  // namespace setup_wizard
