// File services of the file commands: finding a file on the CD-ROM drives, removing a folder
// tree, the registry condition of `file`, and extracting a package group into a folder.
#pragma once

#include <cstdint>
#include <string>

// When the path holds "$CDDRIVE" (any case): the path with it replaced by the root of the first
// CD-ROM drive (in drive-letter order) under which the file exists; otherwise, or when no drive
// holds the file, the path unchanged.
std::string FindOnCdDrives(const std::string& path);

// The folder with "." and ".." components resolved on the text (never climbing above the root)
// and no final separator; empty when nothing but a root or nothing at all remains ("", "\",
// "C:", "C:\.", "C:\Demo\.."), so a drive root cannot slip through in another spelling.
std::string FolderBelowRoot(const std::string& folder);

// Removes a folder with everything in it, deepest folders first. A symbolic link inside the
// tree is removed as a link, never followed. Refuses an empty path and a drive root, also when
// "." or ".." components lead there ("C:\.", "C:\Demo\.."). Gives up on a folder once a pass
// over it deletes nothing (a file that cannot be deleted), so it always ends. Answers whether the
// folder is gone.
bool RemoveFolderTree(const std::string& folder);

// The registry condition of a `file` line: the value's text compared with `expected` (case
// counts); a match flag "0", "false" or "f" (any case) asks for a difference instead. A missing
// key is created and a missing value reads as empty.
bool RegistryCondition(const std::string& root, const std::string& key,
                       const std::string& value_name, const std::string& expected,
                       const std::string& match_flag);

// True when an entry name stays inside the folder it is extracted into: not empty, no ".."
// component, not rooted ("\x", "/x") and no drive ("C:").
bool IsSafeEntryName(const std::string& entry);

// Extracts every entry of a package group of the shared package into `folder`, recording each
// target in the uninstall list and stepping the progress per entry. Entries whose name would
// leave the folder are skipped. An entry whose data cannot be read whole (a package cut short or
// damaged), or a file that cannot be written (named with the system's reason, FailStep), stops
// the run as the failure command does; answers false then, and also when the run was asked to
// stop between two files.
bool ExtractGroup(const std::string& folder, int32_t group);

// Copies a large raw entry of the shared package to `destination` in chunks of at most 25 MiB,
// showing text 18 with the progress of the copy. Answers false, with the run stopped, when the
// package delivers fewer bytes than the entry needs (the partial file removed) or the file
// cannot be written.
bool CopyLargeEntry(const std::string& destination, const std::string& display_name, uint64_t size,
                    int index);
