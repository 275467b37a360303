// Conversions between core pictures and Qt images, and the preview picture that shows a sheet
// centred at its own size over whatever lies beneath it.
#pragma once

#include <QImage>
#include <QWidget>

#include "medalor/picture.h"

namespace medalor {

QImage ToQImage(const TPicture& picture);

class TSheetView : public QWidget {
  Q_OBJECT

 public:
  explicit TSheetView(QWidget* parent = nullptr);
  void SetSheet(QImage sheet);
  const QImage& Sheet() const { return sheet_; }
  // Where the sheet's top-left corner stands in the widget: centred, negative when the sheet is
  // larger than the widget (it is then cut off on both sides).
  QPoint SheetOrigin() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage sheet_;
};

}  // namespace medalor
