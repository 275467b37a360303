#include "setup/core/compiled_lines.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "package_test_util.h"
#include "setup/core/command_class.h"

namespace {

using pak_test::Hex;

TCompLine MakeLine(int32_t id, int32_t index, std::vector<std::string> arguments) {
  TCompLine line;
  line.CommandID = id;
  line.LineIndex = index;
  line.SetArguments(std::move(arguments));
  return line;
}

// file "$INSTDIR" in group 1, an emptied definition line, a label, goto to the label line.
TCompLines SmallScript() {
  TCompLines lines;
  lines.Add(MakeLine(7, 0, {"$INSTDIR", "1"}));
  lines.Add(TCompLine::Empty());
  lines.Add(MakeLine(0, -1, {"start"}));
  lines.Add(MakeLine(1, 3, {"2"}));
  return lines;
}

TEST(CompiledLinesTest, SmallScriptHasExactStoredBytesAndLoadsBack) {
  const std::string bytes = SmallScript().Encode().value_or("");
  EXPECT_EQ(bytes, Hex("0400 07000000 00000000 02000000 0800") + "$INSTDIR" + Hex("0100") + "1" +
                       Hex("ffffffff ffffffff 00000000") + Hex("00000000 ffffffff 01000000 0500") +
                       "start" + Hex("01000000 03000000 01000000 0100") + "2");
  TCompLines read = SmallScript();  // loading replaces what was there
  read.Add(MakeLine(5, 4, {}));
  read.LoadFromBuffer(bytes.data(), bytes.size());
  EXPECT_EQ(read, SmallScript());
  EXPECT_EQ(read[0].Arg(2), "");

  TCompLines one;
  one.Add(TCompLine::Empty());
  EXPECT_EQ(one.Encode().value_or("").size(), 14u);
}

TEST(CompiledLinesTest, TruncatedDataLoadsWhatIsThereWithCountsMatchingArguments) {
  const std::string bytes = SmallScript().Encode().value_or("");
  for (size_t length = 0; length < bytes.size(); ++length) {
    TCompLines lines;
    lines.LoadFromBuffer(bytes.data(), length);
    EXPECT_EQ(lines.Count(), length == 0 ? 0 : 4) << length;
    for (const TCompLine& line : lines.Lines) {
      EXPECT_EQ(line.ArgCount, static_cast<int32_t>(line.Arguments.size()));
    }
  }
  // Cut inside "$INSTDIR": the argument is shortened, the next one and later lines are empty.
  TCompLines lines;
  lines.LoadFromBuffer(bytes.data(), 2 + 12 + 2 + 4);
  EXPECT_EQ(lines[0].Arg(0), "$INS");
  EXPECT_EQ(lines[0].Arg(1), "");
  EXPECT_EQ(lines[3].CommandID, 0);
}

TEST(CompiledLinesTest, ClaimedArgumentCountsAreCheckedAgainstTheData) {
  std::string bytes = Hex("0100 07000000 00000000 ffffff7f 0100") + "a";
  TCompLines lines;
  lines.LoadFromBuffer(bytes.data(), bytes.size());
  ASSERT_EQ(lines.Count(), 1);
  EXPECT_LE(lines[0].ArgCount, 2);  // not two billion empty strings
  EXPECT_EQ(lines[0].Arg(0), "a");
  bytes.replace(10, 4, Hex("ffffffff"));  // a negative count means no arguments
  lines.LoadFromBuffer(bytes.data(), bytes.size());
  EXPECT_EQ(lines[0].ArgCount, 0);
}

TEST(CompiledLinesTest, UnrepresentableScriptsAreNotEncoded) {
  TCompLines lines;
  lines.Add(MakeLine(15, 0, {std::string(70000, 'x')}));
  EXPECT_FALSE(lines.Encode().has_value());
  TCompLines many;
  many.Lines.resize(kMaxCompiledLines + 1);
  EXPECT_FALSE(many.Encode().has_value());
  many.Lines.resize(kMaxCompiledLines);
  EXPECT_TRUE(many.Encode().has_value());
}

class MarkingCommand : public TCommandClass {
 public:
  MarkingCommand(std::string name, uint8_t kind) : TCommandClass(std::move(name)), kind_(kind) {}
  uint8_t GroupKind() const override { return kind_; }
  void SFXProcess(TCompLine& line, int line_index) override {
    line.SetArguments({"ran " + std::to_string(line_index)});
  }

 private:
  uint8_t kind_;
};

TEST(CommandListTest, IdsFollowRegistrationAndNamesMatchIgnoringCase) {
  TCommandList list;
  EXPECT_EQ(list.Register(std::make_unique<MarkingCommand>("goto", kGroupKindNone)), 0);
  EXPECT_EQ(list.Register(std::make_unique<TCommandClass>("name", 1)), 1);
  EXPECT_EQ(list.Register(std::make_unique<MarkingCommand>("file", kGroupKindFiles)), 2);
  EXPECT_EQ(list.IdOf("FILE"), 3);
  EXPECT_EQ(list.IdOf("nothing"), 0);
  EXPECT_EQ(list.FindByName("GoTo"), list.ById(1));
  EXPECT_EQ(list.ById(0), nullptr);
  EXPECT_EQ(list.ById(4), nullptr);
  EXPECT_EQ(list.ById(3)->GroupKind(), kGroupKindFiles);
  EXPECT_EQ(list.ById(2)->DefinitionOnly(), 1);
  EXPECT_EQ(list.ById(2)->GroupKind(), kGroupKindNone);

  TCompLine line = MakeLine(3, 5, {"x"});
  EXPECT_TRUE(list.ById(2)->Compile(line, 5));
  list.ById(2)->SFXProcess(line, 5);  // the base does nothing
  EXPECT_EQ(line.Arg(0), "x");
  list.ById(line.CommandID)->SFXProcess(line, line.LineIndex);
  EXPECT_EQ(line.Arg(0), "ran 5");
}

}  // namespace
