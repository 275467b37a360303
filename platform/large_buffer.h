// Memory for a large buffer that is filled once and soon given back (the read-ahead ring of an
// install): mapped anonymously and, where the kernel offers transparent huge pages on request,
// backed by 2 MiB pages, so filling tens of megabytes costs a few dozen page faults instead of
// thousands.
#pragma once

#include <cstddef>
#include <memory>

namespace platform {

struct LargeBufferRelease {
  size_t size = 0;
  void operator()(char* bytes) const;
};

using LargeBuffer = std::unique_ptr<char[], LargeBufferRelease>;

// `size` bytes, not cleared beyond what the kernel does; throws std::bad_alloc when they cannot
// be had. A size of 0 gives an empty buffer.
LargeBuffer AllocateLargeBuffer(size_t size);

}  // namespace platform
