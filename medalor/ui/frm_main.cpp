#include "medalor/ui/frm_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <utility>

#include "medalor/colours.h"
#include "medalor/drawing.h"
#include "medalor/half_size.h"
#include "medalor/ui/cross_edit.h"
#include "medalor/ui/frm_about.h"
#include "medalor/ui/sheet_view.h"

// Qt resources of a static library are registered by name, outside any namespace.
static void InitMedalorResources() { Q_INIT_RESOURCE(medalor_ui); }

namespace medalor {
namespace {

// The client size the positions of the control table belong to; anchored controls keep their
// distances to the sides they are anchored to when the window changes size.
constexpr int kDesignWidth = 714;
constexpr int kDesignHeight = 662;
constexpr int kCaptionRole = Qt::UserRole;
constexpr int kImageIndexRole = Qt::UserRole + 1;

std::function<void(const QString&)>& ErrorPresenter() {
  static std::function<void(const QString&)> presenter;
  return presenter;
}

uint32_t ToColourRef(const QColor& c) {
  return static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
         (static_cast<uint32_t>(c.blue()) << 16);
}

// System colours from the application palette.
uint32_t PaletteSysColor(int index) {
  const QPalette p = QApplication::palette();
  switch (index) {
    case kColorWindow:
      return ToColourRef(p.color(QPalette::Base));
    case kColorBtnFace:
      return ToColourRef(p.color(QPalette::Button));
    case kColorBtnShadow:
      return ToColourRef(p.color(QPalette::Dark));
    case kColorBtnHighlight:
      return ToColourRef(p.color(QPalette::Light));
    default:
      return ToColourRef(p.color(QPalette::WindowText));
  }
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int x, int y) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setObjectName(QString::fromLatin1(name));
  label->adjustSize();
  label->move(x, y);
  return label;
}

QListWidget* MakeIconList(QWidget* parent, const char* name, int y) {
  auto* list = new QListWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setGeometry(8, y, 697, 89);
  list->setViewMode(QListView::IconMode);
  list->setIconSize(QSize(kBadgeSize, kBadgeSize));
  list->setGridSize(QSize(80, 85));
  list->setMovement(QListView::Static);
  list->setResizeMode(QListView::Adjust);
  list->setFlow(QListView::LeftToRight);
  list->setWrapping(true);
  list->setUniformItemSizes(true);
  list->setSelectionMode(QAbstractItemView::NoSelection);
  list->setFrameShape(QFrame::Box);
  list->setFrameShadow(QFrame::Plain);
  list->setLineWidth(1);
  list->viewport()->setAttribute(Qt::WA_Hover, false);  // no hover highlight either
  return list;
}

}  // namespace

TFrmMain::TFrmMain(TSheetComposer composer, QWidget* parent)
    : QWidget(parent), composer_(std::move(composer)) {
  InitMedalorResources();
  SetSysColorProvider(PaletteSysColor);
  BuildControls();
  FormCreate();
  about_ = new TFrmAbout(this);
  about_->hide();
}

TFrmMain::~TFrmMain() = default;

void TFrmMain::SetErrorPresenter(std::function<void(const QString&)> presenter) {
  ErrorPresenter() = std::move(presenter);
}

void TFrmMain::ShowError(const QString& message) {
  if (ErrorPresenter()) {
    ErrorPresenter()(message);
    return;
  }
  QMessageBox::critical(this, QString::fromLatin1(kProductTitle), message);
}

