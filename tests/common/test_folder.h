// A fresh folder in the temporary folder for the running test: named after a prefix, the
// process and the test, so parallel test processes never share one, and emptied first.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace setupkit_test {

inline std::filesystem::path FreshTestFolder(const std::string& prefix) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      (prefix + std::to_string(::getpid()) + "-" +
       ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(folder);
  return folder;
}

}  // namespace setupkit_test
