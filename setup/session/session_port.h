// What a view reads of its wizard session and hands to it: the session itself, or, in the window
// program, a mirror of the session in the runtime that sends the actions there.
#pragma once

#include <optional>
#include <string>

#include "setup/session/page_list.h"

namespace setup_session {

// A control of a page, by page index and position in the page's records.
struct ControlRef {
  int page = 0;
  int index = 0;
};

// The controls the session writes into, found by name over all pages.
struct NamedControls {
  std::optional<ControlRef> status_line;         // patching_statuslabel
  std::optional<ControlRef> gauge;               // patching_progressbar
  std::optional<ControlRef> second_status_line;  // finishtext
  std::optional<ControlRef> folder_edit;         // installdir_edit
  std::optional<ControlRef> folder_tree;         // installdir_shelltreeview
  std::optional<ControlRef> space_available;     // spaceavalible
};

// The named controls of a page list: by lower-cased name over all pages (a later match replaces
// an earlier one), each only when its kind can show what is written.
NamedControls FindNamedControls(const std::vector<WizardPage>& pages);

// The window caption: the setup name, or the short name and text 26 for an uninstaller.
std::u16string WizardTitle();

class SessionPort {
 public:
  virtual ~SessionPort() = default;

  virtual const TPageList& PageList() const = 0;
  virtual const NamedControls& Named() const = 0;
  virtual std::optional<PageKind> CurrentKind() const = 0;
  // Whether the wizard has closed: the window may close too.
  virtual bool Closed() const = 0;

  virtual void Next() = 0;
  virtual void Back() = 0;
  // Chooses language table `index` (menu order).
  virtual void ChooseLanguage(int index) = 0;
  // The install-folder field now reads `text` (Windows-1252). Answers whether a folder tree may
  // follow it.
  virtual bool EditFolder(const std::string& text) = 0;
  // A radio button was checked.
  virtual void ChooseOption(ControlRef option) = 0;
  // An attempt to close: answers true when the wizard has closed now.
  virtual bool RequestClose() = 0;
};

}  // namespace setup_session
