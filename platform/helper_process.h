// A helper program that works beside the running one (the installer's window): it is written to
// a private folder, started with one end of a socket pair as an inherited descriptor, and its
// standard error is read through a pipe so that a helper that cannot start (a library the loader
// cannot find) can be named by the caller.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One end of a stream (a socket or a pipe). Owns its descriptor.
class Channel {
 public:
  explicit Channel(int descriptor = -1) : fd_(descriptor) {}
  ~Channel();
  Channel(Channel&& other) noexcept : fd_(other.Release()) {}
  Channel& operator=(Channel&& other) noexcept;
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  // Two connected stream sockets; nothing when the system refuses.
  static std::optional<std::pair<Channel, Channel>> SocketPair();

  bool IsOpen() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }
  int Release();
  void Close();

  // Sends every byte (a socket only); false once the other end is gone. Never raises SIGPIPE.
  bool SendAll(std::string_view bytes);
  // Ends this side's sending: the other end reads the end of the stream once it has read all.
  void ShutdownSending();

  enum class ReadStatus { kData, kTimedOut, kEnded };
  // Waits up to `timeout_ms` (-1: without a limit) for bytes and appends what has come to
  // `out`; kEnded at the end of the stream or on an error.
  ReadStatus Read(std::string& out, int timeout_ms);

 private:
  int fd_;
};

// Waits up to `timeout_ms` (-1: without a limit) until one of the channels can be read (or has
// ended); answers the index of the first such channel, nothing on time-out.
std::optional<size_t> WaitReadable(const std::vector<const Channel*>& channels, int timeout_ms);

// A folder made fresh for this process under `host_parent` (created when missing), readable and
// writable by the owner only (mode 0700); its name starts with `prefix`. Nothing on failure.
std::optional<std::string> MakePrivateFolder(const std::string& host_parent,
                                             const std::string& prefix);
// Removes the files of a folder made by MakePrivateFolder and then the folder.
void RemovePrivateFolder(const std::string& host_folder);

class HelperProcess {
 public:
  // Starts the host program `program` with `args`; `channel` is inherited by the helper as
  // descriptor kChannelDescriptor, and its standard error goes to StandardError(). Standard
  // input and output are the caller's. Nothing when the start failed before the program ran
  // (a program that cannot be loaded ends at once with exit code 127 and its reason on its
  // standard error instead).
  static std::unique_ptr<HelperProcess> Start(const std::string& program,
                                              const std::vector<std::string>& args,
                                              Channel channel);
  // Waits for the helper to end (without a limit) unless it has; harmless when repeated.
  ~HelperProcess();
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;

  // The read end of the helper's standard error.
  Channel& StandardError() { return error_; }
  // Waits up to `timeout_ms` (-1: without a limit) for the helper to end: its exit code, 128 +
  // the signal that ended it, or nothing while it still runs.
  std::optional<int> Wait(int timeout_ms);
  // Asks the helper to end (SIGTERM).
  void Terminate();
  int Pid() const { return pid_; }

  static constexpr int kChannelDescriptor = 3;

 private:
  HelperProcess(int pid, Channel error) : pid_(pid), error_(std::move(error)) {}
  int pid_;
  Channel error_;
  std::optional<int> exit_code_;
};

}  // namespace platform
