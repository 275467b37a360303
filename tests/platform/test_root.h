// Test helpers: a private temporary SETUP_ROOT per test and scoped environment variables.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "common/scoped_env.h"

namespace platform_test {

using setupkit_test::ScopedEnv;

// A fresh folder used as SETUP_ROOT (with USER fixed to "tester"), removed afterwards.
class TempSetupRoot {
 public:
  TempSetupRoot()
      : path_(MakeTempFolder()), root_env_("SETUP_ROOT", path_), user_env_("USER", "tester") {}
  ~TempSetupRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempSetupRoot(const TempSetupRoot&) = delete;
  TempSetupRoot& operator=(const TempSetupRoot&) = delete;

  const std::string& Path() const { return path_; }
  // Host folder of drive C: in the default drive table.
  std::string DriveC() const { return path_ + "/drive_c"; }

 private:
  static std::string MakeTempFolder() { return setupkit_test::MakeTempFolder("setupkit-test"); }
  std::string path_;
  ScopedEnv root_env_;
  ScopedEnv user_env_;
};

}  // namespace platform_test