void TFrmMain::BuildControls() {
  setObjectName(QStringLiteral("FrmMain"));
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(11);
  setFont(font);
  resize(kDesignWidth, kDesignHeight);
  if (QScreen* screen = QApplication::primaryScreen()) {
    const QRect desk = screen->availableGeometry();
    move(desk.center() - QPoint(kDesignWidth / 2, kDesignHeight / 2));
  }

  top_panel_ = new QWidget(this);
  top_panel_->setObjectName(QStringLiteral("TopPanel"));
  top_panel_->setGeometry(0, 0, kDesignWidth, 65);
  top_panel_->setAutoFillBackground(true);
  QPalette panel = top_panel_->palette();
  panel.setColor(QPalette::Window, panel.color(QPalette::Light));
  top_panel_->setPalette(panel);

  image1_ = new QLabel(top_panel_);
  image1_->setObjectName(QStringLiteral("Image1"));
  image1_->setGeometry(0, 0, 330, 65);
  image1_->setPixmap(QPixmap(QStringLiteral(":/medalor/banner.png")));

  full_credits_button_ = new QPushButton(QStringLiteral("Full Credits"), top_panel_);
  full_credits_button_->setObjectName(QStringLiteral("FullCreditsButton"));
  full_credits_button_->setGeometry(644, 24, 63, 22);

  label7_ = new QLabel(top_panel_);
  label7_->setObjectName(QStringLiteral("Label7"));
  label7_->setGeometry(64, 40, 585, 17);
  QFont terminal(QStringLiteral("Terminal"));
  terminal.setPixelSize(8);
  label7_->setFont(terminal);
  label7_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label7_->setContentsMargins(0, 0, 8, 0);
  label7_->setText(QStringLiteral("Built with Qt, libpng and FreeImage."));

  bevel1_ = new QFrame(this);
  bevel1_->setObjectName(QStringLiteral("Bevel1"));
  bevel1_->setFrameShape(QFrame::HLine);
  bevel1_->setFrameShadow(QFrame::Sunken);
  bevel1_->setGeometry(0, 65, kDesignWidth, 2);

  MakeLabel(this, "Label1", "Badge List", 8, 80);
  thumb_view_ = MakeIconList(this, "ThumbView", 96);
  MakeLabel(this, "Label2", "Your Badge's", 8, 192);
  your_badges_ = MakeIconList(this, "YourBadges", 208);

  MakeLabel(this, "Label3", "Background", 8, 312);
  background_list_ = new QComboBox(this);
  background_list_->setObjectName(QStringLiteral("BackgroundList"));
  background_list_->setEditable(true);
  background_list_->setInsertPolicy(QComboBox::NoInsert);
  background_list_->setGeometry(8, 328, 273, 21);

  MakeLabel(this, "Label5", "Badges per Row", 296, 312);
  bpr_ = new TCrossEdit(this);
  bpr_->setObjectName(QStringLiteral("BPR"));
  bpr_->setGeometry(296, 328, 33, 21);
  bpr_->setFrame(true);  // flat, single line
  bpr_->SetEditType(TEditType::etInteger);
  bpr_->SetStringCharSet(TStringCharSet::scFull);
  bpr_->AutoFocus = false;
  bpr_->SelectAllOnFocus = false;
  bpr_->FocusAlignment = Qt::AlignLeft;
  bpr_->NoFocusAlignment = Qt::AlignLeft;
  const QColor window_colour = QApplication::palette().color(QPalette::Base);
  bpr_->FocusColor = window_colour;
  bpr_->NoFocusColor = window_colour;
  bpr_->ErrorColor = QColor(0xFF, 0x93, 0x93);  // 0x9393FF as a BGR colour value
  bpr_->setText(QStringLiteral("5"));
  bpr_->Loaded();

  half_size_check_ = new QCheckBox(QStringLiteral("Half-Size"), this);
  half_size_check_->setObjectName(QStringLiteral("HalfSizeCheck"));
  half_size_check_->setGeometry(400, 328, 73, 17);
  half_size_check_->setFocusPolicy(Qt::ClickFocus);  // skipped by the Tab key

  MakeLabel(this, "Label6", "Resize Filter", 480, 312);
  resize_filter_ = new QComboBox(this);
  resize_filter_->setObjectName(QStringLiteral("ResizeFilter"));
  resize_filter_->setEditable(true);
  resize_filter_->setInsertPolicy(QComboBox::NoInsert);
  resize_filter_->setGeometry(480, 328, 161, 21);
  for (const char* name : kFilterNames) resize_filter_->addItem(QString::fromLatin1(name));
  resize_filter_->setCurrentIndex(0);

  MakeLabel(this, "Label4", "Preview", 8, 360);
  check_back_ = new QLabel(this);
  check_back_->setObjectName(QStringLiteral("CheckBack"));
  check_back_->setGeometry(8, 376, 697, 225);
  check_back_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  image2_ = new TSheetView(this);
  image2_->setObjectName(QStringLiteral("Image2"));
  image2_->setGeometry(8, 376, 697, 225);

  save_button_ = new QPushButton(QStringLiteral("Save"), this);
  save_button_->setObjectName(QStringLiteral("SaveButton"));
  save_button_->setGeometry(320, 608, 89, 49);
  QFont bold = save_button_->font();
  bold.setPixelSize(13);
  bold.setBold(true);
  save_button_->setFont(bold);

  del_badge_ = new QTimer(this);
  del_badge_->setObjectName(QStringLiteral("DelBadge"));
  del_badge_->setInterval(1);
  del_badge_->setSingleShot(true);

  save_picture_dialog_ = new QFileDialog(this);
  save_picture_dialog_->setObjectName(QStringLiteral("SavePictureDialog"));
  save_picture_dialog_->setAcceptMode(QFileDialog::AcceptSave);
  save_picture_dialog_->setDefaultSuffix(QStringLiteral("png"));
  save_picture_dialog_->setNameFilter(QStringLiteral("Portable Network Graphics (*.png)"));
  save_picture_dialog_->setOption(QFileDialog::DontUseNativeDialog);

  connect(thumb_view_, &QListWidget::itemClicked, this, &TFrmMain::ThumbViewItemClick);
  connect(your_badges_, &QListWidget::itemClicked, this, &TFrmMain::YourBadgesItemClick);
  connect(del_badge_, &QTimer::timeout, this, &TFrmMain::DelBadgeTimer);
  connect(bpr_, &TCrossEdit::Changed, this, &TFrmMain::BPRChange);
  connect(half_size_check_, &QCheckBox::clicked, this, &TFrmMain::HalfSizeCheckClick);
  connect(save_button_, &QPushButton::clicked, this, &TFrmMain::SaveButtonClick);
  connect(full_credits_button_, &QPushButton::clicked, this, &TFrmMain::FullCreditsButtonClick);
}

