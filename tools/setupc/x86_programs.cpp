#include "tools/setupc/x86_programs.h"

#include <cstdint>

#include "platform/files.h"

namespace setupc {
namespace {

uint32_t LittleEndian(std::string_view bytes, size_t at, size_t width) {
  uint32_t value = 0;
  for (size_t k = 0; k < width; ++k) {
    value |= uint32_t{static_cast<unsigned char>(bytes[at + k])} << (8 * k);
  }
  return value;
}

bool IsElfProgram(std::string_view head) {
  // e_ident, then e_type at 16 and e_machine at 18; only little-endian files are x86.
  constexpr uint32_t kExecutable = 2, kShared = 3, kI386 = 3, kX86_64 = 62;
  constexpr std::string_view kMagic("\177ELF", 4);
  if (head.size() < 20 || head.substr(0, 4) != kMagic || head[5] != 1) return false;
  const uint32_t type = LittleEndian(head, 16, 2);
  const uint32_t machine = LittleEndian(head, 18, 2);
  return (type == kExecutable || type == kShared) && (machine == kI386 || machine == kX86_64);
}

bool IsPeProgram(std::string_view head) {
  // The DOS header's word at 0x3C gives where "PE\0\0" and the machine field are.
  constexpr uint32_t kI386 = 0x14C, kAmd64 = 0x8664;
  if (head.size() < 0x40 || head.substr(0, 2) != "MZ") return false;
  const uint32_t pe = LittleEndian(head, 0x3C, 4);
  if (pe > head.size() || head.size() - pe < 6) return false;
  if (head.substr(pe, 4) != std::string_view("PE\0\0", 4)) return false;
  const uint32_t machine = LittleEndian(head, pe + 4, 2);
  return machine == kI386 || machine == kAmd64;
}

}  // namespace

bool IsX86Program(std::string_view head) {
  if (head.size() > kProgramHeadSize) head = head.substr(0, kProgramHeadSize);
  return IsElfProgram(head) || IsPeProgram(head);
}

bool HostFileIsX86Program(const std::string& path) {
  std::optional<platform::File> file = platform::File::Open(path, platform::File::Mode::kRead);
  if (!file) return false;
  std::string head(kProgramHeadSize, '\0');
  head.resize(file->Read(head.data(), head.size()));
  return IsX86Program(head);
}

}  // namespace setupc
