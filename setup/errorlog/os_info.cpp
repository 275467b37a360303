#include "setup/errorlog/os_info.h"

#include <cmath>

#include "platform/system.h"

TOSInfo::TOSInfo(std::string product_name, std::string edition, uint32_t major, uint32_t minor,
                 uint32_t build, std::string service_pack)
    : product_name_(std::move(product_name)),
      edition_(std::move(edition)),
      major_(major),
      minor_(minor),
      build_(build),
      service_pack_(std::move(service_pack)) {}

const TOSInfo& TOSInfo::Current() {
  static const TOSInfo info = [] {
    const platform::OsVersion version = platform::GetOsVersion();
    return TOSInfo(version.product_name, version.edition, version.major, version.minor,
                   version.build, version.service_pack);
  }();
  return info;
}

std::string TOSInfo::Product() const { return product_name_ + " " + edition_; }

int CpuSpeedMHz() {
  // Priorities stay as they are: raising a process to real time needs privileges the installer
  // does not have here, and the 500 ms window keeps the error of a preemption small.
  platform::Sleep(10);
  const uint64_t start = platform::ReadTimeStampCounter();
  platform::Sleep(500);
  const uint64_t end = platform::ReadTimeStampCounter();
  return static_cast<int>(std::lround(static_cast<double>(end - start) / 500000.0));
}
