#include "setup/runtime/downgrade_check.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "platform/message_box.h"
#include "platform/registry.h"
#include "platform/text_encoding.h"
#include "setup/commands/uninstall_entry.h"
#include "setup/core/pak.h"
#include "setup/core/product_info.h"
#include "setup/core/run_log.h"
#include "setup/core/setup_state.h"

namespace {

// The numbers of a version text; a number too long for 64 bits counts as the largest.
std::vector<uint64_t> VersionNumbers(const std::string& text) {
  std::vector<uint64_t> numbers;
  size_t i = text.find_first_of("0123456789");
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      value = value > (UINT64_MAX - 9) / 10 ? UINT64_MAX : value * 10 + (text[i] - '0');
    }
    numbers.push_back(value);
    if (i + 1 >= text.size() || text[i] != '.') break;
    ++i;
  }
  return numbers;
}

}  // namespace

int CompareVersions(const std::string& a, const std::string& b) {
  const std::vector<uint64_t> x = VersionNumbers(a);
  const std::vector<uint64_t> y = VersionNumbers(b);
  if (x.empty() || y.empty()) return 0;
  for (size_t i = 0; i < x.size() || i < y.size(); ++i) {
    const uint64_t p = i < x.size() ? x[i] : 0;
    const uint64_t q = i < y.size() ? y[i] : 0;
    if (p != q) return p < q ? -1 : 1;
  }
  return 0;
}

DowngradeDecision CheckDowngrade(bool unattended, bool allowed) {
  SetupState& state = SetupState::Instance();
  const TSetupInfoFile& info = state.SetupInfo();
  if (info.IsUninstaller || info.ShortName.empty() || !state.package) {
    return DowngradeDecision::kGoOn;
  }
  const std::optional<std::string> product = state.package->FindEntry(kProductInfoEntry, 0);
  if (!product) return DowngradeDecision::kGoOn;
  const std::string version = TProductInfo::Decode(product->data(), product->size()).Version;
  const std::string installed =
      platform::RegGetString(platform::RootKey::kLocalMachine, UninstallKeyPath(info.ShortName),
                             "DisplayVersion")
          .value_or("");
  if (version.empty() || installed.empty() || CompareVersions(version, installed) >= 0) {
    return DowngradeDecision::kGoOn;
  }
  const std::string older = "version " + version + " of " + info.ShortName +
                            " is older than the installed version " + installed;
  if (allowed) {
    RunLog("downgrade allowed: " + older);
    return DowngradeDecision::kGoOn;
  }
  if (unattended) {
    RunLog("downgrade refused: " + older);
    std::fprintf(stderr, "setup: %s; --allow-downgrade installs it anyway\n",
                 platform::Cp1252ToUtf8(older).c_str());
    return DowngradeDecision::kRefused;
  }
  const int answer = platform::MessageBox("V" + older.substr(1) + ".\nInstall it anyway?", "Setup",
                                          platform::kMbYesNo | platform::kMbIconWarning);
  return answer == platform::kIdYes ? DowngradeDecision::kGoOn : DowngradeDecision::kDeclined;
}
