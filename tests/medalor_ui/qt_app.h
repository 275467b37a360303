// One QApplication for the whole test program (offscreen under CTest).
#pragma once

#include <QApplication>

namespace medalor::testing {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "medalor_ui_tests";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

}  // namespace medalor::testing
