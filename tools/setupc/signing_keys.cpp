#include "tools/setupc/signing_keys.h"

#include <fcntl.h>
#include <sodium.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files.h"

namespace setupc {
namespace {

constexpr char kSecretHeader[] = "# setupkit signing key (secret): keep it to yourself\n";

template <size_t N>
std::string Base64(const std::array<unsigned char, N>& bytes) {
  std::string text(sodium_base64_ENCODED_LEN(N, sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), bytes.data(), bytes.size(),
                    sodium_base64_VARIANT_ORIGINAL);
  text.resize(std::strlen(text.c_str()));
  return text;
}

// Writes a new file (never over one that is there) that only its owner can read.
bool WriteNewFile(const std::string& path, const std::string& text, mode_t mode,
                  std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) {
    error = "cannot make " + path + ": " + std::strerror(errno);
    return false;
  }
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += static_cast<size_t>(put);
  }
  const bool ok = done == text.size() && ::fsync(fd) == 0;
  ::close(fd);
  if (!ok) error = "cannot write " + path;
  return ok;
}

// The first line of TEXT that is neither blank nor a comment.
std::string KeyLine(const std::string& text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty() && line[0] != '#') return line;
    start = end + 1;
  }
  return "";
}

}  // namespace

TPublicKey PublicKeyOf(const TSecretKey& key) {
  TPublicKey public_key;
  crypto_sign_ed25519_sk_to_pk(public_key.data(), key.data());
  return public_key;
}

std::string PublicKeyText(const TPublicKey& key) { return Base64(key); }

TPackageSigner SignerOf(const TSecretKey& key) {
  TPackageSigner signer;
  signer.public_key = PublicKeyOf(key);
  signer.sign = [key](const std::string& message) {
    TSignature signature;
    crypto_sign_detached(signature.data(), nullptr,
                         reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                         key.data());
    return signature;
  };
  return signer;
}

std::optional<TPublicKey> GenerateKeyFiles(const std::string& name, std::string& error) {
  if (sodium_init() < 0) {
    error = "the cryptography library cannot start";
    return std::nullopt;
  }
  TPublicKey public_key;
  TSecretKey secret_key;
  crypto_sign_keypair(public_key.data(), secret_key.data());
  const std::string secret_text = kSecretHeader + Base64(secret_key) + "\n";
  sodium_memzero(secret_key.data(), secret_key.size());
  const std::string public_text = "# setupkit signing key (public) " + KeyFingerprint(public_key) +
                                  "\n" + PublicKeyText(public_key) + "\n";
  if (!WriteNewFile(name + ".key", secret_text, 0600, error)) return std::nullopt;
  if (!WriteNewFile(name + ".pub", public_text, 0644, error)) {
    platform::DeleteFile(name + ".key");
    return std::nullopt;
  }
  return public_key;
}

std::optional<TSecretKey> ReadSecretKeyFile(const std::string& path, std::string& error) {
  const std::optional<std::string> text = platform::ReadFileBytes(path);
  if (!text) {
    error = "cannot read the key file " + path;
    return std::nullopt;
  }
  const std::string line = KeyLine(*text);
  TSecretKey key;
  size_t length = 0;
  const char* end = nullptr;
  if (sodium_init() < 0 ||
      sodium_base642bin(key.data(), key.size(), line.data(), line.size(), nullptr, &length, &end,
                        sodium_base64_VARIANT_ORIGINAL) != 0 ||
      length != key.size() || end != line.data() + line.size()) {
    error = path + " is not a secret key file made by setupc --keygen";
    return std::nullopt;
  }
  // A secret key holds its public key in its second half; a damaged file would sign with a
  // key that no one can check.
  TPublicKey derived;
  crypto_sign_ed25519_sk_to_pk(derived.data(), key.data());
  unsigned char seed[crypto_sign_SEEDBYTES];
  crypto_sign_ed25519_sk_to_seed(seed, key.data());
  TPublicKey from_seed;
  TSecretKey again;
  crypto_sign_seed_keypair(from_seed.data(), again.data(), seed);
  sodium_memzero(seed, sizeof seed);
  if (from_seed != derived) {
    error = path + " is damaged: its public half does not match";
    return std::nullopt;
  }
  return key;
}

}  // namespace setupc
