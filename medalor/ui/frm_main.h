// TFrmMain: the editor window. Shows the badge catalogue and the picked badges, the choices
// that shape the sheet, a live preview over a checkerboard and the Save button.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "medalor/sheet_composer.h"

class QCheckBox;
class QComboBox;
class QFileDialog;
class QFrame;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTimer;

namespace medalor {

class TCrossEdit;
class TFrmAbout;
class TSheetView;

inline constexpr char kProductTitle[] = "Medalor Studio v1.2";

class TFrmMain : public QWidget {
  Q_OBJECT

 public:
  explicit TFrmMain(TSheetComposer composer = TSheetComposer::BesideProgram(),
                    QWidget* parent = nullptr);
  ~TFrmMain() override;

  // Errors are shown through this presenter (a message box unless replaced, as tests do).
  static void SetErrorPresenter(std::function<void(const QString&)> presenter);

  int PendingDeleteIndex() const { return pending_delete_index_; }
  // The badge names of the picked list, in sheet order.
  std::vector<std::string> PickedNames() const;
  const TSheetComposer& Composer() const { return composer_; }
  TFrmAbout* About() const { return about_; }

  // The window's handlers, named as its own operations.
  void FormResize();
  void ThumbViewItemClick(QListWidgetItem* item);
  void YourBadgesItemClick(QListWidgetItem* item);
  void DelBadgeTimer();
  void BackgroundListChange();
  void BPRChange();
  void HalfSizeCheckClick();
  void ResizeFilterChange();
  void SaveButtonClick();
  void FullCreditsButtonClick();
  void RefreshPreview();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildControls();
  void FormCreate();
  void ApplyAnchors();
  void ShowError(const QString& message);

  TSheetComposer composer_;
  int pending_delete_index_ = -1;

  QWidget* top_panel_ = nullptr;
  QLabel* image1_ = nullptr;
  QPushButton* full_credits_button_ = nullptr;
  QLabel* label7_ = nullptr;
  QFrame* bevel1_ = nullptr;
  QListWidget* thumb_view_ = nullptr;
  QListWidget* your_badges_ = nullptr;
  QComboBox* background_list_ = nullptr;
  TCrossEdit* bpr_ = nullptr;
  QCheckBox* half_size_check_ = nullptr;
  QComboBox* resize_filter_ = nullptr;
  QLabel* check_back_ = nullptr;
  TSheetView* image2_ = nullptr;
  QPushButton* save_button_ = nullptr;
  QTimer* del_badge_ = nullptr;
  QFileDialog* save_picture_dialog_ = nullptr;
  TFrmAbout* about_ = nullptr;
};

}  // namespace medalor
