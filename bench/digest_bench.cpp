// The installer's digest and signature check, the engine's own code beside libsodium's:
// SHA-256 over a megabyte (throughput) and one Ed25519 verification.
#include <benchmark/benchmark.h>
#include <sodium.h>

#include <string>

#include "setup/core/ed25519_verify.h"
#include "setup/core/sha256.h"

namespace {

const std::string& Megabyte() {
  static const std::string data(1 << 20, 'x');
  return data;
}

void BM_Sha256Own(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(TSha256::Of(Megabyte().data(), Megabyte().size()));
  state.SetBytesProcessed(state.iterations() * Megabyte().size());
}
BENCHMARK(BM_Sha256Own);

void BM_Sha256Libsodium(benchmark::State& state) {
  std::array<unsigned char, 32> digest;
  for (auto _ : state) {
    crypto_hash_sha256(digest.data(), reinterpret_cast<const unsigned char*>(Megabyte().data()),
                       Megabyte().size());
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(state.iterations() * Megabyte().size());
}
BENCHMARK(BM_Sha256Libsodium);

struct Signed {
  std::array<unsigned char, 32> key;
  std::array<unsigned char, 64> signature;
  std::string message = std::string(60, 'm');
};

Signed MakeSigned() {
  if (sodium_init() < 0) std::abort();
  Signed s;
  std::array<unsigned char, 64> secret;
  crypto_sign_keypair(s.key.data(), secret.data());
  crypto_sign_detached(s.signature.data(), nullptr,
                       reinterpret_cast<const unsigned char*>(s.message.data()), s.message.size(),
                       secret.data());
  return s;
}

void BM_Ed25519VerifyOwn(benchmark::State& state) {
  const Signed s = MakeSigned();
  for (auto _ : state) {
    if (!VerifyEd25519(s.signature, s.message.data(), s.message.size(), s.key)) std::abort();
  }
}
BENCHMARK(BM_Ed25519VerifyOwn);

void BM_Ed25519VerifyLibsodium(benchmark::State& state) {
  const Signed s = MakeSigned();
  for (auto _ : state) {
    if (crypto_sign_verify_detached(s.signature.data(),
                                    reinterpret_cast<const unsigned char*>(s.message.data()),
                                    s.message.size(), s.key.data()) != 0) {
      std::abort();
    }
  }
}
BENCHMARK(BM_Ed25519VerifyLibsodium);

}  // namespace

BENCHMARK_MAIN();
