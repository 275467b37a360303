#include "setup/views/qt/control_parser.h"

#include <QBuffer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>

#include "platform/files.h"
#include "setup/controls/grad_gauge.h"
#include "setup/controls/shell_tree_view.h"
#include "setup/core/setup_error.h"
#include "setup/text/sectioned_text.h"
#include "setup/views/qt/picture_box.h"
#include "setup/views/qt/picture_loader.h"
#include "wizard_fixture.h"

namespace setup_wizard {
namespace {

std::string Layout(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::string BmpBytes(int width, int height, QColor colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  image.setPixelColor(0, 0, Qt::black);  // a mark to find the copies by
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "BMP");
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

class ControlParserTest : public WizardFixture {
 protected:
  void Build(const std::string& entry, const std::string& text) { entries_[entry] = text; }
  TControlParser& Load(const std::string& entry) {
    if (!host_) host_ = std::make_unique<QWidget>();
    pages_.push_back(std::make_unique<TControlParser>(host_.get()));
    pages_.back()->LoadLayout(entry);
    return *pages_.back();
  }
  std::unique_ptr<QWidget> host_;
  std::vector<std::unique_ptr<TControlParser>> pages_;
};

TEST_F(ControlParserTest, EveryTypeWordCreatesItsControlAndUnknownOnesNothing) {
  Build("all.txt",
        Layout({"[L]", "Type=TLabel",       "[E]", "Type=tedit",  "[T]", "Type=TShellTreeView",
                "[B]", "Type=TButton",      "[I]", "Type=TImage", "[P]", "Type=TPanel",
                "[V]", "Type=TBevel",       "[M]", "Type=TMemo",  "[R]", "Type=TRichEdit",
                "[G]", "Type=TProgressBar", "[O]", "Type=TRadio", "[X]", "Type=TCheckBox",
                "[S]", ";Type=TLabel"}));
  OpenPackage();
  TControlParser& page = Load("ALL.TXT");  // entry names are matched without case
  ASSERT_EQ(page.Controls.size(), 12u);
  EXPECT_NE(qobject_cast<QLabel*>(page.Controls[0]), nullptr);
  EXPECT_NE(qobject_cast<QLineEdit*>(page.Controls[1]), nullptr);
  EXPECT_NE(qobject_cast<setup_controls::TSE_ShellTreeView*>(page.Controls[2]), nullptr);
  EXPECT_NE(qobject_cast<QPushButton*>(page.Controls[3]), nullptr);
  EXPECT_NE(qobject_cast<TPictureBox*>(page.Controls[4]), nullptr);
  EXPECT_EQ(page.Kinds[5], ControlKind::kPanel);
  EXPECT_EQ(page.Kinds[6], ControlKind::kBevel);
  EXPECT_NE(qobject_cast<QPlainTextEdit*>(page.Controls[7]), nullptr);
  EXPECT_NE(qobject_cast<QTextEdit*>(page.Controls[8]), nullptr);
  EXPECT_NE(qobject_cast<setup_controls::TGradGauge*>(page.Controls[9]), nullptr);
  EXPECT_NE(qobject_cast<QRadioButton*>(page.Controls[10]), nullptr);
  EXPECT_EQ(page.Kinds[11], ControlKind::kLabel);  // only the part after '=' counts
  EXPECT_EQ(page.Controls[11]->objectName(), "S");
  // Captions never set show the section name.
  EXPECT_EQ(static_cast<QLabel*>(page.Controls[0])->text(), "L");
  EXPECT_EQ(static_cast<QPushButton*>(page.Controls[3])->text(), "B");
}

TEST_F(ControlParserTest, KeysApplyInOrderWithoutCaseAndCaptionsGoThroughThePipeline) {
  AddStockLanguage("install\\english");
  SetupState::Instance().SetupInfo().SetupName = "Demo";
  Build("page.txt", Layout({"[Title]",
                            "Type=TLabel",
                            "Left=220",
                            "Top=$18",
                            "Width=300",
                            "Height=40",
                            "autosize=false",
                            "FontFace=Serif",
                            "Fontsize=14",
                            "fontbold=TRUE",
                            "fontcolour=$0000FF",
                            "Caption=<LANG1><br>next",
                            "Left =5",
                            "Enabled=false",
                            "[Folder]",
                            "Type=TEdit",
                            "text=<%SETUPTITLE%>",
                            "colour=$00FF00",
                            "border=false",
                            "[Notes]",
                            "Type=TMemo",
                            "text=a<br>b<BR>c <LANG1>"}));
  OpenPackage();
  TControlParser& page = Load("page.txt");
  auto* title = static_cast<QLabel*>(page.Controls[0]);
  EXPECT_EQ(title->geometry(), QRect(220, 24, 300, 40));  // "Left =5" is no key
  EXPECT_FALSE(title->isEnabled());
  EXPECT_EQ(title->font().pointSize(), 14);
  EXPECT_TRUE(title->font().bold());
  EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(title->text(), "Welcome to the Demo Setup\nnext");
  EXPECT_EQ(page.SourceTexts[0], u"<LANG1><br>next");
  auto* edit = static_cast<QLineEdit*>(page.Controls[1]);
  EXPECT_EQ(edit->text(), "Demo");
  EXPECT_FALSE(edit->hasFrame());
  EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(0, 255, 0));
  // A memo expands only line breaks.
  EXPECT_EQ(static_cast<QPlainTextEdit*>(page.Controls[2])->toPlainText(), "a\nb\nc <LANG1>");
}

TEST_F(ControlParserTest, BadNumbersAndNamesEndStartUp) {
  Build("number.txt", Layout({"[A]", "Type=TLabel", "Left=12px"}));
  Build("colour.txt", Layout({"[A]", "Type=TProgressBar", "forecolour=$GG0000"}));
  Build("name.txt", Layout({"[9lives]", "Type=TLabel"}));
  Build("one.txt", Layout({"[Same]", "Type=TLabel"}));
  Build("two.txt", Layout({"[SAME]", "Type=TEdit"}));
  OpenPackage();
  EXPECT_THROW(Load("number.txt"), SetupError);
  EXPECT_THROW(Load("colour.txt"), SetupError);
  EXPECT_THROW(Load("name.txt"), SetupError);
  Load("one.txt");
  EXPECT_THROW(Load("two.txt"), SetupError);  // all pages share one host
  EXPECT_EQ(ParseLayoutInteger("$FFFFFF"), 0xFFFFFF);
  EXPECT_EQ(ParseLayoutInteger("-12"), -12);
  EXPECT_THROW(ParseLayoutInteger(""), SetupError);
  EXPECT_THROW(ParseLayoutInteger("99999999999"), SetupError);
}

TEST_F(ControlParserTest, MissingLayoutShowsTheReadersMessage) {
  OpenPackage();
  TControlParser& page = Load("nothere.txt");
  EXPECT_TRUE(page.Controls.empty());
  ASSERT_EQ(presenter_->Messages().size(), 1u);
  EXPECT_EQ(presenter_->Messages()[0].text, "Error File Missing: |nothere.txt|");
  EXPECT_EQ(presenter_->Messages()[0].caption, "Missing File");
}

TEST_F(ControlParserTest, RadioButtonsOfAllPagesFormOneGroup) {
  Build("a.txt", Layout({"[R1]", "Type=TRadio", "checked=true"}));
  Build("b.txt", Layout({"[R2]", "Type=TRadio", "checked=true"}));
  OpenPackage();
  TControlParser& a = Load("a.txt");
  TControlParser& b = Load("b.txt");
  EXPECT_FALSE(static_cast<QRadioButton*>(a.Controls[0])->isChecked());
  EXPECT_TRUE(static_cast<QRadioButton*>(b.Controls[0])->isChecked());
}

TEST_F(ControlParserTest, PicturesLoadTileAndStayEmptyWhenMissing) {
  entries_["dot.bmp"] = BmpBytes(10, 8, Qt::green);
  entries_["side.jpg"] = setupkit_test::ReadBytes(std::filesystem::path(SETUPKIT_BIN_DIR) /
                                                  "layout" / "install" / "side.jpg");
  Build("pics.txt", Layout({"[Tiled]", "Type=TImage", "Width=25", "Height=20", "file=dot.bmp",
                            "tile=true", "[Early]", "Type=TImage", "Width=25", "Height=20",
                            "tile=true", "file=dot.bmp", "[Side]", "Type=TImage", "file=side.jpg",
                            "[Gone]", "Type=TImage", "file=missing.bmp"}));
  OpenPackage();
  TControlParser& page = Load("pics.txt");
  auto* tiled = static_cast<TPictureBox*>(page.Controls[0]);
  ASSERT_EQ(tiled->Picture().size(), QSize(25, 20));
  EXPECT_EQ(QColor(tiled->Picture().pixel(10, 8)), QColor(Qt::black));  // second copy's mark
  EXPECT_EQ(QColor(tiled->Picture().pixel(20, 16)), QColor(Qt::black));
  EXPECT_EQ(QColor(tiled->Picture().pixel(11, 9)), QColor(Qt::green));
  EXPECT_EQ(static_cast<TPictureBox*>(page.Controls[1])->Picture().size(), QSize(10, 8));
  EXPECT_EQ(static_cast<TPictureBox*>(page.Controls[2])->Picture().size(), QSize(176, 376));
  EXPECT_FALSE(static_cast<TPictureBox*>(page.Controls[3])->HasPicture());
  EXPECT_TRUE(presenter_->Messages().empty());
  // The temporary copies are gone again.
  EXPECT_FALSE(platform::FileExists(platform::GetTempPath() + "dot.bmp"));
  EXPECT_FALSE(platform::FileExists(platform::GetTempPath() + "side.jpg"));
}

TEST_F(ControlParserTest, DamagedPicturesLoadNothing) {
  EXPECT_TRUE(LoadPictureBytes("not a jpeg", "x.jpg").isNull());
  std::string jpeg = setupkit_test::ReadBytes(std::filesystem::path(SETUPKIT_BIN_DIR) / "layout" /
                                              "install" / "side.jpg");
  EXPECT_TRUE(LoadPictureBytes(jpeg.substr(0, 40), "x.jpg").isNull());
  EXPECT_TRUE(LoadPictureBytes(jpeg, "x.wmf").isNull());
  EXPECT_FALSE(LoadPictureBytes(BmpBytes(3, 3, Qt::red), "x.BMP").isNull());

  // A frame header that claims a huge picture is refused before anything is allocated; the
  // same picture with its own size loads.
  ASSERT_FALSE(LoadPictureBytes(jpeg, "x.jpg").isNull());
  const size_t frame = jpeg.find("\xFF\xC0");
  ASSERT_NE(frame, std::string::npos);
  for (const auto& [height, width] : {std::pair{"\x20\x00", "\x20\x00"},    // 8192 x 8192
                                      std::pair{"\x00\x10", "\x20\x01"}}) {  // 8193 wide
    std::string huge = jpeg;
    huge.replace(frame + 5, 2, height, 2);
    huge.replace(frame + 7, 2, width, 2);
    EXPECT_TRUE(LoadPictureBytes(huge, "x.jpg").isNull());
  }
}

TEST_F(ControlParserTest, ChangeLogsLoadAsRichOrPlainText) {
  SetupState::Instance().SetupInfo().Changelog = "Changes.rtf";
  entries_["Changes.rtf"] = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\b New\\b0  things\\par Fixed}";
  entries_["plain.txt"] = "line one\r\nline two";
  Build("log.txt",
        Layout({"[Rich]", "Type=TRichEdit", "file=<%CHANGELOG%>", "[Plain]", "Type=TRichEdit",
                "file=plain.txt", "[Lost]", "Type=TRichEdit", "file=gone.rtf"}));
  OpenPackage();
  TControlParser& page = Load("log.txt");
  auto* rich = static_cast<QTextEdit*>(page.Controls[0]);
  EXPECT_EQ(rich->toPlainText(), "New things\nFixed");
  QTextCursor cursor(rich->document());
  cursor.setPosition(1);
  EXPECT_EQ(cursor.charFormat().fontWeight(), QFont::Bold);
  EXPECT_EQ(static_cast<QTextEdit*>(page.Controls[1])->toPlainText(), "line one\nline two");
  ASSERT_EQ(presenter_->Messages().size(), 1u);
  EXPECT_EQ(presenter_->Messages()[0].text, "Error: File \"gone.rtf\" Missing");
  EXPECT_EQ(presenter_->Messages()[0].caption, "Rich Edit Error");
}

TEST_F(ControlParserTest, GaugeAndTreeKeys) {
  Build("keys.txt", Layout({"[G]", "Type=TProgressBar", "forecolour=$123456", "backcolour=$0000FF",
                            "fontcolour=$FFFFFF", "[T]", "Type=TShellTreeView", "selcolour=$FF0000",
                            "fontselcolour=$00FF00", "fontcolour=$0000FF"}));
  OpenPackage();
  TControlParser& page = Load("keys.txt");
  auto* gauge = static_cast<setup_controls::TGradGauge*>(page.Controls[0]);
  EXPECT_EQ(gauge->Color1(), 0x123456u);
  EXPECT_EQ(gauge->Color2(), 0x123456u);
  EXPECT_EQ(gauge->Backcolor(), 0x0000FFu);
  auto* tree = static_cast<setup_controls::TSE_ShellTreeView*>(page.Controls[1]);
  EXPECT_EQ(tree->CustomSelCol(), 0xFF0000u);
  EXPECT_EQ(tree->CustomSelFontCol(), 0x00FF00u);
  EXPECT_EQ(tree->CustomFontCol(), 0x0000FFu);
  EXPECT_EQ(tree->CustomOptions(), 7u);
}

TEST_F(ControlParserTest, RetranslateChangesCaptionsButNotEdits) {
  AddStockLanguage("install\\english");
  AddStockLanguage("install\\czech");
  Build("page.txt", Layout({"[Title]", "Type=TLabel", "Caption=<LANG14>", "[Choice]", "Type=TRadio",
                            "Caption=<LANG16>", "[Folder]", "Type=TEdit", "text=<LANG14>",
                            "[Plain]", "Type=TLabel"}));
  OpenPackage(0x0409);
  TControlParser& page = Load("page.txt");
  EXPECT_EQ(static_cast<QLabel*>(page.Controls[0])->text(), "Cancel");
  static_cast<QLineEdit*>(page.Controls[2])->setText("typed");
  Languages().ChooseForLanguageId(0x0405);
  page.Retranslate();
  EXPECT_EQ(static_cast<QLabel*>(page.Controls[0])->text(), "Storno");
  EXPECT_EQ(static_cast<QRadioButton*>(page.Controls[1])->text(), QString::fromUtf8("Dokončit"));
  EXPECT_EQ(static_cast<QLineEdit*>(page.Controls[2])->text(), "typed");
  EXPECT_EQ(static_cast<QLabel*>(page.Controls[3])->text(), "");  // never had a caption key
}

}  // namespace
}  // namespace setup_wizard
