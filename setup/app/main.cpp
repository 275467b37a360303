// setup: the installer runtime (and, as a copy with its own package, the uninstaller).
//
//   setup [PACKAGE] [--unattended | --text] [--dir=PATH] [--screenshot-dir=DIR] [--log=FILE]
//         [--all-users] [--help] [--version]
//   setup [PACKAGE] --verify [--require-signature=KEY]
//   setup [PACKAGE] --list-contents [--json]
//   setup --list-installed [--json]
//   setup --show-log PRODUCT|LOGFILE
//
// The command line is checked before anything else happens: an unknown option ends the run
// with the usage line and exit code 2, never with a window that waits for a click.
//
// Exit codes: 0 finished (every line did what it says), 1 cancelled by the user or by SIGINT,
// SIGTERM or SIGHUP (the run undone), 2 failed (a start-up message, a failed step with the run
// undone, a `failure` line with what the run did kept, a removal that left items behind, an error
// report, no display and no terminal without --unattended).
//
// The view: --unattended takes every default without one; --text, or no display with a terminal
// on standard input, is the terminal wizard; otherwise the window.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/text_encoding.h"
#include "setup/app/front_end_choice.h"
#include "setup/app/options.h"
#include "setup/app/run_scope.h"
#include "setup/app/stop_signals.h"
#include "setup/commands/register_commands.h"
#include "setup/commands/rollback_journal.h"
#include "setup/commands/uninstall_entry.h"
#include "setup/core/run_log.h"
#include "setup/core/setup_error.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/errorlog/error_ending.h"
#include "setup/errorlog/error_log.h"
#include "setup/runtime/downgrade_check.h"
#include "setup/runtime/package_commands.h"
#include "setup/runtime/show_log.h"
#include "setup/runtime/startup_modes.h"
#include "setup/runtime/startup_package.h"
#include "setup/session/finaliser.h"
#include "setup/session/front_end.h"
#include "setup/session/wizard_session.h"
#include "setup/text/languages.h"
#include "setupkit_version.h"

namespace {

constexpr int kExitFinished = 0;
constexpr int kExitCancelled = 1;
constexpr int kExitFailed = 2;

// Every message shown goes into the run log with its answer.
class LoggingPresenter : public platform::MessageBoxPresenter {
 public:
  explicit LoggingPresenter(std::shared_ptr<platform::MessageBoxPresenter> inner)
      : inner_(std::move(inner)) {}
  int Show(const std::string& text, const std::string& caption, uint32_t flags) override {
    RunLog("message shown: [" + caption + "] " + text);
    const int answer = inner_->Show(text, caption, flags);
    RunLog("message answered: " + AnswerName(answer));
    return answer;
  }
  int ShowWide(const std::u16string& text, const std::u16string& caption, uint32_t flags) override {
    RunLogUtf8("message shown: [" + platform::Utf16ToUtf8(caption) + "] " +
               platform::Utf16ToUtf8(text));
    const int answer = inner_->ShowWide(text, caption, flags);
    RunLog("message answered: " + AnswerName(answer));
    return answer;
  }

