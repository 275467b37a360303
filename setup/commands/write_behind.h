// Creates, fills and closes files on a thread of its own, in the order they were handed over,
// while the caller goes on with the next ones. Extracting a group then keeps a second core busy
// with the kernel's share of writing (creating each file, copying the bytes into it and closing
// it), which otherwise adds to the caller's own share (looking up and journaling each file). The
// caller decides every name (folders made, old files set aside, new names entered in its name
// index) before handing a file over, so their order and the journal stay as without this.
//
// Without a thread (one core), each file is made at once on the caller's thread.
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

class TWriteBehind {
 public:
  // A file that could not be created or filled: its path as handed over and the reason (errno).
  struct Failure {
    std::string path;
    int reason = EIO;
  };

  explicit TWriteBehind(bool threaded);
  // Waits for what is queued.
  ~TWriteBehind();
  TWriteBehind(const TWriteBehind&) = delete;
  TWriteBehind& operator=(const TWriteBehind&) = delete;

  // Queues the file at host path `host` (platform::HostPathToCreate) to be created (or
  // truncated) with `bytes` and closed; `path` names it in a failure. `done` runs on the writing
  // thread afterwards with whether the bytes were written, once the file is closed. The bytes
  // are the caller's and must stay valid until `done` has run. After a failure nothing more is
  // created or written (a failed run is rolled back anyway).
  void Submit(std::string host, std::string path, std::string_view bytes,
              std::function<void(bool written)> done);
  // Whether a file queued so far could not be filled (it may still be running the rest).
  bool Failed();
  // Waits until every queued file is filled and closed; answers the first failure, if any.
  std::optional<Failure> Finish();

 private:
  struct Job {
    std::string host;
    std::string path;
    std::string_view bytes;
    std::function<void(bool written)> done;
  };

  void Work();
  // Creates, writes and closes the job's file and tells `done`.
  void Fill(Job job);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> queue_;
  bool busy_ = false;  // the thread holds a job taken off the queue
  bool stop_ = false;
  std::optional<Failure> failure_;
  std::thread thread_;
};
