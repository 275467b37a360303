#include "setup/views/qt/app_identity.h"

#include <QApplication>
#include <QPixmap>
#include <optional>

#include "platform/files.h"
#include "platform/text_encoding.h"
#include "setup/core/icon_png.h"
#include "setup/core/pak.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/session/session_port.h"

namespace setup_wizard {

namespace {

QIcon IconFromBytes(const std::optional<std::string>& bytes) {
  if (!bytes) return {};
  const std::optional<std::string> png = IconToPng(*bytes);
  QPixmap pixmap;
  if (!png || !pixmap.loadFromData(reinterpret_cast<const uchar*>(png->data()),
                                   static_cast<uint>(png->size()), "PNG")) {
    return {};
  }
  return QIcon(pixmap);
}

// The host file beside PATH with the extension ".ico" in place of its own.
std::string IconBeside(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  const bool has_extension =
      dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (has_extension ? path.substr(0, dot) : path) + ".ico";
}

}  // namespace

QIcon InstallerIcon(const std::string& package_path) {
  if (TPak* pak = SetupState::Instance().package.get()) {
    for (const char* entry : {"ICON.ICO", "UNINSTALL_ICON.ICO"}) {
      QIcon icon = IconFromBytes(pak->FindEntry(entry, 0));
      if (!icon.isNull()) return icon;
    }
  }
  return IconFromBytes(platform::ReadFileBytes(IconBeside(package_path)));
}

void NameApplication(const std::string& package_path) {
  const QString title = QString::fromStdU16String(setup_session::WizardTitle());
  if (!title.isEmpty()) QApplication::setApplicationName(title);
  // The Wayland application id: the product's short name, which names its registry key too.
  const std::string& short_name = SetupState::Instance().SetupInfo().ShortName;
  const QString id =
      short_name.empty() ? title : QString::fromStdU16String(platform::Cp1252ToUtf16(short_name));
  if (!id.isEmpty()) QGuiApplication::setDesktopFileName(id.simplified().replace(' ', '-'));
  const QIcon icon = InstallerIcon(package_path);
  if (!icon.isNull()) QApplication::setWindowIcon(icon);
}

}  // namespace setup_wizard
