// The start-up's whole-file check beyond the entries' CRCs: the package's digest and
// signature, and the keys a machine or a command line may require an installer to be signed
// with. No Qt.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "setup/core/package_integrity.h"

// Keys of which one must have signed an installer; empty: any signer, or none.
struct SignaturePolicy {
  std::vector<TPublicKey> required;
};

// The environment setting an administrator sets for every installer started on the machine.
constexpr const char kRequireSignatureVariable[] = "SETUP_REQUIRE_SIGNATURE";

// The keys named by --require-signature (OPTION) and by the environment setting (ENVIRONMENT),
// each a list separated by commas of public keys in base64 or of files that hold one (the
// first line that is not a comment, "#"). Nothing, with `error`, when a key cannot be read.
std::optional<SignaturePolicy> ReadSignaturePolicy(const std::string& option,
                                                   const std::string& environment,
                                                   std::string& error);

// Why the policy refuses a package whose check gave VERDICT; nothing when it accepts it.
// Uninstallers are made on the machine and carry no signature: the policy holds for
// installers only.
std::optional<std::string> PolicyRefusal(const SignaturePolicy& policy,
                                         const TIntegrityVerdict& verdict, bool is_uninstaller);

// One line for the log and the verify report: "signed by ed25519:...", "not signed",
// "no digest (made before installers carried one)" or the reason it is bad.
std::string DescribeIntegrity(const TIntegrityVerdict& verdict);
