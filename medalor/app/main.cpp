// Medalor: the badge-sheet editor. With --sheet it composes and saves one sheet without a
// window (and without a display); otherwise it opens the editor window.
#include <QApplication>
#include <iostream>
#include <string>
#include <vector>

#include "medalor/command_line.h"
#include "medalor/sheet_composer.h"
#include "medalor/ui/frm_main.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << medalor::SheetCommandUsage();
    return medalor::kExitOk;
  }
  if (medalor::IsSheetCommand(args)) {
    medalor::TSheetComposer composer = medalor::TSheetComposer::BesideProgram();
    return medalor::RunSheetCommand(args, composer, std::cout, std::cerr);
  }
  QApplication app(argc, argv);
  medalor::TFrmMain window;
  window.show();
  return app.exec();
}
