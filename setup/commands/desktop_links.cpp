#include "setup/commands/desktop_links.h"

#include <sys/stat.h>

#include <vector>

#include "platform/desktop_entry.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text_encoding.h"
#include "setup/commands/command_support.h"
#include "setup/commands/rollback_journal.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/icon_png.h"
#include "setup/core/pak.h"
#include "setup/core/run_log.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"

namespace {

constexpr const char kProductIconEntry[] = "UNINSTALL_ICON.ICO";
constexpr const char kIconFolder[] = "desktop-icons";

// The part of `path` below `folder` (case-insensitive, as Windows compares), or nothing.
std::optional<std::string> Below(const std::string& path, const std::string& folder) {
  const std::string prefix = IncludeTrailingBackslash(folder);
  if (path.size() <= prefix.size() ||
      AsciiLower(path.substr(0, prefix.size())) != AsciiLower(prefix)) {
    return std::nullopt;
  }
  return path.substr(prefix.size());
}

std::string WithoutLinkExtension(const std::string& name) {
  if (name.size() > 4 && AsciiLower(name.substr(name.size() - 4)) == ".lnk") {
    return name.substr(0, name.size() - 4);
  }
  return name;
}

bool IsExecutableHostFile(const std::string& host) {
  struct stat info {};
  return stat(host.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0111) != 0;
}

// The command line of a link: its target program and arguments split by the Windows rules; a
// target that is not a program (a document, a folder) opens through xdg-open, as the link's
// shell would open it.
std::vector<std::string> ExecOf(const std::string& target_host, const std::string& arguments) {
  std::vector<std::string> exec;
  if (!IsExecutableHostFile(target_host)) exec.push_back("xdg-open");
  exec.push_back(target_host);
  for (const std::string& argument : platform::SplitCommandLine(arguments)) {
    exec.push_back(platform::Cp1252ToUtf8(argument));
  }
  return exec;
}

// The bytes of a picture file a link names as its icon, when it is one that can be converted:
// an .ico or .png file of a sane size. A program named as its own icon is not read (a large
// game binary would be read whole for nothing); Windows icon resources are not extracted.
std::optional<std::string> ReadIconFile(const std::string& path) {
  constexpr uint64_t kMaxIconBytes = 4 << 20;
  const std::string lower = AsciiLower(path);
  const bool picture = lower.size() > 4 && (lower.compare(lower.size() - 4, 4, ".ico") == 0 ||
                                            lower.compare(lower.size() - 4, 4, ".png") == 0);
  if (!picture || platform::GetFileSize(path).value_or(kMaxIconBytes + 1) > kMaxIconBytes) {
    return std::nullopt;
  }
  return platform::ReadFileBytes(path);
}

// The product's own icon, carried by the package for the uninstaller.
std::optional<std::string> ProductIcon() {
  TPak* pak = SetupState::Instance().package.get();
  if (!pak) return std::nullopt;
  return pak->FindEntry(kProductIconEntry, 0);
}

// Notes in the rollback journal the host folders above `host_path` that writing it will make
// (outermost first, the order they are made in) and the file itself, so a failed run takes
// them away again.
bool JournalDesktopEntry(const std::string& host_path) {
  TRollbackJournal& journal = TRollbackJournal::Instance();
  std::vector<std::string> missing;
  for (size_t slash = host_path.find_last_of('/'); slash != std::string::npos && slash > 0;
       slash = host_path.find_last_of('/', slash - 1)) {
    const std::string folder = host_path.substr(0, slash);
    if (platform::DirectoryExists(folder)) break;
    missing.push_back(folder);
  }
  for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
    if (!journal.NoteFolderCreated(*folder)) return false;
  }
  return journal.PrepareFileWrite(host_path);
}

