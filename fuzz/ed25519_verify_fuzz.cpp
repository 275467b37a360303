// libFuzzer harness for the Ed25519 verifier, checked against libsodium: the input is a public
// key (32 bytes), a signature (64) and the message (the rest); both verifiers must give the same
// answer for every input.
#include <sodium.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "setup/core/ed25519_verify.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (sodium_init() < 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::array<unsigned char, kEd25519PublicKeySize> key;
  std::array<unsigned char, kEd25519SignatureSize> signature;
  if (size < key.size() + signature.size()) return 0;
  std::memcpy(key.data(), data, key.size());
  std::memcpy(signature.data(), data + key.size(), signature.size());
  const uint8_t* message = data + key.size() + signature.size();
  const size_t message_size = size - key.size() - signature.size();
  const bool ours = VerifyEd25519(signature, message, message_size, key);
  const bool sodium =
      crypto_sign_verify_detached(signature.data(), message, message_size, key.data()) == 0;
  if (ours != sodium) std::abort();
  return 0;
}
