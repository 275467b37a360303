#include "platform/large_buffer.h"

#include <sys/mman.h>

#include <new>

namespace platform {

void LargeBufferRelease::operator()(char* bytes) const {
  if (bytes != nullptr) munmap(bytes, size);
}

LargeBuffer AllocateLargeBuffer(size_t size) {
  if (size == 0) return LargeBuffer(nullptr, LargeBufferRelease{0});
  void* bytes = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (bytes == MAP_FAILED) throw std::bad_alloc();
  // Only a hint: without huge pages the buffer works the same with ordinary ones.
  madvise(bytes, size, MADV_HUGEPAGE);
  return LargeBuffer(static_cast<char*>(bytes), LargeBufferRelease{size});
}

}  // namespace platform
