// Which files setupc treats as x86 programs: the headers of each kind, and near misses.
#include "tools/setupc/x86_programs.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// An ELF header's first 20 bytes: class 64, the given byte order, type and machine.
std::string Elf(char order, uint16_t type, uint16_t machine) {
  std::string head = std::string(
                         "\x7f"
                         "ELF\x02",
                         5) +
                     order + std::string(10, '\0');
  head += static_cast<char>(type & 0xFF);
  head += static_cast<char>(type >> 8);
  head += static_cast<char>(machine & 0xFF);
  head += static_cast<char>(machine >> 8);
  return head + std::string(44, '\0');
}

// A DOS stub whose word at 0x3C points at "PE\0\0" and the machine, at `at`.
std::string Pe(uint32_t at, uint16_t machine, size_t size = 0x200) {
  std::string head(size, '\0');
  head[0] = 'M';
  head[1] = 'Z';
  for (int k = 0; k < 4; ++k) head[0x3C + k] = static_cast<char>(at >> (8 * k));
  const std::string signature("PE\0\0", 4);
  if (at + 6 <= size) {
    head.replace(at, 4, signature);
    head[at + 4] = static_cast<char>(machine & 0xFF);
    head[at + 5] = static_cast<char>(machine >> 8);
  }
  return head;
}

TEST(X86ProgramsTest, KnowsProgramsAndLibrariesOfBothFormats) {
  const struct {
    const char* what;
    std::string head;
    bool program;
  } cases[] = {
      {"x86-64 shared object", Elf(1, 3, 62), true},
      {"i386 executable", Elf(1, 2, 3), true},
      {"x86-64 object file", Elf(1, 1, 62), false},
      {"aarch64 shared object", Elf(1, 3, 183), false},
      {"big-endian", Elf(2, 3, 62), false},
      {"ELF cut short", Elf(1, 3, 62).substr(0, 19), false},
      {"x64 PE", Pe(0x80, 0x8664), true},
      {"i386 PE", Pe(0xF8, 0x14C), true},
      {"ARM64 PE", Pe(0x80, 0xAA64), false},
      {"PE header past the head", Pe(0x7FFFFFFF, 0x8664), false},
      {"PE header at the head's end", Pe(0x1FC, 0x8664), false},
      {"DOS stub cut short", Pe(0x80, 0x8664).substr(0, 0x3E), false},
      {"text", std::string(100, 'a'), false},
      {"nothing", "", false},
  };
  for (const auto& c : cases) EXPECT_EQ(setupc::IsX86Program(c.head), c.program) << c.what;
}

}  // namespace
