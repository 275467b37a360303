#include "setup/vfs/vfs_file.h"

#include "platform/checksum.h"
#include "setup/core/setup_error.h"
#include "setup/io/archive_text.h"
#include "setup/io/byte_io.h"
#include "setup/vfs/vfs_tree.h"

TVFSFile::TVFSFile() : tree_(std::make_unique<TVFSTree>(*this)) {}
TVFSFile::~TVFSFile() = default;

void TVFSFile::Damaged(const std::string& what) const {
  throw SetupError("The VFS container " + path_ + " is damaged: " + what + ".");
}

void TVFSFile::CreateEmptyContainer(const std::string& path, std::array<char, 4> identifier,
                                    const std::string& description, uint32_t block_size,
                                    uint32_t block_count, uint32_t root_count) {
  if (block_size == 0 || block_size > vfs::kMaxBlockSize || block_count == 0 ||
      block_count > 0x7FFFFFFF) {
    throw SetupError("A VFS container needs a block size of 1 to 64 MiB and 1 or more blocks.");
  }
  vfs::TVFSHeader h;
  h.identifier = identifier;
  h.block_size = block_size;
  h.block_count = block_count;
  h.root_count = root_count;
  h.description = description.substr(0, vfs::kMinDescriptionLength);
  std::optional<platform::File> file = platform::File::Open(path, platform::File::Mode::kCreate);
  if (!file) throw SetupError("Unable to create " + path + ".");
  std::string head = h.EncodeFixed() + h.EncodeDescription();
  head.append(static_cast<size_t>(h.DataStart() - head.size()), '\0');
  bool ok = file->Write(head.data(), head.size());
  // The data area is zero; a piece at a time keeps large containers cheap to make.
  std::string zeros(std::min<uint64_t>(uint64_t{block_size} * block_count, 1u << 20), '\0');
  uint64_t left = uint64_t{block_size} * block_count;
  while (ok && left > 0) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(left, zeros.size()));
    ok = file->Write(zeros.data(), n);
    left -= n;
  }
  if (!ok || !file->Flush()) throw SetupError("Unable to write " + path + ".");
  file->Close();
  // A new container carries its checksum like any finalised one.
  TVFSFile container;
  container.OpenContainer(path, true);
  container.FinaliseContainer(false);
  container.CloseContainer();
}

void TVFSFile::OpenContainer(const std::string& path, bool whole_tree) {
  CloseContainer();
  path_ = path;
  file_ = platform::File::Open(path, platform::File::Mode::kReadWrite);
  if (!file_) throw SetupError("Unable to open the VFS container " + path + ".");
  hash_file_ = TVFSHashFile(path);
  ReadHeaderAndTables();
  tree_->LoadRoots();
  whole_tree_ = whole_tree;
  if (whole_tree) {
    tree_->LoadFolders();
  } else {
    hash_file_.LoadHashFile();
  }
}

void TVFSFile::ReadHeaderAndTables() {
  std::optional<uint64_t> size = file_->Size();
  if (!size) Damaged("its size cannot be read");
  file_size_ = *size;
  std::string fixed(vfs::kDescriptionOffset, '\0');
  if (!file_->Seek(0) || !file_->ReadExact(fixed.data(), fixed.size())) {
    Damaged("it is shorter than its header");
  }
  archive_io::ByteReader r(fixed);
  vfs::TVFSHeader& h = header_;
  std::string_view id = r.Bytes(4);
  std::copy(id.begin(), id.end(), h.identifier.begin());
  h.block_size = r.U32();
  h.block_count = r.U32();
  h.root_count = r.U32();
  for (uint32_t& v : h.kept) v = r.U32();
  std::string_view md5 = r.Bytes(16);
  std::copy(md5.begin(), md5.end(), reinterpret_cast<char*>(h.md5.data()));
  h.description_length = r.U32();

  if (h.block_size == 0 || h.block_size > vfs::kMaxBlockSize) Damaged("its block size is wrong");
  if (h.block_count > 0x7FFFFFFF) Damaged("its block count is wrong");
  if (h.description_length < vfs::kMinDescriptionLength ||
      h.description_length > vfs::kMaxDescriptionLength) {
    Damaged("its description length is wrong");
  }
  // All tables and the data area must be in the file before anything is allocated for them.
  if (h.ContainerSize() > file_size_) Damaged("it is shorter than its tables and blocks");

  std::string rest(static_cast<size_t>(h.DataStart() - vfs::kDescriptionOffset), '\0');
  if (!file_->ReadExact(rest.data(), rest.size())) Damaged("its tables cannot be read");
  archive_io::ByteReader t(rest);
  h.description = std::string(t.Bytes(vfs::kMinDescriptionLength));
  h.further = std::string(t.Bytes(h.description_length - vfs::kMinDescriptionLength));
  h.used_blocks = t.U32();

  blocks_.assign(h.block_count, {});
  free_blocks_.Reset(h.block_count);
  for (uint32_t n = 1; n <= h.block_count; ++n) {
    vfs::TBlockPair& pair = blocks_[n - 1];
    pair.in_use = t.U32();
    pair.next = t.I32();
    if (pair.next < -1 || pair.next > static_cast<int64_t>(h.block_count)) {
      Damaged("block " + std::to_string(n) + " points outside the block table");
    }
    if (pair.next == 0) free_blocks_.MarkFree(n);
  }
  roots_.assign(h.root_count, {});
  for (vfs::TVFSEntry& root : roots_) root = vfs::TVFSEntry::Decode(t.Bytes(vfs::kEntrySize));
  if (!t.ok()) Damaged("its tables cannot be read");
}

