#include "setup/views/qt/progress_sinks.h"

#include <QThread>

#include "setup/controls/grad_gauge.h"
#include "setup/session/status_echo.h"

namespace setup_wizard {

namespace {

bool OnThreadOf(QObject* object) { return object && object->thread() == QThread::currentThread(); }

}  // namespace

void SetLabelCaption(QLabel* label, const std::u16string& text) {
  QString shown = QString::fromStdU16String(text);
  shown.replace("\r\n", "\n");
  shown.replace('\r', '\n');
  label->setText(shown);
}

QtLabelSink::QtLabelSink(QLabel* label, bool echo) : label_(label), echo_(echo) {}

void QtLabelSink::SetText(const std::u16string& text, bool repaint) {
  if (echo_) setup_session::EchoStatusLine(text);
  QLabel* label = label_.data();
  if (!label) return;
  if (OnThreadOf(label)) {
    SetLabelCaption(label, text);
    if (repaint) {
      if (QWidget* parent = label->parentWidget()) parent->repaint();
    }
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  pending_text_ = text;
  pending_repaint_ = pending_repaint_ || repaint;
  if (posted_) return;
  posted_ = true;
  std::weak_ptr<QtLabelSink> self = weak_from_this();
  QMetaObject::invokeMethod(
      label,
      [self] {
        if (auto sink = self.lock()) sink->Apply();
      },
      Qt::QueuedConnection);
}

void QtLabelSink::Apply() {
  std::u16string text;
  bool repaint;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    text = pending_text_;
    repaint = pending_repaint_;
    pending_repaint_ = false;
    posted_ = false;
  }
  QLabel* label = label_.data();
  if (!label) return;
  SetLabelCaption(label, text);
  if (repaint) {
    if (QWidget* parent = label->parentWidget()) parent->update();
  }
}

QtGaugeSink::QtGaugeSink(setup_controls::TGradGauge* gauge) : gauge_(gauge) {}

void QtGaugeSink::SetMax(int32_t max) {
  if (OnThreadOf(gauge_.data())) {
    gauge_->SetMax(max);
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  max_ = max;
  Post();
}

void QtGaugeSink::SetPosition(int32_t position, bool repaint) {
  if (!repaint) return;  // the gauge shows a position only when asked to
  if (OnThreadOf(gauge_.data())) {
    gauge_->SetProgress(position);
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  position_ = position;
  Post();
}

void QtGaugeSink::Post() {
  if (posted_ || !gauge_) return;
  posted_ = true;
  std::weak_ptr<QtGaugeSink> self = weak_from_this();
  QMetaObject::invokeMethod(
      gauge_.data(),
      [self] {
        if (auto sink = self.lock()) sink->Apply();
      },
      Qt::QueuedConnection);
}

void QtGaugeSink::Apply() {
  int32_t max, position;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    max = max_;
    position = position_;
    max_ = position_ = -1;
    posted_ = false;
  }
  if (!gauge_) return;
  if (max >= 0) gauge_->SetMax(max);
  if (position >= 0) gauge_->SetProgress(position);
}

}  // namespace setup_wizard
