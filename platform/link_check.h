// Whether a path passes through a symbolic link below a folder the caller trusts (the install
// folder, an extraction folder). Creating, replacing or deleting through such a link would act
// on whatever the link points at, outside that folder; the callers refuse instead.
#pragma once

#include <optional>
#include <string>

namespace platform {

// The first component of `path` below `top` (both Windows or host paths) that is a symbolic
// link, as a host path; the last component counts only with `last_too`. Nothing when there is
// none, when `path` does not lie below `top`, or when `top` is empty.
std::optional<std::string> LinkBelow(const std::string& top, const std::string& path,
                                     bool last_too);

}  // namespace platform
