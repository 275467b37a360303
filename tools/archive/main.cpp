// setup-archive: lists, creates, verifies and extracts pak archives and VFS containers.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "setup/core/setup_error.h"
#include "setupkit_version.h"
#include "tools/archive/tool_support.h"

namespace {

constexpr const char* kUsage =
    "usage: setup-archive pak list|extract|create|add|verify ARCHIVE ...\n"
    "       setup-archive vfs list|extract|create|add|verify CONTAINER ...\n"
    "  pak list ARCHIVE                 names, sizes, kinds and flags\n"
    "  pak extract ARCHIVE FOLDER       write the files out (sound entries as PCM WAV)\n"
    "  pak create ARCHIVE [--tail none|qxp2|qxp3] [--password TEXT] [--official] SOURCE...\n"
    "  pak add ARCHIVE [--password TEXT] SOURCE...   update in place, as qxpupdate does\n"
    "  pak verify ARCHIVE               check directory, trailer, tail and every entry\n"
    "  vfs list CONTAINER\n"
    "  vfs extract CONTAINER FOLDER\n"
    "  vfs create CONTAINER --block-size B --blocks N --roots R [--id ABCD] [--description TEXT]\n"
    "  vfs add CONTAINER SOURCE...      put files in and finalise, as vfsupdate does\n"
    "  vfs verify CONTAINER             check checksum, hash file and every chain\n"
    "SOURCE: a folder (its files, names relative to it), a file, or ENTRY=FILE\n";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  if (words.size() == 1 && (words[0] == "--help" || words[0] == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (words.size() == 1 && words[0] == "--version") {
    std::printf("setup-archive %s\n", SETUPKIT_VERSION);
    return 0;
  }
  if (words.size() < 3) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  // Archive questions and fatal archive errors go through the presenter, which prints them.
  platform::SetPresenter(std::make_shared<platform::UnattendedPresenter>());
  const std::string kind = words[0];
  const std::string command = words[1];
  std::vector<std::string> rest(words.begin() + 2, words.end());
  try {
    if (kind == "pak") return archive_tool::PakCommand(command, rest);
    if (kind == "vfs") return archive_tool::VfsCommand(command, rest);
    throw archive_tool::ToolError("unknown archive kind \"" + kind + "\" (pak or vfs)");
  } catch (const SetupError& e) {
    // What the runtime would show for the same archive error, and its exit code.
    if (e.Ending() == ErrorEnding::kMessage) {
      platform::MessageBox(e.what(), "Error", platform::kMbOk | platform::kMbIconError);
    } else if (e.Ending() == ErrorEnding::kErrorReport) {
      std::fprintf(stderr, "setup-archive: %s\n", e.what());
    }
    return e.ExitCode();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "setup-archive: %s\n", e.what());
    return 2;
  }
}
