#include "setup/views/qt/page_control.h"

#include "platform/message_box.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/text/languages.h"
#include "setup/text/sectioned_text.h"

namespace setup_wizard {

namespace {

QString Text(int number) { return QString::fromStdU16String(GetText(number)); }

}  // namespace

TSEPageControl::TSEPageControl(QPushButton* back, QPushButton* next, QPushButton* cancel,
                               QPushButton* language, QWidget* host)
    : back_(back), next_(next), cancel_(cancel), language_(language), host_(host) {}

void TSEPageControl::LoadPages(const std::string& entry_name) {
  TPak* pak = SetupState::Instance().package.get();
  if (!pak) {
    platform::MessageBox("Error File Missing: " + entry_name, "Missing File", platform::kMbOk);
    return;
  }
  ReadSectionedEntry(*pak, entry_name, MissingEntryMessage::kPageList,
                     [this](const TStringList& section) { HandleSection(section); });
}

void TSEPageControl::HandleSection(const TStringList& section) {
  const std::string name = AsciiLower(SectionName(section.Get(0)));
  if (name == "pages") {
    for (int i = 1; i < section.count(); ++i) AddPage(section.Get(i));
  } else if (name == "pagetypes") {
    for (int k = 1; k < section.count(); ++k) {
      if (static_cast<size_t>(k - 1) >= Pages.size()) break;
      std::optional<PageKind> kind = PageKindFromWord(section.Get(k));
      if (!kind) continue;  // an unknown word keeps its position
      TControlParser& page = *Pages[k - 1];
      page.Kind = *kind;
      if (*kind == PageKind::MainLayout) {
        page.ShowAll();
        page.SendAllToBack();
      }
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

void TSEPageControl::AddPage(const std::string& layout_entry) {
  auto page = std::make_unique<TControlParser>(host_);
  page->LoadLayout(layout_entry);
  page->HideAll();
  Pages.push_back(std::move(page));
  if (Pages.size() == 1) SelectPage(0);
}

std::optional<PageKind> TSEPageControl::CurrentKind() const {
  if (CurrentPage < 0 || static_cast<size_t>(CurrentPage) >= Pages.size()) return std::nullopt;
  return Pages[CurrentPage]->Kind;
}

void TSEPageControl::SelectPage(int n) {
  if (n < 0 || static_cast<size_t>(n) >= Pages.size()) return;
  CurrentPage = n;
  back_->setVisible(true);
  next_->setEnabled(true);
  cancel_->setEnabled(true);
  if (n == 0) back_->setVisible(false);
  next_->setText(Text(kTextNext));
  switch (Pages[n]->Kind) {
    case PageKind::Patch:
      next_->setText(Text(kTextStart));
      break;
    case PageKind::Patching:
    case PageKind::Uninstall:
      back_->setVisible(false);
      next_->setEnabled(false);
      cancel_->setEnabled(false);
      language_->setVisible(false);
      break;
    case PageKind::Finish:
      cancel_->setText(Text(kTextFinish));
      back_->setVisible(false);
      next_->setVisible(false);
      break;
    default:
      break;
  }
  for (size_t i = 0; i < Pages.size(); ++i) {
    if (static_cast<int>(i) == n || Pages[i]->Kind == PageKind::MainLayout) {
      Pages[i]->ShowAll();
    } else {
      Pages[i]->HideAll();
    }
  }
}

void TSEPageControl::RetranslateAll() {
  for (auto& page : Pages) page->Retranslate();
}

}  // namespace setup_wizard
