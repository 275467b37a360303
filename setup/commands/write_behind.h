// Fills and closes files on a thread of its own, in the order they were handed over, while the
// caller goes on making the next ones. Extracting a group then keeps a second core busy with the
// kernel's share of writing (copying the bytes into each file and closing it), which otherwise
// adds to the caller's own share (looking up, journaling and creating each file). The caller
// keeps every change to the folders' names (creating, setting aside), so their order and the
// journal stay as without this.
//
// Without a thread (one core), each file is filled at once on the caller's thread.
#pragma once

#include <cerrno>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/files.h"

class TWriteBehind {
 public:
  // A file that could not be filled: its path as handed over and the reason (errno).
  struct Failure {
    std::string path;
    int reason = EIO;
  };

  explicit TWriteBehind(bool threaded);
  // Waits for what is queued.
  ~TWriteBehind();
  TWriteBehind(const TWriteBehind&) = delete;
  TWriteBehind& operator=(const TWriteBehind&) = delete;

  // Queues `bytes` to be written into `file` (created and empty), which is then closed; `done`
  // runs on the writing thread afterwards with whether the bytes were written, once the file
  // is closed. The bytes are the caller's and must stay valid until `done` has run. After a
  // failure nothing more is written: later files are closed empty (a failed run is rolled back
  // anyway).
  void Submit(platform::File file, std::string path, std::string_view bytes,
              std::function<void(bool written)> done);
  // Whether a file queued so far could not be filled (it may still be running the rest).
  bool Failed();
  // Waits until every queued file is filled and closed; answers the first failure, if any.
  std::optional<Failure> Finish();

 private:
  struct Job {
    std::optional<platform::File> file;
    std::string path;
    std::string_view bytes;
    std::function<void(bool written)> done;
  };

  void Work();
  // Writes and closes the job's file and tells `done`.
  void Fill(Job job);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> queue_;
  bool busy_ = false;  // the thread holds a job taken off the queue
  bool stop_ = false;
  std::optional<Failure> failure_;
  std::thread thread_;
};
