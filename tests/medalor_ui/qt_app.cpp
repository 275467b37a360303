#include "medalor_ui/qt_app.h"

#include <gtest/gtest.h>

#include <memory>

namespace medalor::testing {
namespace {

int argc = 1;
char name[] = "medalor_ui_tests";
char* argv[] = {name, nullptr};
std::unique_ptr<QApplication> application;

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { App(); }
  void TearDown() override { application.reset(); }
};

// gtest takes ownership of the environment.
[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

QApplication& App() {
  if (!application) application = std::make_unique<QApplication>(argc, argv);
  return *application;
}

}  // namespace medalor::testing
