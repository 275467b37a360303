// The runtime's end of the socket to the window program: records go out from any thread, and a
// reader thread sorts what comes back into answers to message boxes (handed to the thread that
// asked) and user actions (queued for the session's thread).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/helper_process.h"
#include "setup/session/view_protocol.h"

namespace setup_remote {

using setup_session::ViewRecord;
using setup_session::ViewRecordType;

class WindowLink {
 public:
  // `channel` is connected to the window; `reader` holds what was read from it already.
  WindowLink(platform::Channel channel, setup_session::ViewRecordReader reader);
  // Ends sending (the window ends once it has read everything) and waits for the reader,
  // which stops when the window's end closes.
  ~WindowLink();
  WindowLink(const WindowLink&) = delete;
  WindowLink& operator=(const WindowLink&) = delete;

  // Sends one record; false once the window is gone. Safe from any thread.
  bool Send(const ViewRecord& record);
  // Shows a message box in the window and waits for its answer; nothing when the window is gone
  // before it answers.
  std::optional<int> Ask(const std::u16string& text, const std::u16string& caption, uint32_t flags);
  // Tells the window that `page` has been shown and waits until it has saved its picture;
  // false when the window is gone first.
  bool PageShownAndPictured(int32_t page);
  // The next user action, waiting up to `timeout_ms` (0: only what has come); nothing on
  // time-out or once the window is gone and every action it sent has been taken.
  std::optional<ViewRecord> NextAction(int timeout_ms);
  // Whether the window's end has closed (or sent damaged records).
  bool Lost() const;
  // Ends sending: the window reads what was sent and then the end of the stream.
  void FinishSending();

 private:
  void ReadLoop(setup_session::ViewRecordReader reader);
  // Sends `record` with a new question id at field `id_field` and waits for its kAnswer.
  std::optional<int> Request(ViewRecord record, size_t id_field);

  platform::Channel channel_;
  std::mutex send_mutex_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<ViewRecord> actions_;
  std::map<int32_t, int32_t> answers_;
  int32_t next_question_ = 1;
  bool lost_ = false;
  std::thread reader_;
};

}  // namespace setup_remote
