// Which files are x86 programs: ELF executables and shared objects for x86 and x86-64, and PE
// programs and libraries for i386 and x64. setupc packs them beside each other and converts the
// branches of solid blocks made mostly of them (setup/io/x86_branches.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace setupc {

// The most bytes of a file's start IsX86Program looks at.
constexpr size_t kProgramHeadSize = 1024;

// From the first bytes of a file (up to kProgramHeadSize of them). Object files and static
// libraries do not count: their calls point nowhere until linked, so converting them only
// scatters their zero displacements.
bool IsX86Program(std::string_view head);

// IsX86Program of the start of a host file; false when it cannot be read.
bool HostFileIsX86Program(const std::string& path);

}  // namespace setupc
