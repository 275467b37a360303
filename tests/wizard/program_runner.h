// Runs the kit's programs from the build's bin folder for end-to-end tests.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

struct ProgramResult {
  int exit_code = -1;
  std::string output;  // stdout and stderr together
};

inline std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// Runs `args` (program first) with the current environment and collects its output.
inline ProgramResult RunProgram(const std::vector<std::string>& args) {
  std::string command;
  for (const std::string& arg : args) command += ShellQuote(arg) + " ";
  command += "2>&1 </dev/null";
  ProgramResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, got);
  int status = pclose(pipe);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

inline std::string BinPath(const std::string& program) {
  return std::string(SETUPKIT_BIN_DIR) + "/" + program;
}
