// Test support for the script commands, the compiler and the runner: a private SETUP_ROOT with
// its own drive table (C: fixed, D: and E: CD-ROM, Z: the host root), a fresh shared state, a
// language table, a scripted presenter, recording progress sinks, and helpers that compile a
// script, pack it with TPak and load the package the way the runtime does.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/compiled_package.h"
#include "common/scoped_env.h"
#include "platform/message_box.h"
#include "platform/text_encoding.h"
#include "setup/commands/register_commands.h"
#include "setup/commands/script_compiler.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/command_class.h"
#include "setup/core/compiled_lines.h"
#include "setup/core/pak.h"
#include "setup/core/progress_sink.h"
#include "setup/core/setup_error.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/runtime/setup_thread.h"
#include "setup/text/languages.h"

namespace command_test {

namespace fs = std::filesystem;

using setupkit_test::ScopedEnv;

inline std::string MakeTempFolder() { return setupkit_test::MakeTempFolder("setupkit-cmds"); }

// A UTF-16LE language table with a byte-order mark and CR LF line ends.
inline std::string LanguageBlob(const std::vector<std::string>& lines) {
  std::u16string text;
  for (const std::string& line : lines) text += platform::Utf8ToUtf16(line) + u"\r\n";
  std::string blob = "\xFF\xFE";
  for (char16_t unit : text) {
    blob.push_back(static_cast<char>(unit & 0xFF));
    blob.push_back(static_cast<char>(unit >> 8));
  }
  return blob;
}

inline std::string EnglishTable() {
  return LanguageBlob({"English", "0409;", "17 Copying File <%FILENAME%>",
                       "18 Extracting <%FILENAME%>", "21 Installing the badge editor",
                       "22 Text with <LANG21> inside", "23 Setup failed to install."});
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

inline std::optional<std::string> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class CommandTest : public ::testing::Test {
 protected:
  CommandTest()
      : root_(MakeTempFolder()),
        root_env_("SETUP_ROOT", root_),
        user_env_("USER", "tester"),
        desktop_env_("SETUP_NO_DESKTOP_ENTRIES", "1") {
    fs::create_directories(root_ + "/drive_c");
    fs::create_directories(root_ + "/cd_d");
    fs::create_directories(root_ + "/cd_e");
    std::ofstream drives(root_ + "/drives");
    drives << "C: fixed " << root_ << "/drive_c\n";
    drives << "D: cdrom " << root_ << "/cd_d\n";
    drives << "E: cdrom " << root_ << "/cd_e\n";
    drives << "Z: fixed /\n";
  }

  ~CommandTest() override {
    SetupState::Instance().Reset();
    TUninstallList::Instance().Clear();
    Languages().Clear();
    platform::SetPresenter(std::make_shared<platform::UnattendedPresenter>());
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  void SetUp() override {
    SetupState& state = SetupState::Instance();
    state.Reset();
    TUninstallList::Instance().Clear();
    Languages().Clear();
    const std::string table = EnglishTable();
    Languages().AddLanguage(table.data(), table.size());
    Languages().Current = 0;
    presenter_ = std::make_shared<platform::ScriptedPresenter>();
    platform::SetPresenter(presenter_);
    status_ = std::make_shared<RecordingTextSink>();
    second_status_ = std::make_shared<RecordingTextSink>();
    gauge_ = std::make_shared<RecordingGaugeSink>();
    state.SetStatusLineSink(status_);
    state.SetSecondStatusLineSink(second_status_);
    state.SetGaugeSink(gauge_);
    state.SetupInfo().InstallDir = "C:\\Demo";
    RegisterCommands(state.Commands());
  }

  // Host path of a path on drive C: ("Demo\\a.txt" -> <root>/drive_c/Demo/a.txt).
  fs::path C(const std::string& relative) const {
    std::string path = relative;
    for (char& c : path) {
      if (c == '\\') c = '/';
    }
    return fs::path(root_) / "drive_c" / path;
  }
  // An expected message with "@" standing for drive C:'s host folder: messages that name a
  // place name its host path beside the Windows one.
  std::string WithHostFolder(std::string text) const {
    const std::string host = root_ + "/drive_c";
    for (size_t at = text.find('@'); at != std::string::npos;
         at = text.find('@', at + host.size())) {
      text.replace(at, 1, host);
    }
    return text;
  }
  fs::path Host(const std::string& relative) const { return fs::path(root_) / relative; }

  // Compiles script text with the source folder <root>/src and the data folder <root>/data.
  std::unique_ptr<TScriptCompiler> CompileText(const std::string& text) {
    auto compiler = std::make_unique<TScriptCompiler>();
    compiler->SourceFolder = root_ + "/src";
    compiler->DataFolder = root_ + "/data";
    fs::create_directories(root_ + "/src");
    compiler->Compile(ParseScriptText(text));
    return compiler;
  }

  // An entry added to a package beside the compiler's files, prepared by the test.
  struct ExtraEntry {
    std::string name;
    uint16_t group = 0;
    TPreparedEntry blob;
  };

  // Writes the compiler's package with TPak in create mode, then opens it in read mode as the
  // shared package and loads the setup information and the compiled lines from it.
  void PackAndLoad(const TScriptCompiler& compiler, const std::vector<ExtraEntry>& extra = {}) {
    const std::string package = root_ + "/package.bin";
    {
      TPak writer(package, true, false);
      setupkit_test::AddCompiledEntries(writer, compiler);
      for (const ExtraEntry& entry : extra) {
        writer.AddPreparedEntry(entry.name, entry.group, entry.blob);
      }
      writer.WriteDirectory();
      writer.Close();
    }
    LoadPackage(package);
  }

  static ExtraEntry Extra(const std::string& name, uint16_t group, const std::string& data) {
    std::optional<TPreparedEntry> blob = PrepareEntry(data.data(), data.size());
    return {name, group, blob.value_or(TPreparedEntry())};
  }

  void LoadPackage(const std::string& package, const std::string& install_dir = "C:\\Demo") {
    SetupState& state = SetupState::Instance();
    state.package = std::make_unique<TPak>(package, false, false);
    TPak& pak = *state.package;
    std::optional<std::string> info = pak.FindEntry("SetupInfo", 0);
    std::optional<std::string> lines = pak.FindEntry("CompiledLines", 0);
    ASSERT_TRUE(info && lines);
    state.SetupInfo().ReadFromBuffer(info->data(), info->size());
    state.SetupInfo().InstallDir = install_dir;
    state.CompiledLines().LoadFromBuffer(lines->data(), lines->size());
  }

  // Runs the loaded script on a TSetupThread the way the wizard does and waits for the end.
  void Run(TSetupThread::UninstallerWriter hook = nullptr) {
    TSetupThread runner;
    runner.SetErrorReporter([this](const SetupError& error) {
      errors_.push_back(error.ErrorType() + ": " + error.what());
      raised_.push_back(error);
    });
    if (hook) runner.SetWriteUninstallerHook(std::move(hook));
    SetupState::Instance().SetCurrentLine(-1);
    runner.RequestRun();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (runner.RunRequested() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(runner.RunRequested()) << "the run did not end";
  }

  // Compile, pack, load and run in one step; the script must compile cleanly. A group whose
  // entries come from `extra` names a source that is not on disk; only that error is let pass.
  void CompileAndRun(const std::string& text, TSetupThread::UninstallerWriter hook = nullptr,
                     const std::vector<ExtraEntry>& extra = {}) {
    std::unique_ptr<TScriptCompiler> compiler = CompileText(text);
    for (const TCompileMessage& error : compiler->Errors()) {
      if (!extra.empty() && error.text.rfind("Source not found - ", 0) == 0) continue;
      ADD_FAILURE() << "line " << error.line << ": " << error.text;
    }
    PackAndLoad(*compiler, extra);
    Run(std::move(hook));
  }

  std::vector<std::string> StatusTexts() const {
    std::vector<std::string> texts;
    for (const RecordingTextSink::Call& call : status_->Calls()) {
      texts.push_back(platform::Utf16ToUtf8(call.text));
    }
    return texts;
  }

  std::string root_;
  ScopedEnv root_env_;
  ScopedEnv user_env_;
  ScopedEnv desktop_env_;  // links under test add no desktop entries to the real home folder
  std::shared_ptr<platform::ScriptedPresenter> presenter_;
  std::shared_ptr<RecordingTextSink> status_;
  std::shared_ptr<RecordingTextSink> second_status_;
  std::shared_ptr<RecordingGaugeSink> gauge_;
  std::vector<std::string> errors_;  // "type: message" of every error that ended a run
  std::vector<SetupError> raised_;   // the same errors, with how the program would end
};

}  // namespace command_test
