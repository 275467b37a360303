// One QApplication for a test program (offscreen, as CTest sets QT_QPA_PLATFORM).
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
