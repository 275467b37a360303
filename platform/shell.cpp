// Shell folders and shell links (.lnk files in the Shell Link binary format).
#include "platform/shell.h"

#include <sys/stat.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/path_util.h"
#include "platform/system.h"
#include "platform/text_encoding.h"

namespace platform {
namespace {

// ---- Layout of the link file ----

constexpr uint32_t kHeaderSize = 0x4C;
constexpr uint8_t kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                    0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// Header field offsets.
constexpr size_t kOffClsid = 4;
constexpr size_t kOffFlags = 20;
constexpr size_t kOffAttributes = 24;
constexpr size_t kOffCreationTime = 28;
constexpr size_t kOffAccessTime = 36;
constexpr size_t kOffWriteTime = 44;
constexpr size_t kOffFileSize = 52;
constexpr size_t kOffIconIndex = 56;
constexpr size_t kOffShowCommand = 60;
static_assert(kOffAttributes == kOffFlags + 4 && kOffCreationTime == kOffAttributes + 4 &&
                  kOffAccessTime == kOffCreationTime + 8 && kOffWriteTime == kOffAccessTime + 8 &&
                  kOffFileSize == kOffWriteTime + 8 && kOffIconIndex == kOffFileSize + 4 &&
                  kOffShowCommand == kOffIconIndex + 4,
              "header fields follow each other");
static_assert(kOffShowCommand + 4 + 2 + 2 + 4 + 4 == kHeaderSize, "header is 76 bytes");

// LinkFlags.
constexpr uint32_t kHasLinkTargetIdList = 0x01;
constexpr uint32_t kHasLinkInfo = 0x02;
constexpr uint32_t kHasName = 0x04;
constexpr uint32_t kHasRelativePath = 0x08;
constexpr uint32_t kHasWorkingDir = 0x10;
constexpr uint32_t kHasArguments = 0x20;
constexpr uint32_t kHasIconLocation = 0x40;
constexpr uint32_t kIsUnicode = 0x80;

// LinkInfo.
constexpr uint32_t kLinkInfoHeaderSize = 0x1C;
constexpr uint32_t kLinkInfoHeaderSizeUnicode = 0x24;
constexpr uint32_t kVolumeIdAndLocalBasePath = 0x01;
constexpr uint32_t kCommonNetworkRelativeLinkAndPathSuffix = 0x02;
constexpr uint32_t kVolumeIdSize = 0x11;  // four fields and an empty label

constexpr int kSwShowNormal = 1;
constexpr int kSwShowMaximized = 3;
constexpr int kSwShowMinNoActive = 7;

constexpr uint64_t kFileTimeUnixEpoch = 116444736000000000ull;  // 1970-01-01 in 100 ns units

// ---- Writing ----

class ByteWriter {
 public:
  void U16(uint16_t v) { Bytes(&v, 2); }
  void U32(uint32_t v) { Bytes(&v, 4); }
  void U64(uint64_t v) { Bytes(&v, 8); }
  void Bytes(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    out_.insert(out_.end(), p, p + size);
  }
  void PutU32At(size_t offset, uint32_t v) { std::memcpy(out_.data() + offset, &v, 4); }
  size_t Size() const { return out_.size(); }
  const std::vector<uint8_t>& Data() const { return out_; }

