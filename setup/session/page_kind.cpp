#include "setup/session/page_kind.h"

#include "setup/core/text_services.h"

namespace setup_session {

std::optional<PageKind> PageKindFromWord(const std::string& word) {
  static constexpr struct {
    const char* word;
    PageKind kind;
  } kWords[] = {
      {"welcome", PageKind::Welcome},   {"changelog", PageKind::Changelog},
      {"installdir", PageKind::InstallDir}, {"patch", PageKind::Patch},
      {"patching", PageKind::Patching}, {"finish", PageKind::Finish},
      {"mainlayout", PageKind::MainLayout}, {"uninstall", PageKind::Uninstall},
      {"languageselection", PageKind::LanguageSelection},
  };
  const std::string lower = AsciiLower(word);
  for (const auto& entry : kWords) {
    if (lower == entry.word) return entry.kind;
  }
  return std::nullopt;
}

}  // namespace setup_session
