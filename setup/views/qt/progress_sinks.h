// The Qt progress sinks: the status lines and the gauge as the script runner sees them. A call
// from the runner's thread stores the newest value and posts one queued update to the window
// thread (never waiting for it); a call on the window thread applies at once.
#pragma once

#include <QLabel>
#include <QPointer>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "setup/core/progress_sink.h"

namespace setup_controls {
class TGradGauge;
}

namespace setup_wizard {

class QtLabelSink : public ProgressTextSink,
                    public std::enable_shared_from_this<QtLabelSink> {
 public:
  // `echo`: also print every new caption on stdout (unattended runs).
  QtLabelSink(QLabel* label, bool echo);
  void SetText(const std::u16string& text, bool repaint) override;

 private:
  void Apply();
  QPointer<QLabel> label_;
  bool echo_;
  std::mutex mutex_;
  std::u16string pending_text_;
  bool pending_repaint_ = false;
  bool posted_ = false;
};

class QtGaugeSink : public ProgressGaugeSink, public std::enable_shared_from_this<QtGaugeSink> {
 public:
  explicit QtGaugeSink(setup_controls::TGradGauge* gauge);
  void SetMax(int32_t max) override;
  void SetPosition(int32_t position, bool repaint) override;

 private:
  void Post();
  void Apply();
  QPointer<setup_controls::TGradGauge> gauge_;
  std::mutex mutex_;
  int32_t max_ = -1;        // -1: unchanged
  int32_t position_ = -1;   // -1: unchanged
  bool posted_ = false;
};

// Shows a caption (CR as a line break) and sets the label's text.
void SetLabelCaption(QLabel* label, const std::u16string& text);

}  // namespace setup_wizard
