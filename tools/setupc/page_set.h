// Collects what a page set in the compiler's layout folder brings into a package: the page list,
// every layout file it names and every picture those layouts name.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace setupc {

struct PageSetFile {
  std::string entry_name;            // as the page list or the layout writes it
  std::string host_path;             // the file found (names matched without regard to case)
  std::optional<std::string> bytes;  // what to pack instead of the file (texts made CR LF)
};

struct PageSet {
  std::vector<PageSetFile> files;  // page list first, then each layout followed by its pictures
  std::string icon_host_path;      // icon.ico of the set; empty when the set has none
  std::vector<std::string> errors;
  // Things packed that the runtime will not show: enhanced metafiles (.emf) named by a layout.
  std::vector<std::string> warnings;
  bool license_page = false;  // the packed page list has a License page
};

// Finds `relative` (backslash or slash separated) below `folder`, matching every component
// without regard to ASCII case; empty when there is no such file.
std::string FindFileIgnoringCase(const std::string& folder, const std::string& relative);

// Reads the page set `name` from `layout_folder` (the folder holding one folder per page set).
// A missing folder, page list, layout or picture is reported in `errors`, except a file a layout
// names that is packed from elsewhere (`other_entries`, lower-cased, such as the change log).
// The page list and the layouts are packed with CR LF line ends whatever their files use; the
// page list loses its pages of the kinds `dropped_kinds` ("changelog", "license": no text for
// them) and so their layouts. Two files of the set's folder whose names differ only in letter
// case are an error: the runtime finds entries without regard to case and would show either.
PageSet CollectPageSet(const std::string& layout_folder, const std::string& name,
                       const std::set<std::string>& other_entries = {},
                       const std::set<std::string>& dropped_kinds = {});

}  // namespace setupc
