#include "setup/core/compiled_lines.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "setup/core/command_class.h"

namespace {

TCompLine MakeLine(int32_t id, int32_t index, std::vector<std::string> arguments) {
  TCompLine line;
  line.CommandID = id;
  line.LineIndex = index;
  line.SetArguments(std::move(arguments));
  return line;
}

// file "$INSTDIR" group 1, an emptied definition line, a label, goto start.
TCompLines SmallScript() {
  TCompLines lines;
  lines.Add(MakeLine(7, 0, {"$INSTDIR", "1"}));
  lines.Add(TCompLine::Empty());
  lines.Add(MakeLine(0, -1, {"start"}));
  lines.Add(MakeLine(1, 3, {"2"}));
  return lines;
}

TEST(CompiledLinesTest, SmallScriptHasExactStoredBytes) {
  const std::optional<std::string> bytes = SmallScript().Encode();
  ASSERT_TRUE(bytes.has_value());
  const std::string expected(
      "\x04\x00"
      "\x07\x00\x00\x00"
      "\x00\x00\x00\x00"
      "\x02\x00\x00\x00"
      "\x08\x00"
      "$INSTDIR"
      "\x01\x00"
      "1"
      "\xFF\xFF\xFF\xFF"
      "\xFF\xFF\xFF\xFF"
      "\x00\x00\x00\x00"
      "\x00\x00\x00\x00"
      "\xFF\xFF\xFF\xFF"
      "\x01\x00\x00\x00"
      "\x05\x00"
      "start"
      "\x01\x00\x00\x00"
      "\x03\x00\x00\x00"
      "\x01\x00\x00\x00"
      "\x01\x00"
      "2",
      2 + 12 + 10 + 3 + 12 + 12 + 7 + 12 + 3);
  EXPECT_EQ(*bytes, expected);

  TCompLines read;
  read.LoadFromBuffer(bytes->data(), bytes->size());
  EXPECT_EQ(read, SmallScript());
  EXPECT_EQ(read[0].Arg(1), "1");
  EXPECT_EQ(read[0].Arg(2), "");
}

TEST(CompiledLinesTest, OneEmptyLineIsFourteenBytesAndLoadingReplaces) {
  TCompLines one;
  one.Add(TCompLine::Empty());
  const std::string bytes = one.Encode().value();
  EXPECT_EQ(bytes.size(), kLineCountSize + kLineHeaderSize);

  TCompLines lines = SmallScript();
  lines.LoadFromBuffer(bytes.data(), bytes.size());
  ASSERT_EQ(lines.Count(), 1);
  EXPECT_EQ(lines[0].CommandID, -1);
  EXPECT_EQ(lines[0].LineIndex, -1);
  EXPECT_EQ(lines[0].ArgCount, 0);
  lines.LoadFromBuffer(nullptr, 0);
  EXPECT_EQ(lines.Count(), 0);
}

TEST(CompiledLinesTest, TruncatedDataLoadsWhatIsThereWithCountsMatchingArguments) {
  const std::string bytes = SmallScript().Encode().value();
  for (size_t length = 0; length < bytes.size(); ++length) {
    TCompLines lines;
    lines.LoadFromBuffer(bytes.data(), length);
    EXPECT_EQ(lines.Count(), length < 2 ? (length == 1 ? 4 : 0) : 4) << length;
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

TEST(CompiledLinesTest, ClaimedArgumentCountBeyondTheDataAllocatesNothingLarge) {
  std::string bytes(
      "\x01\x00"
      "\x07\x00\x00\x00"
      "\x00\x00\x00\x00"
      "\xFF\xFF\xFF\x7F"
      "\x01\x00"
      "a",
      2 + 12 + 3);
  TCompLines lines;
  lines.LoadFromBuffer(bytes.data(), bytes.size());
  ASSERT_EQ(lines.Count(), 1);
  EXPECT_LE(lines[0].ArgCount, 2);
  EXPECT_EQ(lines[0].Arg(0), "a");
  // A negative count means no arguments.
  bytes[10] = bytes[11] = bytes[12] = bytes[13] = '\xFF';
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

class NamedCommand : public TCommandClass {
 public:
  NamedCommand(std::string name, uint8_t kind) : TCommandClass(std::move(name)), kind_(kind) {}
  uint8_t GroupKind() const override { return kind_; }
  void SFXProcess(TCompLine& line, int line_index) override {
    line.SetArguments({"ran " + std::to_string(line_index)});
  }

 private:
  uint8_t kind_;
};

TEST(CommandListTest, IdsFollowRegistrationAndNamesMatchIgnoringCase) {
  TCommandList list;
  EXPECT_EQ(list.Register(std::make_unique<NamedCommand>("goto", kGroupKindNone)), 0);
  EXPECT_EQ(list.Register(std::make_unique<TCommandClass>("name", 1)), 1);
  EXPECT_EQ(list.Register(std::make_unique<NamedCommand>("file", kGroupKindFiles)), 2);
  EXPECT_EQ(list.IdOf("FILE"), 3);
  EXPECT_EQ(list.IdOf("Name"), 2);
  EXPECT_EQ(list.IdOf("nothing"), 0);
  EXPECT_EQ(list.FindByName("GoTo"), list.ById(1));
  EXPECT_EQ(list.ById(0), nullptr);
  EXPECT_EQ(list.ById(-1), nullptr);
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
