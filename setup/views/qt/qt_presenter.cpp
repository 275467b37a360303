#include "setup/views/qt/qt_presenter.h"

#include <QMessageBox>
#include <QThread>

#include "platform/text_encoding.h"

namespace setup_wizard {

namespace {

// "\r" in the texts means a line break.
QString Shown(QString text) {
  text.replace("\r\n", "\n");
  text.replace('\r', '\n');
  return text;
}

}  // namespace

QtMessageBoxPresenter::QtMessageBoxPresenter() = default;

int QtMessageBoxPresenter::Show(const std::string& text, const std::string& caption,
                                uint32_t flags) {
  return ShowWide(platform::Cp1252ToUtf16(text), platform::Cp1252ToUtf16(caption), flags);
}

int QtMessageBoxPresenter::ShowWide(const std::u16string& text, const std::u16string& caption,
                                    uint32_t flags) {
  const QString qtext = Shown(QString::fromStdU16String(text));
  const QString qcaption = QString::fromStdU16String(caption);
  if (QThread::currentThread() == thread()) return ShowOnWindowThread(qtext, qcaption, flags);
  int answer = platform::kIdCancel;
  QMetaObject::invokeMethod(
      this, [&] { answer = ShowOnWindowThread(qtext, qcaption, flags); },
      Qt::BlockingQueuedConnection);
  return answer;
}

int QtMessageBoxPresenter::ShowOnWindowThread(const QString& text, const QString& caption,
                                              uint32_t flags) {
  QMessageBox box;
  box.setWindowTitle(caption);
  box.setText(text);
  switch (flags & 0xF0) {
    case platform::kMbIconError:
      box.setIcon(QMessageBox::Critical);
      break;
    case platform::kMbIconQuestion:
      box.setIcon(QMessageBox::Question);
      break;
    case platform::kMbIconWarning:
      box.setIcon(QMessageBox::Warning);
      break;
    case platform::kMbIconInformation:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      break;
  }
  struct Choice {
    QMessageBox::StandardButton button;
    int answer;
  };
  std::vector<Choice> choices;
  switch (flags & platform::kMbButtonMask) {
    case platform::kMbOkCancel:
      choices = {{QMessageBox::Ok, platform::kIdOk}, {QMessageBox::Cancel, platform::kIdCancel}};
      break;
    case platform::kMbYesNoCancel:
      choices = {{QMessageBox::Yes, platform::kIdYes},
                 {QMessageBox::No, platform::kIdNo},
                 {QMessageBox::Cancel, platform::kIdCancel}};
      break;
    case platform::kMbYesNo:
      choices = {{QMessageBox::Yes, platform::kIdYes}, {QMessageBox::No, platform::kIdNo}};
      break;
    case platform::kMbRetryCancel:
      choices = {{QMessageBox::Retry, platform::kIdRetry},
                 {QMessageBox::Cancel, platform::kIdCancel}};
      break;
    default:
      choices = {{QMessageBox::Ok, platform::kIdOk}};
      break;
  }
  QMessageBox::StandardButtons buttons;
  for (const Choice& choice : choices) buttons |= choice.button;
  box.setStandardButtons(buttons);
  const size_t default_index = platform::DefaultButtonIndex(flags);
  box.setDefaultButton(choices[default_index < choices.size() ? default_index : 0].button);
  const int clicked = box.exec();
  for (const Choice& choice : choices) {
    if (clicked == choice.button) return choice.answer;
  }
  // Closed with the window's close box: the answer that cancels.
  if (buttons & QMessageBox::Cancel) return platform::kIdCancel;
  if (buttons & QMessageBox::No) return platform::kIdNo;
  return platform::kIdOk;
}

}  // namespace setup_wizard
