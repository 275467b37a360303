#include "setup/vfs/vfs_tree.h"

#include <unordered_set>

#include "setup/core/setup_error.h"
#include "setup/io/byte_io.h"
#include "setup/io/cp1252_case.h"
#include "setup/io/zlib_stream.h"
#include "setup/vfs/vfs_file.h"

namespace {

std::vector<std::string> SplitFolders(std::string_view text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\\', start);
    if (end == std::string_view::npos) end = text.size();
    // Empty components (doubled or leading separators) name no folder.
    if (end > start) parts.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

void TVFSTree::Clear() {
  nodes_.clear();
  free_nodes_.clear();
  path_index_.clear();
}

int TVFSTree::NewNode() {
  int index;
  if (!free_nodes_.empty()) {
    index = free_nodes_.back();
    free_nodes_.pop_back();
    nodes_[static_cast<size_t>(index)] = TTreeFileInfo();
  } else {
    index = static_cast<int>(nodes_.size());
    nodes_.emplace_back();
  }
  nodes_[static_cast<size_t>(index)].index = index;
  return index;
}

void TVFSTree::IndexPath(int node) { path_index_[LowerCp1252(Node(node).path)].push_back(node); }

void TVFSTree::UnindexPath(int node) {
  auto it = path_index_.find(LowerCp1252(Node(node).path));
  if (it == path_index_.end()) return;
  std::erase(it->second, node);
  if (it->second.empty()) path_index_.erase(it);
}

void TVFSTree::LoadRoots() {
  Clear();
  const std::vector<vfs::TVFSEntry>& roots = file_.Roots();
  for (size_t slot = 0; slot < roots.size(); ++slot) {
    if (roots[slot].name.empty()) continue;
    int node = NewNode();
    TTreeFileInfo& info = nodes_[static_cast<size_t>(node)];
    info.entry = roots[slot];
    info.path = roots[slot].name;
    info.root_slot = static_cast<int>(slot);
    IndexPath(node);
  }
}

void TVFSTree::LoadFolders() {
  // Each entry owns at least one block, so a tree with more nodes than blocks and root slots
  // can only come from folder tables that lead back into each other.
  const uint64_t max_nodes = uint64_t{file_.Header().block_count} + file_.Header().root_count + 1;
  std::unordered_set<int32_t> loaded_tables;
  for (size_t i = 0; i < nodes_.size(); ++i) {
    if (nodes_[i].index < 0) continue;
    const vfs::TVFSEntry entry = nodes_[i].entry;
    if (!entry.IsFolder() || entry.stored_size == 0) continue;
    if (!loaded_tables.insert(entry.first_block).second) {
      file_.Damaged("two folders share the table of " + nodes_[i].path);
    }
    TVFSFileBuffer table = file_.ReadEntryData(entry);
    const size_t count = entry.stored_size / vfs::kEntrySize;
    for (size_t c = 0; c < count; ++c) {
      if (nodes_.size() >= max_nodes) file_.Damaged("its folder tables loop");
      vfs::TVFSEntry child = vfs::TVFSEntry::Decode(table.ReadView(vfs::kEntrySize));
      int node = NewNode();
      TTreeFileInfo& info = nodes_[static_cast<size_t>(node)];
      info.path = nodes_[i].path + "\\" + child.name;
      info.entry = std::move(child);
      info.parent = static_cast<int>(i);
      nodes_[i].children.push_back(node);
      IndexPath(node);
    }
  }
}

int TVFSTree::FindPath(std::string_view path) const {
  auto it = path_index_.find(LowerCp1252(path));
  if (it == path_index_.end() || it->second.empty()) return -1;
  int best = it->second.front();
  for (int n : it->second) best = std::min(best, n);
  return best;
}

int TVFSTree::FindChild(std::string_view name, int folder) const {
  if (folder < 0) return FindPath(name);
  auto it = path_index_.find(LowerCp1252(Node(folder).path + "\\" + std::string(name)));
  if (it == path_index_.end()) return -1;
  int best = -1;
  for (int n : it->second) {
    if (Node(n).parent == folder && (best < 0 || n < best)) best = n;
  }
  return best;
}

int TVFSTree::CreateNewFileDir(int parent, const std::string& name, uint32_t date,
                               uint32_t full_size, uint32_t stored_size, int32_t first_block,
                               bool write_now, uint32_t flags) {
  const std::string cut = name.substr(0, vfs::kNameSize);
  int node;
  if (parent < 0) {
    std::optional<size_t> slot = file_.FirstFreeRootSlot();
    if (!slot) {
      throw SetupError("CreateNewFileDir: ROOT Result = Cardinal(-1): the VFS container " +
                       file_.Path() + " has no free root slot.");
    }
    file_.ClearRootSlot(*slot);
    node = NewNode();
    nodes_[static_cast<size_t>(node)].root_slot = static_cast<int>(*slot);
    nodes_[static_cast<size_t>(node)].path = cut;
  } else {
    if (parent >= static_cast<int>(nodes_.size()) || Node(parent).index < 0) {
      throw SetupError("CreateNewFileDir: NON-ROOT Result = Cardinal(-1)");
    }
    node = NewNode();
    TTreeFileInfo& info = nodes_[static_cast<size_t>(node)];
    info.parent = parent;
    info.path = Node(parent).path + "\\" + cut;
    std::vector<int>& siblings = nodes_[static_cast<size_t>(parent)].children;
    auto hole = std::find(siblings.begin(), siblings.end(), -1);
    if (hole != siblings.end()) {
      *hole = node;
    } else {
      siblings.push_back(node);
    }
  }
  TTreeFileInfo& info = nodes_[static_cast<size_t>(node)];
  info.entry.name = cut;
  info.entry.flags = flags;
  info.entry.first_block = first_block;
  info.entry.stored_size = stored_size;
  info.entry.full_size = full_size;
  info.entry.date = date;
  IndexPath(node);
  if (write_now) {
    file_.WriteFile(nodes_[static_cast<size_t>(node)].entry, nullptr, 0);
    if (parent < 0) {
      WriteRootSlot(node);
    } else {
      PropagateToParent(node);
    }
  }
  return node;
}

std::optional<std::string> TVFSTree::InternalCompressFile(const char* bytes, size_t size) {
  if (size == 0) return std::nullopt;
  std::string out;
  for (size_t at = 0; at < size; at += vfs::kPieceSize) {
    size_t n = std::min(vfs::kPieceSize, size - at);
    std::string piece = archive_io::ZlibCompress(std::string_view(bytes + at, n));
    if (piece.empty()) throw SetupError("TVFSTree.InternalCompressFile: ACSize = 0");
    if (out.size() + 4 + piece.size() > size) return std::nullopt;
    archive_io::ByteWriter w(out);
    w.U32(static_cast<uint32_t>(piece.size()));
    w.Bytes(piece);
  }
  return out;
}

void TVFSTree::WriteRootSlot(int node) {
  const TTreeFileInfo& info = Node(node);
  file_.WriteRootSlot(static_cast<size_t>(info.root_slot), info.entry);
}

int TVFSTree::LiveChildCount(int folder) const {
  int count = 0;
  for (int c : Node(folder).children) count += c >= 0 ? 1 : 0;
  return count;
}

void TVFSTree::RewriteFolderTable(int folder) {
  std::string table;
  for (int c : Node(folder).children) {
    if (c >= 0) Node(c).entry.Encode(table);
  }
  vfs::TVFSEntry& entry = nodes_[static_cast<size_t>(folder)].entry;
  if (entry.stored_size == table.size()) {
    file_.RewriteEntryData(entry, table.data(), table.size());
    return;
  }
  file_.FreeChain(entry);
  file_.WriteFile(entry, table.empty() ? nullptr : table.data(), table.size());
  // The folder moved to a new chain, so its own record changed too.
  if (Node(folder).parent < 0) {
    WriteRootSlot(folder);
  } else {
    PropagateToParent(folder);
  }
}

void TVFSTree::PropagateToParent(int node) {
  int parent = Node(node).parent;
  if (parent >= 0) RewriteFolderTable(parent);
}

void TVFSTree::DeleteSubtree(int node) {
  // Post-order over an explicit stack: damaged trees may be deep.
  std::vector<int> order;
  std::vector<int> stack = {node};
  while (!stack.empty()) {
    int n = stack.back();
    stack.pop_back();
    order.push_back(n);
    for (int c : Node(n).children) {
      if (c >= 0) stack.push_back(c);
    }
  }
  // Every chain is checked before the first one is freed.
  for (int n : order) file_.ChainOf(Node(n).entry);
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    TTreeFileInfo& info = nodes_[static_cast<size_t>(*it)];
    file_.FreeChain(info.entry);
    if (info.parent >= 0) {
      for (int& c : nodes_[static_cast<size_t>(info.parent)].children) {
        if (c == *it) c = -1;
      }
    }
    UnindexPath(*it);
    info = TTreeFileInfo();
    free_nodes_.push_back(*it);
  }
}

void TVFSTree::DeleteEntry(int node) {
  const int parent = Node(node).parent;
  const int slot = Node(node).root_slot;
  DeleteSubtree(node);
  if (parent < 0) {
    file_.ClearRootSlot(static_cast<size_t>(slot));
  } else {
    RewriteFolderTable(parent);
  }
}

uint64_t TVFSTree::SubtreeBlocks(int node) const {
  uint64_t blocks = 0;
  std::vector<int> stack = {node};
  while (!stack.empty()) {
    int n = stack.back();
    stack.pop_back();
    blocks += file_.ChainOf(Node(n).entry).size();
    for (int c : Node(n).children) {
      if (c >= 0) stack.push_back(c);
    }
  }
  return blocks;
}

void TVFSTree::PutFile(const std::string& path, const char* bytes, size_t size) {
  const size_t last_separator = path.rfind('\\');
  const std::string name =
      (last_separator == std::string::npos ? path : path.substr(last_separator + 1))
          .substr(0, vfs::kNameSize);
  if (name.empty()) throw SetupError("PutFile: \"" + path + "\" names no file");
  std::string folder_part;
  if (path.find('.') != std::string::npos && last_separator != std::string::npos) {
    folder_part = path.substr(0, last_separator);
  }
  const std::vector<std::string> folders = SplitFolders(folder_part);

  // The deepest folder of the path that exists already.
  int f = -1;
  size_t existing_depth = 0;
  for (size_t depth = folders.size(); depth > 0 && f < 0; --depth) {
    std::string prefix;
    for (size_t i = 0; i < depth; ++i) prefix += (i ? "\\" : "") + folders[i];
    int found = FindPath(prefix);
    if (found >= 0 && Node(found).entry.IsFolder()) {
      f = found;
      existing_depth = depth;
    }
  }
  const size_t new_folders = folders.size() - existing_depth;
  if (new_folders > 0) {
    int in_way = FindChild(folders[existing_depth], f);
    if (in_way >= 0 && !Node(in_way).entry.IsFolder()) {
      throw SetupError("PutFile: " + Node(in_way).path + " in the VFS container " + file_.Path() +
                       " is a file, not a folder, so " + path + " cannot be added.");
    }
  }

  std::optional<std::string> compressed = InternalCompressFile(bytes, size);
  const uint64_t stored_size = compressed ? compressed->size() : size;

  // Room is checked before anything changes, so a full container stays consistent.
  const int old = new_folders == 0 ? FindChild(name, f) : -1;
  uint64_t needed = file_.BlocksFor(stored_size) + new_folders * file_.BlocksFor(vfs::kEntrySize);
  if (f >= 0) {
    const int children = LiveChildCount(f);
    const int after = children + ((new_folders > 0 || old < 0) ? 1 : 0);
    uint64_t before_blocks = file_.BlocksFor(uint64_t(children) * vfs::kEntrySize);
    uint64_t after_blocks = file_.BlocksFor(uint64_t(after) * vfs::kEntrySize);
    if (after_blocks > before_blocks) needed += after_blocks - before_blocks;
  }
  const uint64_t available = file_.FreeBlockCount() + (old >= 0 ? SubtreeBlocks(old) : 0);
  if (needed > available) {
    throw SetupError("The VFS container " + file_.Path() + " is full: " + path + " needs " +
                     std::to_string(needed) + " blocks, " + std::to_string(available) +
                     " are free.");
  }
  const bool needs_root_slot = f < 0 && (new_folders > 0 || old < 0);
  if (needs_root_slot && !file_.FirstFreeRootSlot()) {
    throw SetupError("The VFS container " + file_.Path() + " is full: no free root slot for " +
                     path + ".");
  }

  // Create the missing folders below the deepest existing one.
  for (size_t i = existing_depth; i < folders.size(); ++i) {
    int child = FindChild(folders[i], f);
    f = child >= 0 ? child : CreateNewFileDir(f, folders[i], 0, 0, 0, 0, true, vfs::kFlagFolder);
  }

  if (old >= 0) {
    const int slot = Node(old).root_slot;
    DeleteSubtree(old);
    if (f < 0) file_.ClearRootSlot(static_cast<size_t>(slot));
  }

  int node = CreateNewFileDir(f, name, 0, 0, 0, 0, false, vfs::kFlagFile);
  vfs::TVFSEntry& entry = nodes_[static_cast<size_t>(node)].entry;
  entry.full_size = static_cast<uint32_t>(size);
  if (compressed) {
    entry.flags |= vfs::kFlagCompressed;
    file_.WriteFile(entry, compressed->data(), compressed->size());
  } else {
    entry.full_size = 0;
    file_.WriteFile(entry, size ? bytes : nullptr, size);
  }
  if (f < 0) {
    WriteRootSlot(node);
  } else {
    PropagateToParent(node);
  }
}
