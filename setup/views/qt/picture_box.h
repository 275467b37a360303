// The picture box of the layouts (type word timage): shows one picture, optionally stretched to
// the control, centred, or with a transparent colour (a bitmap's bottom-left pixel colour).
#pragma once

#include <QImage>
#include <QWidget>
#include <string>

namespace setup_wizard {

class TPictureBox : public QWidget {
  Q_OBJECT
 public:
  explicit TPictureBox(QWidget* parent = nullptr);

  const QImage& Picture() const { return picture_; }
  bool HasPicture() const { return !picture_.isNull(); }
  void SetPicture(const QImage& picture);
  // The metafile the picture was drawn from: a stretched box draws it again at its own size.
  void SetMetafile(const std::string& bytes);
  // What the box shows for its current size and keys, before `transparent` applies.
  QImage ShownPicture() const;
  void SetStretch(bool value);
  void SetCenter(bool value);
  void SetTransparent(bool value);
  bool Stretch() const { return stretch_; }
  bool Center() const { return center_; }
  bool Transparent() const { return transparent_; }
  // Replaces the picture by one of the control's size filled with copies of it, left to right
  // and top to bottom from the top-left corner; the last column and row are cut at the edge.
  void Tile();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
  std::string metafile_;
  mutable QImage drawn_metafile_;  // the metafile drawn at the last stretched size
  bool stretch_ = false;
  bool center_ = false;
  bool transparent_ = false;
};

}  // namespace setup_wizard
