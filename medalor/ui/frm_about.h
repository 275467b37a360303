// TFrmAbout: the credits window.
#pragma once

#include <QDialog>

class QLabel;

namespace medalor {

class TFrmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TFrmAbout(QWidget* parent = nullptr);
  QLabel* Heading() const { return label1_; }
  void Button1Click();

 private:
  QLabel* label1_ = nullptr;
};

}  // namespace medalor
