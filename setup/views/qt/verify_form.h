// TFrmVerify: the small "Verifying Contents" window shown while every package entry is checked.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include "setup/runtime/startup_package.h"

namespace setup_wizard {

class TFrmVerify : public QWidget, public VerifyObserver {
  Q_OBJECT
 public:
  TFrmVerify();
  // Shows the window and lets it appear before the verification loop starts repainting it.
  void ShowNow();
  void SetStatus(const std::string& text, int position, int maximum) override;
  QLabel* StatusLabel() const { return status_label_; }
  QProgressBar* ProgressBar1() const { return progress_bar_; }

 private:
  QLabel* status_label_;
  QProgressBar* progress_bar_;
};

}  // namespace setup_wizard
