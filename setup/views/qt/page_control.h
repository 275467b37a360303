// TSEPageControl: the wizard's pages. Reads the page list, builds one TControlParser per
// layout, keeps the current page and shows a page with the button rules of its kind.
#pragma once

#include <QPushButton>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "setup/views/qt/control_parser.h"

class TStringList;

namespace setup_wizard {

class TSEPageControl {
 public:
  TSEPageControl(QPushButton* back, QPushButton* next, QPushButton* cancel,
                 QPushButton* language, QWidget* host);

  // Reads the page list entry and builds its pages. A missing entry shows "Error File Missing:"
  // and builds nothing. A [Settings] value that is not a number raises SetupError.
  void LoadPages(const std::string& entry_name);
  void AddPage(const std::string& layout_entry);
  // Shows page n with its kind's button rules; an index outside the pages changes nothing.
  void SelectPage(int n);
  void RetranslateAll();

  // Handles one section of the page list.
  void HandleSection(const TStringList& section);

  int CurrentPage = 0;
  std::vector<std::unique_ptr<TControlParser>> Pages;
  uint32_t Colour = 0xFFFFFF;
  uint32_t FontColour = 0x000000;

  // The kind of the current page, when a page exists.
  std::optional<PageKind> CurrentKind() const;

 private:
  QPushButton* back_;
  QPushButton* next_;
  QPushButton* cancel_;
  QPushButton* language_;
  QWidget* host_;
};

}  // namespace setup_wizard
