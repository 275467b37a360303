#include "setup/session/page_list.h"

#include "platform/message_box.h"
#include "setup/core/setup_error.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/text/sectioned_text.h"

namespace setup_session {

void TPageList::LoadPages(const std::string& entry_name) {
  TPak* pak = SetupState::Instance().package.get();
  if (!pak) {
    platform::MessageBox("Error File Missing: " + entry_name, "Missing File", platform::kMbOk);
    return;
  }
  ReadSectionedEntry(*pak, entry_name, MissingEntryMessage::kPageList,
                     [this](const TStringList& section) { HandleSection(section); });
}

void TPageList::HandleSection(const TStringList& section) {
  const std::string name = AsciiLower(SectionName(section.Get(0)));
  if (name == "pages") {
    for (int i = 1; i < section.count(); ++i) AddPage(section.Get(i));
  } else if (name == "pagetypes") {
    for (int k = 1; k < section.count(); ++k) {
      if (static_cast<size_t>(k - 1) >= Pages.size()) break;
      std::optional<PageKind> kind = PageKindFromWord(section.Get(k));
      if (kind) Pages[k - 1].kind = *kind;  // an unknown word keeps its position
    }
  } else if (name == "settings") {
    for (int i = 1; i < section.count(); ++i) {
      const std::string& line = section.Get(i);
      std::string lower = AsciiLower(line);
      if (lower.compare(0, 10, "fontcolour") == 0) {
        FontColour = static_cast<uint32_t>(
            ParseLayoutInteger(line.size() > 11 ? line.substr(11) : std::string()));
      } else if (lower.compare(0, 6, "colour") == 0) {
        Colour = static_cast<uint32_t>(
            ParseLayoutInteger(line.size() > 7 ? line.substr(7) : std::string()));
      }
    }
  }
}

void TPageList::AddPage(const std::string& layout_entry) {
  WizardPage page{layout_entry, PageKind::Welcome, ReadLayout(layout_entry)};
  // Names are component names, unique over every page because all pages share one host.
  std::vector<std::string> taken;
  for (const WizardPage& other : Pages) {
    for (const LayoutRecord& record : other.controls) taken.push_back(AsciiLower(record.name));
  }
  for (const LayoutRecord& record : page.controls) {
    if (record.name.empty()) continue;
    const std::string lower = AsciiLower(record.name);
    for (const std::string& name : taken) {
      if (name == lower) throw SetupError("A component named " + record.name + " already exists");
    }
    taken.push_back(lower);
  }
  Pages.push_back(std::move(page));
}

}  // namespace setup_session
