#include "setup/views/remote/window_link.h"

#include <chrono>

namespace setup_remote {

WindowLink::WindowLink(platform::Channel channel, setup_session::ViewRecordReader reader)
    : channel_(std::move(channel)) {
  reader_ =
      std::thread([this, reader = std::move(reader)]() mutable { ReadLoop(std::move(reader)); });
}

WindowLink::~WindowLink() {
  FinishSending();
  if (reader_.joinable()) reader_.join();
}

void WindowLink::FinishSending() {
  std::lock_guard<std::mutex> lock(send_mutex_);
  channel_.ShutdownSending();
}

bool WindowLink::Send(const ViewRecord& record) {
  const std::string bytes = setup_session::EncodeViewRecord(record);
  std::lock_guard<std::mutex> lock(send_mutex_);
  if (Lost()) return false;
  return channel_.SendAll(bytes);
}

bool WindowLink::Lost() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lost_;
}

std::optional<int> WindowLink::Ask(const std::u16string& text, const std::u16string& caption,
                                   uint32_t flags) {
  ViewRecord question =
      setup_session::MakeViewRecord(ViewRecordType::kShowMessage, {0, static_cast<int32_t>(flags)});
  question.texts = {text, caption};
  return Request(std::move(question), 0);
}

bool WindowLink::PageShownAndPictured(int32_t page) {
  return Request(setup_session::MakeViewRecord(ViewRecordType::kPageShown, {page, 0}), 1)
      .has_value();
}

std::optional<int> WindowLink::Request(ViewRecord record, size_t id_field) {
  int32_t id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    id = next_question_++;
  }
  record.numbers[id_field] = id;
  if (!Send(record)) return std::nullopt;
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return lost_ || answers_.count(id) != 0; });
  auto answer = answers_.find(id);
  if (answer == answers_.end()) return std::nullopt;
  const int value = answer->second;
  answers_.erase(answer);
  return value;
}

std::optional<ViewRecord> WindowLink::NextAction(int timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                    [&] { return lost_ || !actions_.empty(); });
  if (actions_.empty()) return std::nullopt;
  ViewRecord action = std::move(actions_.front());
  actions_.pop_front();
  return action;
}

void WindowLink::ReadLoop(setup_session::ViewRecordReader reader) {
  for (;;) {
    while (std::optional<ViewRecord> record = reader.Next()) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (record->type == ViewRecordType::kAnswer) {
        answers_[record->Number(0)] = record->Number(1);
      } else {
        actions_.push_back(std::move(*record));
      }
      changed_.notify_all();
    }
    std::string bytes;
    if (reader.Damaged() || channel_.Read(bytes, -1) != platform::Channel::ReadStatus::kData) {
      break;
    }
    reader.Append(bytes);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  lost_ = true;
  changed_.notify_all();
}

}  // namespace setup_remote
