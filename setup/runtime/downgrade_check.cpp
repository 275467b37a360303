#include "setup/runtime/downgrade_check.h"

#include <cstdint>
#include <cstdio>
#include <optional>

#include "platform/message_box.h"
#include "platform/registry.h"
#include "platform/text_encoding.h"
#include "setup/commands/uninstall_entry.h"
#include "setup/core/pak.h"
#include "setup/core/product_info.h"
#include "setup/core/run_log.h"
#include "setup/core/setup_state.h"

namespace {

bool IsDigit(const std::string& text, size_t i) {
  return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

// The number at `i` (saturated at the largest 64-bit value); `i` then moves past the dot that
// follows it when another number comes next, else to the end of the text.
uint64_t NextNumber(const std::string& text, size_t& i) {
  uint64_t value = 0;
  for (; IsDigit(text, i); ++i) {
    value = value > (UINT64_MAX - 9) / 10 ? UINT64_MAX : value * 10 + (text[i] - '0');
  }
  i = i < text.size() && text[i] == '.' && IsDigit(text, i + 1) ? i + 1 : text.size();
  return value;
}

}  // namespace

int CompareVersions(const std::string& a, const std::string& b) {
  size_t i = a.find_first_of("0123456789");
  size_t j = b.find_first_of("0123456789");
  if (i == std::string::npos || j == std::string::npos) return 0;
  while (i < a.size() || j < b.size()) {
    const uint64_t p = i < a.size() ? NextNumber(a, i) : 0;
    const uint64_t q = j < b.size() ? NextNumber(b, j) : 0;
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
  const std::string older =
      version + " of " + info.ShortName + " is older than the installed version " + installed;
  RunLog((allowed ? "downgrade allowed: version " : "downgrade: version ") + older);
  if (allowed) return DowngradeDecision::kGoOn;
  if (unattended) {
    std::fprintf(stderr, "setup: version %s; --allow-downgrade installs it anyway\n",
                 platform::Cp1252ToUtf8(older).c_str());
    return DowngradeDecision::kRefused;
  }
  const int answer = platform::MessageBox("Version " + older + ".\nInstall it anyway?", "Setup",
                                          platform::kMbYesNo | platform::kMbIconWarning);
  return answer == platform::kIdYes ? DowngradeDecision::kGoOn : DowngradeDecision::kDeclined;
}
