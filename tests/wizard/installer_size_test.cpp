// The size of what users download and keep: an installer of a 1 MB product and the uninstaller
// it leaves behind, built from the runtime as the build makes it.
#include <random>

#include "installer_e2e.h"

namespace {

namespace fs = std::filesystem;

// The installer is the static runtime (which checks the installer's digest and signature, holds
// the run lock and is also the uninstaller's finaliser) with its package, which carries the
// window program (about 0.25 MB compressed) once for the installer and the uninstaller.
// The goal, 3,000,000 bytes, holds with the runtime's own digest and signature check (no
// libsodium) and its own reading of time zones (none of the C library's).
constexpr uint64_t kMaxInstaller = 3'000'000;
constexpr uint64_t kMaxUninstaller = 2'500'000;

TEST_F(InstallerE2ETest, InstallerOfAOneMegabyteProductAndItsUninstallerStaySmall) {
#ifndef SETUPKIT_STRIP_RUNTIME
  GTEST_SKIP() << "built with an unstripped runtime (SETUPKIT_STRIP_RUNTIME=OFF)";
#endif
#ifndef SETUPKIT_RUNTIME_FOR_SIZE
  GTEST_SKIP() << "a Debug build: the runtime is not compiled for size, as shipped installers are";
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "built with a sanitizer, whose instrumented runtime is many times the size";
#endif
  // Random bytes do not compress: the worst case for a product of this size.
  std::mt19937 random(1234);
  std::string product(1 << 20, '\0');
  for (char& c : product) c = static_cast<char>(random());
  WriteText(src_ / "Product" / "product.bin", product);
  const ProgramResult compiled = Compile(
      "name Small\noutfile SmallSetup.exe\ninstalldir \"$PROGRAMFILES\\Small\\\"\n"
      "uninstallpages uninstall\nfile Product\\\n");
  ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
  const uint64_t installer = fs::file_size(out_ / "SmallSetup.exe");
  EXPECT_LE(installer, kMaxInstaller);
  RecordProperty("installer_bytes", std::to_string(installer));

  const ProgramResult installed = RunProgram({(out_ / "SmallSetup.exe").string(), "--unattended"});
  ASSERT_EQ(installed.exit_code, 0) << installed.output;
  EXPECT_EQ(platform::ReadFileBytes("C:\\Program Files\\Small\\product.bin"), product);
  const std::optional<uint64_t> uninstaller =
      platform::GetFileSize("C:\\Program Files\\Small\\Uninstall.exe");
  ASSERT_TRUE(uninstaller.has_value());
  EXPECT_LE(*uninstaller, kMaxUninstaller);
  RecordProperty("uninstaller_bytes", std::to_string(*uninstaller));
}

}  // namespace
