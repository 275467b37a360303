#include "setup/core/exe_icon.h"

#include "platform/files.h"
#include "setup/core/buffer_manager.h"

namespace {

// Icon directory header (6 bytes) and the first two directory entries (16 bytes each).
constexpr size_t kIconHeaderRead = 38;
constexpr size_t kFirstImageSizeOffset = 14;
constexpr size_t kFirstImageOffsetOffset = 18;

bool IsElf(const std::string& executable) {
  std::optional<platform::File> file =
      platform::File::Open(executable, platform::File::Mode::kRead);
  if (!file) return false;
  char magic[4] = {};
  return file->ReadExact(magic, sizeof(magic)) && magic[0] == 0x7F && magic[1] == 'E' &&
         magic[2] == 'L' && magic[3] == 'F';
}

}  // namespace

std::optional<std::string> ReadFirstIconImage(const std::string& icon_file) {
  std::optional<platform::File> file = platform::File::Open(icon_file, platform::File::Mode::kRead);
  if (!file) return std::nullopt;
  const std::optional<uint64_t> file_size = file->Size();
  char header[kIconHeaderRead];
  if (!file_size || !file->ReadExact(header, sizeof(header))) return std::nullopt;
  TBufferManager reader(header, sizeof(header));
  reader.SetPosition(kFirstImageSizeOffset);
  const uint32_t image_size = reader.ReadUInt32();
  reader.SetPosition(kFirstImageOffsetOffset);
  const uint32_t image_offset = reader.ReadUInt32();
  // The image must lie wholly inside the file, so a damaged directory cannot ask for more.
  if (image_size == 0 || image_offset > *file_size || image_size > *file_size - image_offset) {
    return std::nullopt;
  }
  std::string image(image_size, '\0');
  if (!file->Seek(image_offset) || !file->ReadExact(image.data(), image.size())) {
    return std::nullopt;
  }
  return image;
}

bool ReplaceExeIcon(const std::string& icon_file, const std::string& executable) {
  const std::optional<std::string> image = ReadFirstIconImage(icon_file);
  if (!image) return false;
  if (!platform::FileExists(executable)) return false;
  // An ELF program has no resource section, so there is nothing to update.
  if (IsElf(executable)) return false;
  // Any other format: resource updating of PE images is not available on this platform.
  return false;
}