void TVFSFile::CloseContainer() {
  if (file_) file_->Close();
  file_.reset();
  tree_->Clear();
  blocks_.clear();
  roots_.clear();
  free_blocks_.Reset(0);
  whole_tree_ = false;
  header_ = vfs::TVFSHeader();
}

void TVFSFile::FinaliseContainer(bool zero_checksum) {
  if (!file_) return;
  std::string description = header_.EncodeDescription();
  WriteAt(vfs::kDescriptionLengthOffset, description.data(), description.size());
  header_.md5 = {};
  if (!zero_checksum) {
    platform::Md5 md5;
    std::string piece(vfs::kMd5ReadPiece, '\0');
    if (!file_->Seek(vfs::kDescriptionLengthOffset)) throw SetupError("MD5 Error");
    for (;;) {
      size_t n = file_->Read(piece.data(), piece.size());
      if (n == 0) break;
      md5.Update(piece.data(), n);
    }
    header_.md5 = md5.Final();
  }
  std::string fixed = header_.EncodeFixed();
  WriteAt(0, fixed.data(), fixed.size());
  if (!file_->Flush()) throw SetupError("Unable to write the VFS container " + path_ + ".");
  if (whole_tree_) {
    hash_file_.BuildHashFile(*tree_);
  } else {
    hash_file_.SaveHashFile();
  }
}

uint32_t TVFSFile::FindFreeBlock(bool skip_first) const {
  uint32_t first = free_blocks_.FirstFreeFrom(1);
  if (first == 0 || !skip_first) return first;
  return first == header_.block_count ? 0 : free_blocks_.FirstFreeFrom(first + 1);
}

uint32_t TVFSFile::BlocksFor(uint64_t size) const {
  if (size == 0) return 1;
  return static_cast<uint32_t>((size + header_.block_size - 1) / header_.block_size);
}

void TVFSFile::WriteAt(uint64_t offset, const char* data, size_t size) {
  if (!file_ || !file_->Seek(offset) || !file_->Write(data, size)) {
    throw SetupError("Unable to write the VFS container " + path_ + ".");
  }
}

void TVFSFile::SetPairs(const std::vector<uint32_t>& chain, bool allocate) {
  // Pairs of consecutive blocks lie side by side in the table: each run is one write.
  std::string bytes;
  for (size_t i = 0; i < chain.size(); ++i) {
    const uint32_t block = chain[i];
    vfs::TBlockPair pair{0, 0};
    if (allocate) pair = {1, i + 1 < chain.size() ? static_cast<int32_t>(chain[i + 1]) : -1};
    blocks_[block - 1] = pair;
    if (allocate) {
      free_blocks_.MarkUsed(block);
    } else {
      free_blocks_.MarkFree(block);
    }
    archive_io::ByteWriter w(bytes);
    w.U32(pair.in_use);
    w.I32(pair.next);
    if (i + 1 == chain.size() || chain[i + 1] != block + 1) {
      const uint32_t run_start = block + 1 - static_cast<uint32_t>(bytes.size() / 8);
      WriteAt(header_.BlockTableStart() + uint64_t{run_start - 1} * vfs::kBlockPairSize,
              bytes.data(), bytes.size());
      bytes.clear();
    }
  }
}

void TVFSFile::WriteBlocks(const std::vector<uint32_t>& chain, const char* data, size_t size) {
  // Each block gets its share of the bytes, then zeros up to the block size; consecutive blocks
  // are written together.
  const size_t b = header_.block_size;
  std::string run;
  for (size_t i = 0; i < chain.size(); ++i) {
    const size_t at = i * b;
    const size_t n = data && at < size ? std::min(b, size - at) : 0;
    const size_t old = run.size();
    run.resize(old + b, '\0');
    if (n > 0) std::copy(data + at, data + at + n, run.begin() + static_cast<ptrdiff_t>(old));
    if (i + 1 == chain.size() || chain[i + 1] != chain[i] + 1) {
      const uint32_t run_start = chain[i] + 1 - static_cast<uint32_t>(run.size() / b);
      WriteAt(header_.DataStart() + uint64_t{run_start - 1} * b, run.data(), run.size());
      run.clear();
    }
  }
}

