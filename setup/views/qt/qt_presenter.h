// The message-box presenter of the window: real dialogs on the window thread. A call from
// another thread (the script runner) is handed to the window thread and waits for the answer
// there, while the window thread keeps pumping in its wait loop.
#pragma once

#include <QObject>

#include "platform/message_box.h"

namespace setup_wizard {

class QtMessageBoxPresenter : public QObject, public platform::MessageBoxPresenter {
  Q_OBJECT
 public:
  // Must be created on the window thread.
  QtMessageBoxPresenter();
  int Show(const std::string& text, const std::string& caption, uint32_t flags) override;
  int ShowWide(const std::u16string& text, const std::u16string& caption,
               uint32_t flags) override;

 private:
  int ShowOnWindowThread(const QString& text, const QString& caption, uint32_t flags);
};

}  // namespace setup_wizard
