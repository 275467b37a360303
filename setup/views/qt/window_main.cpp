// setup-window: the installer's window, a program of its own that the runtime carries in its
// package and starts where a display is found. It needs Qt 6; the runtime does not.
//
//   setup-window [--offscreen] [--screenshot-dir=DIR] PACKAGE
//
// Started by the runtime with a socket as descriptor 3, over which the wizard session in the
// runtime tells it what to show and it sends back what the user does. It reads the pages,
// pictures and language tables from PACKAGE itself. Started any other way it prints a usage
// line and ends with exit code 2.
#include <sys/socket.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/helper_process.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "setup/core/pak.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/text/languages.h"
#include "setup/views/qt/app_identity.h"
#include "setup/views/qt/window_client.h"

namespace {

// Messages the page readers show are the runtime's to show (it reads the same pages first):
// here they are answered without a box.
class QuietPresenter : public platform::MessageBoxPresenter {
 public:
  int Show(const std::string&, const std::string&, uint32_t) override { return platform::kIdOk; }
};

// Nobody reads Qt's notes about the offscreen platform.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  }
}

int Usage() {
  std::fprintf(stderr,
               "usage: setup-window [--offscreen] [--screenshot-dir=DIR] PACKAGE (started by an "
               "installer, which talks to it on descriptor 3)\n");
  return 2;
}

bool IsSocket(int descriptor) {
  int type = 0;
  socklen_t length = sizeof type;
  return getsockopt(descriptor, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_STREAM;
}

}  // namespace

int main(int argc, char** argv) {
  setup_wizard::WindowClientOptions options;
  std::string package;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--offscreen") {
      options.offscreen = true;
    } else if (arg.rfind("--screenshot-dir=", 0) == 0) {
      options.screenshot_dir = arg.substr(17);
    } else if (!arg.empty() && arg[0] != '-' && package.empty()) {
      package = arg;
    } else {
      return Usage();
    }
  }
  if (package.empty() || !IsSocket(platform::HelperProcess::kChannelDescriptor)) return Usage();
  if (options.offscreen) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(QuietMessages);
  }
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);

  SetupState& state = SetupState::Instance();
  state.package = std::make_unique<TPak>(package, false, false);
  if (!state.package->Trailer().HasMagic()) {
    std::fprintf(stderr, "setup-window: %s carries no package\n", package.c_str());
    return 2;
  }
  platform::SetPresenter(std::make_shared<QuietPresenter>());
  LoadLanguagesFromPackage(*state.package, Languages(), platform::GetSystemDefaultLangId());
  const TSetupInfoFile& info = state.SetupInfo();
  RegisterStandardPlaceholders(LanguageStrings(), info.SetupName, info.ShortName, info.Changelog,
                               state.space_required_text, state.space_available_text);
  setup_wizard::NameApplication(package);

  setup_wizard::WindowClient client(platform::Channel(platform::HelperProcess::kChannelDescriptor),
                                    options);
  if (!client.SendReady()) return 2;
  QApplication::exec();
  return 0;
}
