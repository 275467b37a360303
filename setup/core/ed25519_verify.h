// Ed25519 signature verification (RFC 8032), and nothing else: installers only check
// signatures; keys are made and installers signed by setupc. Signatures, keys and messages are
// public, so the arithmetic is plain variable-time code.
#pragma once

#include <array>
#include <cstddef>

constexpr size_t kEd25519PublicKeySize = 32;
constexpr size_t kEd25519SignatureSize = 64;

// True when SIGNATURE (R, then S) is a signature of the SIZE bytes at MESSAGE by PUBLIC_KEY.
// Refused, as libsodium's crypto_sign_verify_detached refuses them: S not below the group order
// L; a key or R that is not the canonical encoding of a curve point; a key or R of small order
// (a multiple of the neutral point's eight torsion points). The equation checked is
// [S]B = R + [k]A without the cofactor, k = SHA-512(R || A || message) mod L.
bool VerifyEd25519(const std::array<unsigned char, kEd25519SignatureSize>& signature,
                   const void* message, size_t size,
                   const std::array<unsigned char, kEd25519PublicKeySize>& public_key);
