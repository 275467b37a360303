#include "medalor/ui/cross_edit.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QLocale>
#include <QTest>
#include <QWidget>
#include <limits>

#include "medalor_ui/qt_app.h"

namespace medalor {
namespace {

// A window with an edit before and after the control, so focus moves can be seen.
class CrossEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::App();
    before_ = new QLineEdit(&window_);
    edit_ = new TCrossEdit(&window_);
    after_ = new QLineEdit(&window_);
    before_->setGeometry(0, 0, 50, 20);
    edit_->setGeometry(0, 30, 50, 20);
    after_->setGeometry(0, 60, 50, 20);
    // Configured as the editor's badges-per-row box.
    edit_->AutoFocus = false;
    edit_->SelectAllOnFocus = false;
    edit_->NoFocusAlignment = Qt::AlignLeft;
    edit_->setText("5");
    edit_->Loaded();
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    edit_->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(edit_->hasFocus());
  }

  QApplication& app_ = testing::App();  // first: widgets need it
  QWidget window_;
  QLineEdit* before_ = nullptr;
  TCrossEdit* edit_ = nullptr;
  QLineEdit* after_ = nullptr;
};

TEST_F(CrossEditTest, IntegerModeRefusesForeignCharactersAndMisplacedMinus) {
  edit_->setCursorPosition(1);
  QTest::keyClicks(edit_, "a.x");
  EXPECT_EQ(edit_->text(), "5");
  QTest::keyClick(edit_, '-');  // after the 5
  EXPECT_EQ(edit_->text(), "5");
  QTest::keyClick(edit_, Qt::Key_Home);
  QTest::keyClick(edit_, '-');
  EXPECT_EQ(edit_->text(), "-5");
  QTest::keyClick(edit_, Qt::Key_Home);
  QTest::keyClick(edit_, '-');  // a second minus
  EXPECT_EQ(edit_->text(), "-5");
  // With a selection the text is cleared first, so the minus starts a new number.
  edit_->selectAll();
  QTest::keyClick(edit_, '-');
  EXPECT_EQ(edit_->text(), "-");
  QTest::keyClicks(edit_, "12");
  EXPECT_EQ(edit_->text(), "-12");
  EXPECT_EQ(edit_->AsInteger(), -12);
}

TEST_F(CrossEditTest, PageKeysStepWithinTheLimits) {
  QTest::keyClick(edit_, Qt::Key_PageUp);
  EXPECT_EQ(edit_->text(), "6");
  QTest::keyClick(edit_, Qt::Key_PageDown);
  QTest::keyClick(edit_, Qt::Key_PageDown);
  EXPECT_EQ(edit_->text(), "4");
  edit_->setText("0");
  QTest::keyClick(edit_, Qt::Key_PageDown);  // 0 is not above Min
  EXPECT_EQ(edit_->text(), "0");
  edit_->setText("2147483647");
  QTest::keyClick(edit_, Qt::Key_PageUp);  // at Max: no step, and no overflow
  EXPECT_EQ(edit_->text(), "2147483647");
}

TEST_F(CrossEditTest, EnterAndArrowsMoveTheFocus) {
  QTest::keyClick(edit_, Qt::Key_Return);
  EXPECT_TRUE(after_->hasFocus());
  edit_->setFocus();
  QTest::keyClick(edit_, Qt::Key_Up);
  EXPECT_TRUE(before_->hasFocus());
  edit_->setFocus();
  QTest::keyClick(edit_, Qt::Key_Down);
  EXPECT_TRUE(after_->hasFocus());
  EXPECT_EQ(edit_->text(), "5");
}

TEST_F(CrossEditTest, LeavingWithMinusOrEmptyTextGivesAValidZero) {
  edit_->selectAll();
  QTest::keyClick(edit_, '-');
  ASSERT_EQ(edit_->text(), "-");
  after_->setFocus();
  EXPECT_EQ(edit_->text(), "0");
  EXPECT_FALSE(edit_->HasError());

  edit_->setFocus();
  QTest::keyClick(edit_, Qt::Key_End);
  QTest::keyClick(edit_, Qt::Key_Backspace);
  EXPECT_EQ(edit_->text(), "");  // typing does not reformat
  EXPECT_EQ(edit_->AsInteger(), 0);
  after_->setFocus();
  EXPECT_EQ(edit_->text(), "0");
  EXPECT_FALSE(edit_->HasError());
}

