// An archive reader for the tests written straight from the format, sharing no code with the
// archive system, so what the system writes is checked independently.
#pragma once

#include <zlib.h>

#include <optional>
#include <string>
#include <vector>

#include "setup/core/ciphers.h"

namespace archive_test {

struct ReadRecord {
  uint16_t marker = 0;
  uint8_t kind = 0;
  uint32_t date = 0, stored = 0, full = 0, offset = 0;
  std::string name;
  bool operator==(const ReadRecord&) const = default;
};

struct ReadArchive {
  std::string tail;  // "none", "QXP2", "EIH1", "EIH2"
  std::string password;
  int official = -1;
  uint64_t directory_start = 0;
  std::vector<ReadRecord> records;

  const ReadRecord* Find(const std::string& name) const {
    for (const ReadRecord& r : records) {
      if (r.name == name) return &r;
    }
    return nullptr;
  }
};

inline uint32_t Le32(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

inline std::optional<ReadArchive> ReadArchiveBytes(const std::string& b) {
  ReadArchive a;
  size_t t = 0;
  a.tail = "none";
  if (b.size() >= 13 && b.compare(b.size() - 13, 4, "QXP2") == 0) {
    t = 13;
    a.tail = "QXP2";
    for (size_t i = b.size() - 9; i < b.size() && std::isalnum(static_cast<unsigned char>(b[i]));
         ++i) {
      a.password += b[i];
    }
  } else {
    for (size_t i = 1; i <= 50 && i + 6 <= b.size(); ++i) {
      if (b.compare(b.size() - i - 6, 4, "QXP3") != 0) continue;
      t = i + 6;
      size_t p = b.size() - i;
      a.tail = b.substr(p, 4);
      TQuillEncryptionType cipher;
      cipher.SineSeed = static_cast<uint8_t>(b[p + 4]);
      cipher.CosineSeed = static_cast<uint8_t>(b[p + 5]);
      size_t length = static_cast<uint8_t>(b[p + 6]) | (static_cast<uint8_t>(b[p + 7]) << 8);
      a.password = cipher.Decrypt(b.substr(p + 8, length));
      if (a.tail == "EIH2") a.official = static_cast<uint8_t>(b.at(p + 8 + length));
      break;
    }
  }
  if (b.size() < t + 20) return std::nullopt;
  size_t trailer = b.size() - t - 20;
  uint32_t compressed = Le32(b, trailer), plain = Le32(b, trailer + 4);
  if (Le32(b, trailer + 8) != 5 || Le32(b, trailer + 16) != 0 || compressed > trailer) {
    return std::nullopt;
  }
  uint32_t count = Le32(b, trailer + 12);
  a.directory_start = trailer - compressed;
  std::string directory(plain, '\0');
  uLongf out = plain;
  if (plain > 0 && (uncompress(reinterpret_cast<Bytef*>(directory.data()), &out,
                               reinterpret_cast<const Bytef*>(b.data() + a.directory_start),
                               compressed) != Z_OK ||
                    out != plain)) {
    return std::nullopt;
  }
  if (plain != count * 152u) return std::nullopt;
  for (uint32_t i = 0; i < count; ++i) {
    const std::string r = directory.substr(i * 152, 152);
    ReadRecord rec;
    rec.marker =
        static_cast<uint16_t>(static_cast<uint8_t>(r[0]) | (static_cast<uint8_t>(r[1]) << 8));
    rec.kind = static_cast<uint8_t>(r[2]);
    rec.date = Le32(r, 4);
    rec.stored = Le32(r, 8);
    rec.full = Le32(r, 12);
    rec.offset = Le32(r, 16);
    rec.name = r.substr(25, static_cast<uint8_t>(r[24]));
    a.records.push_back(rec);
  }
  return a;
}

// A kind-2 entry's content: the mask undone with zlib's own crc32, then inflated.
inline std::optional<std::string> ReadZlibEntry(const std::string& archive, const ReadRecord& r) {
  std::string stored = archive.substr(r.offset, r.stored);
  if (stored.size() > 4) {
    uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(stored.data() + 4), stored.size() - 4));
    uint32_t first = Le32(stored, 0) ^ crc;
    for (int k = 0; k < 4; ++k) stored[k] = static_cast<char>((first >> (8 * k)) & 0xFF);
  }
  std::string out(r.full, '\0');
  uLongf size = r.full;
  if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                 reinterpret_cast<const Bytef*>(stored.data()), stored.size()) != Z_OK ||
      size != r.full) {
    return std::nullopt;
  }
  return out;
}

}  // namespace archive_test
