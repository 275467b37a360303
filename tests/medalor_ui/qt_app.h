// One QApplication for the whole test program (offscreen under CTest). It is never destroyed:
// tearing it down among the exit-time destructors crashes in Qt's input-device cleanup.
#pragma once

#include <QApplication>

namespace medalor::testing {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "medalor_ui_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace medalor::testing
