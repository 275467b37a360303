// Base64 decoding (standard alphabet, padded), for public keys given as text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The bytes TEXT encodes, or nothing unless TEXT is exactly the padded encoding of some bytes:
// a multiple of four characters of the alphabet, '=' only to pad the last group, and no bits
// set beyond the last byte.
std::optional<std::string> DecodeBase64(std::string_view text);
