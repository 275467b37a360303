// Test helpers shared by every test area: scoped environment variables and fresh temporary
// folders (each test gets its own SETUP_ROOT through these).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace setupkit_test {

// Sets (or, with no value, unsets) an environment variable for the object's lifetime, then
// restores the old state.
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

// A new, empty folder under the system temporary folder, named after `stem`.
inline std::string MakeTempFolder(const std::string& stem) {
  std::string pattern = (std::filesystem::temp_directory_path() / (stem + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  return pattern;
}

// A new, empty folder under the system temporary folder, removed with everything in it when the
// object goes. Each object has a folder of its own, also across processes.
class TempFolder {
 public:
  explicit TempFolder(const std::string& stem = "setupkit-test") : path_(MakeTempFolder(stem)) {}
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string str() const { return path_.string(); }
  // The path of `name` inside the folder.
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  // Creates the subfolder `name` (and its parents) and answers its path.
  std::string Sub(const std::string& name) const {
    std::filesystem::create_directories(path_ / name);
    return (path_ / name).string();
  }

 private:
  std::filesystem::path path_;
};

}  // namespace setupkit_test
