// The Medalor window tests' application: the one shared by every Qt test program.
#pragma once

#include "common/qt_test_app.h"

namespace medalor::testing {

inline QApplication& App() { return ::TestApp(); }

}  // namespace medalor::testing
