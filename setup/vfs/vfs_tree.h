// TVFSTree: the in-memory tree of a container's entries and the operations that change it.
// Every change is written to the container at once (blocks, block table, folder tables, root
// slots); only the header and the hash file wait for TVFSFile::FinaliseContainer.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "setup/vfs/vfs_format.h"

class TVFSFile;

// One live entry of the tree.
struct TTreeFileInfo {
  int index = -1;    // own position; -1 marks a free node
  std::string path;  // names from the root down joined by "\"
  vfs::TVFSEntry entry;
  std::vector<int> children;  // -1 marks a removed child, whose place the next child takes
  int parent = -1;            // -1 for a root entry
  int root_slot = -1;         // slot in the root table; -1 for children
};

class TVFSTree {
 public:
  explicit TVFSTree(TVFSFile& file) : file_(file) {}

  void Clear();
  // Root nodes from the file's root table.
  void LoadRoots();
  // Every folder table, down the whole tree.
  void LoadFolders();

  // Node whose path equals `path` (case ignored), or -1.
  int FindPath(std::string_view path) const;
  // Child of `folder` named `name` (case ignored); with folder -1 the root entry of that name.
  int FindChild(std::string_view name, int folder) const;

  int CreateNewFileDir(int parent, const std::string& name, uint32_t date, uint32_t full_size,
                       uint32_t stored_size, int32_t first_block, bool write_now, uint32_t flags);
  // Adds or replaces the file at `path` (relative to the root, "\"-separated), creating its
  // folders. Raises SetupError when the container has no room, before anything changes.
  void PutFile(const std::string& path, const char* bytes, size_t size);
  // Removes the entry and everything below it, and writes its parent's table or root slot.
  void DeleteEntry(int node);
  // The bytes cut into 50000-byte pieces, each a 32-bit length and a zlib stream; nothing when
  // that is not shorter than the bytes themselves.
  static std::optional<std::string> InternalCompressFile(const char* bytes, size_t size);
  void WriteRootSlot(int node);
  // The node's entry changed: rewrite its parent's table, moving it up the tree as needed.
  void PropagateToParent(int node);

  const std::vector<TTreeFileInfo>& Nodes() const { return nodes_; }
  const TTreeFileInfo& Node(int index) const { return nodes_[static_cast<size_t>(index)]; }

 private:
  int NewNode();
  void IndexPath(int node);
  void UnindexPath(int node);
  // Frees the chains and nodes of `node` and everything below it, takes it out of its parent's
  // child list; writes no table.
  void DeleteSubtree(int node);
  void RewriteFolderTable(int folder);
  uint64_t SubtreeBlocks(int node) const;
  int LiveChildCount(int folder) const;

  TVFSFile& file_;
  std::vector<TTreeFileInfo> nodes_;
  std::vector<int> free_nodes_;
  std::unordered_map<std::string, std::vector<int>> path_index_;  // lower-cased path -> nodes
};
