#include "medalor/command_line.h"

#include <gtest/gtest.h>

#include <sstream>

#include "medalor/drawing.h"
#include "medalor/test_pictures.h"
#include "platform/files.h"

namespace medalor {
namespace {

class SheetCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    badges_ = folder_.Sub("Badges");
    layouts_ = folder_.Sub("BadgeLayout");
    testing::WritePicture(badges_ + "/Gold.png", TPicture(47, 47, TRgba{250, 200, 0, 255}));
    testing::WritePicture(badges_ + "/ruby.png", TPicture(47, 47, TRgba{200, 0, 40, 128}));
    testing::WritePicture(layouts_ + "/none.png", TPicture(273, 57, TRgba{255, 255, 255, 0}));
    testing::WritePicture(layouts_ + "/Wood.png", testing::Gradient(273, 57));
    out_ = (folder_.Path() / "out.png").string();
  }
  int Run(std::vector<std::string> args) {
    TSheetComposer composer(badges_, layouts_);
    out_text_.str("");
    err_text_.str("");
    return RunSheetCommand(args, composer, out_text_, err_text_);
  }

  testing::TempFolder folder_;
  std::string badges_, layouts_, out_;
  std::ostringstream out_text_, err_text_;
};

TEST_F(SheetCommandTest, WritesTheSameSheetAsTheSavePath) {
  ASSERT_EQ(Run({"--sheet", out_, "--badges", "gold, RUBY,gold", "--per-row", "2", "--background",
                 "wood", "--half-size", "--filter", "FILTER_BILINEAR"}),
            kExitOk)
      << err_text_.str();
  TSheetComposer reference(badges_, layouts_);
  reference.LoadBadgeImages();
  reference.SelectBackground("Wood");
  const TPicture expected = reference.RenderSheet({"Gold", "ruby", "Gold"}, 2, true, 2);
  const auto bytes = platform::ReadFileBytes(out_);
  ASSERT_TRUE(bytes);
  const TPicture written = DecodePng(*bytes, out_);
  EXPECT_EQ(written.Width(), 63);  // 126 / 2
  EXPECT_EQ(written.Pixels(), expected.Pixels());
  EXPECT_NE(out_text_.str().find("63 x 55"), std::string::npos) << out_text_.str();

  // Without --badges every badge of the catalogue is used.
  ASSERT_EQ(Run({"--sheet", out_}), kExitOk);
  EXPECT_NE(out_text_.str().find("of 2 badges"), std::string::npos) << out_text_.str();
}

TEST_F(SheetCommandTest, MissingBadgeBackgroundOrBadArgumentsExitWithTwo) {
  EXPECT_EQ(Run({"--sheet", out_, "--badges", "gold,silver"}), kExitFailed);
  EXPECT_NE(err_text_.str().find("no badge named \"silver\""), std::string::npos);
  EXPECT_EQ(Run({"--sheet", out_, "--background", "Marble"}), kExitFailed);
  EXPECT_NE(err_text_.str().find("no background named \"Marble\""), std::string::npos);
  EXPECT_FALSE(platform::FileExists(out_));

  EXPECT_EQ(Run({"--sheet", out_, "--per-row", "two"}), kExitFailed);
  EXPECT_EQ(Run({"--sheet", out_, "--filter", "FILTER_NEAREST"}), kExitFailed);
  EXPECT_EQ(Run({"--sheet"}), kExitFailed);
  EXPECT_EQ(Run({"--badges", "gold"}), kExitFailed);
  EXPECT_EQ(Run({"--sheet", out_, "--colour", "red"}), kExitFailed);
  EXPECT_EQ(Run({"--sheet", (folder_.Path() / "missing" / "x.png").string()}), kExitFailed);
  EXPECT_NE(err_text_.str().find("Cannot create file"), std::string::npos);

  // A damaged badge picture is reported with the decoder's words, not a crash.
  testing::WriteBytes(badges_ + "/broken.png", "\x89PNG\r\n\x1a\n garbage");
  EXPECT_EQ(Run({"--sheet", out_}), kExitFailed);
  EXPECT_NE(err_text_.str().find("broken.png"), std::string::npos);
}

}  // namespace
}  // namespace medalor
