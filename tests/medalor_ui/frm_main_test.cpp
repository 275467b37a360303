#include "medalor/ui/frm_main.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "medalor/drawing.h"
#include "medalor/test_pictures.h"
#include "medalor/ui/cross_edit.h"
#include "medalor/ui/frm_about.h"
#include "medalor/ui/sheet_view.h"
#include "medalor_ui/qt_app.h"
#include "platform/files.h"

namespace medalor {
namespace {

class FrmMainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::App();
    badges_ = folder_.Sub("Badges");
    layouts_ = folder_.Sub("BadgeLayout");
    // Badge i is solid grey 40 * (i + 1): its colour on the sheet tells which badge stands there.
    for (int i = 0; i < 3; ++i) {
      const uint8_t v = static_cast<uint8_t>(40 * (i + 1));
      testing::WritePicture(badges_ + "/b" + std::to_string(i) + ".png",
                            TPicture(47, 47, TRgba{v, v, v, 255}));
    }
    testing::WritePicture(layouts_ + "/none.png", TPicture(273, 57, TRgba{255, 255, 255, 0}));
    testing::WritePicture(layouts_ + "/Solid.png", TPicture(273, 57, TRgba{0, 90, 0, 255}));
    TFrmMain::SetErrorPresenter([this](const QString& text) { errors_ << text; });
  }
  void TearDown() override { TFrmMain::SetErrorPresenter(nullptr); }

  void Open() {
    window_ = std::make_unique<TFrmMain>(TSheetComposer(badges_, layouts_));
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    thumbs_ = window_->findChild<QListWidget*>("ThumbView");
    picked_ = window_->findChild<QListWidget*>("YourBadges");
    preview_ = window_->findChild<TSheetView*>("Image2");
    ASSERT_TRUE(thumbs_ && picked_ && preview_);
  }
  static void Click(QListWidget* list, int row) {
    list->doItemsLayout();
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  }
  QSize SheetSize() const { return preview_->Sheet().size(); }
  // The grey level of the badge standing in column `col`, row `row` of the preview sheet.
  int BadgeGrey(int col, int row) const {
    return qRed(preview_->Sheet().pixel(col * 51 + 14 + 20, row * 50 + 8 + 20));
  }
  template <typename T>
  T* Find(const char* name) const {
    return window_->findChild<T*>(name);
  }

  testing::TempFolder folder_;
  std::string badges_, layouts_;
  QStringList errors_;
  std::unique_ptr<TFrmMain> window_;
  QListWidget* thumbs_ = nullptr;
  QListWidget* picked_ = nullptr;
  TSheetView* preview_ = nullptr;
};

