#include "setup/commands/write_behind.h"

#include <utility>

#include "platform/files.h"

TWriteBehind::TWriteBehind(bool threaded) {
  if (threaded) thread_ = std::thread([this] { Work(); });
}

TWriteBehind::~TWriteBehind() {
  Finish();
  if (thread_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
}

void TWriteBehind::Fill(Job job) {
  bool written = false;
  int reason = 0;
  if (!Failed()) {
    std::optional<platform::File> file =
        platform::File::Open(job.host, platform::File::Mode::kCreate);
    written = file && file->Write(job.bytes.data(), job.bytes.size());
    reason = errno;
    // Closed here (deciding on its execute bits from the bytes written), before `done` runs.
  }
  if (!written) {
    std::lock_guard lock(mutex_);
    if (!failure_) failure_ = Failure{job.path, reason != 0 ? reason : EIO};
  }
  if (job.done) job.done(written);
}

void TWriteBehind::Submit(std::string host, std::string path, std::string_view bytes,
                          std::function<void(bool written)> done) {
  Job job{std::move(host), std::move(path), bytes, std::move(done)};
  if (!thread_.joinable()) {
    Fill(std::move(job));
    return;
  }
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(job));
  }
  changed_.notify_all();
}

bool TWriteBehind::Failed() {
  std::lock_guard lock(mutex_);
  return failure_.has_value();
}

std::optional<TWriteBehind::Failure> TWriteBehind::Finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.empty() && !busy_; });
  return failure_;
}

void TWriteBehind::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, with nothing left
    Job job = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    lock.unlock();
    Fill(std::move(job));
    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}
