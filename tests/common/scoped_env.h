// Test helpers shared by every test area: scoped environment variables and fresh temporary
// folders (each test gets its own SETUP_ROOT through these).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

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

}  // namespace setupkit_test
