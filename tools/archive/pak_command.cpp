// setup-archive pak ...: pak archives.
#include <cstdio>

#include "platform/files.h"
#include "setup/archive/archive_progress.h"
#include "setup/archive/group_source.h"
#include "setup/archive/pak_contents.h"
#include "setup/archive/pak_format.h"
#include "setup/archive/pak_system.h"
#include "tools/archive/tool_support.h"

namespace archive_tool {

namespace {

pak::PakLayout ReadOrThrow(const std::string& path, platform::File& file) {
  std::string error;
  std::optional<pak::PakLayout> layout = pak::ReadLayout(file, &error);
  if (!layout) throw ToolError(path + ": " + error);
  return *layout;
}

platform::File OpenForReading(const std::string& path) {
  std::optional<platform::File> file = platform::File::Open(path, platform::File::Mode::kRead);
  if (!file) throw ToolError("cannot open " + path);
  return std::move(*file);
}

std::string KindText(uint8_t kind) {
  if (kind == pak::kKindSound) return "sound";
  if (kind == pak::kKindZlib) return "zlib";
  return "kind" + std::to_string(kind);
}

std::string TailText(const pak::PakTail& tail) {
  switch (tail.form) {
    case pak::TailForm::kNone:
      return "none";
    case pak::TailForm::kOld:
      return "QXP2";
    case pak::TailForm::kCurrent:
      return "QXP3/" + tail.info_id;
  }
  return "?";
}

void WarnAboutJournal(const std::string& path) {
  if (platform::FileExists(path + kJournalSuffix)) {
    std::fprintf(stderr,
                 "setup-archive: %s%s is left from an interrupted update; the next update "
                 "restores the archive from it\n",
                 path.c_str(), kJournalSuffix);
  }
}

int List(const Args& args) {
  const std::string& path = args.positional.at(0);
  WarnAboutJournal(path);
  platform::File file = OpenForReading(path);
  pak::PakLayout layout = ReadOrThrow(path, file);
  std::printf("tail %s  official %u  password %s  records %zu  data %llu bytes\n",
              TailText(layout.tail).c_str(), layout.tail.official,
              layout.tail.password.empty() ? "none" : "set", layout.records.size(),
              static_cast<unsigned long long>(layout.directory_start));
  for (const pak::PakRecord& r : layout.records) {
    std::printf("%-6s %10u %10u %10u %08x %s\n", KindText(r.kind).c_str(), r.stored_size,
                r.full_size, r.offset, r.date, r.name.c_str());
  }
  return 0;
}

int Extract(const Args& args) {
  if (args.positional.size() < 2) throw ToolError("pak extract needs ARCHIVE FOLDER");
  const std::string& path = args.positional[0];
  platform::File file = OpenForReading(path);
  pak::PakLayout layout = ReadOrThrow(path, file);
  int failures = 0;
  for (const pak::PakRecord& r : layout.records) {
    std::optional<std::string> content;
    // The record's size is checked against the data area (which lies in the file) before its
    // bytes are given room: a damaged size field costs a refusal, not gigabytes.
    if (pak::RecordInData(r, layout.directory_start)) {
      std::string stored(r.stored_size, '\0');
      if (file.Seek(r.offset) && file.ReadExact(stored.data(), stored.size())) {
        content = pak::DecodeEntry(r, std::move(stored));
      }
    }
    if (!content) {
      std::fprintf(stderr, "setup-archive: %s: entry %s is damaged\n", path.c_str(),
                   r.name.c_str());
      ++failures;
      continue;
    }
    WriteBelow(args.positional[1], r.name, *content);
  }
  return failures ? 2 : 0;
}

int Create(const Args& args) {
  if (args.positional.size() < 1) throw ToolError("pak create needs ARCHIVE");
  pak::NewArchiveOptions options;
  std::string tail = args.Option("tail", "qxp3");
  if (tail == "none") {
    options.tail = pak::TailForm::kNone;
  } else if (tail == "qxp2") {
    options.tail = pak::TailForm::kOld;
  } else if (tail != "qxp3") {
    throw ToolError("--tail takes none, qxp2 or qxp3");
  }
  options.password = args.Option("password", "");
  if (options.tail == pak::TailForm::kCurrent && options.password.size() > kMaxPakPassword) {
    throw ToolError("a password can have at most " + std::to_string(kMaxPakPassword) + " bytes");
  }
  if (options.tail == pak::TailForm::kOld && options.password.size() > 9) {
    throw ToolError("the QXP2 tail holds at most 9 letters and digits");
  }
  if (options.tail == pak::TailForm::kNone && !options.password.empty()) {
    throw ToolError("an archive without a tail cannot carry a password");
  }
  options.official = args.Flag("official") ? 1 : 0;
  std::vector<std::string> sources(args.positional.begin() + 1, args.positional.end());
  std::string bytes = pak::BuildArchive(CollectSources(sources), options);
  if (!platform::WriteFileBytes(args.positional[0], bytes.data(), bytes.size())) {
    throw ToolError("cannot write " + args.positional[0]);
  }
  return 0;
}

int Add(const Args& args) {
  if (args.positional.size() < 2) throw ToolError("pak add needs ARCHIVE SOURCE...");
  const std::string& path = args.positional[0];
  std::vector<std::string> sources(args.positional.begin() + 1, args.positional.end());
  TMemoryGroupSource group(CollectSources(sources));
  TSilentProgress progress;
  TPakSystem system(progress);
  // Wrong passwords, damage and full disks raise a fatal SetupError: main shows its message and
  // exits with code 2; Cancel on a missing or locked archive exits with code 1.
  system.UpdateFromGroup(group, path, path, args.Option("password", ""));
  return 0;
}

int Verify(const Args& args) {
  const std::string& path = args.positional.at(0);
  WarnAboutJournal(path);
  std::vector<std::string> problems = pak::VerifyArchive(path);
  for (const std::string& p : problems)
    std::fprintf(stderr, "setup-archive: %s: %s\n", path.c_str(), p.c_str());
  if (problems.empty()) std::printf("%s: ok\n", path.c_str());
  return problems.empty() ? 0 : 2;
}

}  // namespace

int PakCommand(const std::string& command, const std::vector<std::string>& words) {
  Args args = ParseArgs(words, {"official"});
  if (args.positional.empty()) throw ToolError("pak " + command + " needs an ARCHIVE");
  if (command == "list") return List(args);
  if (command == "extract") return Extract(args);
  if (command == "create") return Create(args);
  if (command == "add") return Add(args);
  if (command == "verify") return Verify(args);
  throw ToolError("unknown pak command \"" + command + "\"");
}

}  // namespace archive_tool
