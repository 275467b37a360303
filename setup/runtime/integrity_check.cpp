#include "setup/runtime/integrity_check.h"

#include <algorithm>

#include "platform/files.h"

namespace {

// A key given as base64 text, or a file that holds it.
std::optional<TPublicKey> ReadKey(const std::string& item) {
  if (std::optional<TPublicKey> key = ParsePublicKeyText(item)) return key;
  const std::optional<std::string> text = platform::ReadFileBytes(item);
  if (!text) return std::nullopt;
  size_t start = 0;
  while (start < text->size()) {
    size_t end = text->find('\n', start);
    if (end == std::string::npos) end = text->size();
    const std::string line = text->substr(start, end - start);
    const size_t first = line.find_first_not_of(" \t\r");
    if (first != std::string::npos && line[first] != '#') return ParsePublicKeyText(line);
    start = end + 1;
  }
  return std::nullopt;
}

bool AddKeys(const std::string& list, SignaturePolicy& policy, std::string& error) {
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    const std::string item = list.substr(start, end - start);
    if (item.find_first_not_of(" \t") != std::string::npos) {
      const std::optional<TPublicKey> key = ReadKey(item);
      if (!key) {
        error = "not a public key, nor a file holding one: " + item;
        return false;
      }
      policy.required.push_back(*key);
    }
    start = end + 1;
  }
  return true;
}

}  // namespace

std::optional<SignaturePolicy> ReadSignaturePolicy(const std::string& option,
                                                   const std::string& environment,
                                                   std::string& error) {
  SignaturePolicy policy;
  if (!AddKeys(option, policy, error)) return std::nullopt;
  if (!AddKeys(environment, policy, error)) {
    error = std::string(kRequireSignatureVariable) + ": " + error;
    return std::nullopt;
  }
  return policy;
}

std::optional<std::string> PolicyRefusal(const SignaturePolicy& policy,
                                         const TIntegrityVerdict& verdict, bool is_uninstaller) {
  if (policy.required.empty() || is_uninstaller) return std::nullopt;
  if (verdict.status == TIntegrityVerdict::Status::kGood && verdict.signer &&
      std::find(policy.required.begin(), policy.required.end(), *verdict.signer) !=
          policy.required.end()) {
    return std::nullopt;
  }
  const std::string signer = verdict.signer ? KeyFingerprint(*verdict.signer) : "none";
  return "Error: Setup is not signed by a key this machine accepts.\rSigner: " + signer;
}

std::string DescribeIntegrity(const TIntegrityVerdict& verdict) {
  switch (verdict.status) {
    case TIntegrityVerdict::Status::kAbsent:
      return "no digest (made before installers carried one)";
    case TIntegrityVerdict::Status::kGood:
      return verdict.signer ? "digest good, signed by " + KeyFingerprint(*verdict.signer)
                            : "digest good, not signed";
    case TIntegrityVerdict::Status::kBad:
      break;
  }
  return "corrupt: " + verdict.reason;
}
