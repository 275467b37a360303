// The home folder read from password-file text, as a statically linked program finds it.
#include "platform/passwd_file.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

constexpr const char* kPasswd =
    "big:x:4294967296:1::/home/big:/bin/sh\n"  // 2^32: out of range, not uid 0
    "root:x:0:0:root:/root:/bin/bash\n"
    "+nis-compat-line\n"
    "short:x:1000:1000:too few fields:/home/short\n"
    "extra:x:1000:1000:gecos:/home/extra:/bin/sh:more\n"
    "signed:x:-1001:1001::/home/signed:/bin/sh\n"
    "hex:x:0x3e9:1001::/home/hex:/bin/sh\n"
    "ann:x:1000:1000:Ann Example,,,:/home/ann:/bin/bash\n"
    "dup:x:1000:1000::/home/dup:/bin/sh\n"
    "relative:x:1002:1002::home/relative:/bin/sh\n"
    "nohome:x:1003:1003:::/bin/sh\n"
    "last:x:1004:1004::/srv/last dir:/usr/sbin/nologin";  // no final line break

TEST(PasswdFileTest, HomeFolderOfTheFirstWellFormedLineWithTheUid) {
  const struct {
    unsigned uid;
    std::optional<std::string> home;
  } kCases[] = {
      {0, "/root"},
      {1000, "/home/ann"},   // malformed lines before it are skipped, the
                             // later one ignored
      {1001, std::nullopt},  // only as "-1001" and "0x3e9"
      {1002, std::nullopt},  // a relative home is no home
      {1003, std::nullopt},
      {1004, "/srv/last dir"},
      {0u - 1, std::nullopt},
  };
  for (const auto& entry : kCases) {
    EXPECT_EQ(PasswdHomeFolder(kPasswd, entry.uid), entry.home) << entry.uid;
  }
  EXPECT_EQ(PasswdHomeFolder("", 0), std::nullopt);
}

}  // namespace
}  // namespace platform
