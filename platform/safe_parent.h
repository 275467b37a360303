// The folder that holds a path, reached from a folder the kit trusts without following any
// symbolic link below it. A check made with lstat leaves a window in which a link planted at a
// folder of the path would send the change that follows somewhere else; a change made relative
// to a folder opened this way (mkdirat, openat, renameat, unlinkat on its last component) acts
// inside that very folder, whatever is planted meanwhile.
#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <atomic>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// The kit's own folders, as host paths: nothing below them is created, replaced or deleted
// through a link. Each drive folder that lies inside SETUP_ROOT (the default drive_c), the
// folder of the menu entries (ApplicationsFolder) and, while a TrustedFolderScope lives, its
// folder when none of the others holds it.
std::vector<std::string> GuardedFolders();

// The folder this process's run changes as one more trusted folder while the object lives: the
// install folder of an install or a removal, so that one on a drive outside SETUP_ROOT (Z:) or in
// the machine's /opt is changed through the same walk, or the destination of an extraction. Made
// once at the start of the run by the code that knows the folder (a Windows or host path).
class TrustedFolderScope {
 public:
  explicit TrustedFolderScope(const std::string& folder);
  ~TrustedFolderScope();
  TrustedFolderScope(const TrustedFolderScope&) = delete;
  TrustedFolderScope& operator=(const TrustedFolderScope&) = delete;

 private:
  std::string folder_;
  const std::string* previous_ = nullptr;
};

class SafeParent {
 public:
  // An opened folder, shared by the SafeParents made from it and this thread's record of recent
  // walks (a walk that ends at a folder met shortly before hands out the very descriptor), and
  // closed with its last holder.
  class Folder {
   public:
    Folder() = default;
    explicit Folder(int fd);  // takes the descriptor over
    Folder(const Folder& other) noexcept;
    Folder(Folder&& other) noexcept : held_(std::exchange(other.held_, nullptr)) {}
    Folder& operator=(Folder other) noexcept;
    ~Folder();
    int Fd() const { return held_ ? held_->fd : AT_FDCWD; }

   private:
    struct Held {
      int fd;
      std::atomic<unsigned> holders;
    };
    Held* held_ = nullptr;
  };

  // The folder holding the absolute host path `host` ("." and ".." resolved on the text first).
  // Below a guarded folder (the deepest one that holds the path) each component down to the
  // parent is opened without following a link: a link answers nothing with errno ELOOP, a
  // missing folder with ENOENT. Elsewhere nothing is opened: Fd() is AT_FDCWD and Leaf() the
  // whole path, so a call made with them acts as the plain path call would.
  static std::optional<SafeParent> Open(const std::string& host);
  // The same with `top` as the trusted folder (itself followed when it is a link); nothing with
  // errno EXDEV when `host` does not lie below it.
  static std::optional<SafeParent> OpenBelow(const std::string& top, const std::string& host);

  SafeParent(SafeParent&& other) noexcept;
  SafeParent& operator=(SafeParent&& other) noexcept;
  SafeParent(const SafeParent&) = delete;
  SafeParent& operator=(const SafeParent&) = delete;
  ~SafeParent();

  int Fd() const { return fd_; }
  const char* Leaf() const { return leaf_.c_str(); }
  // Whether the parent was opened (the path lies below a trusted folder).
  bool Guarded() const { return fd_ >= 0; }
  // Whether the last component is a symbolic link (not followed).
  bool LeafIsLink() const;
  // A folder descriptor to flush the parent with (fsync), to be closed by the caller; -1 when it
  // cannot be opened.
  int OpenForFlush() const;

 private:
  // The walk from the opened folder `from`, whose normalized path is the first `from_length`
  // characters of the normalized `path`, down to the folder holding `path`, each component
  // opened without following a link; each folder it reaches is kept for the later walks of this
  // thread.
  static std::optional<SafeParent> Walk(Folder from, size_t from_length, const std::string& path);

  SafeParent(Folder folder, std::string leaf)
      : folder_(std::move(folder)), fd_(folder_.Fd()), leaf_(std::move(leaf)) {}
  Folder folder_;  // none: not opened, the calls use the whole path
  int fd_;         // its descriptor, or AT_FDCWD
  std::string leaf_;
};

// Whether a change of `path` (a Windows or host path) would meet a symbolic link: one at a folder
// of its path below the trusted folder that holds it, or with `last_too` the path itself there.
// The callers refuse such a change before they record it.
bool MeetsLink(const std::string& path, bool last_too);

// chmod of the file itself, never of a link's target: a link as the last component is refused
// (ELOOP). Below a guarded folder the mode is set relative to the folder SafeParent opened.
bool ChangeModeNoFollow(const std::string& host, mode_t mode);

}  // namespace platform
