// A package group as the archive updates read it: its entries in package directory order, each
// with its name and full size, loaded one at a time. The runtime reads the shared package; tools
// and tests can hand in files held in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TPak;  // setup/core/pak.h

class TGroupSource {
 public:
  virtual ~TGroupSource() = default;
  virtual int Count() = 0;
  // Calls `visit` with each entry's index (for Load), name and full size, in order.
  virtual void ForEach(
      const std::function<void(int index, const std::string& name, uint32_t full_size)>& visit) = 0;
  // The entry's content; nothing when it cannot be read.
  virtual std::optional<std::string> Load(int index) = 0;
};

// One group of a read-mode package.
class TPakGroupSource : public TGroupSource {
 public:
  TPakGroupSource(TPak& pak, uint16_t group) : pak_(pak), group_(group) {}
  int Count() override;
  void ForEach(const std::function<void(int, const std::string&, uint32_t)>& visit) override;
  std::optional<std::string> Load(int index) override;

 private:
  TPak& pak_;
  uint16_t group_;
};

// Named contents held in memory, in the given order.
class TMemoryGroupSource : public TGroupSource {
 public:
  TMemoryGroupSource() = default;
  explicit TMemoryGroupSource(std::vector<std::pair<std::string, std::string>> files)
      : files_(std::move(files)) {}
  void Add(std::string name, std::string content) {
    files_.emplace_back(std::move(name), std::move(content));
  }
  int Count() override { return static_cast<int>(files_.size()); }
  void ForEach(const std::function<void(int, const std::string&, uint32_t)>& visit) override {
    for (size_t i = 0; i < files_.size(); ++i) {
      visit(static_cast<int>(i), files_[i].first, static_cast<uint32_t>(files_[i].second.size()));
    }
  }
  std::optional<std::string> Load(int index) override {
    if (index < 0 || static_cast<size_t>(index) >= files_.size()) return std::nullopt;
    return files_[static_cast<size_t>(index)].second;
  }

 private:
  std::vector<std::pair<std::string, std::string>> files_;
};