TEST_F(CrossEditTest, ColoursFollowFocusAndErrors) {
  edit_->FocusColor = Qt::yellow;
  edit_->NoFocusColor = Qt::gray;
  edit_->ErrorColor = Qt::red;
  edit_->LimitCheck = true;
  edit_->Max = 10;
  int limit_max = 0;
  // The counter lives as long as this test; so does the connection (the edit outlives it and
  // checks its limit again when its window loses focus).
  QObject counter_scope;
  QObject::connect(edit_, &TCrossEdit::LimitMax, &counter_scope, [&] { ++limit_max; });
  edit_->setFocus();
  EXPECT_EQ(edit_->CurrentColour(), QColor(Qt::yellow));
  QTest::keyClicks(edit_, "0");  // "50"
  after_->setFocus();
  EXPECT_TRUE(edit_->HasError());
  EXPECT_GE(limit_max, 1);
  EXPECT_EQ(edit_->CurrentColour(), QColor(Qt::red));
  EXPECT_EQ(edit_->palette().color(QPalette::Base), QColor(Qt::red));
  edit_->setFocus();  // entering clears the error flag
  EXPECT_FALSE(edit_->HasError());
  EXPECT_EQ(edit_->CurrentColour(), QColor(Qt::yellow));
}

TEST(CrossEditValueTest, ReadsAndWritesEveryKindWithoutOverflow) {
  testing::App();
  TCrossEdit edit;
  EXPECT_EQ(edit.width(), 36);
  EXPECT_EQ(edit.height(), 13);
  const struct {
    const char* text;
    int value;
  } integers[] = {{"", 0},
                  {"42", 42},
                  {"-42", -42},
                  {"12a", 12},
                  {"-5x", 5},
                  {"-", 0},
                  {"9999999999", std::numeric_limits<int>::max()},
                  {"-9999999999", std::numeric_limits<int>::min()},
                  {"99999999999999999999999", std::numeric_limits<int>::max()}};
  for (const auto& c : integers) {
    edit.setText(c.text);  // not loaded: no reformatting
    EXPECT_EQ(edit.AsInteger(), c.value) << c.text;
  }

  edit.SetEditType(TEditType::etHex);
  edit.setText("1F");
  EXPECT_EQ(edit.AsInteger(), 31);
  edit.SetValue(0x12345);
  EXPECT_EQ(edit.text(), "2345");  // four digits kept without a maximum length
  edit.setMaxLength(6);
  edit.SetValue(255);
  EXPECT_EQ(edit.text(), "0000FF");

  edit.setMaxLength(32767);
  edit.SetEditType(TEditType::etBinary);  // "0000FF" has characters a binary box refuses
  EXPECT_EQ(edit.text(), "00000000");
  edit.setText("1012");
  EXPECT_EQ(edit.AsInteger(), 5);  // reading stops at the 2
  edit.SetValue(6);
  EXPECT_EQ(edit.text(), "00000110");

  const QLocale previous;
  QLocale::setDefault(QLocale::c());  // a point separates decimals whatever the machine's locale
  edit.SetEditType(TEditType::etFloat);
  edit.setText("2.5");
  EXPECT_DOUBLE_EQ(edit.AsFloat(), 2.5);
  EXPECT_EQ(edit.AsInteger(), 2);
  edit.Validate();
  EXPECT_EQ(edit.text(), "2.50");
  QLocale::setDefault(previous);

  edit.SetEditType(TEditType::etString);
  edit.SetStringCharSet(TStringCharSet::scTime);
  EXPECT_TRUE(edit.IsAllowed(':'));
  EXPECT_FALSE(edit.IsAllowed('a'));
  edit.setText("anything");
  edit.Validate();
  EXPECT_EQ(edit.text(), "anything");
  EXPECT_EQ(edit.AsInteger(), 0);
}

TEST(CrossEditValueTest, ChangingTheKindTurnsAnyBadTextIntoAValidZero) {
  testing::App();
  TCrossEdit edit;
  // Empty text and a misplaced minus are bad for a number even though every character is allowed.
  const char* bad[] = {"", "5-", "-", "1-2"};
  for (const char* text : bad) {
    edit.setText(text);
    edit.SetEditType(TEditType::etInteger);
    EXPECT_EQ(edit.text(), "0") << text;
    EXPECT_FALSE(edit.HasError()) << text;
  }
  edit.setText("-12");
  edit.SetEditType(TEditType::etInteger);
  EXPECT_EQ(edit.text(), "-12");
  EXPECT_FALSE(edit.HasError());
}

TEST(CrossEditValueTest, FloatModeUsesTheLocalesDecimalSeparator) {
  testing::App();
  const QLocale previous;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  TCrossEdit edit;
  edit.SetEditType(TEditType::etFloat);
  EXPECT_TRUE(edit.IsAllowed(','));
  EXPECT_FALSE(edit.IsAllowed('.'));
  edit.setText("2,5");
  EXPECT_DOUBLE_EQ(edit.AsFloat(), 2.5);
  edit.Validate();
  EXPECT_FALSE(edit.HasError());
  EXPECT_EQ(edit.text(), "2,50");
  edit.setText("1234,5");
  edit.Validate();
  EXPECT_EQ(edit.text(), "1234,50");  // no group separator
  edit.setText("-0,25");
  EXPECT_DOUBLE_EQ(edit.AsFloat(), -0.25);
  edit.setText("2.5");  // a point is no separator here
  EXPECT_EQ(edit.AsFloat(), 0.0);
  QLocale::setDefault(previous);
}

}  // namespace
}  // namespace medalor
