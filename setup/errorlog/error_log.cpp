#include "setup/errorlog/error_log.h"

#include <algorithm>
#include <atomic>
#include <optional>

#include "platform/ascii_case.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/system.h"
#include "setup/core/pak.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/errorlog/os_info.h"

namespace {

constexpr size_t kFieldNameWidth = 22;
constexpr uint32_t kMaxLogNumber = 1000000;  // gives up when the folder is full of reports

void AddLine(std::string& out, const std::string& line) { out += line + "\r\n"; }

void AddTitle(std::string& out, const std::string& title) {
  AddLine(out, title);
  AddLine(out, std::string(title.size(), '-'));
}

void AddField(std::string& out, const std::string& name, const std::string& value) {
  std::string padded = name;
  if (padded.size() < kFieldNameWidth) padded.append(kFieldNameWidth - padded.size(), ' ');
  AddLine(out, padded + " : " + value);
}

std::string TypeOrUnknown(const std::string& error_type) {
  return error_type.empty() ? std::string("Unknown") : error_type;
}

// Creates the first free numbered report file exclusively, so two reports never share a file.
std::optional<std::pair<std::string, platform::File>> CreateLogFile(const std::string& folder) {
  for (uint32_t number = 0; number < kMaxLogNumber; ++number) {
    const std::string path = folder + ErrorLogFileName(number);
    if (platform::FileExists(path) || platform::DirectoryExists(path)) continue;
    std::optional<platform::File> file =
        platform::File::Open(path, platform::File::Mode::kCreateNew);
    if (file) return std::make_pair(path, std::move(*file));
    // Someone else took this number in the meantime: try the next; otherwise give up.
    if (!platform::FileExists(path)) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

std::string ErrorLogFileName(uint32_t number) {
  std::string digits = std::to_string(number);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  return "ErrorLog" + digits + ".TXT";
}

std::string FormatParams(const std::vector<std::string>& params) {
  std::string out;
  for (size_t i = 0; i < params.size(); ++i) {
    std::string word = platform::AsciiUpper(params[i]);
    if (word == "/J") {
      word = "/j X X.X.X.X";
      i += 2;  // the two parameters after /J are not written
    }
    if (!out.empty()) out += ' ';
    out += word;
  }
  return out;
}

std::string ErrorReportMessage(const std::string& message, const std::string& error_type,
                               const std::string& log_path) {
  return TypeOrUnknown(error_type) + " Error: " + message +
         "\r\rError Log Created. Please Include \"" + log_path + "\" with your bug report";
}

std::string FormatErrorLog(const ErrorLogContents& c) {
  std::string out;
  AddTitle(out, "General Info");
  AddField(out, "Setup Name", c.setup_name);
  AddField(out, "Setup EXE Name", c.setup_exe_name);
  AddLine(out, "");
  AddTitle(out, "Pak Info");
  AddField(out, "ID", c.pak_id);
  AddField(out, "Version", std::to_string(c.pak_version));
  AddField(out, "Count", std::to_string(c.pak_count));
  AddLine(out, "");
  AddField(out, "ErrorType", TypeOrUnknown(c.error_type));
  AddField(out, "ErrorText", c.error_text);
  AddLine(out, "");
  AddField(out, "Params", FormatParams(c.params));
  AddField(out, "ParamCount", std::to_string(c.params.size()));
  AddLine(out, "");
  AddTitle(out, "Windows Info");
  AddField(out, "Product", c.product);
  AddField(out, "BuildNumber", std::to_string(c.build_number));
  AddField(out, "ServicePack", c.service_pack);
  AddField(out, "ServicePackMajor", std::to_string(c.service_pack_major));
  AddField(out, "ServicePackMinor", std::to_string(c.service_pack_minor));
  AddLine(out, "");
  AddField(out, "Physical Memory",
           std::to_string(c.physical_memory_bytes / 1024 / 1024 + 1) + "MB");
  AddField(out, "CPU Speed", std::to_string(c.cpu_mhz) + "Mhz");
  return out;
}

ErrorLogContents CollectErrorLogContents(const std::string& message,
                                         const std::string& error_type) {
  SetupState& state = SetupState::Instance();
  ErrorLogContents c;
  c.setup_name = state.SetupInfo().SetupName;
  c.setup_exe_name = state.SetupInfo().SetupExeName;
  if (state.package) {
    const TPakTrailer& trailer = state.package->Trailer();
    for (char ch : trailer.magic) {
      if (ch != '\0') c.pak_id.push_back(ch);
    }
    c.pak_version = trailer.version;
    c.pak_count = trailer.entry_count;
  }
  c.error_type = error_type;
  c.error_text = message;
  c.params = state.params;
  const TOSInfo& os = TOSInfo::Current();
  c.product = os.Product();
  c.build_number = os.BuildNumber();
  c.service_pack = os.ServicePack();
  c.service_pack_major = os.ServicePackMajor();
  c.service_pack_minor = os.ServicePackMinor();
  c.physical_memory_bytes = platform::PhysicalMemoryBytes();
  c.cpu_mhz = std::max(CpuSpeedMHz(), CpuSpeedMHz());
  return c;
}

void WriteErrorLog(const std::string& message, const std::string& error_type) {
  static std::atomic<bool> entered{false};
  if (entered.exchange(true, std::memory_order_acq_rel)) {
    // Another thread is writing the report and will end the process.
    for (;;) platform::Sleep(1000);
  }
  try {
    const std::string text = FormatErrorLog(CollectErrorLogContents(message, error_type));
    std::string path;
    if (auto created = CreateLogFile(platform::GetTempPath())) {
      path = created->first;
      created->second.Write(text.data(), text.size());
      created->second.Close();
    }
    platform::MessageBox(ErrorReportMessage(message, error_type, path), "Error Report",
                         platform::kMbOk);
    if (!path.empty() && !SetupState::Instance().Unattended()) platform::ShellExecute(path, "");
  } catch (...) {
    // The report is the last resort; whatever fails inside it, the process still ends.
  }
  platform::ExitProcess(kErrorLogExitCode);
}
