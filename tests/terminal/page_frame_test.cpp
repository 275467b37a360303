// The terminal's screens of the stock install pages, laid out from a real session (no runner,
// no terminal): each fits the screen, shows its heading and the session's buttons; and the
// pieces a screen is made of (button row, focus order, gauge, the typed folder).
#include "setup/views/terminal/page_frame.h"

#include <gtest/gtest.h>

#include "common/package_fixture.h"
#include "common/scoped_env.h"
#include "setup/session/wizard_session.h"
#include "setup/views/terminal/folder_text.h"
#include "setup/views/terminal/text_layout.h"

namespace setup_terminal {
namespace {

using setup_session::ButtonState;
using setup_session::PageKind;
using setup_session::WizardSession;

class IdleRunner : public setup_session::RunnerLink {
 public:
  void RequestRun() override {}
  bool RunRequested() const override { return false; }
  void StopAndJoin() override {}
};

class StockPagesTest : public PackageFixture {
 protected:
  void SetUp() override {
    PackageFixture::SetUp();
    SetUpDemoProduct();
    AddStockLanguage("install\\english");
    AddStockLanguage("install\\czech");
    OpenPackage(0x0409);
    session_ = std::make_unique<WizardSession>(std::make_unique<IdleRunner>());
    session_->Start();
  }
  void TearDown() override {
    session_.reset();
    PackageFixture::TearDown();
  }
  FrameInput Input(int width, int height) {
    ViewTexts texts;
    texts.folder_field = FromUtf8(session_->FolderText());
    FrameInput input;
    input.width = width;
    input.height = height;
    input.title = FromUtf16(session_->Title());
    input.items = builder_.Build(*session_, texts);
    input.buttons = session_->Buttons();
    input.focus = FirstFocus(input.items, input.buttons);
    return input;
  }
  static std::string Screen(const Frame& frame) {
    std::string text;
    for (const ScreenLine& line : frame.lines) text += PlainLine(line) + "\n";
    return text;
  }

