// Files and folders with Windows semantics, addressed by Windows paths (host paths beginning
// with '/' are accepted too; relative paths are taken against the working folder, as by Win32).
// Operations answer by return value, as the Win32 calls they mirror. A file whose owner write bit
// is off is read-only: it cannot be opened for writing, copied over, replaced or deleted until the
// flag is cleared (checked here, so it holds for root too).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

constexpr uint32_t kFileAttributeReadOnly = 0x01;
constexpr uint32_t kFileAttributeHidden = 0x02;
constexpr uint32_t kFileAttributeDirectory = 0x10;
constexpr uint32_t kFileAttributeArchive = 0x20;
constexpr uint32_t kFileAttributeNormal = 0x80;
constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFF;

bool FileExists(const std::string& path);  // a file (not a folder) is there
// The host path of `path`, entered in the calling thread's name index as if a file had been
// created there: for a caller that has another thread create it (File::Open of the host path,
// kCreate), while the lookups on this thread go on. Empty when the path cannot be mapped.
std::string HostPathToCreate(const std::string& path);
bool DirectoryExists(const std::string& path);  // a folder is there
// GetFileAttributesA: kInvalidFileAttributes when nothing is there. Folders answer
// kFileAttributeDirectory, files kFileAttributeArchive, plus kFileAttributeReadOnly when the
// owner's write bit is off. Hidden is never reported.
uint32_t GetFileAttributes(const std::string& path);
// Only the read-only flag has an effect: set, it clears every write bit; clear, it sets the
// owner's write bit.
bool SetFileAttributes(const std::string& path, uint32_t attributes);
std::optional<uint64_t> GetFileSize(const std::string& path);
// Empty when the file can be opened for reading; otherwise why not, in a few words
// ("link to nothing", "Permission denied", ...), for messages that name the file.
std::string FileReadProblem(const std::string& path);

bool CreateDirectory(const std::string& path);  // one level; false when it exists or fails
bool RemoveDirectory(const std::string& path);  // only an empty folder
bool DeleteFile(const std::string& path);       // a file or a symbolic link, never a folder
// DeleteFile of what must still be a plain file: a link (errno ELOOP), a fifo, a device or a
// socket (EPERM) in its place stays.
bool DeleteRegularFile(const std::string& path);
bool CopyFile(const std::string& from, const std::string& to, bool fail_if_exists);
bool MoveFile(const std::string& from, const std::string& to);  // fails when `to` exists

struct FindData {
  std::string name;  // the component only, as spelled on disk
  uint32_t attributes = 0;
  uint64_t size = 0;
  bool is_symlink = false;
  // False when the folder was named by a Windows path and the host name has no Windows-1252
  // spelling; `name` then holds '?' for what does not fit and opens nothing.
  bool name_fits = true;
  std::string host_name;  // the name as the host file system spells it (UTF-8)
};
// Find-first/next over "folder\pattern" (pattern with * and ?, matched without regard to
// case). Names come in the order NTFS lists them: case-insensitive ordinal. "." and ".." are
// not listed.
std::vector<FindData> FindFiles(const std::string& folder, const std::string& pattern = "*");

// GetTempPathA: the per-user temporary folder with a trailing backslash, created on demand.
std::string GetTempPath();
// The working folder as a host path; empty when it cannot be read.
std::string CurrentHostFolder();
// A host path made absolute against the working folder, with "//", "." and ".." collapsed and
// no trailing slash (except for "/"); empty when the working folder cannot be read.
std::string AbsoluteHostPath(const std::string& host_path);
// Whether the host path names a regular file (links followed).
bool IsHostFile(const std::string& host_path);
// The host path with every link resolved (realpath); empty when it cannot be resolved.
std::string CanonicalHostPath(const std::string& host_path);
// Free bytes available to the caller on the file system that holds `path`, measured at its
// nearest existing folder (a folder still to be made lies where its parent lies); nothing when
// unknown.
std::optional<uint64_t> GetDiskFreeSpace(const std::string& path);
// Whether files can be made in the folder `path` (existing or still to be made): 0 when they
// can, otherwise the reason as an errno value: ENOTDIR when the path or one of its existing
// components is a file, EROFS for a read-only file system, EACCES when the caller may not
// write the nearest existing folder, ENOENT for a path without a drive.
int FolderWriteProblem(const std::string& path);

// A read/write file handle (CreateFileA and friends). Moves, never copies; closes on destruction.
class File {
 public:
  enum class Mode {
    kRead,       // existing file, read only
    kReadWrite,  // existing file, read and write
    kCreate,     // create or truncate, write (and read)
    kCreateNew,  // create exclusively: fails when anything is there (links included)
  };
  static std::optional<File> Open(const std::string& path, Mode mode);

  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // Reads up to `size` bytes at the current position; answers the count read (0 at the end).
  size_t Read(void* buffer, size_t size);
  // Reads exactly `size` bytes or answers false.
  bool ReadExact(void* buffer, size_t size);
  // Reads exactly `size` bytes at `position` without moving the file position (pread), so
  // several threads may read one handle at once; false when fewer bytes are there.
  bool ReadExactAt(uint64_t position, void* buffer, size_t size) const;
  // Writes all bytes or answers false.
  bool Write(const void* buffer, size_t size);
  bool Seek(uint64_t position);
  std::optional<uint64_t> Position() const;
  std::optional<uint64_t> Size() const;
  bool Truncate(uint64_t size);  // SetEndOfFile at `size`
  bool Flush();                  // data reaches the disk (fsync)
  // An exclusive advisory lock held until the handle closes (or the process ends, however it
  // ends); false at once when another handle holds it.
  bool TryLock();
  // Gives the file the execute bits when its content starts with an ELF header or "#!"; done
  // automatically on destruction of a handle that wrote the first bytes of the file.
  void Close();

 private:
  explicit File(int fd, bool writable);
  int fd_ = -1;
  bool writable_ = false;
  bool wrote_start_ = false;
  // The first bytes of the file as written through this handle, so that closing need not read
  // them back to decide on the execute bits; unknown after a write or cut inside them.
  std::array<unsigned char, 4> head_{};
  size_t head_size_ = 0;
  bool head_known_ = false;
  // The file position as this handle moved it, so a write need not ask the system where it is;
  // unknown after a failed write or seek.
  std::optional<uint64_t> position_ = 0;
};

// Whole-file helpers on top of File.
std::optional<std::string> ReadFileBytes(const std::string& path);
// Writes the bytes to a new file (replacing one that is there); false when anything fails.
bool WriteFileBytes(const std::string& path, const void* data, size_t size);
// Writes beside the target, flushes and renames over it, so readers see old or new, never half.
// Keeps the old file's permissions; refuses a read-only target.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size);

}  // namespace platform