 private:
  static std::string AnswerName(int answer) {
    switch (answer) {
      case platform::kIdOk:
        return "OK";
      case platform::kIdCancel:
        return "Cancel";
      case platform::kIdRetry:
        return "Retry";
      case platform::kIdYes:
        return "Yes";
      case platform::kIdNo:
        return "No";
    }
    return std::to_string(answer);
  }
  std::shared_ptr<platform::MessageBoxPresenter> inner_;
};

// The figures of the second stage that a reader of the log needs: mode, language, install
// folder and the space figures.
void LogRunFacts() {
  SetupState& state = SetupState::Instance();
  const TSetupInfoFile& info = state.SetupInfo();
  RunLog(std::string("mode: ") + (info.IsUninstaller ? "uninstall" : "install") + " of " +
         info.SetupName);
  const TLanguages& languages = Languages();
  if (languages.Current >= 0 && static_cast<size_t>(languages.Current) < languages.Items.size()) {
    RunLogUtf8("language: " + platform::Utf16ToUtf8(languages.Items[languages.Current]->Name));
  }
  // As the run will use it: the script's folder may name variables ($PROGRAMFILES\...).
  RunLog("install folder: " + ExpandFilePath(info.InstallDir));
  RunLog("space required: " + state.space_required_text);
  if (!state.space_available_text.empty()) {
    RunLog("space available: " + state.space_available_text);
  }
}

int LogExit(int exit_code) {
  RunLog("exit code: " + std::to_string(exit_code));
  return exit_code;
}

// A relative package path is a host path (UTF-8, against the working folder); the platform
// takes relative paths as Windows text, so it gets the absolute one.
std::vector<std::string> HostParams(std::vector<std::string> params) {
  if (!params.empty() && !params[0].empty() && params[0][0] != '/') {
    const std::string absolute = platform::AbsoluteHostPath(params[0]);
    if (!absolute.empty() && platform::IsHostFile(absolute)) params[0] = absolute;
  }
  return params;
}

void PrintRenamedHint() {
  const std::string own = platform::OwnExecutablePath();
  std::fprintf(stderr,
               "setup: a renamed installer runs when its own file is also named as the package:\n"
               "  \"%s\" \"%s\" [--unattended]\n",
               own.c_str(), own.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const setup_app::ParsedOptions parsed =
      setup_app::ParseSetupOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.ok()) {
    std::fprintf(stderr, "setup: %s\n%s\n", parsed.error.c_str(),
                 setup_app::SetupUsageLine().c_str());
    return kExitFailed;
  }
  const setup_app::SetupOptions& options = parsed.options;
  if (options.help) {
    std::fputs(setup_app::SetupHelpText().c_str(), stdout);
    return kExitFinished;
  }
  if (options.version) {
    std::printf("setup %s\n", SETUPKIT_VERSION);
    return kExitFinished;
  }
  if (!options.finalise.empty()) {
    // The uninstaller's own copy in the temporary folder; by hand it does nothing.
    if (const std::optional<int> done = setup_session::RunFinaliser(options.finalise)) return *done;
    std::fprintf(stderr,
                 "setup: --finalise is for the uninstaller's own copy in the temporary "
                 "folder; it did nothing\n");
    return kExitFailed;
  }
  if (options.list_installed) {
    std::fputs(FormatInstalledProducts(ListInstalledProductsOfBothScopes(), options.json).c_str(),
               stdout);
    return kExitFinished;
  }
  if (!options.show_log.empty()) return ShowLogCommand(options.show_log);
  std::string policy_error;
  const char* required_keys = std::getenv(kRequireSignatureVariable);
  const std::optional<SignaturePolicy> policy = ReadSignaturePolicy(
      options.require_signature, required_keys ? required_keys : "", policy_error);
  if (!policy) {
    std::fprintf(stderr, "setup: %s\n", policy_error.c_str());
    return kExitFailed;
  }
  if (options.list_contents || options.verify) {
    const std::string package = ChoosePackageFile(HostParams(options.params)).path;
    return options.verify ? VerifyPackageCommand(package, *policy)
                          : ListContentsCommand(package, options.json);
  }
  // Before anything of the run starts, so a signal never finds a change half made.
  InstallStopSignalHandlers();
  // Per-user or per-machine: chosen before any path is mapped (the scopes have drive tables of
  // their own), and refused before anything is touched when the rights are missing.
  if (const std::string refused =
          setup_app::EnterRunScope(options, ChoosePackageFile(HostParams(options.params)).path);
      !refused.empty()) {
    std::fprintf(stderr, "setup: %s\n", refused.c_str());
    return kExitFailed;
  }
  std::string install_dir_override;
  if (!options.dir.empty()) {
    const std::optional<std::string> folder = setup_app::InstallFolderFromOption(options.dir);
    if (!folder) {
      std::fprintf(stderr,
                   "setup: --dir %s cannot be installed into: no drive holds it, or a name in it "
                   "cannot be written in Windows-1252\n",
                   options.dir.c_str());
      return kExitFailed;
    }
    install_dir_override = *folder;
  }
  if (!options.log_file.empty()) {
    if (!TRunLog::Instance().Open(options.log_file)) {
      std::fprintf(stderr, "setup: cannot write the log file %s\n", options.log_file.c_str());
      return kExitFailed;
    }
    std::string command_line = "setup started:";
    for (int i = 0; i < argc; ++i) command_line += std::string(" ") + argv[i];
    RunLogUtf8(command_line);
  }
  SetupState& state = SetupState::Instance();
  state.params = HostParams(options.params);
  state.SetUnattended(options.unattended);
  const uint16_t language_id = platform::GetSystemDefaultLangId();

  // The view: unattended builds no widget at all; the terminal wizard draws with ANSI sequences;
  // the window (also off screen, when pictures of an unattended run are asked for) is the
  // program the installer carries.
  const PackageChoice choice = ChoosePackageFile(state.params);
  setup_app::FrontEndChoice view = setup_app::ChooseFrontEnd(options, choice.path);
  if (!view.front_end) return LogExit(kExitFailed);
  std::unique_ptr<setup_session::WizardFrontEnd> front_end = std::move(view.front_end);
  const bool terminal_view = view.kind == setup_app::ViewKind::kTerminal;

  TSetupInfoFile& info = state.SetupInfo();
  RegisterStandardPlaceholders(LanguageStrings(), info.SetupName, info.ShortName, info.Changelog,
                               state.space_required_text, state.space_available_text);
  if (auto presenter = front_end->Presenter()) platform::SetPresenter(presenter);
  if (TRunLog::Instance().IsOpen()) {
    platform::SetPresenter(std::make_shared<LoggingPresenter>(platform::GetPresenter()));
  }

  setup_session::WizardSession& session = front_end->Session();
  int exit_code = kExitFailed;
  try {
    FirstStageResult first;
    {
      std::unique_ptr<VerifyObserver> verify = front_end->ShowVerification();
      first = OpenAndVerifyPackage(choice, verify.get(), verify ? 500 : 0, *policy);
    }
    RunLogUtf8("package: " + choice.path + (first.ok ? ", verified" : ", verification failed"));
    if (!first.ok) return LogExit(kExitFailed);  // the session's destructor joins the runner
    RunLog("integrity: " + DescribeIntegrity(first.integrity));

    // One run at a time: the lock is held until the program ends, and nothing changes before.
    const std::optional<platform::RunLock> run_lock =
        TakeRunLock(options.wait_seconds, [&state] { return state.CancelRequested(); });
    if (!run_lock) return LogExit(state.CancelRequested() ? kExitCancelled : kExitFailed);
    if (platform::MachineScope()) platform::MakeMachineDriveFolder();
    // Then a run that was killed before it finished is undone.
    int archives = 0;
    if (const int recovered = TRollbackJournal::RecoverAbandoned(&archives); recovered > 0) {
      const std::string put_back = archives == 0
                                       ? std::string()
                                       : " (" + std::to_string(archives) +
                                             (archives == 1 ? " archive file" : " archive files") +
                                             " put back as they were)";
      platform::MessageBox("Setup rolled back " + std::to_string(recovered) +
                               (recovered == 1 ? " install" : " installs") +
                               " that did not finish" + put_back + "; nothing of " +
                               (recovered == 1 ? "it" : "them") + " is left on this machine.",
                           "Setup", platform::kMbOk | platform::kMbIconInformation);
    }

    SecondStageInput input;
    input.grouped_bytes = first.grouped_bytes;
    input.package_from_command_line = choice.from_command_line;
    input.own_executable_path = platform::OwnExecutablePath();
    input.system_language_id = language_id;
    input.register_commands = [](TCommandList& list) { RegisterCommands(list); };
    input.on_renamed = PrintRenamedHint;
    input.install_dir_override = install_dir_override;
    if (!RunSecondStage(input)) return LogExit(kExitFailed);
    LogRunFacts();
    // Before any page: an older version than the one installed goes on only when allowed.
    const DowngradeDecision downgrade = CheckDowngrade(options.unattended, options.allow_downgrade);
    if (downgrade != DowngradeDecision::kGoOn) {
      return LogExit(downgrade == DowngradeDecision::kRefused ? kExitFailed : kExitCancelled);
    }

    const bool went_on = front_end->Run();
    session.StopRunner();
    if (session.InstallError()) {
      exit_code = ShowEndingError(*session.InstallError());
    } else if (!went_on) {
      exit_code = kExitFailed;
    } else if (session.ClosedOnFinish()) {
      exit_code = session.RunFailed() ? kExitFailed : kExitFinished;
    } else {
      exit_code = kExitCancelled;
    }
    if (options.unattended || terminal_view) {
      std::printf("%s\n", exit_code == kExitFinished    ? "setup: finished"
                          : exit_code == kExitCancelled ? "setup: cancelled"
                                                        : "setup: failed");
    }
  } catch (const SetupError& error) {
    // Start-up errors: the verification's carry their stage, the others are reported without.
    RunLog(std::string("error: ") + error.what());
    exit_code = ShowEndingError(error);
  } catch (const std::exception& error) {
    RunLog(std::string("error: ") + error.what());
    WriteErrorLog(error.what(), "");
  }
  front_end.reset();
  return LogExit(exit_code);
}
