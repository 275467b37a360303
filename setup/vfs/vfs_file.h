// TVFSFile: an open VFS container (a small disk in one file): header, block allocation table,
// root table and a data area of equal-sized blocks; a file's bytes lie in a chain of blocks, a
// folder's bytes are its table of child entries. Every count, block number and chain read from
// the file is checked before use: damage raises SetupError instead of a crash, a hang on a
// looping chain or a huge allocation. A full container is reported the same way, before
// anything is written.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "setup/vfs/free_block_index.h"
#include "setup/vfs/vfs_file_buffer.h"
#include "setup/vfs/vfs_format.h"
#include "setup/vfs/vfs_hash_file.h"

class TVFSTree;

class TVFSFile {
 public:
  TVFSFile();
  ~TVFSFile();
  TVFSFile(const TVFSFile&) = delete;
  TVFSFile& operator=(const TVFSFile&) = delete;

  // Writes an empty, finalised container: header with its checksum, free block table, empty
  // root table and zeroed data area. Raises SetupError when the file cannot be written.
  static void CreateEmptyContainer(const std::string& path, std::array<char, 4> identifier,
                                   const std::string& description, uint32_t block_size,
                                   uint32_t block_count, uint32_t root_count);

  // Opens the container for reading and writing and reads header, tables and, with
  // `whole_tree`, every folder table (otherwise the hash file). Raises SetupError when the file
  // cannot be opened or does not hold what its header says.
  void OpenContainer(const std::string& path, bool whole_tree);
  void CloseContainer();
  bool IsOpen() const { return file_.has_value(); }
  // Writes description and used block count, the MD5 of the file from offset 44 (or zeros) and
  // the fixed header, then the hash file.
  void FinaliseContainer(bool zero_checksum);

  // The first free block in table order (the second with `skip_first`); 0 when there is none.
  uint32_t FindFreeBlock(bool skip_first) const;
  size_t FreeBlockCount() const { return free_blocks_.FreeCount(); }
  // Blocks that `size` stored bytes occupy (an empty entry still owns one block).
  uint32_t BlocksFor(uint64_t size) const;

  // Writes the bytes into a new chain and sets the entry's first block, stored size and date.
  // `bytes` null with size 0 writes one block of zeros.
  void WriteFile(vfs::TVFSEntry& entry, const char* bytes, size_t size);
  // Writes bytes of the entry's stored size over its existing chain.
  void RewriteEntryData(vfs::TVFSEntry& entry, const char* bytes, size_t size);
  TVFSFileBuffer ReadEntryData(const vfs::TVFSEntry& entry);
  // Frees every block of the entry's chain.
  void FreeChain(const vfs::TVFSEntry& entry);
  // The blocks of the entry's chain, checked: numbers in range, no free block, no loop, room for
  // the stored size. Raises SetupError on damage.
  std::vector<uint32_t> ChainOf(const vfs::TVFSEntry& entry) const;

  // Root table slot `slot` := entry, in memory and in the file.
  void WriteRootSlot(size_t slot, const vfs::TVFSEntry& entry);
  void ClearRootSlot(size_t slot);
  // The first slot whose name is empty.
  std::optional<size_t> FirstFreeRootSlot() const;

  const std::string& Path() const { return path_; }
  const vfs::TVFSHeader& Header() const { return header_; }
  const std::vector<vfs::TBlockPair>& Blocks() const { return blocks_; }
  const std::vector<vfs::TVFSEntry>& Roots() const { return roots_; }
  bool WholeTreeLoaded() const { return whole_tree_; }
  TVFSTree& Tree() { return *tree_; }
  const TVFSTree& Tree() const { return *tree_; }
  TVFSHashFile& HashFile() { return hash_file_; }

  // Raises the error for damage found in this container.
  [[noreturn]] void Damaged(const std::string& what) const;

 private:
  void ReadHeaderAndTables();
  // Allocates (pairs (1, next) along the chain) or frees (pairs (0, 0)) the chain's blocks.
  void SetPairs(const std::vector<uint32_t>& chain, bool allocate);
  // Writes the bytes over the chain's blocks, each filled up with zeros.
  void WriteBlocks(const std::vector<uint32_t>& chain, const char* data, size_t size);
  void WriteAt(uint64_t offset, const char* data, size_t size);

  std::string path_;
  std::optional<platform::File> file_;
  uint64_t file_size_ = 0;
  vfs::TVFSHeader header_;
  std::vector<vfs::TBlockPair> blocks_;  // blocks_[n - 1] is block n
  std::vector<vfs::TVFSEntry> roots_;
  // Blocks whose next field is 0, so the first free block is found without a scan.
  TFreeBlockIndex free_blocks_;
  bool whole_tree_ = false;
  std::unique_ptr<TVFSTree> tree_;
  TVFSHashFile hash_file_;
};
