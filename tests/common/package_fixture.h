// Test fixture for the wizard's session and views: a package built in a temporary file from the
// stock page sets and language tables (or from entries a test gives), installed as the shared
// package, with a fresh SetupState, language tables and a SETUP_ROOT of its own. No Qt.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "common/file_bytes.h"
#include "common/scoped_env.h"
#include "platform/message_box.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/pak.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/text/languages.h"

class PackageFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = folder_.Path();
    std::filesystem::create_directories(base_ / "root");
    setenv("SETUP_ROOT", (base_ / "root").c_str(), 1);
    setenv("SETUP_NO_DESKTOP_ENTRIES", "1", 1);  // nothing into the real home folder
    SetupState::Instance().Reset();
    Languages().Clear();
    LanguageStrings().Clear();
    TUninstallList::Instance().Clear();
    TSetupInfoFile& info = SetupState::Instance().SetupInfo();
    RegisterStandardPlaceholders(LanguageStrings(), info.SetupName, info.ShortName, info.Changelog,
                                 SetupState::Instance().space_required_text,
                                 SetupState::Instance().space_available_text);
    presenter_ = std::make_shared<platform::ScriptedPresenter>();
    platform::SetPresenter(presenter_);
  }

  void TearDown() override { SetupState::Instance().package.reset(); }

  // A product "Demo Product" with the stock install pages, drive C: fixed and D: a CD-ROM, and
  // C:\Program Files\Old already there.
  void SetUpDemoProduct() {
    std::filesystem::create_directories(base_ / "root" / "drive_c" / "Program Files" / "Old");
    std::filesystem::create_directories(base_ / "root" / "cd");
    std::ofstream(base_ / "root" / "drives")
        << "C: fixed " << (base_ / "root" / "drive_c").string() << "\n"
        << "D: cdrom " << (base_ / "root" / "cd").string() << "\n";
    TSetupInfoFile& info = SetupState::Instance().SetupInfo();
    info.SetupName = "Demo Product";
    info.ShortName = "Demo";
    info.InstallDir = "$PROGRAMFILES\\Demo\\";
    info.Changelog = "Changes.txt";
    SetupState::Instance().ResolveSystemFolders();
    entries_["Changes.txt"] = "1.0 first";
    AddStockPageSet("install");
  }

  // The stock page set's files (and its picture) as package entries. As setupc packs it for a
  // script without a `license` line, its page list loses the licence page unless `license`.
  void AddStockPageSet(const std::string& set, const std::string& prefix = "",
                       bool license = false) {
    const std::filesystem::path folder = std::filesystem::path(SETUPKIT_BIN_DIR) / "layout" / set;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
      std::string bytes = setupkit_test::ReadBytes(file.path());
      if (file.path().filename() == "Pages.txt" && !license) {
        for (const char* line : {"license.txt\r\n", "License\r\n"}) {
          if (const size_t at = bytes.find(line); at != std::string::npos) {
            bytes.erase(at, std::char_traits<char>::length(line));
          }
        }
      }
      entries_[prefix + file.path().filename().string()] = std::move(bytes);
    }
  }
  void AddStockLanguage(const std::string& table) {
    std::string file = table;
    for (char& c : file) {
      if (c == '\\') c = '/';
    }
    entries_["LANGUAGE-" + table] = setupkit_test::ReadBytes(
        std::filesystem::path(SETUPKIT_BIN_DIR) / "languages" / (file + ".wri"));
  }
  // Writes the entries (in name order) into a package file and makes it the shared package,
  // then loads its language tables (English chosen) as the start-up does, when asked to.
  void OpenPackage(uint16_t language_id = 0x0409, bool load_languages = true) {
    const std::string path = (base_ / "package.bin").string();
    {
      TPak pak(path, true, false);
      for (const auto& [name, data] : entries_) {
        int index = pak.AddEntry(name, "", 0);
        pak.StoreFromMemory(index, data.data(), data.size());
      }
      for (const auto& [name, data] : grouped_) {
        int index = pak.AddEntry(name, "", 1);
        pak.StoreFromMemory(index, data.data(), data.size());
      }
      pak.WriteDirectory();
      pak.Close();
    }
    SetupState::Instance().package = std::make_unique<TPak>(path, false, false);
    if (load_languages) {
      LoadLanguagesFromPackage(*SetupState::Instance().package, Languages(), language_id);
    }
  }

  setupkit_test::TempFolder folder_{"wizard-test"};
  std::filesystem::path base_;
  std::map<std::string, std::string> entries_;
  std::map<std::string, std::string> grouped_;
  std::shared_ptr<platform::ScriptedPresenter> presenter_;
};
