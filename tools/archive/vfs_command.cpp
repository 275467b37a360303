// setup-archive vfs ...: VFS containers.
#include <cstdio>

#include "setup/vfs/vfs_contents.h"
#include "setup/vfs/vfs_file.h"
#include "setup/vfs/vfs_tree.h"
#include "tools/archive/tool_support.h"

namespace archive_tool {

namespace {

std::string FlagsText(uint32_t flags) {
  std::string text;
  if (flags & vfs::kFlagFile) text += "file";
  if (flags & vfs::kFlagFolder) text += text.empty() ? "folder" : "+folder";
  if (flags & vfs::kFlagCompressed) text += "+zlib";
  return text.empty() ? "none" : text;
}

int List(const Args& args) {
  TVFSFile container;
  container.OpenContainer(args.positional.at(0), true);
  const vfs::TVFSHeader& h = container.Header();
  std::printf("id %.4s  block size %u  blocks %u (used %u, free %zu)  root slots %u\n",
              h.identifier.data(), h.block_size, h.block_count, h.used_blocks,
              container.FreeBlockCount(), h.root_count);
  for (const TTreeFileInfo& node : container.Tree().Nodes()) {
    if (node.index < 0) continue;
    std::printf("%-12s %10u %10u %8d %s\n", FlagsText(node.entry.flags).c_str(),
                node.entry.stored_size, node.entry.full_size, node.entry.first_block,
                node.path.c_str());
  }
  return 0;
}

int Extract(const Args& args) {
  if (args.positional.size() < 2) throw ToolError("vfs extract needs CONTAINER FOLDER");
  TVFSFile container;
  container.OpenContainer(args.positional[0], true);
  int failures = 0;
  for (const TTreeFileInfo& node : container.Tree().Nodes()) {
    if (node.index < 0 || !node.entry.IsFile()) continue;
    TVFSFileBuffer stored = container.ReadEntryData(node.entry);
    std::optional<std::string> content = vfs::ExpandStoredBytes(node.entry, stored.Bytes());
    if (!content) {
      std::fprintf(stderr, "setup-archive: %s is damaged\n", node.path.c_str());
      ++failures;
      continue;
    }
    WriteBelow(args.positional[1], node.path, *content);
  }
  return failures ? 2 : 0;
}

int Create(const Args& args) {
  std::string id = args.Option("id", "VFS1");
  if (id.size() != 4) throw ToolError("--id takes exactly four characters");
  std::array<char, 4> identifier;
  std::copy(id.begin(), id.end(), identifier.begin());
  TVFSFile::CreateEmptyContainer(args.positional.at(0), identifier, args.Option("description", ""),
                                 args.NumberOption("block-size"), args.NumberOption("blocks"),
                                 args.NumberOption("roots"));
  return 0;
}

int Add(const Args& args) {
  if (args.positional.size() < 2) throw ToolError("vfs add needs CONTAINER SOURCE...");
  std::vector<std::string> sources(args.positional.begin() + 1, args.positional.end());
  auto files = CollectSources(sources);
  TVFSFile container;
  container.OpenContainer(args.positional[0], true);
  for (const auto& [name, content] : files) {
    container.Tree().PutFile(name, content.empty() ? nullptr : content.data(), content.size());
  }
  container.FinaliseContainer(false);
  container.CloseContainer();
  return 0;
}

int Verify(const Args& args) {
  const std::string& path = args.positional.at(0);
  std::vector<std::string> problems = vfs::VerifyContainer(path);
  for (const std::string& p : problems) {
    std::fprintf(stderr, "setup-archive: %s: %s\n", path.c_str(), p.c_str());
  }
  if (problems.empty()) std::printf("%s: ok\n", path.c_str());
  return problems.empty() ? 0 : 2;
}

}  // namespace

int VfsCommand(const std::string& command, const std::vector<std::string>& words) {
  Args args = ParseArgs(words, {});
  if (args.positional.empty()) throw ToolError("vfs " + command + " needs a CONTAINER");
  if (command == "list") return List(args);
  if (command == "extract") return Extract(args);
  if (command == "create") return Create(args);
  if (command == "add") return Add(args);
  if (command == "verify") return Verify(args);
  throw ToolError("unknown vfs command \"" + command + "\"");
}

}  // namespace archive_tool
