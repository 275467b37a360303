// Helpers for the package and record tests: a private temporary folder and whole-file byte
// access with small damage helpers.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "common/file_bytes.h"
#include "common/scoped_env.h"

namespace pak_test {

using setupkit_test::ReadBytes;
using setupkit_test::WriteBytes;

// The shared temporary folder, with the file-name helper these tests use.
class TempDir : public setupkit_test::TempFolder {
 public:
  std::string File(const std::string& name) const { return *this / name; }
};

// Rewrites an existing file of the same length in place. Not truncating matters: on some file
// systems truncating and rewriting a file forces its data to disk at close, which makes tests
// that damage a file thousands of times crawl on a busy disk.
inline void OverwriteBytes(const std::string& path, const std::string& bytes) {
  std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline void FlipByte(const std::string& path, uint64_t position) {
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekg(static_cast<std::streamoff>(position));
  const char old = static_cast<char>(file.get());
  file.seekp(static_cast<std::streamoff>(position));
  file.put(static_cast<char>(old ^ 0x5A));
}

// A file of `size` bytes that are zero except for `head` at the start and `tail` at the end;
// made sparse, so even a 70 MiB file costs no disk writes.
inline void MakeSparseFile(const std::string& path, uint64_t size, const std::string& head,
                           const std::string& tail) {
  WriteBytes(path, "");
  std::filesystem::resize_file(path, size);
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.write(head.data(), static_cast<std::streamsize>(head.size()));
  file.seekp(static_cast<std::streamoff>(size - tail.size()));
  file.write(tail.data(), static_cast<std::streamsize>(tail.size()));
}

inline void PutLe32(std::string& bytes, uint64_t position, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[position + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline uint32_t GetLe32(const std::string& bytes, uint64_t position) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[position + i])) << (8 * i);
  }
  return value;
}

// Bytes written as hex digit pairs; blanks between them are ignored.
inline std::string Hex(const std::string& digits) {
  std::string bytes;
  for (size_t i = 0; i + 1 < digits.size(); ++i) {
    if (digits[i] == ' ') continue;
    bytes.push_back(static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    ++i;
  }
  return bytes;
}

inline std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

// Text that compresses well.
inline std::string TextBytes(size_t size) {
  static const std::string kLine = "Setup copies the product files into the install folder.\r\n";
  std::string text;
  while (text.size() < size) text += kLine;
  text.resize(size);
  return text;
}

}  // namespace pak_test
