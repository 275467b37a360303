#include "setup/core/setup_state.h"

#include "platform/drives.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "setup/core/command_class.h"
#include "setup/core/compiled_lines.h"
#include "setup/core/pak.h"
#include "setup/core/setup_info.h"
#include "setup/core/text_services.h"

SetupState& SetupState::Instance() {
  static SetupState state;
  return state;
}

SetupState::SetupState()
    : setup_info_(std::make_unique<TSetupInfoFile>()),
      compiled_lines_(std::make_unique<TCompLines>()),
      commands_(std::make_unique<TCommandList>()) {
  TakeEnvironmentSnapshot();
}

SetupState::~SetupState() = default;

void SetupState::Reset() {
  package.reset();
  setup_info_ = std::make_unique<TSetupInfoFile>();
  compiled_lines_ = std::make_unique<TCompLines>();
  commands_ = std::make_unique<TCommandList>();
  registry.CloseKey();
  registry.SetRootKey(platform::RootKey::kCurrentUser);
  space_required = 0;
  space_required_text.clear();
  space_available = 0;
  space_available_text.clear();
  program_files.clear();
  sm_programs.clear();
  desktop.clear();
  cd_drive.clear();
  language_selection = "English";
  TakeEnvironmentSnapshot();
  group_kinds.clear();
  params.clear();
  current_line_.store(0, std::memory_order_release);
  stop_requested_.store(false, std::memory_order_release);
  cancel_requested_.store(false, std::memory_order_release);
  script_failure_.store(false, std::memory_order_release);
  step_failed_.store(false, std::memory_order_release);
  line_faulted_.store(false, std::memory_order_release);
  {
    std::lock_guard<std::mutex> lock(failure_mutex_);
    failure_message_.clear();
  }
  {
    std::lock_guard<std::mutex> lock(unset_variables_mutex_);
    unset_variables_.clear();
  }
  terminating_.store(false, std::memory_order_release);
  unattended_.store(false, std::memory_order_release);
  progress_position_.store(0, std::memory_order_release);
  progress_total_.store(0, std::memory_order_release);
  std::lock_guard<std::mutex> lock(sink_mutex_);
  status_line_.reset();
  second_status_line_.reset();
  gauge_.reset();
}

const std::string& SetupState::InstallDir() const { return setup_info_->InstallDir; }

bool SetupState::NoteUnsetVariable(const std::string& name) {
  std::lock_guard<std::mutex> lock(unset_variables_mutex_);
  return unset_variables_.insert(name).second;
}

void SetupState::SetSpaceRequired(int64_t bytes) {
  space_required = bytes;
  space_required_text = FormatSize(bytes);
}

void SetupState::SetSpaceAvailable(int64_t bytes) {
  space_available = bytes;
  space_available_text = FormatSize(bytes);
}

void SetupState::ResolveSystemFolders() {
  // An unresolved shell folder (empty answer) leaves just the backslash.
  program_files = platform::GetShellFolder(platform::ShellFolder::kProgramFiles) + "\\";
  sm_programs = platform::GetShellFolder(platform::ShellFolder::kPrograms) + "\\";
  desktop = platform::GetShellFolder(platform::ShellFolder::kDesktop) + "\\";
  cd_drive.clear();
  for (const platform::Drive& drive : platform::Drives()) {
    if (drive.type == platform::DriveType::kCdRom) {
      cd_drive = std::string(1, drive.letter) + ":\\";
      break;
    }
  }
}

void SetupState::TakeEnvironmentSnapshot() {
  environment.clear();
  for (const std::string& entry : platform::EnvironmentStrings()) {
    NameValue split = SplitNameValueStrict(entry);
    if (split.name.empty()) continue;
    environment.push_back({std::move(split.name), std::move(split.value)});
  }
}

void SetupState::SetProgressTotal(int32_t total) {
  progress_total_.store(total, std::memory_order_release);
  if (auto gauge = GaugeSink()) gauge->SetMax(total);
}

void SetupState::SetStatusLineSink(std::shared_ptr<ProgressTextSink> sink) {
  std::lock_guard<std::mutex> lock(sink_mutex_);
  status_line_ = std::move(sink);
}

void SetupState::SetSecondStatusLineSink(std::shared_ptr<ProgressTextSink> sink) {
  std::lock_guard<std::mutex> lock(sink_mutex_);
  second_status_line_ = std::move(sink);
}

void SetupState::SetGaugeSink(std::shared_ptr<ProgressGaugeSink> sink) {
  std::lock_guard<std::mutex> lock(sink_mutex_);
  gauge_ = std::move(sink);
}

std::shared_ptr<ProgressTextSink> SetupState::StatusLineSink() const {
  std::lock_guard<std::mutex> lock(sink_mutex_);
  return status_line_;
}

std::shared_ptr<ProgressTextSink> SetupState::SecondStatusLineSink() const {
  std::lock_guard<std::mutex> lock(sink_mutex_);
  return second_status_line_;
}

std::shared_ptr<ProgressGaugeSink> SetupState::GaugeSink() const {
  std::lock_guard<std::mutex> lock(sink_mutex_);
  return gauge_;
}

void SetupState::SetStatusText(const std::u16string& text) {
  if (auto sink = StatusLineSink()) sink->SetText(text, false);
}

void SetupState::SetSecondStatusText(const std::u16string& text, bool repaint) {
  if (auto sink = SecondStatusLineSink()) sink->SetText(text, repaint);
}

void SetupState::StepProgress(bool update) {
  auto gauge = GaugeSink();
  if (!gauge) return;
  const int32_t position = progress_position_.fetch_add(1, std::memory_order_acq_rel) + 1;
  if (update) gauge->SetPosition(position, true);
}

std::string SetupState::FailureMessage() const {
  std::lock_guard<std::mutex> lock(failure_mutex_);
  return failure_message_;
}

void SetupState::SetFailureMessage(const std::string& message) {
  std::lock_guard<std::mutex> lock(failure_mutex_);
  if (failure_message_.empty()) failure_message_ = message;
}
