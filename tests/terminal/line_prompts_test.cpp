// The dumb terminal's numbered choices: what is offered under a page and a message box, and
// which choice a typed line names.
#include "setup/views/terminal/line_prompts.h"

#include <gtest/gtest.h>

#include <ostream>

#include "platform/message_box.h"
#include "setup/views/terminal/message_dialog.h"

namespace setup_terminal {
namespace {

const std::vector<std::u32string> kPageCaptions = {U"Next >", U"< Back", U"Cancel", U"Czech",
                                                   U"Folder..."};

struct AnswerCase {
  std::string typed;
  std::optional<size_t> choice;
};

void PrintTo(const AnswerCase& c, std::ostream* os) { *os << '"' << c.typed << '"'; }

class ParseChoiceTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(ParseChoiceTest, NamesTheChoice) {
  EXPECT_EQ(ParseChoice(GetParam().typed, kPageCaptions, 0), GetParam().choice);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseChoiceTest,
    ::testing::Values(AnswerCase{"", 0}, AnswerCase{"   ", 0}, AnswerCase{"1", 0},
                      AnswerCase{"3", 2}, AnswerCase{" 5 ", 4}, AnswerCase{"0", std::nullopt},
                      AnswerCase{"6", std::nullopt}, AnswerCase{"99999999999", std::nullopt},
                      // Words: a caption's start, without its arrows, in any case.
                      AnswerCase{"next", 0}, AnswerCase{"N", 0}, AnswerCase{"back", 1},
                      AnswerCase{"CANCEL", 2}, AnswerCase{"cz", 3}, AnswerCase{"folder", 4},
                      // "c" starts Cancel and Czech: no guess.
                      AnswerCase{"c", std::nullopt}, AnswerCase{"x", std::nullopt},
                      AnswerCase{"-1", std::nullopt}));

TEST(LinePromptsTest, FormatsChoicesInOneLine) {
  EXPECT_EQ(FormatChoices({U"Next >", U"Cancel"}), "1) Next >  2) Cancel");
  EXPECT_EQ(FormatChoices({U"\u010cesky", U"a\rb"}),
            "1) \xc4\x8c"
            "esky  2) a b");
  EXPECT_TRUE(HoldsEscape("\x1b"));
  EXPECT_FALSE(HoldsEscape("n"));
}

TEST(LinePromptsTest, WholeCaptionWinsOverLongerOnes) {
  EXPECT_EQ(ParseChoice("no", {U"Yes", U"No", U"Normal"}, 0), 1u);
  EXPECT_EQ(ParseChoice("n", {U"Yes", U"No", U"Normal"}, 0), std::nullopt);
  EXPECT_EQ(ParseChoice("", {U"Yes"}, 3), std::nullopt);  // no default to take
}

// The choices under each kind of page, by the session's button state.
struct PageCase {
  const char* name;
  setup_session::ButtonState buttons;
  std::vector<ItemKind> items;
  std::vector<LineAction> actions;
};

setup_session::ButtonState Buttons(bool back, bool next_visible, bool next_enabled,
                                   bool cancel_enabled, bool language) {
  setup_session::ButtonState b;
  b.back_visible = back;
  b.next_visible = next_visible;
  b.next_enabled = next_enabled;
  b.cancel_enabled = cancel_enabled;
  b.language_visible = language;
  b.next_caption = u"Next >";
  b.back_caption = u"< Back";
  b.cancel_caption = u"Cancel";
  b.language_caption = u"English";
  return b;
}

void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }

class PageChoicesTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(PageChoicesTest, OffersWhatThePageAllows) {
  std::vector<PageItem> items;
  for (ItemKind kind : GetParam().items) {
    PageItem item;
    item.kind = kind;
    item.text = U"x";
    items.push_back(item);
  }
  std::vector<LineAction> actions;
  for (const LineChoice& choice : PageChoices(items, GetParam().buttons)) {
    actions.push_back(choice.action);
  }
  EXPECT_EQ(actions, GetParam().actions);
}

using A = LineAction;
INSTANTIATE_TEST_SUITE_P(
    Pages, PageChoicesTest,
    ::testing::Values(
        PageCase{"welcome",
                 Buttons(false, true, true, true, true),
                 {ItemKind::kText},
                 {A::kNext, A::kClose, A::kLanguage}},
        PageCase{"folder",
                 Buttons(true, true, true, true, false),
                 {ItemKind::kText, ItemKind::kField},
                 {A::kNext, A::kBack, A::kClose, A::kFolder}},
        // An unusable folder disables Next: no default, the folder can still be changed.
        PageCase{"bad folder",
                 Buttons(true, true, false, true, false),
                 {ItemKind::kField},
                 {A::kBack, A::kClose, A::kFolder}},
        PageCase{"language",
                 Buttons(true, true, true, true, false),
                 {ItemKind::kRadio, ItemKind::kRadio},
                 {A::kNext, A::kBack, A::kClose, A::kRadio, A::kRadio}},
        // The run's page offers nothing; the Finish page only its Finish.
        PageCase{"run", Buttons(false, true, false, false, false), {ItemKind::kGauge}, {}},
        PageCase{"finish", Buttons(false, false, true, true, false), {}, {A::kClose}}),
    [](const ::testing::TestParamInfo<PageCase>& info) {
      std::string name = info.param.name;
      for (char& c : name) {
        if (c == ' ') c = '_';
      }
      return name;
    });

TEST(MessageDialogTest, ButtonsAndEscapeByFlags) {
  struct Case {
    uint32_t flags;
    std::vector<int> answers;
    int escape;
  };
  const Case cases[] = {
      {platform::kMbOk | platform::kMbIconError, {platform::kIdOk}, platform::kIdOk},
      {platform::kMbOkCancel, {platform::kIdOk, platform::kIdCancel}, platform::kIdCancel},
      {platform::kMbYesNo | platform::kMbIconQuestion,
       {platform::kIdYes, platform::kIdNo},
       platform::kIdNo},
      {platform::kMbYesNoCancel,
       {platform::kIdYes, platform::kIdNo, platform::kIdCancel},
       platform::kIdCancel},
      {platform::kMbRetryCancel, {platform::kIdRetry, platform::kIdCancel}, platform::kIdCancel},
  };
  for (const Case& c : cases) {
    std::vector<int> answers;
    for (const DialogButton& button : DialogButtons(c.flags)) answers.push_back(button.answer);
    EXPECT_EQ(answers, c.answers) << c.flags;
    EXPECT_EQ(EscapeAnswer(c.flags), c.escape) << c.flags;
  }
  const std::vector<DialogButton> yes_no = DialogButtons(platform::kMbYesNo);
  EXPECT_EQ(ButtonForLetter(yes_no, U'Y'), 0);
  EXPECT_EQ(ButtonForLetter(yes_no, U'n'), 1);
  EXPECT_EQ(ButtonForLetter(yes_no, U'c'), -1);
}

TEST(MessageDialogTest, BoxFitsTheScreenAndCentres) {
  const std::u32string long_text(400, U'w');
  for (auto [columns, rows] : {std::pair{80, 24}, std::pair{40, 12}, std::pair{200, 60}}) {
    const DialogBox box = ComposeDialog(U"Quit", long_text + U" end",
                                        DialogButtons(platform::kMbYesNo), 1, columns, rows, true);
    ASSERT_FALSE(box.lines.empty());
    const int width = box.lines[0].Width();
    for (const ScreenLine& line : box.lines) EXPECT_EQ(line.Width(), width);
    EXPECT_LE(box.left + width, columns);
    EXPECT_LE(box.top + static_cast<int>(box.lines.size()), rows);
    EXPECT_NE(PlainLine(box.lines[0]).find("Quit"), std::string::npos);
    EXPECT_NE(PlainLine(box.lines[box.lines.size() - 2]).find("[ Yes ]  [ No ]"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace setup_terminal
