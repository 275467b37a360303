// A fresh folder in the temporary folder for the running test: named after a prefix, the
// process and the test, so parallel test processes never share one, and emptied first.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace setupkit_test {

inline std::filesystem::path FreshTestFolder(const std::string& prefix) {
  // A parameterised test's name holds a slash ("Test/Param"): kept, it would make a folder in a
  // folder, and removing the test's folder would leave the outer one behind.
  std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::replace(name.begin(), name.end(), '/', '-');
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()) + "-" + name);
  std::filesystem::remove_all(folder);
  return folder;
}

}  // namespace setupkit_test
