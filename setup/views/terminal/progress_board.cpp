#include "setup/views/terminal/progress_board.h"

namespace setup_terminal {

namespace {

class BoardTextSink : public ProgressTextSink {
 public:
  BoardTextSink(ProgressBoard& board, bool second) : board_(board), second_(second) {}
  void SetText(const std::u16string& text, bool) override { board_.SetStatus(text, second_); }

 private:
  ProgressBoard& board_;
  bool second_;
};

class BoardGaugeSink : public ProgressGaugeSink {
 public:
  explicit BoardGaugeSink(ProgressBoard& board) : board_(board) {}
  void SetMax(int32_t max) override { board_.SetMaximum(max); }
  void SetPosition(int32_t position, bool) override { board_.SetPosition(position); }

 private:
  ProgressBoard& board_;
};

}  // namespace

void ProgressBoard::SetStatus(const std::u16string& text, bool second) {
  std::lock_guard<std::mutex> lock(mutex_);
  (second ? figures_.second_status : figures_.status) = text;
  ++figures_.version;
}

void ProgressBoard::SetMaximum(int32_t maximum) {
  std::lock_guard<std::mutex> lock(mutex_);
  figures_.maximum = maximum;
  ++figures_.version;
}

void ProgressBoard::SetPosition(int32_t position) {
  std::lock_guard<std::mutex> lock(mutex_);
  figures_.position = position;
  ++figures_.version;
}

ProgressFigures ProgressBoard::Figures() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return figures_;
}

void ProgressBoard::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  const uint64_t version = figures_.version + 1;
  figures_ = ProgressFigures();
  figures_.version = version;
}

// The board outlives the session's use of its sinks: both belong to the same front end, and the
// session unregisters the sinks when it ends.
std::shared_ptr<ProgressTextSink> ProgressBoard::StatusSink(bool second) {
  return std::make_shared<BoardTextSink>(*this, second);
}

std::shared_ptr<ProgressGaugeSink> ProgressBoard::GaugeSink() {
  return std::make_shared<BoardGaugeSink>(*this);
}

}  // namespace setup_terminal
