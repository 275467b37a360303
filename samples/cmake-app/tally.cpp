// tally: counts the lines, words and bytes of its files (or of standard input), as a small
// command-line program whose installer its own CMake build makes.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>

namespace {

struct Counts {
  unsigned long long lines = 0, words = 0, bytes = 0;
};

Counts Count(std::istream& in) {
  Counts counts;
  bool in_word = false;
  for (char c; in.get(c);) {
    ++counts.bytes;
    if (c == '\n') ++counts.lines;
    const bool blank = std::isspace(static_cast<unsigned char>(c)) != 0;
    if (!blank && !in_word) ++counts.words;
    in_word = !blank;
  }
  return counts;
}

void Print(const Counts& counts, const char* name) {
  std::printf("%llu %llu %llu%s%s\n", counts.lines, counts.words, counts.bytes, name ? " " : "",
              name ? name : "");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Print(Count(std::cin), nullptr);
    return 0;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "tally: cannot read %s\n", argv[i]);
      status = 1;
      continue;
    }
    Print(Count(in), argv[i]);
  }
  return status;
}