TEST_F(FrmMainTest, StartsWithCatalogueNoneBackgroundAndFiveBadgesPerRow) {
  Open();
  EXPECT_EQ(thumbs_->count(), 3);
  EXPECT_EQ(picked_->count(), 0);
  EXPECT_EQ(thumbs_->iconSize(), QSize(47, 47));
  EXPECT_EQ(thumbs_->gridSize(), QSize(80, 85));
  EXPECT_TRUE(thumbs_->item(0)->text().isEmpty());  // thumbnails only
  EXPECT_EQ(Find<QComboBox>("BackgroundList")->currentText(), "None");
  EXPECT_EQ(Find<QComboBox>("BackgroundList")->count(), 2);
  EXPECT_EQ(Find<QComboBox>("ResizeFilter")->currentText(), "FILTER_BOX");
  EXPECT_EQ(Find<TCrossEdit>("BPR")->text(), "5");
  EXPECT_FALSE(Find<QCheckBox>("HalfSizeCheck")->isChecked());
  EXPECT_EQ(Find<QPushButton>("FullCreditsButton")->y(), 21);
  EXPECT_EQ(SheetSize(), QSize(75, 60));
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Medalor Studio v1.2");
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(FrmMainTest, PickingAndRemovingBadgesByPosition) {
  Open();
  for (int i = 0; i < 3; ++i) Click(thumbs_, 1);
  ASSERT_EQ(picked_->count(), 3);
  EXPECT_EQ(SheetSize(), QSize(177, 60));
  for (int col = 0; col < 3; ++col) EXPECT_EQ(BadgeGrey(col, 0), 80);

  Click(thumbs_, 0);
  Click(thumbs_, 2);  // picked: b1 b1 b1 b0 b2
  Click(picked_, 3);
  EXPECT_EQ(window_->PendingDeleteIndex(), 3);
  EXPECT_EQ(picked_->count(), 5);  // removal waits for the timer
  QTRY_COMPARE(picked_->count(), 4);
  EXPECT_EQ(window_->PendingDeleteIndex(), -1);
  EXPECT_EQ(window_->PickedNames(), (std::vector<std::string>{"b1", "b1", "b1", "b2"}));
  EXPECT_EQ(BadgeGrey(3, 0), 120);

  // Two clicks before the timer fires: only the entry clicked last goes.
  Click(picked_, 0);
  Click(picked_, 3);
  QTRY_COMPARE(picked_->count(), 3);
  QTest::qWait(20);
  EXPECT_EQ(picked_->count(), 3);
  EXPECT_EQ(window_->PickedNames(), (std::vector<std::string>{"b1", "b1", "b1"}));
}

TEST_F(FrmMainTest, BadgesPerRowHalfSizeAndFilterRecompose) {
  Open();
  for (int i = 0; i < 7; ++i) Click(thumbs_, i % 3);
  EXPECT_EQ(SheetSize(), QSize(279, 110));
  EXPECT_EQ(BadgeGrey(1, 1), 40);  // badge 7 is b0

  TCrossEdit* bpr = Find<TCrossEdit>("BPR");
  bpr->setFocus();
  bpr->selectAll();
  QTest::keyClick(bpr, Qt::Key_Backspace);  // empty box: no limit
  EXPECT_EQ(SheetSize(), QSize(381, 60));
  QTest::keyClicks(bpr, "3");
  EXPECT_EQ(SheetSize(), QSize(177, 160));

  QCheckBox* half = Find<QCheckBox>("HalfSizeCheck");
  QTest::keyClick(bpr, Qt::Key_Backspace);
  QTest::keyClicks(bpr, "5");
  for (int i = 0; i < 2; ++i) delete picked_->takeItem(picked_->count() - 1);
  window_->RefreshPreview();
  ASSERT_EQ(SheetSize(), QSize(279, 60));
  QTest::mouseClick(half, Qt::LeftButton, {}, QPoint(5, half->height() / 2));
  EXPECT_TRUE(half->isChecked());
  EXPECT_EQ(SheetSize(), QSize(139, 30));
  EXPECT_EQ(QApplication::focusWidget(), nullptr);  // focus taken off
  QTest::mouseClick(half, Qt::LeftButton, {}, QPoint(5, half->height() / 2));
  EXPECT_EQ(SheetSize(), QSize(279, 60));

  // Another filter at full size shows the same picture.
  const QImage before = preview_->Sheet();
  Find<QComboBox>("ResizeFilter")->setCurrentIndex(5);
  EXPECT_EQ(preview_->Sheet(), before);
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(FrmMainTest, PreviewIsCentredAndCutOnBothSides) {
  Open();
  Find<QComboBox>("BackgroundList")->setCurrentIndex(1);  // Solid: an opaque sheet
  Click(thumbs_, 0);
  EXPECT_EQ(preview_->SheetOrigin(), QPoint((697 - 75) / 2, (225 - 60) / 2));

  Find<TCrossEdit>("BPR")->setText("0");
  for (int i = 0; i < 19; ++i) Click(thumbs_, i % 3);  // 20 badges in one row: 1044 wide
  ASSERT_EQ(SheetSize(), QSize(1044, 60));
  const QPoint origin = preview_->SheetOrigin();
  EXPECT_EQ(origin.x(), (697 - 1044) / 2);
  const QImage shown = window_->grab(preview_->geometry()).toImage();
  const QImage& sheet = preview_->Sheet();
  for (int x : {0, 100, 348, 696}) {
    const int y = 30;
    EXPECT_EQ(shown.pixel(x, origin.y() + y), sheet.pixel(x - origin.x(), y)) << x;
  }
}

TEST_F(FrmMainTest, SaveWritesTheSheetWhenTheDialogIsAnswered) {
  Open();
  Find<QComboBox>("BackgroundList")->setCurrentIndex(1);
  Click(thumbs_, 2);
  Click(thumbs_, 0);
  const std::string target = (folder_.Path() / "saved.png").string();
  QTimer::singleShot(0, [&] {
    auto* dialog = window_->findChild<QFileDialog*>("SavePictureDialog");
    ASSERT_NE(dialog, nullptr);
    dialog->selectFile(QString::fromStdString(target));
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog hides accept()
  });
  QTest::mouseClick(Find<QPushButton>("SaveButton"), Qt::LeftButton);
  const auto bytes = platform::ReadFileBytes(target);
  ASSERT_TRUE(bytes);
  const TPicture saved = DecodePng(*bytes, target);
  EXPECT_EQ(ToQImage(saved), preview_->Sheet());

  // Cancelling writes nothing.
  std::filesystem::remove(target);
  QTimer::singleShot(0, [&] { window_->findChild<QFileDialog*>("SavePictureDialog")->reject(); });
  QTest::mouseClick(Find<QPushButton>("SaveButton"), Qt::LeftButton);
  EXPECT_FALSE(platform::FileExists(target));
}

TEST_F(FrmMainTest, ResizingRedrawsTheCheckerboardAndRecentresSave) {
  Open();
  QLabel* back = Find<QLabel>("CheckBack");
  QPushButton* save = Find<QPushButton>("SaveButton");
  window_->resize(900, 700);
  QApplication::processEvents();
  EXPECT_EQ(back->size(), QSize(697 + 186, 225 + 38));
  EXPECT_EQ(back->pixmap().size(), back->size());
  EXPECT_EQ(save->x(), 900 / 2 - 89 / 2);
  EXPECT_EQ(save->y(), 608 + 38);
  // A preview area of 5 pixels or less keeps its old checkerboard.
  window_->resize(600, 662 - 225 + 4);
  QApplication::processEvents();
  EXPECT_EQ(back->height(), 4);
  EXPECT_EQ(back->pixmap().size(), QSize(883, 263));
  EXPECT_EQ(save->x(), 600 / 2 - 89 / 2);
}

TEST_F(FrmMainTest, AboutWindowShowsTheProductAndClosesWithOk) {
  Open();
  bool shown = false;
  QTimer::singleShot(0, [&] {
    TFrmAbout* about = window_->About();
    shown = about->isVisible();
    EXPECT_EQ(about->Heading()->text(), "Medalor Studio v1.2");
    QTest::mouseClick(about->findChild<QPushButton*>("Button1"), Qt::LeftButton);
  });
  QTest::mouseClick(Find<QPushButton>("FullCreditsButton"), Qt::LeftButton);
  EXPECT_TRUE(shown);
  EXPECT_FALSE(window_->About()->isVisible());
}

TEST_F(FrmMainTest, MissingNoneTemplateIsReportedAndLeavesTheCatalogueEmpty) {
  std::filesystem::remove(layouts_ + "/none.png");
  Open();
  ASSERT_EQ(errors_.size(), 1);
  EXPECT_TRUE(errors_[0].contains("none.png", Qt::CaseInsensitive)) << errors_[0].toStdString();
  EXPECT_EQ(thumbs_->count(), 0);
}

}  // namespace
}  // namespace medalor

