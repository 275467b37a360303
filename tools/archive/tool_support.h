// Shared pieces of setup-archive: errors, argument handling and the files the commands read
// and write.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace archive_tool {

// A bad input: printed as one line, exit code 2.
class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Command-line words after the command, with --name VALUE options taken out.
struct Args {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;  // name without "--", value
  // Whether `--name` was given (flags take no value).
  bool Flag(const std::string& name) const;
  // The value of `--name`, or `fallback`.
  std::string Option(const std::string& name, const std::string& fallback) const;
  uint32_t NumberOption(const std::string& name) const;  // required, decimal
};

// Splits words; names in `flags` take no value, every other --name takes the next word.
Args ParseArgs(const std::vector<std::string>& words, const std::vector<std::string>& flags);

// Files named by SOURCE words: a folder gives every file below it with names relative to it
// ("\" between components), a file gives its own name, and ENTRY=FILE gives that entry name.
std::vector<std::pair<std::string, std::string>> CollectSources(
    const std::vector<std::string>& sources);

// Writes `content` as entry `name` (components split at "\" or "/") below `folder`, creating
// folders. Names with ".." or nothing in them are refused so nothing lands outside `folder`.
void WriteBelow(const std::string& folder, const std::string& name, const std::string& content);

int PakCommand(const std::string& command, const std::vector<std::string>& words);
int VfsCommand(const std::string& command, const std::vector<std::string>& words);

}  // namespace archive_tool
