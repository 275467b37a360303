// Text changes setupc makes to a page set's page list and layouts as it packs them: the
// runtime reads these files by CR line ends only, and a change-log or licence page without its
// text would show an empty box and an error.
#pragma once

#include <set>
#include <string>

namespace setupc {

// TEXT with every line ending (LF, CR or CR LF) written as CR LF.
std::string WithCrLf(const std::string& text);

// The page list without its pages of the kinds `kinds` (lower-case page-type words such as
// "changelog"): each one's line in [Pages] and in [PageTypes] goes, so the pages after it keep
// their kinds. Lines are counted as the runtime counts them (trimmed, empty ones skipped).
// Answers the text unchanged when it has no such page.
std::string WithoutPagesOfKinds(const std::string& page_list, const std::set<std::string>& kinds);
// Whether the page list has a page of the kind `kind` (a lower-case page-type word).
bool HasPageOfKind(const std::string& page_list, const std::string& kind);

}  // namespace setupc
