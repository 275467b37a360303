// The progress sinks: the status line, the second status line and the progress gauge through
// which the script runner reports to the wizard. The runner calls them from its own thread, so
// an implementation that touches widgets must hand the call to the window thread and return at
// once (it must never wait for the window thread, which is itself waiting for the run).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// A caption: the status line or the second status line.
class ProgressTextSink {
 public:
  virtual ~ProgressTextSink() = default;
  // Sets the caption; `repaint` asks for the control's parent to be repainted at once.
  virtual void SetText(const std::u16string& text, bool repaint) = 0;
};

// The progress gauge.
class ProgressGaugeSink {
 public:
  virtual ~ProgressGaugeSink() = default;
  virtual void SetMax(int32_t max) = 0;
  // Moves the gauge; `repaint` asks for the new position to be shown at once.
  virtual void SetPosition(int32_t position, bool repaint) = 0;
};

// Sinks that drop everything (for callers that want a registered but silent control).
class NullTextSink : public ProgressTextSink {
 public:
  void SetText(const std::u16string&, bool) override {}
};

class NullGaugeSink : public ProgressGaugeSink {
 public:
  void SetMax(int32_t) override {}
  void SetPosition(int32_t, bool) override {}
};

// Sinks that remember every call, for tests; safe to call from any thread.
class RecordingTextSink : public ProgressTextSink {
 public:
  struct Call {
    std::u16string text;
    bool repaint = false;
  };
  void SetText(const std::u16string& text, bool repaint) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back({text, repaint});
  }
  std::vector<Call> Calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  // The last caption set, empty when none was.
  std::u16string Text() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_.empty() ? std::u16string() : calls_.back().text;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Call> calls_;
};

class RecordingGaugeSink : public ProgressGaugeSink {
 public:
  void SetMax(int32_t max) override {
    std::lock_guard<std::mutex> lock(mutex_);
    max_ = max;
  }
  void SetPosition(int32_t position, bool repaint) override {
    std::lock_guard<std::mutex> lock(mutex_);
    positions_.push_back(position);
    repaints_.push_back(repaint);
  }
  int32_t Max() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return max_;
  }
  std::vector<int32_t> Positions() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return positions_;
  }
  std::vector<bool> Repaints() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return repaints_;
  }

 private:
  mutable std::mutex mutex_;
  int32_t max_ = 0;
  std::vector<int32_t> positions_;
  std::vector<bool> repaints_;
};
