#include "setup/views/terminal/terminal_screen.h"

namespace setup_terminal {

namespace {

std::string MoveTo(int row, int column) {
  return "\x1b[" + std::to_string(row + 1) + ";" + std::to_string(column + 1) + "H";
}

}  // namespace

void TerminalScreen::Show(const Frame& frame) {
  const TerminalSize size = device_.Size();
  if (size.columns != width_ || shown_.size() != static_cast<size_t>(size.rows)) {
    shown_.assign(static_cast<size_t>(size.rows), std::string(1, '\0'));
    width_ = size.columns;
  }
  std::string out = "\x1b[?25l";
  for (size_t row = 0; row < shown_.size(); ++row) {
    const std::string line =
        row < frame.lines.size() ? AnsiLine(frame.lines[row], width_) : AnsiLine({}, width_);
    if (line == shown_[row]) continue;
    out += MoveTo(static_cast<int>(row), 0) + line;
    shown_[row] = line;
  }
  if (frame.cursor_row >= 0 && frame.cursor_row < size.rows && frame.cursor_col < size.columns) {
    out += MoveTo(frame.cursor_row, frame.cursor_col) + "\x1b[?25h";
  }
  device_.Write(out);
  last_ = frame;
}

void TerminalScreen::Overlay(int top, int left, const std::vector<ScreenLine>& lines) {
  std::string out = "\x1b[?25l";
  for (size_t i = 0; i < lines.size(); ++i) {
    const int row = top + static_cast<int>(i);
    if (row < 0 || row >= static_cast<int>(shown_.size())) continue;
    out += MoveTo(row, left) + AnsiLine(lines[i], lines[i].Width());
    shown_[row] = std::string(1, '\0');  // the next frame writes this row again
  }
  device_.Write(out);
}

void TerminalScreen::Invalidate() {
  for (std::string& row : shown_) row.assign(1, '\0');
  width_ = 0;
}

void TerminalScreen::Repaint() {
  Invalidate();
  device_.Write("\x1b[H\x1b[2J");
  Show(last_);
}

}  // namespace setup_terminal
