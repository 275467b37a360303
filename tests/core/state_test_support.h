// Test support for code on top of SetupState: a private SETUP_ROOT with its own drive table
// (C: fixed, D: fixed, E: and F: CD-ROM) and a fresh shared state for every test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "common/scoped_env.h"
#include "platform/files.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"

namespace state_test {

using setupkit_test::ScopedEnv;

inline std::string MakeTempFolder() { return setupkit_test::MakeTempFolder("setupkit-state"); }

// Writes the drives file; `with_cdrom` adds two CD-ROM drives (E: first).
inline void WriteDrives(const std::string& root, bool with_cdrom) {
  std::filesystem::create_directories(root + "/drive_c");
  std::filesystem::create_directories(root + "/drive_d");
  std::ofstream drives(root + "/drives");
  drives << "C: fixed " << root << "/drive_c\n";
  drives << "D: fixed " << root << "/drive_d\n";
  if (with_cdrom) {
    std::filesystem::create_directories(root + "/cd_f");
    std::filesystem::create_directories(root + "/cd_e");
    drives << "F: cdrom " << root << "/cd_f\n";
    drives << "E: cdrom " << root << "/cd_e\n";
  }
}

class StateTest : public ::testing::Test {
 protected:
  StateTest()
      : root_(MakeTempFolder()), root_env_("SETUP_ROOT", root_), user_env_("USER", "tester") {
    WriteDrives(root_, true);
  }
  ~StateTest() override {
    SetupState::Instance().Reset();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  void SetUp() override { SetupState::Instance().Reset(); }

  SetupState& State() { return SetupState::Instance(); }
  void SetInstallDir(const std::string& dir) { State().SetupInfo().InstallDir = dir; }
  // Host path of a path on drive C:.
  std::string HostC(const std::string& rest) const { return root_ + "/drive_c/" + rest; }
  const std::string& Root() const { return root_; }

 private:
  std::string root_;
  ScopedEnv root_env_;
  ScopedEnv user_env_;
};

}  // namespace state_test