namespace medalor {
namespace {

// Opens the window on the shipped artwork, picks a few badges and saves what it looks like as
// medalor_window.png in the build folder, for a person to look at.
TEST(FrmMainArtworkTest, ShippedArtworkLoadsAndTheWindowCanBeGrabbed) {
  testing::App();
  const std::string bin = SETUPKIT_BIN_DIR;
  ASSERT_TRUE(platform::DirectoryExists(bin + "/Badges")) << "the artwork is not copied";
  TFrmMain window(TSheetComposer(bin + "/Badges", bin + "/BadgeLayout"));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto* thumbs = window.findChild<QListWidget*>("ThumbView");
  ASSERT_GE(thumbs->count(), 24);
  auto* backgrounds = window.findChild<QComboBox*>("BackgroundList");
  ASSERT_GE(backgrounds->count(), 4);
  backgrounds->setCurrentIndex(backgrounds->findText("Walnut"));
  for (int i : {0, 7, 13, 17, 21, 24, 25, 3, 9, 14}) {
    const QRect rect = thumbs->visualItemRect(thumbs->item(i));
    QTest::mouseClick(thumbs->viewport(), Qt::LeftButton, {}, rect.center());
  }
  const QImage sheet = window.findChild<TSheetView*>("Image2")->Sheet();
  EXPECT_EQ(sheet.size(), QSize(279, 110));
  EXPECT_EQ(qAlpha(sheet.pixel(2, 2)), 255);  // an opaque template
  const QImage shot = window.grab().toImage();
  EXPECT_EQ(shot.size(), window.size());
  EXPECT_TRUE(shot.save(QString::fromStdString(bin + "/../medalor_window.png")));

  QTimer::singleShot(0, [&] {
    TFrmAbout* about = window.About();
    EXPECT_EQ(about->size(), QSize(306, 334));
    EXPECT_TRUE(about->grab().save(QString::fromStdString(bin + "/../medalor_about.png")));
    about->Button1Click();
  });
  window.FullCreditsButtonClick();
}

}  // namespace
}  // namespace medalor
