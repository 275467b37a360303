// TSEPageControl: the widgets of the wizard's pages. Builds one TControlParser per page of a
// session's page list on the page host and shows a page: its controls and those of the main
// layouts visible, every other page's hidden. The page rules are the session's.
#pragma once

#include <QWidget>
#include <memory>
#include <vector>

#include "setup/session/page_list.h"
#include "setup/views/qt/control_parser.h"

namespace setup_wizard {

class TSEPageControl {
 public:
  explicit TSEPageControl(QWidget* host);

  // Builds every page's controls (a main layout's behind all others). A control name that
  // another control of the host already has raises SetupError.
  void Build(const std::vector<setup_session::WizardPage>& pages);
  // Shows page n and the main layouts, hides the others; an index outside the pages changes
  // nothing.
  void ShowPage(int n);
  void RetranslateAll();

  std::vector<std::unique_ptr<TControlParser>> Pages;

 private:
  QWidget* host_;
};

}  // namespace setup_wizard
