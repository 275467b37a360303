// Text changes setupc makes to a page set's page list and layouts as it packs them: the
// runtime reads these files by CR line ends only, and a change-log page without a change log
// would show an empty box and an error.
#pragma once

#include <string>

namespace setupc {

// TEXT with every line ending (LF, CR or CR LF) written as CR LF.
std::string WithCrLf(const std::string& text);

// The page list without its Changelog pages: each one's line in [Pages] and in [PageTypes]
// goes, so the pages after it keep their kinds. Lines are counted as the runtime counts them
// (trimmed, empty ones skipped). Answers the text unchanged when it has no such page.
std::string WithoutChangelogPages(const std::string& page_list);

}  // namespace setupc
