// The key files of setupc's signing options: NAME.key holds the Ed25519 secret key (made
// readable by its owner only), NAME.pub the public key that installers are checked against
// (`setup --require-signature=NAME.pub`). Both are text: comment lines starting with '#', then
// one line of base64. Keys are made and used with libsodium, which of the kit's programs only
// setupc links.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "setup/core/package_integrity.h"

namespace setupc {

constexpr size_t kSecretKeySize = 64;  // Ed25519 seed and public key, as libsodium keeps it
using TSecretKey = std::array<unsigned char, kSecretKeySize>;

// The public key of a secret key.
TPublicKey PublicKeyOf(const TSecretKey& key);
// A public key as one line of base64, as a .pub file holds it.
std::string PublicKeyText(const TPublicKey& key);
// Seals packages with signatures made with KEY.
TPackageSigner SignerOf(const TSecretKey& key);

// Makes a new key pair as NAME.key and NAME.pub; neither file may exist yet. Answers the
// public key, or nothing with `error` set.
std::optional<TPublicKey> GenerateKeyFiles(const std::string& name, std::string& error);

// Reads a secret key file written by GenerateKeyFiles.
std::optional<TSecretKey> ReadSecretKeyFile(const std::string& path, std::string& error);

}  // namespace setupc
