// The terminal itself: its modes (raw keys on the alternate screen for the full-screen wizard,
// the terminal's own line editing for line prompts), its size, reading keys and lines, and
// writing. Whatever way the program ends (a return, ExitProcess, SIGINT/SIGTERM/SIGHUP, a
// crash, Ctrl-Z) the terminal gets its modes, cursor and screen back.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "setup/views/terminal/terminal_keys.h"

struct termios;

namespace setup_terminal {

struct TerminalSize {
  int columns = 80;
  int rows = 24;
};

// Whether standard input is a terminal.
bool StdinIsTerminal();
// Whether TERM names a terminal that takes cursor moves and the alternate screen (not "dumb",
// "unknown" or unset).
bool CapableTerminal();
// Whether the locale's characters are UTF-8 (LC_ALL, LC_CTYPE or LANG).
bool Utf8Locale();

class TerminalDevice {
 public:
  TerminalDevice();
  ~TerminalDevice();
  TerminalDevice(const TerminalDevice&) = delete;
  TerminalDevice& operator=(const TerminalDevice&) = delete;

  // Full screen: raw keys (Ctrl-C and Ctrl-Z arrive as keys), no echo, the alternate screen, the
  // cursor hidden. Lines: the terminal's own line editing and echo; Ctrl-C is noticed through
  // Interrupted() instead of stopping the run. Leave() (also the destructor) restores it all.
  void EnterFullScreen();
  void EnterLines();
  void Leave();
  bool FullScreen() const { return full_screen_; }

  TerminalSize Size() const;
  void Write(const std::string& bytes);

  // Keys typed, waiting up to TIMEOUT_MS for the first (0: only what is there). An Escape
  // alone is told from the start of a sequence by a short wait for what follows it.
  std::vector<Key> ReadKeys(int timeout_ms);
  // A line typed (without its end), waiting up to TIMEOUT_MS; nothing when none is complete.
  std::optional<std::string> ReadLine(int timeout_ms);
  // Standard input has ended (the terminal hung up, or Ctrl-D on an empty line).
  bool InputEnded() const { return input_ended_; }

  // Answers (and forgets) whether the size changed, the program was continued after a stop,
  // or Ctrl-C was pressed at a line prompt since the last call.
  bool TakeResized();
  bool TakeInterrupted();
  // Stops the program as Ctrl-Z does in a shell; the screen comes back when it continues.
  void Suspend();

  // Serialises the screen and the keyboard between the wizard's thread and the script runner's
  // (whose message boxes draw and read here).
  std::mutex& Lock() { return mutex_; }

 private:
  // Records the modes to restore and to return to, and takes the signals both modes watch.
  void Engage(const termios& active, bool full_screen);
  bool WaitReadable(int timeout_ms);
  void ReadAvailable();

  int in_fd_ = 0;
  int out_fd_ = 1;
  bool own_out_fd_ = false;
  bool full_screen_ = false;
  bool lines_ = false;
  bool input_ended_ = false;
  std::string pending_;
  std::mutex mutex_;
};

}  // namespace setup_terminal
