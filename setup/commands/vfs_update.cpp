#include "setup/commands/vfs_update.h"

#include <memory>

#include "platform/files.h"
#include "platform/message_box.h"
#include "setup/archive/archive_progress.h"
#include "setup/archive/group_source.h"
#include "setup/archive/pak_system.h"
#include "setup/core/setup_error.h"
#include "setup/vfs/vfs_file.h"
#include "setup/vfs/vfs_tree.h"

namespace {

// Module state: the runner's thread alone runs these operations, one at a time.
struct OpenContainerState {
  std::unique_ptr<TVFSFile> file;
  std::string name;
};

OpenContainerState& State() {
  static OpenContainerState state;
  return state;
}

}  // namespace

TVFSFile* OpenVfsContainer() { return State().file.get(); }

void FinaliseOpenVfs(TArchiveProgress& progress) {
  OpenContainerState& state = State();
  if (!state.file) return;
  progress.SetStatus(archive_io::NamedText(progress, 20, state.name));
  state.file->FinaliseContainer(false);
}

void CloseOpenVfs(TArchiveProgress& progress) {
  OpenContainerState& state = State();
  if (!state.file) return;
  // The container is forgotten even when finalising fails, so a later run does not trip over it.
  try {
    FinaliseOpenVfs(progress);
  } catch (...) {
    state.file->CloseContainer();
    state.file.reset();
    throw;
  }
  state.file->CloseContainer();
  state.file.reset();
}

void OpenVfsForUpdate(const std::string& install_dir, const std::string& name,
                      TArchiveProgress& progress) {
  CloseOpenVfs(progress);
  progress.SetStatus(archive_io::NamedText(progress, 29, name));
  const std::string path = TPakSystem::ArchivePath(install_dir, name);
  uint32_t attributes = platform::GetFileAttributes(path);
  if (attributes != platform::kInvalidFileAttributes &&
      (attributes & platform::kFileAttributeReadOnly) != 0) {
    uint32_t cleared = attributes & ~platform::kFileAttributeReadOnly;
    platform::SetFileAttributes(path, cleared != 0 ? cleared : platform::kFileAttributeNormal);
  }
  auto file = std::make_unique<TVFSFile>();
  file->OpenContainer(path, true);
  State().file = std::move(file);
  State().name = name;
}

void VfsUpdate(TGroupSource& group, const std::string& install_dir, const std::string& name,
               bool close_after, TArchiveProgress& progress) {
  const int total = group.Count();
  if (total == 0) return;
  const std::string path = TPakSystem::ArchivePath(install_dir, name);
  if (!platform::FileExists(path)) {
    platform::MessageBox("Error: Unable to find <" + name + ">", "VFS Error", platform::kMbOk);
    progress.SetSecondStatus(progress.Text(23));
    progress.RequestStop();
    return;
  }
  OpenVfsForUpdate(install_dir, name, progress);

  int done = 0;
  archive_io::TPercentStepper stepper(total);
  progress.SetStatus(archive_io::ItemProgressText(progress, name, 0, total));
  try {
    group.ForEach([&](int index, const std::string& entry_name, uint32_t) {
      bool refresh = stepper.Refresh(done);
      progress.SetStatus(archive_io::ItemProgressText(progress, name, done, total));
      std::optional<std::string> content = group.Load(index);
      if (!content) throw SetupError("Unable to read the package entry \"" + entry_name + "\".");
      State().file->Tree().PutFile(entry_name, content->empty() ? nullptr : content->data(),
                                   content->size());
      progress.StepProgress(refresh);
      ++done;
    });
  } catch (...) {
    // The run ends with this error: leave the container with a valid header and hash file.
    try {
      CloseOpenVfs(progress);
    } catch (...) {
    }
    throw;
  }
  if (close_after) CloseOpenVfs(progress);
}
