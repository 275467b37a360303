// Windows metafile pictures: a small metafile made here (a red rectangle over the left half of
// a one-inch square) is drawn through libwmf, and its pixels are checked.
#include "setup/views/qt/metafile_picture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "common/qt_test_app.h"
#include "setup/views/qt/picture_box.h"
#include "setup/views/qt/picture_loader.h"

namespace setup_wizard {
namespace {

class MetafileWriter {
 public:
  void Word(uint16_t value) {
    bytes_ += static_cast<char>(value & 0xFF);
    bytes_ += static_cast<char>(value >> 8);
  }
  void Dword(uint32_t value) {
    Word(static_cast<uint16_t>(value & 0xFFFF));
    Word(static_cast<uint16_t>(value >> 16));
  }
  // One record: size in 16-bit words (6 bytes of size and function, then the parameters).
  void Record(uint16_t function, std::initializer_list<uint16_t> parameters) {
    Dword(static_cast<uint32_t>(3 + parameters.size()));
    Word(function);
    for (uint16_t p : parameters) Word(p);
  }
  std::string& Bytes() { return bytes_; }

 private:
  std::string bytes_;
};

// A placeable metafile: 100 x 100 units at 100 units per inch, a red solid brush, a null pen,
// and the rectangle (0, 0) - (50, 100).
std::string HalfRedSquare() {
  MetafileWriter records;
  records.Record(0x020B, {0, 0});                  // SETWINDOWORG y, x
  records.Record(0x020C, {100, 100});              // SETWINDOWEXT y, x
  records.Record(0x02FC, {0, 0x00FF, 0x0000, 0});  // CREATEBRUSHINDIRECT solid red
  records.Record(0x012D, {0});                     // SELECTOBJECT brush
  records.Record(0x02FA, {5, 0, 0, 0, 0});         // CREATEPENINDIRECT PS_NULL
  records.Record(0x012D, {1});                     // SELECTOBJECT pen
  records.Record(0x041B, {100, 50, 0, 0});         // RECTANGLE bottom, right, top, left
  records.Record(0x0000, {});                      // EOF
  const std::string body = records.Bytes();

  MetafileWriter file;
  const uint16_t placeable[] = {0xCDD7, 0x9AC6, 0, 0, 0, 100, 100, 100, 0, 0};
  uint16_t checksum = 0;
  for (uint16_t word : placeable) {
    file.Word(word);
    checksum ^= word;
  }
  file.Word(checksum);
  const uint32_t total_words = static_cast<uint32_t>((18 + body.size()) / 2);
  file.Word(1);       // memory metafile
  file.Word(9);       // header words
  file.Word(0x0300);  // version
  file.Dword(total_words);
  file.Word(2);   // objects
  file.Dword(8);  // largest record, in words
  file.Word(0);
  return file.Bytes() + body;
}

bool IsRed(QRgb pixel) { return qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60; }
bool IsWhite(QRgb pixel) { return qRed(pixel) > 240 && qGreen(pixel) > 240 && qBlue(pixel) > 240; }

TEST(MetafilePictureTest, DrawsTheRecordsAtTheSizeAsked) {
  const std::string wmf = HalfRedSquare();
  EXPECT_EQ(MetafileSize(wmf), QSize(96, 96));  // one inch at 96 dots per inch
  for (const QSize size : {QSize(40, 20), QSize(96, 96), QSize(7, 300)}) {
    const QImage image = RenderMetafile(wmf, size);
    ASSERT_EQ(image.size(), size);
    const int y = size.height() / 2;
    EXPECT_TRUE(IsRed(image.pixel(size.width() / 4, y))) << size.width();
    EXPECT_TRUE(IsWhite(image.pixel(size.width() * 7 / 8, y))) << size.width();
  }
}

TEST(MetafilePictureTest, DamagedOrForeignBytesDrawNothing) {
  const std::string wmf = HalfRedSquare();
  EXPECT_TRUE(RenderMetafile("", QSize(10, 10)).isNull());
  EXPECT_TRUE(RenderMetafile("not a metafile at all", QSize(10, 10)).isNull());
  EXPECT_TRUE(RenderMetafile(wmf, QSize(0, 10)).isNull());
  EXPECT_TRUE(RenderMetafile(wmf, QSize(100000, 10)).isNull());
  // Cut at every length: never a crash, and nothing before the records begin.
  for (size_t cut = 0; cut < wmf.size(); ++cut) {
    const QImage image = RenderMetafile(wmf.substr(0, cut), QSize(8, 8));
    if (cut < 40) {
      EXPECT_TRUE(image.isNull()) << cut;
    }
  }
}

TEST(MetafilePictureTest, LayoutPicturesDrawWmfAndLeaveEmfEmpty) {
  TestApp();
  const std::string wmf = HalfRedSquare();
  const QImage natural = LoadPictureBytes(wmf, "side.WMF");
  ASSERT_EQ(natural.size(), QSize(96, 96));
  EXPECT_TRUE(IsRed(natural.pixel(10, 48)));
  EXPECT_TRUE(LoadPictureBytes(wmf, "side.emf").isNull());

  // A stretched box draws the records again at its own size; an unstretched one shows the
  // picture at its own size.
  TPictureBox box;
  box.resize(60, 30);
  box.SetPicture(natural);
  box.SetMetafile(wmf);
  EXPECT_EQ(box.ShownPicture().size(), QSize(96, 96));
  box.SetStretch(true);
  const QImage shown = box.ShownPicture();
  ASSERT_EQ(shown.size(), QSize(60, 30));
  EXPECT_TRUE(IsRed(shown.pixel(10, 15)));
  EXPECT_TRUE(IsWhite(shown.pixel(55, 15)));
  EXPECT_FALSE(shown.hasAlphaChannel());  // `transparent` keys the white ground out
}

}  // namespace
}  // namespace setup_wizard
