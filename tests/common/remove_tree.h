// Removing a test's folder when a finaliser the test started by running an uninstaller may
// still be at work in it (it removes the uninstaller and its own private folder a moment after
// the uninstaller has ended): an entry it makes or removes meanwhile makes one pass fail.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

namespace setupkit_test {

inline void RemoveTestTree(const std::filesystem::path& path) {
  std::error_code error;
  for (int pass = 0; pass < 100; ++pass) {
    error.clear();
    std::filesystem::remove_all(path, error);
    if (!error) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ADD_FAILURE() << "cannot remove " << path << ": " << error.message();
}

}  // namespace setupkit_test