 private:
  std::vector<uint8_t> out_;  // little-endian host: values are copied as they are
};
static_assert(std::endian::native == std::endian::little, "the link format is little-endian");

uint64_t ToFileTime(const timespec& time) {
  return kFileTimeUnixEpoch + static_cast<uint64_t>(time.tv_sec) * 10000000ull +
         static_cast<uint64_t>(time.tv_nsec) / 100;
}

// The folder part of a Windows path ("C:\a\b.exe" -> "C:\a").
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

// Relative path from the link's folder to the target, ".\name" style; empty when the two are
// on different drives.
std::string RelativePath(const std::string& link_path, const std::string& target) {
  if (link_path.size() < 2 || target.size() < 2 || link_path[1] != ':' || target[1] != ':' ||
      AsciiUpper(link_path.substr(0, 1)) != AsciiUpper(target.substr(0, 1))) {
    return "";
  }
  const auto from = internal::SplitPath(FolderOf(link_path).substr(2));
  const auto to = internal::SplitPath(target.substr(2));
  if (to.empty()) return "";
  size_t common = 0;
  while (common < from.size() && common + 1 < to.size() &&
         AsciiUpper(from[common]) == AsciiUpper(to[common])) {
    ++common;
  }
  std::string out;
  if (common == from.size()) out = ".\\";
  for (size_t i = common; i < from.size(); ++i) out += "..\\";
  for (size_t i = common; i < to.size(); ++i) out += to[i] + (i + 1 < to.size() ? "\\" : "");
  return out;
}

bool WriteStringData(ByteWriter& out, const std::string& text) {
  const std::u16string wide = Cp1252ToUtf16(text);
  if (wide.size() > 0xFFFF) return false;
  out.U16(static_cast<uint16_t>(wide.size()));
  for (char16_t c : wide) out.U16(c);
  return true;
}

// ---- Reading ----

// A read cursor over the file that refuses to read past its end.
class ByteReader {
 public:
  explicit ByteReader(const std::string& data) : data_(data) {}
  bool Has(size_t count) const { return count <= data_.size() - pos_; }
  bool U16(uint16_t& v) { return Copy(&v, 2); }
  bool U32(uint32_t& v) { return Copy(&v, 4); }
  bool Skip(size_t count) {
    if (!Has(count)) return false;
    pos_ += count;
    return true;
  }
  size_t Pos() const { return pos_; }
  const std::string& Data() const { return data_; }

