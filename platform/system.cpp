// Language, operating-system facts, memory, clocks, environment and process exit.
#include "platform/system.h"

#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>

#include "platform/host_text.h"
#include "platform/text_encoding.h"

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

extern char** environ;

namespace platform {
namespace {

struct LocaleId {
  const char* name;  // "ll_CC" or "ll" (language-only fallback)
  uint16_t id;
};

constexpr LocaleId kLocales[] = {
    {"ar_SA", 0x0401},
    {"bg_BG", 0x0402},
    {"ca_ES", 0x0403},
    {"zh_TW", 0x0404},
    {"cs_CZ", 0x0405},
    {"da_DK", 0x0406},
    {"de_DE", 0x0407},
    {"el_GR", 0x0408},
    {"en_US", 0x0409},
    {"es_ES", 0x0C0A},
    {"fi_FI", 0x040B},
    {"fr_FR", 0x040C},
    {"he_IL", 0x040D},
    {"hu_HU", 0x040E},
    {"is_IS", 0x040F},
    {"it_IT", 0x0410},
    {"ja_JP", 0x0411},
    {"ko_KR", 0x0412},
    {"nl_NL", 0x0413},
    {"nb_NO", 0x0414},
    {"pl_PL", 0x0415},
    {"pt_BR", 0x0416},
    {"ro_RO", 0x0418},
    {"ru_RU", 0x0419},
    {"hr_HR", 0x041A},
    {"sk_SK", 0x041B},
    {"sv_SE", 0x041D},
    {"th_TH", 0x041E},
    {"tr_TR", 0x041F},
    {"uk_UA", 0x0422},
    {"sl_SI", 0x0424},
    {"et_EE", 0x0425},
    {"lv_LV", 0x0426},
    {"lt_LT", 0x0427},
    {"vi_VN", 0x042A},
    {"zh_CN", 0x0804},
    {"de_CH", 0x0807},
    {"en_GB", 0x0809},
    {"es_MX", 0x080A},
    {"fr_BE", 0x080C},
    {"it_CH", 0x0810},
    {"nl_BE", 0x0813},
    {"nn_NO", 0x0814},
    {"pt_PT", 0x0816},
    {"sr_RS", 0x081A},
    {"sv_FI", 0x081D},
    {"de_AT", 0x0C07},
    {"en_AU", 0x0C09},
    {"fr_CA", 0x0C0C},
    {"en_CA", 0x1009},
    {"fr_CH", 0x100C},
    {"en_NZ", 0x1409},
    {"en_IE", 0x1809},
    {"en_ZA", 0x1C09},
    // Language only: the main country's id.
    {"ar", 0x0401},
    {"bg", 0x0402},
    {"ca", 0x0403},
    {"zh", 0x0804},
    {"cs", 0x0405},
    {"da", 0x0406},
    {"de", 0x0407},
    {"el", 0x0408},
    {"en", 0x0409},
    {"es", 0x0C0A},
    {"fi", 0x040B},
    {"fr", 0x040C},
    {"he", 0x040D},
    {"hu", 0x040E},
    {"is", 0x040F},
    {"it", 0x0410},
    {"ja", 0x0411},
    {"ko", 0x0412},
    {"nl", 0x0413},
    {"nb", 0x0414},
    {"no", 0x0414},
    {"nn", 0x0814},
    {"pl", 0x0415},
    {"pt", 0x0416},
    {"ro", 0x0418},
    {"ru", 0x0419},
    {"hr", 0x041A},
    {"sk", 0x041B},
    {"sv", 0x041D},
    {"th", 0x041E},
    {"tr", 0x041F},
    {"uk", 0x0422},
    {"sl", 0x0424},
    {"et", 0x0425},
    {"lv", 0x0426},
    {"lt", 0x0427},
    {"vi", 0x042A},
    {"sr", 0x081A},
};

constexpr uint16_t kDefaultLangId = 0x0409;

std::optional<uint16_t> LookUpLocale(const std::string& name) {
  for (const LocaleId& entry : kLocales) {
    if (name == entry.name) return entry.id;
  }
  return std::nullopt;
}

// "cs_CZ.UTF-8@euro" -> id of cs_CZ, else of "cs"; nothing for C/POSIX and unknown names.
std::optional<uint16_t> LangIdFromLocale(std::string locale) {
  locale = locale.substr(0, locale.find_first_of(".@"));
  if (auto id = LookUpLocale(locale)) return id;
  return LookUpLocale(locale.substr(0, locale.find('_')));
}

std::string ReadOsReleaseValue(const std::string& text, const std::string& key) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.compare(0, key.size() + 1, key + "=") != 0) continue;
    std::string value = line.substr(key.size() + 1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    std::string unescaped;
    for (size_t i = 0; i < value.size(); ++i) {
      if (value[i] == '\\' && i + 1 < value.size()) ++i;
      unescaped += value[i];
    }
    return unescaped;
  }
  return "";
}

