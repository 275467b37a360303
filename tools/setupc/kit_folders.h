// Where setupc finds its stock data and the programs every installer carries.
#pragma once

#include <string>

namespace setupc {

struct KitFolders {
  std::string data;     // holds languages/ and layout/
  std::string runtime;  // the installer runtime (setup)
  std::string window;   // the window program (setup-window)
};

// From the folder setupc's own program file lies in: in a build folder everything is beside it
// (its layout/ folder says so); an installed kit keeps the data in DATA_REL and the carried
// programs in PROGRAMS_REL, both relative to that folder (../share/setupkit, ../lib/setupkit).
KitFolders FindKitFolders(const std::string& program_folder, const std::string& data_rel,
                          const std::string& programs_rel);

}  // namespace setupc
