#include "setup/session/page_kind.h"

#include "setup/core/text_services.h"

namespace setup_session {

namespace {

constexpr struct {
  const char* word;
  PageKind kind;
} kWords[] = {
    {"welcome", PageKind::Welcome},
    {"changelog", PageKind::Changelog},
    {"installdir", PageKind::InstallDir},
    {"patch", PageKind::Patch},
    {"patching", PageKind::Patching},
    {"finish", PageKind::Finish},
    {"mainlayout", PageKind::MainLayout},
    {"uninstall", PageKind::Uninstall},
    {"languageselection", PageKind::LanguageSelection},
    {"license", PageKind::License},
};

}  // namespace

const char* PageKindName(PageKind kind) {
  for (const auto& entry : kWords) {
    if (entry.kind == kind) return entry.word;
  }
  return "page";
}

std::optional<PageKind> PageKindFromWord(const std::string& word) {
  const std::string lower = AsciiLower(word);
  for (const auto& entry : kWords) {
    if (lower == entry.word) return entry.kind;
  }
  return std::nullopt;
}

}  // namespace setup_session
