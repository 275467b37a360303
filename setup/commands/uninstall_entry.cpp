#include "setup/commands/uninstall_entry.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <exception>

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/local_time.h"
#include "platform/name_index.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/text_encoding.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/pak.h"
#include "setup/core/setup_info.h"
#include "setup/core/text_services.h"

namespace {

constexpr platform::RootKey kRoot = platform::RootKey::kLocalMachine;
constexpr const char kUninstallRoot[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char kQuietSwitch[] = "--unattended";

// Every value an entry may hold, so that removal leaves nothing of it.
constexpr const char* kEntryValues[] = {
    "DisplayName",     "UninstallString", "QuietUninstallString",
    "InstallLocation", "DisplayIcon",     "EstimatedSize",
    "NoModify",        "NoRepair",        "InstallDate",
    "DisplayVersion",  "Publisher",       "URLInfoAbout"};

std::string Read(const std::string& key, const char* name) {
  return platform::Cp1252ToUtf8(platform::RegGetString(kRoot, key, name).value_or(""));
}

std::string ShellQuote(const std::string& text) {
  const bool plain = !text.empty() && text.find_first_not_of(
                                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                          "0123456789_/.,:=+-@%") == std::string::npos;
  if (plain) return text;
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// The host path (UTF-8) of a Windows path (Windows-1252), or the path itself made UTF-8 when
// no drive holds it. The host path is UTF-8 already and is not converted again.
std::string HostPathText(const std::string& windows_path) {
  const std::optional<std::string> host = platform::ToHostPath(windows_path);
  return host ? *host : platform::Cp1252ToUtf8(windows_path);
}

// The words of a Windows command line (quoted program, or an unquoted one as older runtimes
// wrote it), the program first.
std::vector<std::string> CommandWords(const std::string& command) {
  if (command.empty()) return {};
  if (command[0] != '"' && platform::FileExists(command)) return {command};
  return platform::SplitCommandLine(command);
}

}  // namespace

std::optional<TSetupInfoFile> UninstallerSetupRecord(const std::string& uninstall_command) {
  const std::vector<std::string> words = CommandWords(uninstall_command);
  if (words.empty() || !platform::FileExists(words[0])) return std::nullopt;
  try {
    TPak pak(words[0], false, false);
    if (!pak.IsOpen() || !pak.Trailer().HasMagic()) return std::nullopt;
    const std::optional<std::string> record = pak.FindEntry("SetupInfo", 0);
    if (!record) return std::nullopt;
    TSetupInfoFile info;
    info.ReadFromBuffer(record->data(), record->size());
    return info;
  } catch (const std::exception&) {
    return std::nullopt;  // a damaged uninstaller
  }
}

namespace {

// The product's full name from the setup record its uninstaller carries (the Uninstall entry's
// DisplayName is the short name); empty when the uninstaller cannot be read.
std::string FullNameFromUninstaller(const std::string& uninstall_command) {
  const std::optional<TSetupInfoFile> info = UninstallerSetupRecord(uninstall_command);
  return info ? platform::Cp1252ToUtf8(info->SetupName) : "";
}

// A Windows command line as a shell command (UTF-8) with the program's host path.
std::string HostCommand(const std::string& command) {
  const std::vector<std::string> words = CommandWords(command);
  if (words.empty()) return "";
  std::string out = ShellQuote(HostPathText(words[0]));
  for (size_t i = 1; i < words.size(); ++i)
    out += " " + ShellQuote(platform::Cp1252ToUtf8(words[i]));
  return out;
}

std::string Field(const std::string& text) {
  if (text.empty()) return "-";
  std::string out = text;
  for (char& c : out) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return out;
}

const char* ScopeName(const TInstalledProduct& product) {
  return product.machine ? "machine" : "user";
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string UninstallKeyPath(const std::string& key_name) {
  return std::string(kUninstallRoot) + "\\" + key_name;
}

std::string QuotedUninstallString(const std::string& uninstaller) {
  return "\"" + uninstaller + "\"";
}

std::string QuietUninstallString(const std::string& uninstaller) {
  return QuotedUninstallString(uninstaller) + " " + kQuietSwitch;
}

std::string TodayAsInstallDate() {
  const platform::LocalTime local = platform::LocalTimeOf(std::time(nullptr));
  char text[40];
  std::snprintf(text, sizeof text, "%04d%02d%02d", local.year, local.month, local.day);
  return text;
}

uint64_t InstalledBytes(const TUninstallList& list) {
  // Most files were written by this run, which knows their sizes; the others are measured
  // under a name index (each folder's names listed once for the case-insensitive lookups).
  platform::NameIndexScope name_index;
  uint64_t total = 0;
  for (const std::string& file : list.Files()) {
    const std::string path = ExpandFilePath(file);
    const std::optional<uint64_t> written = list.WrittenSize(path);
    total += written ? *written : platform::GetFileSize(path).value_or(0);
  }
  return total;
}

bool WriteUninstallEntry(const std::string& key_name, const TUninstallEntry& entry) {
  if (key_name.empty()) return false;
  const std::string key = UninstallKeyPath(key_name);
  // Stops at the first value that cannot be written, so errno still gives its reason.
  bool ok = true;
  auto text = [&](const char* name, const std::string& value) {
    ok = ok && (value.empty() || platform::RegSetString(kRoot, key, name, value));
  };
  auto dword = [&](const char* name, uint32_t value) {
    ok = ok && platform::RegSetDword(kRoot, key, name, value);
  };
  text("DisplayName", entry.display_name);
  text("UninstallString", QuotedUninstallString(entry.uninstaller));
  text("QuietUninstallString", QuietUninstallString(entry.uninstaller));
  text("InstallLocation", entry.install_location);
  text("DisplayIcon", entry.display_icon);
  // KB rounded up, and capped where a DWORD ends (4 TiB).
  const uint64_t kb = entry.installed_bytes / 1024 + (entry.installed_bytes % 1024 != 0);
  dword("EstimatedSize", static_cast<uint32_t>(std::min<uint64_t>(kb, UINT32_MAX)));
  dword("NoModify", 1);
  dword("NoRepair", 1);
  text("InstallDate", entry.install_date);
  text("DisplayVersion", entry.version);
  text("Publisher", entry.publisher);
  text("URLInfoAbout", entry.url);
  return ok;
}

void RemoveUninstallEntry(const std::string& key_name) {
  if (key_name.empty()) return;
  const std::string key = UninstallKeyPath(key_name);
  if (!platform::RegKeyExists(kRoot, key)) return;
  for (const char* name : kEntryValues) platform::RegDeleteValue(kRoot, key, name);
  platform::RegDeleteKey(kRoot, key);
}

std::vector<TInstalledProduct> ListInstalledProducts() {
  std::vector<TInstalledProduct> products;
  for (const std::string& name : platform::RegSubKeyNames(kRoot, kUninstallRoot)) {
    const std::string key = UninstallKeyPath(name);
    TInstalledProduct product;
    product.key = platform::Cp1252ToUtf8(name);
    const std::string uninstall =
        platform::RegGetString(kRoot, key, "UninstallString").value_or("");
    product.name = FullNameFromUninstaller(uninstall);
    if (product.name.empty()) product.name = Read(key, "DisplayName");
    if (product.name.empty()) product.name = product.key;
    product.version = Read(key, "DisplayVersion");
    product.publisher = Read(key, "Publisher");
    const std::string location = platform::RegGetString(kRoot, key, "InstallLocation").value_or("");
    if (!location.empty()) {
      product.install_folder = platform::ToHostPath(location).value_or("");
    }
    product.uninstall = HostCommand(uninstall);
    std::string quiet = platform::RegGetString(kRoot, key, "QuietUninstallString").value_or("");
    product.quiet_uninstall =
        quiet.empty() ? (product.uninstall.empty() ? "" : product.uninstall + " " + kQuietSwitch)
                      : HostCommand(quiet);
    products.push_back(std::move(product));
  }
  return products;
}

std::vector<TInstalledProduct> ListInstalledProductsOfBothScopes() {
  std::vector<TInstalledProduct> products;
  for (const bool machine : {true, false}) {
    platform::ScopeSwitch scope(machine);
    for (TInstalledProduct& product : ListInstalledProducts()) {
      product.machine = machine;
      products.push_back(std::move(product));
    }
  }
  return products;
}

std::string FormatInstalledProducts(const std::vector<TInstalledProduct>& products, bool json) {
  std::string out;
  if (!json) {
    for (const TInstalledProduct& p : products) {
      out += Field(p.name) + "\t" + Field(p.version) + "\t" + Field(p.install_folder) + "\t" +
             Field(p.quiet_uninstall) + "\t" + ScopeName(p) + "\n";
    }
    return out;
  }
  out = "[";
  for (size_t i = 0; i < products.size(); ++i) {
    const TInstalledProduct& p = products[i];
    out += i == 0 ? "\n" : ",\n";
    out += "  {\"key\": " + JsonString(p.key) + ", \"name\": " + JsonString(p.name) +
           ", \"version\": " + JsonString(p.version) +
           ", \"publisher\": " + JsonString(p.publisher) +
           ", \"install_folder\": " + JsonString(p.install_folder) +
           ", \"uninstall\": " + JsonString(p.uninstall) +
           ", \"quiet_uninstall\": " + JsonString(p.quiet_uninstall) + ", \"scope\": \"" +
           ScopeName(p) + "\"}";
  }
  out += products.empty() ? "]\n" : "\n]\n";
  return out;
}
