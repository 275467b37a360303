// What the script runner reports while it works (the status line, the second status line and
// the gauge), kept for the terminal to draw when it next can. The runner's thread writes here
// and returns at once; the terminal's thread reads a copy.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "setup/core/progress_sink.h"

namespace setup_terminal {

struct ProgressFigures {
  std::optional<std::u16string> status;  // nothing until a text was set
  std::optional<std::u16string> second_status;
  int32_t position = 0;
  int32_t maximum = 0;
  uint64_t version = 0;  // counts the changes
};

class ProgressBoard {
 public:
  void SetStatus(const std::u16string& text, bool second);
  void SetMaximum(int32_t maximum);
  void SetPosition(int32_t position);
  ProgressFigures Figures() const;
  void Reset();

  std::shared_ptr<ProgressTextSink> StatusSink(bool second);
  std::shared_ptr<ProgressGaugeSink> GaugeSink();

 private:
  mutable std::mutex mutex_;
  ProgressFigures figures_;
};

}  // namespace setup_terminal