// Writes the entry and records it; a failed write stops the run as the link's own would. The
// uninstall list takes Windows paths, so an entry outside
// every drive (a drives file without Z:) could not be removed again and is not written.
std::optional<std::string> WriteAndRecord(const std::string& host_path,
                                          const platform::DesktopEntry& entry) {
  const std::optional<std::string> windows = platform::ToWindowsPath(host_path);
  if (!windows) return std::nullopt;
  if (!JournalDesktopEntry(host_path) || !platform::WriteDesktopEntry(host_path, entry)) {
    FailStep("Cannot write " + PlaceName(*windows));
    return std::nullopt;
  }
  TUninstallList::Instance().AddFile(*windows);
  RunLogUtf8("desktop entry created: " + host_path);  // a host path: UTF-8 already
  return host_path;
}

}  // namespace

bool InstallPngIcon(const std::string& icon_bytes, const std::string& png_path) {
  const std::optional<std::string> png = IconToPng(icon_bytes);
  if (!png) return false;
  if (!WriteWholeFile(png_path, png->data(), png->size())) return false;
  TUninstallList::Instance().AddFile(png_path);
  return true;
}

std::optional<std::string> AddDesktopEntryForLink(const std::string& link_path,
                                                  const platform::ShellLink& link,
                                                  const std::string& categories) {
  if (!platform::DesktopEntriesEnabled()) return std::nullopt;
  std::string host_path;
  std::string id;
  if (auto below = Below(link_path, platform::GetShellFolder(platform::ShellFolder::kPrograms))) {
    id = WithoutLinkExtension(*below);
    host_path = platform::ApplicationsFolder() + "/" +
                platform::DesktopFileName(platform::Cp1252ToUtf8(id));
  } else if (auto on_desktop =
                 Below(link_path, platform::GetShellFolder(platform::ShellFolder::kDesktop))) {
    id = WithoutLinkExtension(*on_desktop);
    const std::string desktop = platform::DesktopFolder();
    if (desktop.empty()) return std::nullopt;
    host_path = desktop + "/" + platform::DesktopFileName(platform::Cp1252ToUtf8(id));
  } else {
    return std::nullopt;
  }
  const std::optional<std::string> target_host = platform::ToHostPath(link.target);
  if (!target_host || !platform::ToWindowsPath(host_path)) return std::nullopt;

  platform::DesktopEntry entry;
  entry.name = platform::Cp1252ToUtf8(WithoutLinkExtension(ExtractFileName(link_path)));
  entry.exec = ExecOf(*target_host, link.arguments);
  if (!link.working_directory.empty()) {
    entry.working_folder = platform::ToHostPath(link.working_directory).value_or("");
  }
  entry.categories = platform::Cp1252ToUtf8(categories);

  // The link's icon, else the target's own picture when it is one, else the product's icon.
  std::optional<std::string> icon =
      ReadIconFile(link.icon_location.empty() ? link.target : link.icon_location);
  if (!icon || !IconToPng(*icon)) icon = ProductIcon();
  const std::string install_dir = SetupState::Instance().SetupInfo().InstallDir;
  if (icon && !install_dir.empty()) {
    std::string png_name = platform::DesktopFileName(platform::Cp1252ToUtf8(id));
    png_name = png_name.substr(0, png_name.size() - 8) + ".png";  // ".desktop"
    const std::string png = JoinPath(JoinPath(install_dir, kIconFolder), png_name);
    if (InstallPngIcon(*icon, png)) entry.icon = platform::ToHostPath(png).value_or("");
  }
  return WriteAndRecord(host_path, entry);
}

std::optional<std::string> AddUninstallerDesktopEntry(const std::string& product_name,
                                                      const std::string& uninstaller,
                                                      const std::string& icon_png) {
  if (!platform::DesktopEntriesEnabled()) return std::nullopt;
  const std::optional<std::string> program = platform::ToHostPath(uninstaller);
  if (!program) return std::nullopt;
  platform::DesktopEntry entry;
  entry.name = "Uninstall " + platform::Cp1252ToUtf8(product_name);
  entry.exec = {*program};
  entry.working_folder = platform::ToHostPath(ExtractFilePath(uninstaller)).value_or("");
  if (!icon_png.empty()) entry.icon = platform::ToHostPath(icon_png).value_or("");
  const std::string host_path = platform::ApplicationsFolder() + "/" +
                                platform::DesktopFileName("uninstall " + entry.name.substr(10));
  return WriteAndRecord(host_path, entry);
}
