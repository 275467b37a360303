#include "setup/commands/cmd_definitions.h"

#include <algorithm>

#include "setup/commands/script_compiler.h"
#include "setup/core/setup_info.h"
#include "setup/core/text_services.h"

namespace {

// The record of the compiler that runs this line; nullptr outside a compile.
TSetupInfoFile* Record() {
  TScriptCompiler* compiler = TScriptCompiler::Current();
  return compiler ? &compiler->SetupInfo() : nullptr;
}

TProductInfo* Product() {
  TScriptCompiler* compiler = TScriptCompiler::Current();
  return compiler ? &compiler->ProductInfo() : nullptr;
}

}  // namespace

bool TNameCommand::Compile(TCompLine& line, int /*line_index*/) {
  if (!HasArgs(line)) return false;
  if (TSetupInfoFile* info = Record()) {
    info->SetupName = line.Arguments[0];
    info->ShortName = line.Arguments[0];
  }
  return true;
}

bool TOutFileCommand::Compile(TCompLine& line, int /*line_index*/) {
  if (!HasArgs(line)) return false;
  if (TSetupInfoFile* info = Record()) info->SetupExeName = line.Arguments[0];
  return true;
}

bool TInstallDirCommand::Compile(TCompLine& line, int /*line_index*/) {
  if (!HasArgs(line)) return false;
  if (TSetupInfoFile* info = Record()) info->InstallDir = line.Arguments[0];
  return true;
}

bool TInstallDirRegKeyCommand::Compile(TCompLine& line, int /*line_index*/) {
  if (!HasArgs(line)) return false;
  TScriptCompiler* compiler = TScriptCompiler::Current();
  if (compiler == nullptr) return true;
  TInstallDirRegKey& slot = compiler->SetupInfo().InstallDirRegKey[static_cast<size_t>(
      std::clamp(compiler->TakeRegKeySlot(), 0, kInstallDirRegKeyCount - 1))];
  slot.HKEY = static_cast<uint8_t>(RootIndexFromName(line.Arguments[0]));
  slot.Path = line.Arguments[1];
  slot.Key = line.Arguments[2];
  return true;
}

bool TChangelogCommand::Compile(TCompLine& line, int line_index) {
  if (!HasArgs(line)) return false;
  if (TScriptCompiler* compiler = TScriptCompiler::Current()) {
    compiler->SetChangelog(line.Arguments[0], line_index);
  }
  return true;
}

bool TPagesCommand::Compile(TCompLine& line, int /*line_index*/) {
  if (!HasArgs(line)) return false;
  if (TSetupInfoFile* info = Record()) info->PagesName = line.Arguments[0];
  return true;
}

bool TShortNameCommand::Compile(TCompLine& line, int /*line_index*/) {
  if (!HasArgs(line)) return false;
  if (TSetupInfoFile* info = Record()) info->ShortName = line.Arguments[0];
  return true;
}

bool TUninstallPagesCommand::Compile(TCompLine& line, int /*line_index*/) {
  if (!HasArgs(line)) return false;
  if (TSetupInfoFile* info = Record()) {
    info->UninstallPagesName = line.Arguments[0];
    info->CreateUninstaller = 1;
  }
  return true;
}

bool TUninstallPrefixCommand::Compile(TCompLine& line, int /*line_index*/) {
  if (!HasArgs(line)) return false;
  if (TSetupInfoFile* info = Record()) {
    info->UninstallPrefix = line.Arguments[0] + "_";
    info->UninstallExeName = line.Arguments[0] + "_Uninstall.exe";
  }
  return true;
}

bool TVersionCommand::Compile(TCompLine& line, int /*line_index*/) {
  if (!HasArgs(line)) return false;
  if (TProductInfo* product = Product()) product->Version = line.Arguments[0];
  return true;
}

bool TPublisherCommand::Compile(TCompLine& line, int /*line_index*/) {
  if (!HasArgs(line)) return false;
  if (TProductInfo* product = Product()) product->Publisher = line.Arguments[0];
  return true;
}

bool TUrlCommand::Compile(TCompLine& line, int /*line_index*/) {
  if (!HasArgs(line)) return false;
  if (TProductInfo* product = Product()) product->Url = line.Arguments[0];
  return true;
}

bool TLicenseCommand::Compile(TCompLine& line, int line_index) {
  if (!HasArgs(line)) return false;
  if (TScriptCompiler* compiler = TScriptCompiler::Current()) {
    compiler->SetLicense(line.Arguments[0], line_index);
  }
  return true;
}
