#include "setup/session/status_echo.h"

#include <cstdio>
#include <mutex>

#include "platform/text_encoding.h"

namespace setup_session {

void EchoStatusLine(const std::u16string& text) {
  if (text.empty()) return;
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  std::string line = platform::Utf16ToUtf8(text);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  std::fprintf(stdout, "%s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace setup_session
