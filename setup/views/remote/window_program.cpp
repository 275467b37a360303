#include "setup/views/remote/window_program.h"

#include <chrono>
#include <cstdio>

#include "platform/drives.h"
#include "platform/files.h"
#include "setup/core/pak.h"

namespace setup_remote {

namespace {

constexpr const char* kProgramName = "setup-window";
// How long a window program that has ended is given to close its standard error.
constexpr int kErrorDrainMs = 2000;
// How long the program is given to end by itself once the link is finished.
constexpr int kEndWaitMs = 10000;

// The window program's bytes, checked against their CRC; nothing when the package has none.
std::optional<std::string> WindowProgramBytes(const std::string& package_path) {
  TPak pak(package_path, false, false);
  if (!pak.Trailer().HasMagic()) return std::nullopt;
  const std::optional<int> index = pak.FindEntryIndex(kWindowProgramEntry, 0);
  if (!index) return std::nullopt;
  TEntryData read = pak.ReadEntryQuietly(*index);
  if (read.status != TEntryData::Status::kOk || read.data.empty()) return std::nullopt;
  return std::move(read.data);
}

// What a program that ended before it was ready printed, as lines for a message: its last few
// lines (the loader names the missing library on one line).
std::string LastLines(const std::string& text, size_t count) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  std::string out;
  for (size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i) {
    out += (out.empty() ? "" : "\n") + lines[i];
  }
  return out;
}

}  // namespace

WindowProgram::WindowProgram(std::unique_ptr<platform::HelperProcess> process, std::string folder,
                             std::shared_ptr<WindowLink> link)
    : process_(std::move(process)), folder_(std::move(folder)), link_(std::move(link)) {
  // What the window prints once it runs (Qt's warnings) reaches the runtime's standard error.
  error_relay_ = std::thread([this] {
    for (;;) {
      std::string bytes;
      if (process_->StandardError().Read(bytes, -1) != platform::Channel::ReadStatus::kData) break;
      std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    }
  });
}

WindowProgram::~WindowProgram() {
  link_->FinishSending();
  if (!process_->Wait(kEndWaitMs)) {
    process_->Terminate();
    process_->Wait(-1);
  }
  if (error_relay_.joinable()) error_relay_.join();
  platform::RemovePrivateFolder(folder_);
}

WindowStart StartWindowProgram(const std::string& package_path,
                               const std::vector<std::string>& args, int timeout_ms) {
  WindowStart start;
  const std::optional<std::string> bytes = WindowProgramBytes(package_path);
  if (!bytes) {
    start.failure = "this installer carries no window program";
    return start;
  }
  const std::optional<std::string> folder = platform::MakePrivateFolder(
      platform::ToHostPath(platform::GetTempPath()).value_or("/tmp"), "setup-window.");
  if (!folder) {
    start.failure = "cannot make a private folder for the window program";
    return start;
  }
  const std::string program = *folder + "/" + kProgramName;
  {
    // A file written with an ELF header gets its execute bits.
    auto file = platform::File::Open(program, platform::File::Mode::kCreateNew);
    const bool written = file && file->Write(bytes->data(), bytes->size());
    if (file) file->Close();
    if (!written) {
      platform::RemovePrivateFolder(*folder);
      start.failure = "cannot write the window program to " + *folder;
      return start;
    }
  }
  auto pair = platform::Channel::SocketPair();
  if (!pair) {
    platform::RemovePrivateFolder(*folder);
    start.failure = "cannot make a socket for the window program";
    return start;
  }
  std::vector<std::string> all_args = args;
  all_args.push_back(package_path);
  std::unique_ptr<platform::HelperProcess> process =
      platform::HelperProcess::Start(program, all_args, std::move(pair->second));
  if (!process) {
    platform::RemovePrivateFolder(*folder);
    start.failure = "cannot start the window program";
    return start;
  }
  platform::Channel& socket = pair->first;
  platform::Channel& errors = process->StandardError();
  std::string printed;
  setup_session::ViewRecordReader reader;
  bool errors_open = true;
  bool ready = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
      start.failure = "the window program did not start within " +
                      std::to_string(timeout_ms / 1000) + " seconds";
      break;
    }
    std::vector<const platform::Channel*> watched = {&socket};
    if (errors_open) watched.push_back(&errors);
    const std::optional<size_t> which = platform::WaitReadable(watched, static_cast<int>(left));
    if (!which) continue;
    if (*which == 1) {
      errors_open = errors.Read(printed, 0) == platform::Channel::ReadStatus::kData;
      continue;
    }
    std::string got;
    if (socket.Read(got, 0) != platform::Channel::ReadStatus::kData) break;  // it ended
    reader.Append(got);
    if (std::optional<ViewRecord> record = reader.Next()) {
      ready = record->type == ViewRecordType::kReady &&
              record->Number(0) == setup_session::kViewProtocolRevision;
      if (!ready) start.failure = "the window program does not match this installer";
      break;
    }
    if (reader.Damaged()) {
      start.failure = "the window program does not match this installer";
      break;
    }
  }
  if (ready) {
    // What it printed on its way up is passed on, not kept back.
    std::fwrite(printed.data(), 1, printed.size(), stderr);
    auto link = std::make_shared<WindowLink>(std::move(socket), std::move(reader));
    start.program = std::make_unique<WindowProgram>(std::move(process), *folder, std::move(link));
    return start;
  }
  process->Terminate();
  const auto drain_end =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kErrorDrainMs);
  while (errors_open && std::chrono::steady_clock::now() < drain_end) {
    errors_open = errors.Read(printed, kErrorDrainMs) == platform::Channel::ReadStatus::kData;
  }
  const std::optional<int> exit_code = process->Wait(kEndWaitMs);
  const std::string said = LastLines(printed, 3);
  if (start.failure.empty()) {
    start.failure = !said.empty() ? said
                    : exit_code
                        ? "the window program ended with exit code " + std::to_string(*exit_code)
                        : "the window program ended before it was ready";
  } else if (!said.empty()) {
    start.failure += "\n" + said;
  }
  platform::RemovePrivateFolder(*folder);
  return start;
}

}  // namespace setup_remote
