// One QApplication for the whole test program (offscreen under CTest). It is created before the
// first test and destroyed after the last one, before the program's static objects go, which
// Qt's own clean-up needs.
#pragma once

#include <QApplication>

namespace medalor::testing {

// The application of the test program; creates it when no test environment has yet.
QApplication& App();

}  // namespace medalor::testing
