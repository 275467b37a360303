#include "platform/large_buffer.h"

#include <sys/mman.h>

#include <new>

namespace platform {

// Under AddressSanitizer the buffer comes from the allocator, whose guard zones catch a write
// past its end; a mapping has none.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kFromAllocator = true;
#else
constexpr bool kFromAllocator = false;
#endif

void LargeBufferRelease::operator()(char* bytes) const {
  if (bytes == nullptr) return;
  if (kFromAllocator) {
    delete[] bytes;
  } else {
    munmap(bytes, size);
  }
}

LargeBuffer AllocateLargeBuffer(size_t size) {
  if (size == 0) return LargeBuffer(nullptr, LargeBufferRelease{0});
  if (kFromAllocator) return LargeBuffer(new char[size], LargeBufferRelease{size});
  void* bytes = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (bytes == MAP_FAILED) throw std::bad_alloc();
  // Only a hint: without huge pages the buffer works the same with ordinary ones.
  madvise(bytes, size, MADV_HUGEPAGE);
  return LargeBuffer(static_cast<char*>(bytes), LargeBufferRelease{size});
}

}  // namespace platform