// Value of a "Name:   1234 kB" line of /proc/meminfo in bytes; 0 when missing.
uint64_t MemInfoBytes(const char* name) {
  const std::string text = internal::ReadHostText("/proc/meminfo").value_or("");
  const std::string key = std::string(name) + ":";
  for (std::string_view line : internal::SplitLines(text)) {
    const std::vector<std::string_view> words = internal::SplitBlanks(line);
    if (words.size() >= 2 && words[0] == key) {
      return std::strtoull(std::string(words[1]).c_str(), nullptr, 10) * 1024;
    }
  }
  return 0;
}

}  // namespace

uint16_t GetSystemDefaultLangId() {
  const std::string override_id = GetEnvironmentVariable("SETUP_LANGID");
  if (!override_id.empty()) {
    char* end = nullptr;
    const unsigned long id = std::strtoul(override_id.c_str(), &end, 16);
    if (end != nullptr && *end == '\0' && id > 0 && id <= 0xFFFF) {
      return static_cast<uint16_t>(id);
    }
  }
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const std::string locale = GetEnvironmentVariable(name);
    if (locale.empty()) continue;
    // The first variable that is set decides, as for setlocale.
    return LangIdFromLocale(locale).value_or(kDefaultLangId);
  }
  return kDefaultLangId;
}

OsVersion GetOsVersion() {
  OsVersion version;
  std::string text;
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    if (std::optional<std::string> read = internal::ReadHostText(path)) {
      text = std::move(*read);
      break;
    }
  }
  version.product_name = ReadOsReleaseValue(text, "NAME");
  version.edition = ReadOsReleaseValue(text, "VERSION");
  if (version.product_name.empty()) version.product_name = "Linux";
  utsname names{};
  if (uname(&names) == 0) {
    // "6.1.0-13-amd64": the first three numbers, each ended by anything not a digit.
    unsigned parts[3] = {0, 0, 0};
    const char* p = names.release;
    for (unsigned& part : parts) {
      char* end = nullptr;
      part = static_cast<unsigned>(std::strtoul(p, &end, 10));
      if (end == p || *end != '.') break;
      p = end + 1;
    }
    version.major = parts[0];
    version.minor = parts[1];
    version.build = parts[2];
  }
  return version;
}

uint64_t PhysicalMemoryBytes() {
  struct sysinfo info {};
  if (sysinfo(&info) == 0) return static_cast<uint64_t>(info.totalram) * info.mem_unit;
  return MemInfoBytes("MemTotal");
}

uint64_t AvailableMemoryBytes() {
  const uint64_t available = MemInfoBytes("MemAvailable");
  if (available != 0) return available;
  struct sysinfo info {};
  if (sysinfo(&info) == 0) return static_cast<uint64_t>(info.freeram) * info.mem_unit;
  return 0;
}

uint32_t GetTickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
  return static_cast<uint32_t>(ms);
}

uint64_t ReadTimeStampCounter() {
#if defined(__x86_64__) || defined(__i386__)
  return __rdtsc();
#else
  // Without a readable cycle counter, a nanosecond clock: a 1000 MHz "processor".
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_RAW, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000ull + now.tv_nsec;
#endif
}

void Sleep(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::vector<std::string> EnvironmentStrings() {
  std::vector<std::string> strings;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    // The environment is UTF-8; the texts it is expanded into are Windows-1252.
    strings.push_back(Utf8ToCp1252(*entry));
  }
  return strings;
}

std::string GetEnvironmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value != nullptr ? value : "";
}

std::string GetUserName() {
  const std::string user = GetEnvironmentVariable("USER");
  return user.empty() ? "user" : Utf8ToCp1252(user);
}

void ExitProcess(int exit_code) {
  std::fflush(nullptr);
  std::quick_exit(exit_code);
}

}  // namespace platform
