// Helpers shared by the platform sources for host paths and names; not for callers above.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform::internal {

// Components of a path split at '\' and '/', empty ones dropped.
std::vector<std::string> SplitPath(const std::string& path);
// Collapses "//", "." and ".." of an absolute host path; no trailing slash except for "/".
std::string NormalizeHostPath(const std::string& path);
std::string JoinHostPath(const std::string& folder, const std::string& name);
// The entry of `folder` named `name`: the exact name when it exists, else the first entry
// (in byte order) equal to it without regard to ASCII case; nothing when there is none.
std::optional<std::string> FindNameIgnoringCase(const std::string& folder, const std::string& name);
// Appends `components` to the existing host folder `base`, taking each existing component in
// its spelling on disk (ASCII case ignored); missing ones are kept as given.
std::string ResolveIgnoringCase(const std::string& base,
                                const std::vector<std::string>& components);
class NameIndex;
// One component of ResolveIgnoringCase through a name index: `host` joined with `part` in its
// spelling on disk. `exists` says on entry whether `host` exists, on exit whether the result
// does (nothing below a missing folder is looked up).
std::string ResolveStep(NameIndex& index, const std::string& host, const std::string& part,
                        bool& exists);
// mkdir -p; true when the folder exists afterwards. With `guarded` each missing folder is made
// with mkdirat in its parent as SafeParent::Open reached it: below a guarded folder a link at any
// level is refused (ELOOP) and nothing is made behind it. The drive table makes its own folders,
// the guarded ones themselves, without.
bool MakeHostFolders(const std::string& path, bool guarded = false);
// Host path of a Windows or host path; empty when it cannot be mapped. Unlike ToHostPath it
// also takes relative paths, against the working folder, as Win32 file calls do.
std::string HostPathOf(const std::string& path);

}  // namespace platform::internal
