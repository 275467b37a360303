// Starting the window program the package carries: it is written to a private folder made
// fresh for this run, started with the package's path and a socket to the runtime, and waited
// for until it says it is ready. A window program that cannot start (Qt 6 missing, so the loader
// refuses it) is named by what it printed before it ended.
#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/helper_process.h"
#include "setup/views/remote/window_link.h"

namespace setup_remote {

// The group-0 entry that holds the window program.
inline constexpr const char* kWindowProgramEntry = "WINDOW.EXE";

// A running window program: its process, its private folder and the link to it. Destroying it
// ends the link, waits for the program (and ends it when it does not end by itself) and removes
// the folder.
class WindowProgram {
 public:
  WindowProgram(std::unique_ptr<platform::HelperProcess> process, std::string folder,
                std::shared_ptr<WindowLink> link);
  ~WindowProgram();
  WindowProgram(const WindowProgram&) = delete;
  WindowProgram& operator=(const WindowProgram&) = delete;

  const std::shared_ptr<WindowLink>& Link() const { return link_; }

 private:
  std::unique_ptr<platform::HelperProcess> process_;
  std::string folder_;
  std::shared_ptr<WindowLink> link_;
  std::thread error_relay_;
};

struct WindowStart {
  std::unique_ptr<WindowProgram> program;  // null when the window cannot be shown
  std::string failure;                     // then why, in one or a few lines
};

// Takes the window program from the package file `package_path` and starts it with `args`
// (followed by the package path), waiting up to `timeout_ms` for its ready record.
WindowStart StartWindowProgram(const std::string& package_path,
                               const std::vector<std::string>& args, int timeout_ms);

}  // namespace setup_remote
