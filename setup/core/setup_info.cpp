#include "setup/core/setup_info.h"

#include "platform/files.h"
#include "setup/core/buffer_manager.h"

void TSetupInfoFile::ReadFromBuffer(const void* data, size_t size) {
  Clear();
  TBufferManager in(data, size);
  SetupName = in.ReadShortString();
  ShortName = in.ReadShortString();
  SetupExeName = in.ReadShortString();
  UninstallExeName = in.ReadShortString();
  UninstallPrefix = in.ReadShortString();
  InstallDir = in.ReadShortString();
  Changelog = in.ReadShortString();
  for (TInstallDirRegKey& key : InstallDirRegKey) {
    key.HKEY = in.ReadByte();
    key.Path = in.ReadShortString();
    key.Key = in.ReadShortString();
  }
  PagesName = in.ReadShortString();
  UninstallPagesName = in.ReadShortString();
  IsUninstaller = in.ReadByte();
  CreateUninstaller = in.ReadByte();
}

std::string TSetupInfoFile::Encode() const {
  TBufferWriter out;
  out.WriteShortString(SetupName);
  out.WriteShortString(ShortName);
  out.WriteShortString(SetupExeName);
  out.WriteShortString(UninstallExeName);
  out.WriteShortString(UninstallPrefix);
  out.WriteShortString(InstallDir);
  out.WriteShortString(Changelog);
  for (const TInstallDirRegKey& key : InstallDirRegKey) {
    out.WriteByte(key.HKEY);
    out.WriteShortString(key.Path);
    out.WriteShortString(key.Key);
  }
  out.WriteShortString(PagesName);
  out.WriteShortString(UninstallPagesName);
  out.WriteByte(IsUninstaller);
  out.WriteByte(CreateUninstaller);
  return out.Take();
}

bool TSetupInfoFile::WriteToFile(const std::string& file_name) const {
  const std::string bytes = Encode();
  return platform::WriteFileBytes(file_name, bytes.data(), bytes.size());
}
