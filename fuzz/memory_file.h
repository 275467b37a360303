// A file held in memory (memfd) that the platform layer opens by path like any disk file, so a
// harness whose reader wants a file feeds each input without touching the disk.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace fuzz {

class MemoryFile {
 public:
  MemoryFile() : fd_(memfd_create("fuzz-input", MFD_CLOEXEC)) {
    if (fd_ < 0) std::abort();  // without it the harness would test nothing
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  ~MemoryFile() { close(fd_); }

  // Replaces the whole content with `data`.
  void Fill(const uint8_t* data, size_t size) {
    if (ftruncate(fd_, 0) != 0) std::abort();
    size_t done = 0;
    while (done < size) {
      const ssize_t put = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
      if (put <= 0) std::abort();
      done += static_cast<size_t>(put);
    }
  }

  // The host path that opens this file (a fresh open file description each time).
  const std::string& Path() const { return path_; }

 private:
  int fd_;
  std::string path_;
};

}  // namespace fuzz