void TVFSFile::WriteFile(vfs::TVFSEntry& entry, const char* bytes, size_t size) {
  if (bytes != nullptr && size == 0) {
    throw SetupError("WriteFile: Error Buffer is Assigned but size is 0");
  }
  if (size > 0xFFFFFFFFu) throw SetupError("WriteFile: " + entry.name + " is larger than 4 GiB");
  const uint32_t needed = BlocksFor(size);
  if (needed > free_blocks_.FreeCount()) {
    throw SetupError("The VFS container " + path_ + " is full: no free block is left for " +
                     entry.name + ".");
  }
  // The chain takes the lowest free blocks in order: the first free block, then each time the
  // next free one after it.
  std::vector<uint32_t> chain;
  chain.reserve(needed);
  for (uint32_t block = FindFreeBlock(false); chain.size() < needed;
       block = free_blocks_.FirstFreeFrom(block + 1)) {
    chain.push_back(block);
  }
  entry.first_block = static_cast<int32_t>(chain.front());
  entry.stored_size = static_cast<uint32_t>(size);
  entry.date = archive_io::TodayDosDate();
  SetPairs(chain, true);
  WriteBlocks(chain, bytes, size);
  header_.used_blocks += needed;
}

std::vector<uint32_t> TVFSFile::ChainOf(const vfs::TVFSEntry& entry) const {
  std::vector<uint32_t> chain;
  const uint32_t n = header_.block_count;
  if (entry.first_block == 0 && entry.stored_size == 0) return chain;  // owns no block
  int64_t current = entry.first_block;
  while (current != -1) {
    if (current < 1 || current > n) {
      Damaged("the chain of " + entry.name + " leaves the block table");
    }
    if (chain.size() >= n) Damaged("the chain of " + entry.name + " loops");
    const vfs::TBlockPair& pair = blocks_[static_cast<size_t>(current - 1)];
    if (pair.next == 0) Damaged("the chain of " + entry.name + " runs into a free block");
    chain.push_back(static_cast<uint32_t>(current));
    current = pair.next;
  }
  if (uint64_t{entry.stored_size} > uint64_t{chain.size()} * header_.block_size) {
    Damaged("the chain of " + entry.name + " is shorter than its stored size");
  }
  return chain;
}

void TVFSFile::RewriteEntryData(vfs::TVFSEntry& entry, const char* bytes, size_t size) {
  std::vector<uint32_t> chain = ChainOf(entry);
  if (uint64_t{size} > uint64_t{chain.size()} * header_.block_size) {
    throw SetupError("RewriteEntryData: the data of " + entry.name + " does not fit its chain");
  }
  entry.date = archive_io::TodayDosDate();
  WriteBlocks(chain, size ? bytes : nullptr, size);
}

TVFSFileBuffer TVFSFile::ReadEntryData(const vfs::TVFSEntry& entry) {
  std::vector<uint32_t> chain = ChainOf(entry);
  std::string out;
  out.reserve(entry.stored_size);
  for (uint32_t block : chain) {
    if (out.size() >= entry.stored_size) break;
    size_t n = std::min<size_t>(header_.block_size, entry.stored_size - out.size());
    size_t at = out.size();
    out.resize(at + n);
    if (!file_->Seek(header_.DataStart() + uint64_t{block - 1} * header_.block_size) ||
        !file_->ReadExact(out.data() + at, n)) {
      Damaged("block " + std::to_string(block) + " cannot be read");
    }
  }
  return TVFSFileBuffer(std::move(out));
}

void TVFSFile::FreeChain(const vfs::TVFSEntry& entry) {
  // The whole chain is checked before the first block is freed.
  std::vector<uint32_t> chain = ChainOf(entry);
  SetPairs(chain, false);
  header_.used_blocks -=
      std::min<uint32_t>(header_.used_blocks, static_cast<uint32_t>(chain.size()));
}

void TVFSFile::WriteRootSlot(size_t slot, const vfs::TVFSEntry& entry) {
  roots_.at(slot) = entry;
  roots_[slot].name = entry.name.substr(0, vfs::kNameSize);
  std::string bytes;
  entry.Encode(bytes);
  WriteAt(header_.RootTableStart() + slot * vfs::kEntrySize, bytes.data(), bytes.size());
}

void TVFSFile::ClearRootSlot(size_t slot) {
  roots_.at(slot) = vfs::TVFSEntry();
  std::string zeros(vfs::kEntrySize, '\0');
  WriteAt(header_.RootTableStart() + slot * vfs::kEntrySize, zeros.data(), zeros.size());
}

std::optional<size_t> TVFSFile::FirstFreeRootSlot() const {
  for (size_t i = 0; i < roots_.size(); ++i) {
    if (roots_[i].name.empty()) return i;
  }
  return std::nullopt;
}
