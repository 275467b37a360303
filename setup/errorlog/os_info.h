// Operating-system facts for the error report, read once: this platform's product name and
// edition (from os-release), the kernel version and build, and the service level (none here).
#pragma once

#include <cstdint>
#include <string>

class TOSInfo {
 public:
  // The facts of the running system (read on first use).
  static const TOSInfo& Current();

  TOSInfo() = default;
  TOSInfo(std::string product_name, std::string edition, uint32_t major, uint32_t minor,
          uint32_t build, std::string service_pack);

  const std::string& ProductName() const { return product_name_; }
  const std::string& Edition() const { return edition_; }
  // Product name and edition joined by a blank, as the report shows them.
  std::string Product() const;
  uint32_t MajorVersion() const { return major_; }
  uint32_t MinorVersion() const { return minor_; }
  uint32_t BuildNumber() const { return build_; }
  const std::string& ServicePack() const { return service_pack_; }
  uint32_t ServicePackMajor() const { return 0; }
  uint32_t ServicePackMinor() const { return 0; }

 private:
  std::string product_name_;
  std::string edition_;
  uint32_t major_ = 0;
  uint32_t minor_ = 0;
  uint32_t build_ = 0;
  std::string service_pack_;
};

// One clock measurement in MHz: time-stamp-counter ticks over a 500 ms sleep.
int CpuSpeedMHz();
