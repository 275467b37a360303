// setup-finalise: left behind by the uninstaller to finish what it cannot do itself. Started
// from a copy in the temporary folder with the uninstaller's full path, it waits until no
// process runs that file any more (a few seconds at most), deletes it, removes the install
// folder when nothing is left in it, and deletes its own temporary copy.
//
// It acts under the kit's run lock, and only while the product is not registered again: an
// installer that ran in between may have put a new uninstaller at the same place.
//
// Started any other way it does nothing: it acts only when it runs from the user's temporary
// folder and its one argument names an uninstaller the kit wrote (a file carrying a package
// whose setup record is marked for uninstalling). Anything else (--help, no argument, another
// file) prints a usage line and ends with exit code 2, deleting nothing.
#include <cstdio>
#include <string>

#include "setup/session/finaliser.h"
#include "setupkit_version.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: setup-finalise \"UNINSTALLER PATH\" (started by the uninstaller; by "
               "hand it does nothing)\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("setup-finalise %s\n", SETUPKIT_VERSION);
    return 0;
  }
  if (argc != 2 || !argv[1][0]) return Usage();
  const std::optional<int> done = setup_session::RunFinaliser(argv[1]);
  return done ? *done : Usage();
}
