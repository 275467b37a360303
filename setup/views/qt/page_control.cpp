#include "setup/views/qt/page_control.h"

#include <QButtonGroup>
#include <QRadioButton>

namespace setup_wizard {

namespace {

// The radio buttons of a licence page answer only each other: on the shared page host they
// would otherwise take the check from the language page's buttons and back.
void GroupRadios(QWidget* host, TControlParser& page,
                 const std::vector<setup_session::LayoutRecord>& records) {
  auto* group = new QButtonGroup(host);
  for (size_t i = 0; i < page.Controls.size() && i < records.size(); ++i) {
    if (auto* radio = qobject_cast<QRadioButton*>(page.Controls[i])) {
      group->addButton(radio);
      radio->setChecked(records[i].checked);
    }
  }
}

}  // namespace

TSEPageControl::TSEPageControl(QWidget* host) : host_(host) {}

void TSEPageControl::Build(const std::vector<setup_session::WizardPage>& pages) {
  for (const setup_session::WizardPage& record : pages) {
    auto page = std::make_unique<TControlParser>(host_);
    page->Kind = record.kind;
    page->BuildPage(record.controls);
    if (record.kind == PageKind::License) GroupRadios(host_, *page, record.controls);
    page->HideAll();
    Pages.push_back(std::move(page));
  }
  for (auto& page : Pages) {
    if (page->Kind == PageKind::MainLayout) {
      page->ShowAll();
      page->SendAllToBack();
    }
  }
}

void TSEPageControl::ShowPage(int n) {
  if (n < 0 || static_cast<size_t>(n) >= Pages.size()) return;
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