void TFrmMain::FormCreate() {
  full_credits_button_->move(full_credits_button_->x(),
                             top_panel_->height() / 2 - full_credits_button_->height() / 2);
  setWindowTitle(QString());
  QGuiApplication::setApplicationDisplayName(QString::fromLatin1(kProductTitle));
  FormResize();
  try {
    composer_.LoadBadgeImages();
    background_list_->clear();
    for (const std::string& name : composer_.LoadBackgroundNames()) {
      background_list_->addItem(QString::fromStdString(name));
    }
    // The frame pieces exist (empty) from the composer's construction on.
    background_list_->setCurrentIndex(0);
    composer_.SelectBackground(background_list_->itemText(0).toStdString());
    RefreshPreview();
    const auto& images = composer_.Images();
    for (size_t i = 0; i < images.size(); ++i) {
      auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(ToQImage(images[i]))), QString());
      item->setData(kCaptionRole, QString::fromStdString(composer_.BadgeNames()[i]));
      item->setData(kImageIndexRole, static_cast<int>(i));
      item->setToolTip(QString::fromStdString(composer_.BadgeNames()[i]));
      thumb_view_->addItem(item);
    }
  } catch (const SheetError& e) {
    ShowError(QString::fromStdString(e.what()));
  }
  // Choices made by the user from now on refresh the preview.
  connect(background_list_, &QComboBox::currentIndexChanged, this, &TFrmMain::BackgroundListChange);
  connect(resize_filter_, &QComboBox::currentIndexChanged, this, &TFrmMain::ResizeFilterChange);
}

void TFrmMain::ApplyAnchors() {
  const int dx = width() - kDesignWidth;
  const int dy = height() - kDesignHeight;
  top_panel_->setGeometry(0, 0, width(), 65);
  bevel1_->setGeometry(0, 65, width(), 2);
  full_credits_button_->move(644 + dx, full_credits_button_->y());
  label7_->setGeometry(64, 40, std::max(0, 585 + dx), 17);
  thumb_view_->setGeometry(8, 96, std::max(0, 697 + dx), 89);
  your_badges_->setGeometry(8, 208, std::max(0, 697 + dx), 89);
  const QRect preview(8, 376, std::max(0, 697 + dx), std::max(0, 225 + dy));
  check_back_->setGeometry(preview);
  image2_->setGeometry(preview);
  save_button_->move(save_button_->x(), 608 + dy);
}

void TFrmMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ApplyAnchors();
  FormResize();
}

void TFrmMain::FormResize() {
  const int w = check_back_->width();
  const int h = check_back_->height();
  if (w > 5 && h > 5) {
    TPicture board(w, h, TRgba{}, false);
    DrawCheckerboard(board);
    QImage image = ToQImage(board);
    QPainter painter(&image);
    const TRgba shadow = ColourToRgba(GetSysColor(kColorBtnShadow));
    painter.setPen(QColor(shadow.r, shadow.g, shadow.b));
    painter.drawRect(0, 0, w - 1, h - 1);
    painter.end();
    check_back_->setPixmap(QPixmap::fromImage(image));
  }
  save_button_->move(width() / 2 - save_button_->width() / 2, save_button_->y());
}

std::vector<std::string> TFrmMain::PickedNames() const {
  std::vector<std::string> names;
  for (int i = 0; i < your_badges_->count(); ++i) {
    names.push_back(your_badges_->item(i)->data(kCaptionRole).toString().toStdString());
  }
  return names;
}

void TFrmMain::ThumbViewItemClick(QListWidgetItem* item) {
  if (!item) return;
  auto* picked = new QListWidgetItem(item->icon(), QString());
  picked->setData(kCaptionRole, item->data(kCaptionRole));
  picked->setData(kImageIndexRole, item->data(kImageIndexRole));
  picked->setToolTip(item->toolTip());
  your_badges_->addItem(picked);
  item->setSelected(false);
  RefreshPreview();
}

void TFrmMain::YourBadgesItemClick(QListWidgetItem* item) {
  const int index = item ? your_badges_->row(item) : -1;
  if (index >= 0 && index < your_badges_->count()) {
    del_badge_->start();
    pending_delete_index_ = index;
    item->setSelected(false);
  }
}

void TFrmMain::DelBadgeTimer() {
  del_badge_->stop();
  if (pending_delete_index_ >= 0 && pending_delete_index_ < your_badges_->count()) {
    delete your_badges_->takeItem(pending_delete_index_);
    pending_delete_index_ = -1;
    RefreshPreview();
  }
}

void TFrmMain::BackgroundListChange() {
  const int index = background_list_->currentIndex();
  if (index < 0) return;
  try {
    composer_.SelectBackground(background_list_->itemText(index).toStdString());
  } catch (const SheetError& e) {
    ShowError(QString::fromStdString(e.what()));
    return;
  }
  RefreshPreview();
}

void TFrmMain::BPRChange() { RefreshPreview(); }

void TFrmMain::HalfSizeCheckClick() {
  if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
  RefreshPreview();
}

void TFrmMain::ResizeFilterChange() {
  if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
  RefreshPreview();
}

void TFrmMain::RefreshPreview() {
  try {
    TPicture sheet = composer_.ComposeSheet(PickedNames(), bpr_->AsInteger());
    if (half_size_check_->isChecked()) HalveSheet(sheet, resize_filter_->currentIndex());
    image2_->SetSheet(ToQImage(sheet));
  } catch (const SheetError& e) {
    ShowError(QString::fromStdString(e.what()));
  }
}

void TFrmMain::SaveButtonClick() {
  if (save_picture_dialog_->exec() != QDialog::Accepted) return;
  const QStringList files = save_picture_dialog_->selectedFiles();
  if (files.isEmpty()) return;
  try {
    composer_.SaveSheet(files.first().toStdString(), PickedNames(), bpr_->AsInteger(),
                        half_size_check_->isChecked(), resize_filter_->currentIndex());
  } catch (const SheetError& e) {
    ShowError(QString::fromStdString(e.what()));
  }
}

void TFrmMain::FullCreditsButtonClick() {
  const QRect main = frameGeometry();
  const QRect outer = about_->frameGeometry();
  about_->move(main.left() + main.width() / 2 - outer.width() / 2,
               main.top() + main.height() / 2 - outer.height() / 2);
  about_->Heading()->setText(QString::fromLatin1(kProductTitle));
  about_->exec();
}

}  // namespace medalor
