// SHA-256's block function with the x86 SHA extensions, which most x86 processors since 2017
// have: several times the portable code's speed on an installer's digest, which is checked
// before anything is installed. TSha256 uses it where the processor has the instructions.
#pragma once

#include <array>
#include <cstdint>

// Whether this processor has the SHA extensions (and the SSE4.1 the function needs besides).
// Always false on other processors and compilers.
bool Sha256ShaInstructionsPresent();

// One 64-byte block into the chaining words; call only where the instructions are present.
void Sha256BlockWithShaInstructions(std::array<uint32_t, 8>& state, const unsigned char* block);
