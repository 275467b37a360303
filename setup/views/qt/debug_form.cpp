#include "setup/views/qt/debug_form.h"

#include <QScreen>
#include <QGuiApplication>

#include "platform/text_encoding.h"
#include "setup/core/pak.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"

namespace setup_wizard {

TFrmDebug::TFrmDebug() {
  setWindowTitle("Debug");
  resize(870, 600);
  rich_edit_ = new QTextEdit(this);
  rich_edit_->setObjectName("RichEdit1");
  rich_edit_->setGeometry(0, 0, 870, 600);
  rich_edit_->setLineWrapMode(QTextEdit::NoWrap);
  rich_edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  rich_edit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - QPoint(435, 300));
  }
}

void TFrmDebug::FillDump() {
  SetupState& state = SetupState::Instance();
  std::vector<std::string> lines;
  lines.push_back("Header");
  if (TPak* pak = state.package.get()) {
    const TPakTrailer& trailer = pak->Trailer();
    lines.push_back("ID: " + std::string(trailer.magic.begin(), trailer.magic.end()));
    lines.push_back("Version: " + std::to_string(trailer.version));
    lines.push_back("File Count: " + std::to_string(trailer.entry_count));
    lines.push_back("");
    lines.push_back("Files:");
    for (const TPakFile& entry : pak->Entries()) {
      lines.push_back("\"" + entry.name + "\" Group: " + std::to_string(entry.group));
    }
  }
  const TSetupInfoFile& info = state.SetupInfo();
  lines.push_back("");
  lines.push_back("SetupInfo:");
  lines.push_back("SetupName: " + info.SetupName);
  lines.push_back("SetupExeName: " + info.SetupExeName);
  lines.push_back("InstallDir: " + info.InstallDir);
  for (const TInstallDirRegKey& place : info.InstallDirRegKey) {
    lines.push_back("InstallDirRegKey.HKEY: " + RootLongName(place.HKEY));
    lines.push_back("InstallDirRegKey.Path: " + place.Path);
    lines.push_back("InstallDirRegKey.Key: " + place.Key);
  }
  lines.push_back("Changelog: " + info.Changelog);
  rich_edit_->clear();
  QString text;
  for (const std::string& line : lines) {
    text += QString::fromStdU16String(platform::Cp1252ToUtf16(line)) + "\n";
  }
  rich_edit_->setPlainText(text);
}

}  // namespace setup_wizard
