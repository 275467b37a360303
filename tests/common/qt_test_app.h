// One QApplication for a whole Qt test program, offscreen unless a platform is set. It is never
// destroyed: tearing it down among the exit-time destructors crashes in Qt's device cleanup.
#pragma once

#include <QApplication>
#include <cstdlib>

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "tests";
  static char* argv[] = {name, nullptr};
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}
