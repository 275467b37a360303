// The window program's side of the socket to the runtime: a mirror of the runtime's wizard
// session. It reads the pages from the package itself, builds the window over them when the
// session says its pages are up, applies every change the session sends, shows the message boxes
// it asks (answering each) and sends the user's actions back.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>
#include <string>

#include "platform/helper_process.h"
#include "setup/session/session_port.h"
#include "setup/session/view_protocol.h"

namespace setup_wizard {

class TFrmMain;
class TFrmVerify;
class QtMessageBoxPresenter;

struct WindowClientOptions {
  bool offscreen = false;      // never shown on screen nor painted (screenshots still render)
  std::string screenshot_dir;  // a PNG of the window each time a page has been shown
};

class WindowClient : public QObject, public setup_session::SessionPort {
  Q_OBJECT
 public:
  // `channel` is connected to the runtime; the package must be open and its languages loaded.
  WindowClient(platform::Channel channel, const WindowClientOptions& options);
  ~WindowClient() override;

  // Tells the runtime that the window program is ready.
  bool SendReady();
  // Whether the runtime's end has closed; the program then quits.
  bool Ended() const { return ended_; }
  // The window, once the session's pages are up.
  TFrmMain* Window() const { return window_.get(); }
  // Handles one record from the runtime (as arriving records are handled).
  void Dispatch(const setup_session::ViewRecord& record);

  // --- the session port ---
  const setup_session::TPageList& PageList() const override { return pages_; }
  const setup_session::NamedControls& Named() const override { return named_; }
  std::optional<setup_session::PageKind> CurrentKind() const override;
  bool Closed() const override { return session_ended_; }
  void Next() override;
  void Back() override;
  void ChooseLanguage(int index) override;
  bool EditFolder(const std::string& text) override;
  void ChooseOption(setup_session::ControlRef option) override;
  bool RequestClose() override;

 private:
  void Readable();
  void Send(const setup_session::ViewRecord& record);
  void PagesUp(const setup_session::ViewRecord& record);
  void ShowMessage(const setup_session::ViewRecord& record);
  void Progress(const setup_session::ViewRecord& record);
  void SaveScreenshot(int page);
  void Finish();

  platform::Channel channel_;
  WindowClientOptions options_;
  std::unique_ptr<QSocketNotifier> notifier_;
  setup_session::ViewRecordReader reader_;
  std::unique_ptr<QtMessageBoxPresenter> presenter_;
  std::unique_ptr<TFrmVerify> verify_;
  std::unique_ptr<QObject> repaint_filter_;
  std::unique_ptr<TFrmMain> window_;
  setup_session::TPageList pages_;
  setup_session::NamedControls named_;
  int current_ = 0;
  int shots_ = 0;
  bool session_ended_ = false;
  bool ended_ = false;
};

}  // namespace setup_wizard
