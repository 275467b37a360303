// The handler std::terminate calls when an exception escapes. The toolchain's default one names
// the exception's type through the C++ name demangler, about 50 KB of code in a static runtime
// that every installer carries; naming the type helps a developer, not the user of an installer.
// Defining the default handler's symbol here keeps the linker from pulling that code in.
#include <cstdlib>
#include <exception>
#include <unistd.h>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
  static constexpr char kText[] = "setup: internal error: an exception escaped\n";
  // Only async-signal-safe calls: the process may be in any state here.
  [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, kText, sizeof kText - 1);
  std::abort();
}

}  // namespace __gnu_cxx
