// TProductInfo: the product details shown by tools that list installed software (version,
// publisher, web address). Kept in a group-0 entry of its own, "ProductInfo", beside the setup
// record rather than inside it, so the setup record keeps its stored form and installers built
// before these details existed read exactly as before (they simply have no such entry).
//
// Stored form: the fields in order, each a 2-byte little-endian length and that many 8-bit
// (Windows-1252) characters. Fields past the end of the data read as empty; bytes after the
// last field are ignored, so later fields can be appended.
#pragma once

#include <string>

constexpr const char kProductInfoEntry[] = "ProductInfo";

struct TProductInfo {
  std::string Version;    // `version` line: DisplayVersion
  std::string Publisher;  // `publisher` line: Publisher
  std::string Url;        // `url` line: URLInfoAbout

  bool Empty() const { return Version.empty() && Publisher.empty() && Url.empty(); }
  std::string Encode() const;
  static TProductInfo Decode(const void* data, size_t size);

  bool operator==(const TProductInfo&) const = default;
};
