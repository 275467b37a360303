// TPakSystem: updates a pak archive in place (adds package groups, sets the official flag,
// duplicates entries). Full interface follows; this header already carries the shared limits.
#pragma once

#include <cstddef>

// The reader finds the "QXP3" block only within the last 56 bytes of an archive, which leaves
// room for an enciphered password of at most 41 bytes. Longer passwords are refused.
inline constexpr std::size_t kMaxPakPassword = 41;
