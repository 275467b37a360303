// The full screen as last drawn: a new frame rewrites only the lines that changed (so a gauge
// moving costs two lines, not a screen), and a box drawn over it (a message) is repainted by
// the next frame.
#pragma once

#include <string>
#include <vector>

#include "setup/views/terminal/page_frame.h"
#include "setup/views/terminal/terminal_device.h"

namespace setup_terminal {

class TerminalScreen {
 public:
  explicit TerminalScreen(TerminalDevice& device) : device_(device) {}

  // Draws FRAME. The caller holds the device's lock.
  void Show(const Frame& frame);
  // Draws LINES (each exactly its width) with their first at row TOP, column LEFT.
  void Overlay(int top, int left, const std::vector<ScreenLine>& lines);
  // Everything again on the next Show (after a resize, a stop, or a box drawn over the page).
  void Invalidate();
  // The last frame again, at once (under a box that is redrawn next).
  void Repaint();

 private:
  TerminalDevice& device_;
  Frame last_;
  std::vector<std::string> shown_;  // the bytes of each row as written
  int width_ = 0;
};

}  // namespace setup_terminal
