// The VFS update run behind the vfsupdate command: puts every file of one package group into an
// existing container in the install folder. At most one container is open at a time; it stays
// open between script lines when a line asks for that, and the next run (or the end of the
// script) finalises and closes it.
#pragma once

#include <string>

class TArchiveProgress;
class TGroupSource;
class TVFSFile;

// Adds the group's files to the container `name` in `install_dir`. A missing container shows
// "VFS Error", puts text 23 on the second status line and requests the run to stop. With
// `close_after` the container is finalised and closed at the end; an error escaping the walk
// always finalises and closes it before going on, since the run ends there.
void VfsUpdate(TGroupSource& group, const std::string& install_dir, const std::string& name,
               bool close_after, TArchiveProgress& progress);

// Closes any open container, then opens `name` with its whole tree.
void OpenVfsForUpdate(const std::string& install_dir, const std::string& name,
                      TArchiveProgress& progress);
// Status text 20, then the header with its checksum and the hash file are rewritten.
void FinaliseOpenVfs(TArchiveProgress& progress);
// Finalises, closes and frees the open container; afterwards none is open.
void CloseOpenVfs(TArchiveProgress& progress);

// The open container, or null (for tests).
TVFSFile* OpenVfsContainer();
