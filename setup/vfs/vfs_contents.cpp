#include "setup/vfs/vfs_contents.h"

#include <exception>

#include "platform/checksum.h"
#include "platform/files.h"
#include "setup/io/byte_io.h"
#include "setup/io/zlib_stream.h"
#include "setup/vfs/vfs_file.h"
#include "setup/vfs/vfs_hash_file.h"
#include "setup/vfs/vfs_tree.h"

namespace vfs {

std::optional<std::string> ExpandStoredBytes(const TVFSEntry& entry, std::string_view stored) {
  if (!entry.IsCompressed()) return std::string(stored);
  // No piece can inflate past the size rule, so neither can all of them together: a full size
  // beyond it is damage, refused before allocating for it.
  if (entry.full_size > archive_io::MaxInflatedSize(stored.size())) return std::nullopt;
  std::string out;
  out.reserve(entry.full_size);
  archive_io::ByteReader r(stored);
  while (r.remaining() > 0) {
    uint32_t length = r.U32();
    std::string_view piece = r.Bytes(length);
    if (!r.ok() || out.size() >= entry.full_size) return std::nullopt;
    size_t expected = std::min<size_t>(kPieceSize, entry.full_size - out.size());
    std::optional<std::string> inflated = archive_io::ZlibInflateExact(piece, expected);
    if (!inflated) return std::nullopt;
    out += *inflated;
  }
  if (out.size() != entry.full_size) return std::nullopt;
  return out;
}

std::vector<std::string> VerifyContainer(const std::string& path) {
  std::vector<std::string> problems;
  TVFSFile container;
  try {
    container.OpenContainer(path, true);
  } catch (const std::exception& e) {
    return {e.what()};
  }
  const TVFSHeader& h = container.Header();
  std::vector<int> owner(h.block_count, -1);
  uint64_t chained = 0;
  for (const TTreeFileInfo& node : container.Tree().Nodes()) {
    if (node.index < 0) continue;
    std::vector<uint32_t> chain;
    try {
      chain = container.ChainOf(node.entry);
    } catch (const std::exception& e) {
      problems.push_back(e.what());
      continue;
    }
    if (chain.empty()) problems.push_back(node.path + ": owns no block");
    for (uint32_t block : chain) {
      int& o = owner[block - 1];
      if (o >= 0) {
        problems.push_back(node.path + ": block " + std::to_string(block) + " is also used by " +
                           container.Tree().Node(o).path);
      }
      o = node.index;
      if (container.Blocks()[block - 1].in_use != 1) {
        problems.push_back(node.path + ": block " + std::to_string(block) +
                           " is not marked in use");
      }
    }
    chained += chain.size();
    if (node.entry.IsFile()) {
      TVFSFileBuffer stored = container.ReadEntryData(node.entry);
      if (!ExpandStoredBytes(node.entry, stored.Bytes())) {
        problems.push_back(node.path + ": compressed pieces do not expand to the full size");
      }
    }
  }
  for (uint32_t n = 1; n <= h.block_count; ++n) {
    const TBlockPair& pair = container.Blocks()[n - 1];
    if (pair.next != 0 && owner[n - 1] < 0) {
      problems.push_back("block " + std::to_string(n) + " is allocated but in no chain");
    }
  }
  if (chained != h.used_blocks) {
    problems.push_back("the header counts " + std::to_string(h.used_blocks) +
                       " used blocks, the chains hold " + std::to_string(chained));
  }

  std::optional<platform::File> file = platform::File::Open(path, platform::File::Mode::kRead);
  platform::Md5 md5;
  std::string piece(kMd5ReadPiece, '\0');
  if (file && file->Seek(kDescriptionLengthOffset)) {
    for (size_t n; (n = file->Read(piece.data(), piece.size())) > 0;) md5.Update(piece.data(), n);
    if (md5.Final() != h.md5) problems.push_back("the MD5 in the header does not match the file");
  } else {
    problems.push_back("the file cannot be read for its checksum");
  }

  const std::string hash_path = TVFSHashFile::HashFilePath(path);
  std::vector<THashRecord> expected = TVFSHashFile::RecordsFor(container.Tree());
  std::optional<std::string> hash_bytes =
      platform::FileExists(hash_path) ? platform::ReadFileBytes(hash_path) : std::nullopt;
  if (expected.empty()) {
    if (hash_bytes) problems.push_back("a hash file exists although the container has no files");
  } else if (!hash_bytes) {
    problems.push_back("the hash file " + hash_path + " is missing");
  } else if (*hash_bytes != TVFSHashFile::Encode(expected)) {
    problems.push_back("the hash file " + hash_path + " does not match the container's files");
  }
  return problems;
}

}  // namespace vfs
