// The kinds of wizard pages, as the page list names them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace setup_session {

enum class PageKind : uint8_t {
  Welcome = 0,
  Changelog = 1,
  InstallDir = 2,
  Patch = 3,
  Patching = 4,
  Finish = 5,
  MainLayout = 6,
  Uninstall = 7,
  LanguageSelection = 8,
  // A licence to accept: Next waits for its "AcceptLicense" radio button.
  License = 9,
};

// The page-list word of a kind, lower-cased ("installdir").
const char* PageKindName(PageKind kind);

// The kind a page-list word names (compared without regard to case); nothing for another word.
std::optional<PageKind> PageKindFromWord(const std::string& word);

}  // namespace setup_session
