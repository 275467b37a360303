// Fixture for tests that compile a script with the real setupc and run the installer it writes
// unattended, all inside a temporary folder with a SETUP_ROOT of its own.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/program_runner.h"
#include "common/remove_tree.h"
#include "platform/drives.h"
#include "platform/files.h"

using setupkit_test::BinPath;
using setupkit_test::ProgramResult;
using setupkit_test::RunProgram;

class InstallerE2ETest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = std::filesystem::temp_directory_path() /
            ("setup-installer-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(base_);
    root_ = base_ / "root";
    src_ = base_ / "src";
    out_ = base_ / "out";
    std::filesystem::create_directories(root_);
    std::filesystem::create_directories(src_);
    std::filesystem::create_directories(out_);
    setenv("SETUP_ROOT", root_.c_str(), 1);
    unsetenv("SETUP_LANGID");
    setenv("SETUP_NO_DESKTOP_ENTRIES", "1", 1);  // nothing into the real home folder
  }
  void TearDown() override { setupkit_test::RemoveTestTree(base_); }

  static void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }

  // Compiles SCRIPT (written as src/setup.sus) with setupc and the given extra options.
  ProgramResult Compile(const std::string& script, std::vector<std::string> extra = {}) {
    WriteText(src_ / "setup.sus", script);
    std::vector<std::string> args = {BinPath("setupc"), "-o", out_.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back((src_ / "setup.sus").string());
    return RunProgram(args);
  }

  static std::string Host(const std::string& windows_path) {
    return platform::ToHostPath(windows_path).value_or("");
  }

  // The finaliser removes the uninstaller and the emptied folder a moment after the
  // uninstaller has ended.
  static bool WaitUntilGone(const std::string& windows_path) {
    for (int i = 0; i < 200 && platform::DirectoryExists(windows_path); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return !platform::DirectoryExists(windows_path);
  }

  std::filesystem::path base_, root_, src_, out_;
};