  std::unique_ptr<WizardSession> session_;
  PageItemBuilder builder_;
};

struct PageShown {
  PageKind kind;
  const char* heading;
  const char* buttons;  // the button row's right part
};

TEST_F(StockPagesTest, EveryPageFitsItsScreenWithHeadingAndButtons) {
  const PageShown pages[] = {
      {PageKind::Welcome, "Welcome to the Demo Product Setup", "[ Next > ]  [ Cancel ]"},
      {PageKind::Changelog, "What is new in Demo", "[ < Back ]  [ Next > ]  [ Cancel ]"},
      {PageKind::LanguageSelection, "(*) English", "[ < Back ]  [ Next > ]  [ Cancel ]"},
      {PageKind::InstallDir, "[C:\\Program Files\\Demo\\", "[ < Back ]  [ Next > ]  [ Cancel ]"},
      {PageKind::Patch, "Ready to Install", "[ < Back ]  [ Install ]  [ Cancel ]"},
  };
  for (const PageShown& page : pages) {
    ASSERT_EQ(*session_->CurrentKind(), page.kind);
    for (auto [width, height] : {std::pair{80, 24}, std::pair{132, 43}, std::pair{40, 12}}) {
      SCOPED_TRACE(std::string(setup_session::PageKindName(page.kind)) + " at " +
                   std::to_string(width) + "x" + std::to_string(height));
      const Frame frame = ComposeFrame(Input(width, height));
      ASSERT_EQ(frame.lines.size(), static_cast<size_t>(height));
      for (const ScreenLine& line : frame.lines) EXPECT_LE(line.Width(), width);
      const std::string screen = Screen(frame);
      EXPECT_EQ(screen.rfind(" Demo Product", 0), 0u) << screen;  // the title leads
      if (width >= 80) {
        EXPECT_NE(screen.find(page.heading), std::string::npos) << screen;
        EXPECT_NE(screen.find(page.buttons), std::string::npos) << screen;
      }
      // The folder page puts the cursor into its field.
      EXPECT_EQ(frame.cursor_row >= 0, page.kind == PageKind::InstallDir);
    }
    session_->Next();
  }
}

TEST_F(StockPagesTest, ChangeLogScrollsWithinItsRows) {
  entries_["Changes.txt"].clear();
  for (int i = 1; i <= 60; ++i) entries_["Changes.txt"] += "Change " + std::to_string(i) + "\r\n";
  OpenPackage(0x0409);
  session_ = std::make_unique<WizardSession>(std::make_unique<IdleRunner>());
  session_->Start();
  session_->Next();
  ASSERT_EQ(*session_->CurrentKind(), PageKind::Changelog);
  FrameInput input = Input(80, 24);
  Frame top = ComposeFrame(input);
  EXPECT_EQ(top.scroll_lines, 60);
  EXPECT_GE(top.scroll_rows, 3);
  EXPECT_NE(Screen(top).find("Change 1\n"), std::string::npos);
  EXPECT_NE(Screen(top).find("PgUp/PgDn"), std::string::npos);
  // Scrolled past the end, the last line shows at the box's foot.
  input.scroll = 1000;
  const std::string bottom = Screen(ComposeFrame(input));
  EXPECT_NE(bottom.find("Change 60\n"), std::string::npos) << bottom;
  EXPECT_EQ(bottom.find("Change 1\n"), std::string::npos);
}

TEST(PageFrameTest, ButtonRowDefaultAndFocusFollowTheButtonState) {
  ButtonState state;
  state.back_visible = true;
  state.back_caption = u"< Back";
  state.next_caption = u"Next >";
  state.cancel_caption = u"Cancel";
  state.language_caption = u"English";
  std::string row = PlainLine(ButtonRow(state, Focus{Target::kNext, {}}, 80, false));
  EXPECT_EQ(row.size(), 78u);  // right-aligned: a blank margin on both sides
  EXPECT_EQ(row.rfind(" [ English v ]", 0), 0u) << row;
  EXPECT_NE(row.find("[ < Back ]  [ Next > ]  [ Cancel ]"), std::string::npos) << row;
  EXPECT_EQ(DefaultButton(state), Target::kNext);

  std::vector<Target> order;
  for (const Focus& focus : FocusOrder({}, state)) order.push_back(focus.target);
  EXPECT_EQ(order, (std::vector<Target>{Target::kLanguage, Target::kBack, Target::kNext,
                                        Target::kCancel}));
  // The run's page: nothing to press, nothing to focus but Cancel's absence.
  state.back_visible = state.language_visible = state.next_enabled = state.cancel_enabled = false;
  EXPECT_EQ(DefaultButton(state), std::nullopt);
  EXPECT_TRUE(FocusOrder({}, state).empty());
  // The Finish page: Next hidden, Enter takes Finish.
  state.next_visible = false;
  state.cancel_enabled = true;
  state.cancel_caption = u"Finish";
  EXPECT_EQ(DefaultButton(state), Target::kCancel);
  row = PlainLine(ButtonRow(state, Focus{Target::kCancel, {}}, 80, true));
  EXPECT_EQ(row.find("Next"), std::string::npos);
  EXPECT_NE(row.find("[ Finish ]"), std::string::npos);
}

TEST(PageFrameTest, GaugeBarTakesItsWidth) {
  struct Case {
    int32_t position, maximum;
    const char* bar;
  };
  const Case cases[] = {{0, 4, "[....]   0%"},
                        {1, 4, "[#...]  25%"},
                        {4, 4, "[####] 100%"},
                        {9, 4, "[####] 100%"},
                        {-3, 4, "[....]   0%"},
                        {5, 0, "[....]   0%"},
                        {2147483647, 2147483647, "[####] 100%"}};
  for (const Case& c : cases) {
    EXPECT_EQ(ToUtf8(GaugeBar(c.position, c.maximum, 11, false)), c.bar)
        << c.position << "/" << c.maximum;
  }
}

TEST(FolderTextTest, TypedFoldersBecomeWindowsPaths) {
  setupkit_test::TempFolder root;
  setupkit_test::ScopedEnv setup_root("SETUP_ROOT", root.str());
  setupkit_test::ScopedEnv home("HOME", std::string("/home/someone"));
  struct Case {
    const char* typed;
    const char* windows;
  };
  const Case cases[] = {
      {"C:\\Games\\Tally", "C:\\Games\\Tally"},
      {"/opt/tally", "Z:\\opt\\tally"},
      {"/opt/a/../tally/", "Z:\\opt\\tally"},
      {"~/tally", "Z:\\home\\someone\\tally"},
      {"/opt/caf\xc3\xa9", "Z:\\opt\\caf\xe9"},  // UTF-8 typed, Windows-1252 held
      {"/opt/\xc4\x8d", ""},                     // no Windows-1252 spelling: refused
      {"C:\\\xc4\x8d", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(setup_session::WindowsFolderOf(c.typed), c.windows) << c.typed;
  }
  // The field hands a host path to the session as typed, which maps it and names a failure.
  EXPECT_EQ(SessionFolder("/opt/caf\xc3\xa9"), "/opt/caf\xe9");
  EXPECT_EQ(SessionFolder("/opt/a/../tally/"), "/opt/a/../tally/");
  EXPECT_EQ(SessionFolder("C:\\Games\\Tally"), "C:\\Games\\Tally");
  EXPECT_EQ(HostFolder("C:\\Games\\"), root.str() + "/drive_c/Games");
}

}  // namespace
}  // namespace setup_terminal
