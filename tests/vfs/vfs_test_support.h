// Helpers for the VFS tests: a container reader written straight from the format (sharing no
// code with TVFSFile) and container set-up.
#pragma once

#include <zlib.h>

#include <optional>
#include <string>

#include "archive/archive_test_support.h"
#include "setup/vfs/vfs_file.h"

namespace vfs_test {

using archive_test::U32At;

struct RawEntry {
  std::string name;
  uint32_t flags = 0, date = 0;
  int32_t first = 0;
  uint32_t stored = 0, full = 0;
};

struct RawContainer {
  std::string bytes;
  uint32_t B = 0, N = 0, R = 0, L = 0, used = 0;
  uint64_t block_table = 0, root_table = 0, data = 0;

  explicit RawContainer(std::string b) : bytes(std::move(b)) {
    B = U32At(bytes, 4);
    N = U32At(bytes, 8);
    R = U32At(bytes, 12);
    L = U32At(bytes, 44);
    used = U32At(bytes, 48 + L);
    block_table = 52 + L;
    root_table = block_table + 8ull * N;
    data = root_table + 88ull * R;
  }
  uint32_t InUse(uint32_t n) const { return U32At(bytes, block_table + 8ull * (n - 1)); }
  int32_t Next(uint32_t n) const {
    return static_cast<int32_t>(U32At(bytes, block_table + 8ull * (n - 1) + 4));
  }
  static RawEntry EntryAt(const std::string& b, size_t at) {
    RawEntry e;
    std::string name = b.substr(at, 65);
    e.name = name.substr(0, name.find('\0'));
    e.flags = U32At(b, at + 68);
    e.date = U32At(b, at + 72);
    e.first = static_cast<int32_t>(U32At(b, at + 76));
    e.stored = U32At(b, at + 80);
    e.full = U32At(b, at + 84);
    return e;
  }
  RawEntry Root(uint32_t slot) const { return EntryAt(bytes, root_table + 88ull * slot); }
  std::string Block(uint32_t n) const { return bytes.substr(data + uint64_t{B} * (n - 1), B); }
  // The entry's bytes following its chain.
  std::string Data(const RawEntry& e) const {
    std::string out;
    int32_t n = e.first;
    while (n > 0 && out.size() < e.stored) {
      out += Block(static_cast<uint32_t>(n)).substr(0, e.stored - out.size());
      n = Next(static_cast<uint32_t>(n));
    }
    return out;
  }
  std::vector<RawEntry> Children(const RawEntry& folder) const {
    std::string table = Data(folder);
    std::vector<RawEntry> out;
    for (size_t at = 0; at + 88 <= table.size(); at += 88) out.push_back(EntryAt(table, at));
    return out;
  }
  uint32_t FreeBlocks() const {
    uint32_t free = 0;
    for (uint32_t n = 1; n <= N; ++n) free += Next(n) == 0 ? 1 : 0;
    return free;
  }
};

inline RawContainer ReadRaw(const std::string& path) {
  return RawContainer(archive_test::ReadBytes(path));
}

inline void MakeContainer(const std::string& path, uint32_t block_size, uint32_t blocks,
                          uint32_t roots) {
  TVFSFile::CreateEmptyContainer(path, {'T', 'V', 'F', 'S'}, "test container", block_size, blocks,
                                 roots);
}

inline std::string Inflate(const std::string& stream, size_t size) {
  std::string out(size, '\0');
  uLongf n = size;
  if (uncompress(reinterpret_cast<Bytef*>(out.data()), &n,
                 reinterpret_cast<const Bytef*>(stream.data()), stream.size()) != Z_OK) {
    return "<broken>";
  }
  out.resize(n);
  return out;
}

// Bytes that zlib cannot shrink.
inline std::string Noise(size_t size, unsigned seed) {
  std::string out(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (char& c : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return out;
}

}  // namespace vfs_test
