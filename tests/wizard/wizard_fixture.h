// The package fixture with the test program's QApplication, for tests of the window.
#pragma once

#include "common/package_fixture.h"
#include "common/qt_test_app.h"

class WizardFixture : public PackageFixture {
 protected:
  void SetUp() override {
    TestApp();
    PackageFixture::SetUp();
  }
};
