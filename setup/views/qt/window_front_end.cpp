#include "setup/views/qt/window_front_end.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "setup/core/setup_state.h"
#include "setup/session/default_driver.h"
#include "setup/views/qt/main_form.h"
#include "setup/views/qt/qt_presenter.h"
#include "setup/views/qt/verify_form.h"

namespace setup_wizard {

namespace {

// Drops a window's repaints (queued and immediate ones alike); rendering the window on demand,
// as a screenshot does, still paints it.
class DropRepaints : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::UpdateRequest || event->type() == QEvent::UpdateLater) {
      return true;
    }
    return QObject::eventFilter(watched, event);
  }
};

// An unattended run has no one to read Qt's notes about the offscreen platform.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  }
}

// Sets the platform before the application exists.
int& PrepareQt(int& argc, bool unattended) {
  if (unattended) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(QuietMessages);
  }
  return argc;
}

class WindowFrontEnd : public setup_session::WizardFrontEnd {
 public:
  WindowFrontEnd(int& argc, char** argv, const WindowOptions& options)
      : options_(options), app_(PrepareQt(argc, options.unattended), argv) {
    QApplication::setApplicationName("Verifying Contents");
    QApplication::setQuitOnLastWindowClosed(false);
    // The window (and with it the idle runner) exists before verification, as it is hidden.
    window_ = std::make_unique<TFrmMain>();
  }
  ~WindowFrontEnd() override { window_.reset(); }

  std::shared_ptr<platform::MessageBoxPresenter> Presenter() override {
    if (options_.unattended) return nullptr;
    return std::make_shared<QtMessageBoxPresenter>();
  }
  std::unique_ptr<VerifyObserver> ShowVerification() override {
    if (options_.unattended) return nullptr;
    auto verify = std::make_unique<TFrmVerify>();
    verify->ShowNow();
    return verify;
  }
  setup_session::WizardSession& Session() override { return window_->Session(); }

  bool Run() override {
    int shot = 0;
    window_->on_page_shown = [this, &shot](int page) { SaveScreenshot(page, ++shot); };
    window_->SetPagesUp();
    SetupState& state = SetupState::Instance();
    if (options_.unattended) {
      // Driven as if shown (its pages, buttons and checks all behave as on screen) but never
      // painted: nobody sees it, and painting the status line and the gauge for every file took
      // a tenth of a core. A screenshot still renders the page on demand.
      DropRepaints drop_repaints;
      window_->setAttribute(Qt::WA_DontShowOnScreen);
      window_->installEventFilter(&drop_repaints);
      window_->show();
      const setup_session::DriveResult result = setup_session::DriveWithDefaults(
          window_->Session(), [] { QApplication::processEvents(); });
      window_->removeEventFilter(&drop_repaints);
      window_->on_page_shown = nullptr;
      return result == setup_session::DriveResult::kEnded;
    }
    window_->show();
    QObject::connect(&app_, &QApplication::lastWindowClosed, &app_, &QApplication::quit);
    QApplication::setQuitOnLastWindowClosed(true);
    // A signal outside a run closes the window; during a run the runner stops and the window
    // closes once the run is undone.
    QTimer signal_watch;
    QObject::connect(&signal_watch, &QTimer::timeout, [this, &state] {
      if (state.CancelRequested() && !window_->Working() && !window_->Closed()) window_->close();
    });
    signal_watch.start(20);
    QApplication::exec();
    window_->on_page_shown = nullptr;
    return true;
  }

 private:
  void SaveScreenshot(int page, int shot) {
    if (options_.screenshot_dir.empty()) return;
    const auto& pages = window_->Session().Pages();
    if (page < 0 || static_cast<size_t>(page) >= pages.size()) return;
    QDir().mkpath(QString::fromStdString(options_.screenshot_dir));
    char name[64];
    std::snprintf(name, sizeof name, "%02d-%s.png", shot,
                  setup_session::PageKindName(pages[page].kind));
    window_->grab().save(QString::fromStdString(options_.screenshot_dir) + "/" + name);
  }

  WindowOptions options_;
  QApplication app_;
  std::unique_ptr<TFrmMain> window_;
};

}  // namespace

std::unique_ptr<setup_session::WizardFrontEnd> CreateWindowFrontEnd(int& argc, char** argv,
                                                                    const WindowOptions& options) {
  return std::make_unique<WindowFrontEnd>(argc, argv, options);
}

}  // namespace setup_wizard
