#include "setup/vfs/vfs_file.h"

#include "platform/checksum.h"
#include "setup/archive/archive_text.h"
#include "setup/archive/byte_io.h"
#include "setup/core/setup_error.h"
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
  free_blocks_.clear();
  for (uint32_t n = 1; n <= h.block_count; ++n) {
    vfs::TBlockPair& pair = blocks_[n - 1];
    pair.in_use = t.U32();
    pair.next = t.I32();
    if (pair.next < -1 || pair.next > static_cast<int64_t>(h.block_count)) {
      Damaged("block " + std::to_string(n) + " points outside the block table");
    }
    if (pair.next == 0) free_blocks_.insert(free_blocks_.end(), n);
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
  free_blocks_.clear();
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
  auto it = free_blocks_.begin();
  if (it != free_blocks_.end() && skip_first) ++it;
  return it == free_blocks_.end() ? 0 : *it;
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

void TVFSFile::SetPair(uint32_t block, vfs::TBlockPair pair) {
  vfs::TBlockPair& slot = blocks_[block - 1];
  if (slot.next == 0 && pair.next != 0) free_blocks_.erase(block);
  if (slot.next != 0 && pair.next == 0) free_blocks_.insert(block);
  slot = pair;
  std::string bytes;
  archive_io::ByteWriter w(bytes);
  w.U32(pair.in_use);
  w.I32(pair.next);
  WriteAt(header_.BlockTableStart() + uint64_t{block - 1} * vfs::kBlockPairSize, bytes.data(),
          bytes.size());
}

void TVFSFile::WriteBlock(uint32_t block, const char* data, size_t size) {
  // The block is written whole: the bytes, then zeros up to the block size.
  std::string buffer(header_.block_size, '\0');
  if (size > 0) std::copy(data, data + size, buffer.begin());
  WriteAt(header_.DataStart() + uint64_t{block - 1} * header_.block_size, buffer.data(),
          buffer.size());
}

void TVFSFile::WriteFile(vfs::TVFSEntry& entry, const char* bytes, size_t size) {
  if (bytes != nullptr && size == 0) {
    throw SetupError("WriteFile: Error Buffer is Assigned but size is 0");
  }
  if (size > 0xFFFFFFFFu) throw SetupError("WriteFile: " + entry.name + " is larger than 4 GiB");
  if (BlocksFor(size) > free_blocks_.size()) {
    throw SetupError("The VFS container " + path_ + " is full: no free block is left for " +
                     entry.name + ".");
  }
  const uint32_t b = header_.block_size;
  entry.first_block = static_cast<int32_t>(FindFreeBlock(false));
  entry.stored_size = static_cast<uint32_t>(size);
  entry.date = archive_io::TodayDosDate();
  uint32_t current = static_cast<uint32_t>(entry.first_block);
  size_t done = 0;
  do {
    int32_t next = done + b < size ? static_cast<int32_t>(FindFreeBlock(true)) : -1;
    SetPair(current, {1, next});
    size_t n = bytes ? std::min<size_t>(b, size - done) : 0;
    WriteBlock(current, bytes ? bytes + done : nullptr, n);
    ++header_.used_blocks;
    done += b;
    current = static_cast<uint32_t>(next);
  } while (done < size);
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
  size_t done = 0;
  for (uint32_t block : chain) {
    size_t n = std::min<size_t>(header_.block_size, size - std::min(size, done));
    WriteBlock(block, n ? bytes + done : nullptr, n);
    done += header_.block_size;
  }
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
  for (uint32_t block : ChainOf(entry)) {
    SetPair(block, {0, 0});
    if (header_.used_blocks > 0) --header_.used_blocks;
  }
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
