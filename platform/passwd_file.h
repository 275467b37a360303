// Reading the password file directly: a program linked statically cannot use the C library's
// account look-up, which loads its name-service modules at run time.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The home folder of the first line of the text `passwd` (name:password:uid:gid:gecos:home:shell)
// whose uid is `uid`; nothing when no well-formed line has it or its home is not an absolute path.
std::optional<std::string> PasswdHomeFolder(std::string_view passwd, unsigned uid);

}  // namespace platform
