#include "medalor/ui/frm_about.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <algorithm>

namespace medalor {
namespace {

QLabel* AddLabel(QWidget* parent, const QString& text, int x, int y, int width, bool bold) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  label->setFixedWidth(width);
  QFont font = label->font();
  font.setPixelSize(11);
  font.setBold(bold);
  label->setFont(font);
  // A wrapped label is as high as its text needs at the given width.
  label->setFixedHeight(std::max(label->heightForWidth(width), label->sizeHint().height()));
  label->move(x, y);
  return label;
}

// A "Website" label: it shows where the site is, and clicking it does nothing.
void AddWebsite(QWidget* parent, const QString& address, int x, int y) {
  QLabel* label = AddLabel(parent, QStringLiteral("Website"), x, y, 60, false);
  label->setObjectName(QStringLiteral("Website"));
  label->setCursor(Qt::PointingHandCursor);
  label->setToolTip(address);
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText, QColor(0, 0, 0xCC));
  label->setPalette(p);
}

}  // namespace

TFrmAbout::TFrmAbout(QWidget* parent) : QDialog(parent, Qt::Tool) {
  setObjectName(QStringLiteral("FrmAbout"));
  setWindowTitle(QStringLiteral(" "));
  setFixedSize(306, 334);

  auto* band = new QWidget(this);
  band->setGeometry(0, 0, 306, 49);
  band->setAutoFillBackground(true);
  QPalette white = band->palette();
  white.setColor(QPalette::Window, Qt::white);
  band->setPalette(white);
  auto* icon = new QLabel(band);
  icon->setGeometry(8, 8, 32, 32);
  icon->setPixmap(QPixmap(QStringLiteral(":/medalor/about_icon.png")));
  label1_ = new QLabel(QStringLiteral("About"), band);
  label1_->setObjectName(QStringLiteral("Label1"));
  QFont heading = label1_->font();
  heading.setPixelSize(16);
  heading.setBold(true);
  label1_->setFont(heading);
  label1_->setGeometry(52, 14, 240, 22);

  int y = 58;
  const auto section = [&](const QString& title, const QString& body) {
    AddLabel(this, title, 12, y, 282, true);
    y += 15;
    QLabel* text = AddLabel(this, body, 20, y, 274, false);
    y += text->height() + 4;
  };
  section(QStringLiteral("Program"),
          QStringLiteral("Medalor Studio v1.2, the badge-sheet editor that the setupkit sample "
                         "installer installs."));
  AddWebsite(this, QStringLiteral("The setupkit project page"), 20, y);
  y += 20;
  section(QStringLiteral("Badge pictures"),
          QStringLiteral("Badges, frames, banner and icon are drawn from geometry by the "
                         "medalor-artwork program."));
  section(QStringLiteral("Built with"), QStringLiteral("Qt 6 Widgets (LGPL 3) and libpng."));
  section(QStringLiteral("FreeImage"),
          QStringLiteral("This software uses the FreeImage open source image library. See "
                         "http://freeimage.sourceforge.net for details."));
  QLabel* licence =
      AddLabel(this, QStringLiteral("Used under the FreeImage Public License Version 1.0"), 20, y,
               274, false);
  y += licence->height() + 2;
  AddWebsite(this, QStringLiteral("http://freeimage.sourceforge.net"), 20, y);

  auto* button1 = new QPushButton(QStringLiteral("Ok"), this);
  button1->setObjectName(QStringLiteral("Button1"));
  button1->setGeometry(120, 304, 75, 25);
  connect(button1, &QPushButton::clicked, this, &TFrmAbout::Button1Click);
}

void TFrmAbout::Button1Click() { accept(); }

}  // namespace medalor
