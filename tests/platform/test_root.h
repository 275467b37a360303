// Test helpers: a private temporary SETUP_ROOT per test and scoped environment variables.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace platform_test {

// Sets an environment variable for the lifetime of the object, then restores the old state.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

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
  static std::string MakeTempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "setupkit-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }
  std::string path_;
  ScopedEnv root_env_;
  ScopedEnv user_env_;
};

}  // namespace platform_test
