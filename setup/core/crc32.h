// Standard CRC-32 (reflected, polynomial 0xEDB88320): the same value as zlib, PNG and ZIP.
#pragma once

#include <cstddef>
#include <cstdint>

// One table-driven step over `size` bytes without the initial and final inversion:
// for each byte, crc := table[(crc ^ byte) & 0xFF] ^ (crc >> 8).
uint32_t UpdateCrc32(uint32_t crc, const void* data, size_t size);

// CRC-32 of the bytes. For size 0 answers true and leaves `crc` untouched; otherwise sets
// crc := ~UpdateCrc32(0xFFFFFFFF, data, size) and answers true.
bool ComputeCrc32(const void* data, size_t size, uint32_t& crc);

// CRC-32 of the bytes as a value (0 for no bytes).
uint32_t ComputeCrc32(const void* data, size_t size);