 private:
  bool Copy(void* out, size_t count) {
    if (!Has(count)) return false;
    std::memcpy(out, data_.data() + pos_, count);
    pos_ += count;
    return true;
  }
  const std::string& data_;
  size_t pos_ = 0;
};

uint32_t LoadU32(const std::string& data, size_t offset) {
  uint32_t v = 0;
  std::memcpy(&v, data.data() + offset, 4);
  return v;
}

// A NUL-terminated 8-bit text at `offset` inside a block of `size` bytes starting at `base`.
std::optional<std::string> BlockString(const std::string& data, size_t base, size_t size,
                                       size_t offset) {
  if (offset >= size) return std::nullopt;
  const char* start = data.data() + base + offset;
  const void* end = std::memchr(start, '\0', size - offset);
  if (end == nullptr) return std::nullopt;
  return std::string(start, static_cast<const char*>(end));
}

// A NUL-terminated UTF-16LE text at `offset` inside the block, as Windows-1252.
std::optional<std::string> BlockWideString(const std::string& data, size_t base, size_t size,
                                           size_t offset) {
  std::u16string wide;
  for (size_t at = offset; at < size && size - at >= 2; at += 2) {
    const char16_t c = static_cast<char16_t>(static_cast<uint8_t>(data[base + at]) |
                                             (static_cast<uint8_t>(data[base + at + 1]) << 8));
    if (c == 0) return Utf16ToCp1252(wide);
    wide += c;
  }
  return std::nullopt;
}

// Reads the LinkInfo block at the cursor into `target`.
bool ReadLinkInfo(ByteReader& in, std::string& target) {
  const std::string& data = in.Data();
  const size_t base = in.Pos();
  uint32_t size = 0;
  uint32_t header_size = 0;
  if (!in.U32(size) || !in.U32(header_size)) return false;
  if (size < kLinkInfoHeaderSize || header_size < kLinkInfoHeaderSize || header_size > size ||
      size - 8 > data.size() - in.Pos()) {
    return false;
  }
  const uint32_t flags = LoadU32(data, base + 8);
  const uint32_t local_base_offset = LoadU32(data, base + 16);
  const uint32_t network_offset = LoadU32(data, base + 20);
  const uint32_t suffix_offset = LoadU32(data, base + 24);
  std::optional<std::string> suffix = BlockString(data, base, size, suffix_offset);
  std::optional<std::string> path;
  if (flags & kVolumeIdAndLocalBasePath) {
    if (header_size >= kLinkInfoHeaderSizeUnicode) {
      const uint32_t unicode_offset = LoadU32(data, base + 28);
      const uint32_t unicode_suffix_offset = LoadU32(data, base + 32);
      if (unicode_offset != 0) path = BlockWideString(data, base, size, unicode_offset);
      if (unicode_suffix_offset != 0) {
        suffix = BlockWideString(data, base, size, unicode_suffix_offset);
      }
    }
    if (!path) path = BlockString(data, base, size, local_base_offset);
    if (!path) return false;
  } else if (flags & kCommonNetworkRelativeLinkAndPathSuffix) {
    // CommonNetworkRelativeLink: size, flags, NetNameOffset, ...; the share name is the base.
    if (network_offset >= size || size - network_offset < 12) return false;
    const uint32_t link_size = LoadU32(data, base + network_offset);
    if (link_size < 12 || link_size > size - network_offset) return false;
    const uint32_t net_name_offset = LoadU32(data, base + network_offset + 8);
    path = BlockString(data, base + network_offset, link_size, net_name_offset);
    if (!path) return false;
    if (suffix && !suffix->empty()) *path += "\\";
  }
  if (path) target = *path + suffix.value_or("");
  return in.Skip(size - 8);
}

bool ReadStringData(ByteReader& in, bool unicode, std::string& out) {
  uint16_t count = 0;
  if (!in.U16(count)) return false;
  const size_t bytes = unicode ? size_t{count} * 2 : count;
  if (!in.Has(bytes)) return false;
  const std::string& data = in.Data();
  if (unicode) {
    std::u16string wide;
    for (size_t i = 0; i < count; ++i) {
      const size_t at = in.Pos() + i * 2;
      wide += static_cast<char16_t>(static_cast<uint8_t>(data[at]) |
                                    (static_cast<uint8_t>(data[at + 1]) << 8));
    }
    out = Utf16ToCp1252(wide);
  } else {
    out = data.substr(in.Pos(), count);
  }
  // Paths and arguments end at a NUL, as Windows reads them; what follows it is not part of the
  // text and could not be written back.
  if (const size_t nul = out.find('\0'); nul != std::string::npos) out.resize(nul);
  return in.Skip(bytes);
}

}  // namespace

std::string GetShellFolder(ShellFolder folder) {
  // A per-machine run's Start menu, desktop and documents are those of all users.
  const std::string user_folder = "C:\\users\\" + (MachineScope() ? "Public" : GetUserName());
  std::string path;
  switch (folder) {
    case ShellFolder::kProgramFiles:
      path = "C:\\Program Files";
      break;
    case ShellFolder::kPrograms:
      path = user_folder + "\\Start Menu\\Programs";
      break;
    case ShellFolder::kDesktop:
      path = user_folder + "\\Desktop";
      break;
    case ShellFolder::kPersonal:
      path = user_folder + "\\Documents";
      break;
    case ShellFolder::kTemp:
      path = user_folder + "\\Temp";
      break;
  }
  if (auto host = ToHostPath(path)) internal::MakeHostFolders(*host, true);
  return path;
}

bool WriteShellLink(const std::string& link_path, const ShellLink& link) {
  uint32_t flags = kHasLinkInfo | kIsUnicode;
  const std::string relative = RelativePath(link_path, link.target);
  if (!link.description.empty()) flags |= kHasName;
  if (!relative.empty()) flags |= kHasRelativePath;
  if (!link.working_directory.empty()) flags |= kHasWorkingDir;
  if (!link.arguments.empty()) flags |= kHasArguments;
  if (!link.icon_location.empty()) flags |= kHasIconLocation;

  // The header describes the target as it is now, when it is there.
  uint32_t attributes = 0;
  uint64_t created = 0, accessed = 0, written = 0;
  uint32_t file_size = 0;
  struct stat info {};
  if (auto host = ToHostPath(link.target); host && stat(host->c_str(), &info) == 0) {
    attributes = GetFileAttributes(link.target);
    created = ToFileTime(info.st_ctim);
    accessed = ToFileTime(info.st_atim);
    written = ToFileTime(info.st_mtim);
    file_size = static_cast<uint32_t>(info.st_size);  // low 32 bits, as the format keeps
  }
  const int show = link.show_command == kSwShowMaximized || link.show_command == kSwShowMinNoActive
                       ? link.show_command
                       : kSwShowNormal;

  ByteWriter out;
  out.U32(kHeaderSize);
  out.Bytes(kLinkClsid, sizeof kLinkClsid);
  out.U32(flags);
  out.U32(attributes);
  out.U64(created);
  out.U64(accessed);
  out.U64(written);
  out.U32(file_size);
  out.U32(static_cast<uint32_t>(link.icon_index));
  out.U32(static_cast<uint32_t>(show));
  out.U16(0);  // hot key
  out.U16(0);
  out.U32(0);
  out.U32(0);

  // LinkInfo: header, VolumeID, local base path (the target), empty common path suffix.
  const size_t info_start = out.Size();
  const std::string& base_path = link.target;
  const uint32_t volume_offset = kLinkInfoHeaderSize;
  const uint32_t base_offset = volume_offset + kVolumeIdSize;
  const uint32_t suffix_offset = base_offset + static_cast<uint32_t>(base_path.size()) + 1;
  out.U32(0);  // size, filled in below
  out.U32(kLinkInfoHeaderSize);
  out.U32(kVolumeIdAndLocalBasePath);
  out.U32(volume_offset);
  out.U32(base_offset);
  out.U32(0);  // no network link
  out.U32(suffix_offset);
  out.U32(kVolumeIdSize);
  out.U32(static_cast<uint32_t>(GetDriveType(link.target.substr(0, 3))));
  out.U32(0);     // serial number
  out.U32(0x10);  // label offset: the empty label right after these fields
  const uint8_t empty_label = 0;
  out.Bytes(&empty_label, 1);
  out.Bytes(base_path.c_str(), base_path.size() + 1);
  out.Bytes("", 1);  // common path suffix
  out.PutU32At(info_start, static_cast<uint32_t>(out.Size() - info_start));

  // StringData, in the order the format fixes.
  if ((flags & kHasName) && !WriteStringData(out, link.description)) return false;
  if ((flags & kHasRelativePath) && !WriteStringData(out, relative)) return false;
  if ((flags & kHasWorkingDir) && !WriteStringData(out, link.working_directory)) return false;
  if ((flags & kHasArguments) && !WriteStringData(out, link.arguments)) return false;
  if ((flags & kHasIconLocation) && !WriteStringData(out, link.icon_location)) return false;
  out.U32(0);  // terminal ExtraData block

  const std::vector<uint8_t>& bytes = out.Data();
  return WriteFileBytes(link_path, bytes.data(), bytes.size());
}

std::optional<ShellLink> ReadShellLink(const std::string& link_path) {
  const auto file = ReadFileBytes(link_path);
  if (!file || file->size() < kHeaderSize) return std::nullopt;
  const std::string& data = *file;
  if (LoadU32(data, 0) != kHeaderSize ||
      std::memcmp(data.data() + kOffClsid, kLinkClsid, sizeof kLinkClsid) != 0) {
    return std::nullopt;
  }
  const uint32_t flags = LoadU32(data, kOffFlags);
  ShellLink link;
  link.icon_index = static_cast<int32_t>(LoadU32(data, kOffIconIndex));
  const uint32_t show = LoadU32(data, kOffShowCommand);
  link.show_command = show == kSwShowMaximized || show == kSwShowMinNoActive
                          ? static_cast<int>(show)
                          : kSwShowNormal;

  ByteReader in(data);
  in.Skip(kHeaderSize);
  if (flags & kHasLinkTargetIdList) {
    uint16_t id_list_size = 0;
    if (!in.U16(id_list_size) || !in.Skip(id_list_size)) return std::nullopt;
  }
  if ((flags & kHasLinkInfo) && !ReadLinkInfo(in, link.target)) return std::nullopt;
  const bool unicode = (flags & kIsUnicode) != 0;
  std::string relative;
  if ((flags & kHasName) && !ReadStringData(in, unicode, link.description)) return std::nullopt;
  if ((flags & kHasRelativePath) && !ReadStringData(in, unicode, relative)) return std::nullopt;
  if ((flags & kHasWorkingDir) && !ReadStringData(in, unicode, link.working_directory)) {
    return std::nullopt;
  }
  if ((flags & kHasArguments) && !ReadStringData(in, unicode, link.arguments)) {
    return std::nullopt;
  }
  if ((flags & kHasIconLocation) && !ReadStringData(in, unicode, link.icon_location)) {
    return std::nullopt;
  }
  // ExtraData: blocks of (size, signature, data) up to a terminal block smaller than 4 bytes.
  // A file cut short before the terminal block is not a whole link.
  for (;;) {
    uint32_t block_size = 0;
    if (!in.U32(block_size)) return std::nullopt;
    if (block_size < 4) break;
    if (!in.Skip(block_size - 4)) return std::nullopt;
  }
  // Without a LinkInfo the relative path, taken from the link's folder, names the target.
  if (link.target.empty() && !relative.empty()) {
    link.target = FolderOf(link_path) + "\\" + relative;
  }
  return link;
}

}  // namespace platform
