// The x86 branch conversion of solid blocks that hold programs. Calls and jumps (opcodes E8
// and E9 with a 32-bit displacement) are written with their target as a position in the block
// instead of relative to the next instruction: calls of one function from many places then
// repeat the same four bytes, which the coder finds as matches. On x86-64 shared libraries this
// takes about 5% off the packed size, with zstd or LZMA.
//
// Rule: at each position i with at least five bytes from i on, an E8 or E9 byte whose fourth
// following byte is 00 or FF (a displacement within 16 MiB either way) has its displacement
// taken as a 25-bit signed number, i + 5 added (to absolute) or subtracted (back), kept to 25
// bits and sign-extended again, and the scan goes on after the five bytes; any other position
// is passed by one byte. An E8 or E9 left as it is keeps the three positions after it from
// being converted, since a conversion there would rewrite the byte its choice was made on. The
// fourth byte of a converted one stays 00 or FF. So both directions make the same choices at
// the same positions, and each is the exact inverse of the other for any bytes, programs or
// not.
#pragma once

#include <cstddef>

namespace archive_io {

// How many bytes past a position the conversion of the bytes up to it may depend on: to get
// the first n bytes of a block right, convert back at least min(n + 4, block size) of them.
constexpr size_t kX86BranchReach = 4;

void ConvertX86Branches(unsigned char* data, size_t size, bool to_absolute);

}  // namespace archive_io
