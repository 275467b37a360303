#include "setup/commands/script_compiler.h"

#include <initializer_list>
#include <optional>
#include <system_error>

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text_encoding.h"
#include "setup/commands/case_collisions.h"
#include "setup/commands/command_support.h"
#include "setup/commands/file_operations.h"
#include "setup/commands/register_commands.h"
#include "setup/commands/script_checks.h"
#include "setup/commands/script_command.h"
#include "setup/core/text_services.h"
#include "setup/io/cp1252_case.h"

namespace {

thread_local TScriptCompiler* current_compiler = nullptr;

// Sets the thread's current compiler for the length of one Compile call.
class CurrentCompilerScope {
 public:
  explicit CurrentCompilerScope(TScriptCompiler* compiler) : previous_(current_compiler) {
    current_compiler = compiler;
  }
  ~CurrentCompilerScope() { current_compiler = previous_; }
  CurrentCompilerScope(const CurrentCompilerScope&) = delete;
  CurrentCompilerScope& operator=(const CurrentCompilerScope&) = delete;

 private:
  TScriptCompiler* previous_;
};

bool IsAbsoluteWindowsPath(const std::string& path) {
  return (path.size() >= 2 && path[1] == ':') || (!path.empty() && path[0] == '\\');
}

// A script or command-line path in Windows form: host paths ("/home/u/x/") go through the drive
// table, forward slashes become backslashes; a final separator is kept.
std::string ToWindowsForm(const std::string& path) {
  if (path.empty()) return path;
  const bool trailing = path.back() == '/' || path.back() == '\\';
  std::string result;
  if (path[0] == '/') {
    std::string host = path;
    while (host.size() > 1 && host.back() == '/') host.pop_back();
    result = platform::ToWindowsPath(host).value_or(host);
  } else {
    result = path;
  }
  for (char& c : result) {
    if (c == '/') c = '\\';
  }
  if (trailing) result = IncludeTrailingBackslash(result);
  return CollapseBackslashes(result);
}

std::string HostPath(const std::string& windows_path) {
  return platform::ToHostPath(windows_path).value_or(windows_path);
}

// A host path inside a message, which like every compiler text is Windows-1252.
std::string HostPathText(const std::string& windows_path) {
  return platform::Utf8ToCp1252Escaped(HostPath(windows_path));
}

// The argument counts (as written in the script) that a command's run side accepts, for the
// commands whose run side refuses the others: the compile side mirrors them here, so a line the
// run would show "Param Count Invalid" for is refused at compile time.
struct TAcceptedCounts {
  const char* command;
  std::initializer_list<int> counts;  // ascending
};

// `file`: the whole group (1), into a subfolder (2), into a subfolder under a registry
// condition (7); the run side sees one more, the group number the compile side appends.
constexpr TAcceptedCounts kAcceptedCounts[] = {
    {"file", {1, 2, 7}},
};

// The accepted counts as text ("1, 2 or 7") when COUNT is not one of them, else nothing. Fewer
// than the least count is left to the command's own "too few arguments" check.
std::optional<std::string> RefusedArgumentCount(const std::string& command, int count) {
  for (const TAcceptedCounts& entry : kAcceptedCounts) {
    if (AsciiLower(command) != entry.command || count < *entry.counts.begin()) continue;
    std::string text;
    size_t index = 0;
    for (const int accepted : entry.counts) {
      if (accepted == count) return std::nullopt;
      if (index > 0) text += index + 1 == entry.counts.size() ? " or " : ", ";
      text += std::to_string(accepted);
      ++index;
    }
    return text;
  }
  return std::nullopt;
}

}  // namespace

TScriptCompiler::TScriptCompiler() { groups_.resize(1); }

TScriptCompiler::~TScriptCompiler() = default;

TScriptCompiler* TScriptCompiler::Current() { return current_compiler; }

bool TScriptCompiler::IsSafeEntryName(const std::string& entry) { return ::IsSafeEntryName(entry); }

std::string TScriptCompiler::WindowsFolder(const std::string& folder) const {
  std::string result = ToWindowsForm(folder);
  while (result.size() > 3 && result.back() == '\\') result.pop_back();
  return result;
}

bool TScriptCompiler::Compile(const std::vector<TScriptLine>& script) {
  CurrentCompilerScope scope(this);
  source_folder_ = WindowsFolder(SourceFolder);
  std::string data = DataFolder;
  if (data.empty()) {
    const std::string own = platform::OwnExecutablePath();
    const size_t cut = own.find_last_of('/');
    data = cut == std::string::npos ? std::string() : own.substr(0, cut);
  }
  data_folder_ = WindowsFolder(data);
  std::string work = WorkingFolder;
  if (work.empty()) {
    work = platform::CurrentHostFolder();
  }
  working_folder_ = WindowsFolder(work);

  commands_.Clear();
  RegisterCommands(commands_);

  if (script.size() > kMaxCompiledLines) {
    SetError(static_cast<int>(kMaxCompiledLines),
             "Script has more than " + std::to_string(kMaxCompiledLines) + " lines");
    return false;
  }

  if (UseStockDefaults) ApplyStockDefaults(script);

  // Every line goes into the table first: labels may come after the jumps that use them.
  lines_.Clear();
  for (size_t i = 0; i < script.size(); ++i) {
    const TScriptLine& source = script[i];
    TCompLine line;
    line.LineIndex = static_cast<int32_t>(i);
    if (source.unclosed_quote) SetError(static_cast<int>(i), "Unclosed quote");
    if (source.kind == TScriptLine::Kind::kLabel && !source.words.empty()) {
      line.SetArguments({source.words[0]});
    } else if (source.kind == TScriptLine::Kind::kCommand && !source.words.empty()) {
      const int32_t id = commands_.IdOf(source.words[0]);
      if (id == 0) {
        SetError(static_cast<int>(i), "Unknown command - " + source.words[0]);
      } else {
        CheckPathVariables(source.words, static_cast<int>(i));
        line.CommandID = id;
        line.SetArguments(std::vector<std::string>(source.words.begin() + 1, source.words.end()));
      }
    }
    lines_.Add(std::move(line));
  }

  // Then every command line compiles, in line order (group numbers are handed out in it).
  groups_before_.clear();
  for (int i = 0; i < lines_.Count(); ++i) {
    groups_before_.push_back(group_counter_);
    TCommandClass* command = commands_.ById(lines_[i].CommandID);
    if (command == nullptr) continue;
    current_line_ = i;
    const int had = static_cast<int>(lines_[i].Arguments.size());
    if (const std::optional<std::string> counts = RefusedArgumentCount(command->Name(), had)) {
      SetError(i, "Wrong number of arguments for " + command->Name() + " - takes " + *counts +
                      ", has " + std::to_string(had));
      continue;
    }
    if (!command->Compile(lines_[i], i)) {
      const auto* script_command = dynamic_cast<const TScriptCommand*>(command);
      const int needs = script_command ? script_command->RequiredArgs() : 0;
      SetError(i, "Too few arguments for " + command->Name() + " - needs " + std::to_string(needs) +
                      ", has " + std::to_string(had));
    }
  }
  current_line_ = -1;
  CheckCaseCollisions();

  if (errors_.empty() && !lines_.Encode()) {
    // Named at the line that holds the argument the stored form cannot carry.
    int at = 0;
    for (int i = 0; i < lines_.Count() && at == 0; ++i) {
      for (const std::string& argument : lines_[i].Arguments) {
        if (argument.size() > 0xFFFF) at = i;
      }
    }
    SetError(at, "Compiled script too large (an argument is longer than 65535 bytes)");
  }
  return errors_.empty();
}

void TScriptCompiler::CheckPathVariables(const std::vector<std::string>& words, int line_index) {
  for (size_t k = 1; k < words.size(); ++k) {
    const ArgumentUse use = ArgumentUseOf(words[0], k - 1);
    if (const std::optional<std::string> unknown = UnknownPathVariable(words[k], use)) {
      SetError(line_index, "Unknown variable - " + *unknown + " (the path variables are " +
                               PathVariableList() + ")");
      return;
    }
  }
}

void TScriptCompiler::CheckCaseCollisions() {
  // Where each `file` line extracts to: the install folder, or the subfolder in its second
  // argument (three or eight compiled arguments; other counts extract nothing).
  const int32_t file_id = commands_.IdOf("file");
  std::vector<TTargetFile> targets;
  for (int i = 0; i < lines_.Count(); ++i) {
    const TCompLine& line = lines_[i];
    const size_t count = line.Arguments.size();
    if (line.CommandID != file_id || file_id == 0 || count < 2) continue;
    if (count > 3 && count != 8) continue;
    const int32_t group = StrToIntOrMinusOne(line.Arguments.back());
    if (group <= 0 || static_cast<size_t>(group) >= groups_.size()) continue;
    const std::string folder = count >= 3 ? line.Arguments[1] : std::string();
    for (const TGroup::TFile& file : groups_[static_cast<size_t>(group)].files) {
      targets.push_back({i + 1, folder, file.entry, HostPath(file.source)});
    }
  }
  for (const TCaseCollision& collision : FindCaseCollisions(targets)) {
    std::string first = collision.first.source;
    if (collision.first.line != collision.second.line) {
      first += " (line " + std::to_string(collision.first.line) + ")";
    }
    SetError(collision.second.line - 1, "Files land on one path when letter case is ignored - " +
                                            first + " and " + collision.second.source);
  }
}

void TScriptCompiler::ApplyStockDefaults(const std::vector<TScriptLine>& script) {
  auto has = [&script](const char* word) {
    for (const TScriptLine& line : script) {
      if (line.kind == TScriptLine::Kind::kCommand && !line.words.empty() &&
          AsciiLower(line.words[0]) == word) {
        return true;
      }
    }
    return false;
  };
  // Set before the lines compile, so the folder walk already knows the page set's icon; a
  // script line of the same kind would overwrite them, but these are only set when none exists.
  if (!has("pages")) {
    setup_info_.PagesName = "install";
    defaults_taken_.push_back("no pages line: using the stock page set 'install'");
  }
  // An uninstaller only when the script asks for one (a patch installer must not replace its
  // product's uninstaller and Uninstall entry with its own).
  const bool uninstaller = has("uninstallpages");
  if (!has("prefix")) {
    // Without a name the uninstaller would be written over the install folder's own path.
    setup_info_.UninstallExeName = "Uninstall.exe";
    defaults_taken_.push_back("no prefix line: the uninstaller is Uninstall.exe");
  }
  if (!has("language")) {
    AddLanguage("install\\english", false, -1);
    defaults_taken_.push_back("no language line: using the stock table install\\english");
  }
  if (uninstaller && !has("uninstalllanguage")) {
    AddLanguage("uninstall\\english", true, -1);
    defaults_taken_.push_back(
        "no uninstalllanguage line: using the stock table uninstall\\english");
  }
}

TCompLines TScriptCompiler::StoredLines() const {
  TCompLines stored = lines_;
  for (TCompLine& line : stored.Lines) {
    const TCommandClass* command = commands_.ById(line.CommandID);
    if (command != nullptr && command->DefinitionOnly() != 0) line = TCompLine::Empty();
  }
  return stored;
}

std::string TScriptCompiler::StoredLinesBytes() const {
  return StoredLines().Encode().value_or(std::string());
}

std::string TScriptCompiler::SetupInfoBytes() const { return setup_info_.Encode(); }

std::optional<std::string> TScriptCompiler::ProductInfoBytes() const {
  if (product_info_.Empty()) return std::nullopt;
  return product_info_.Encode();
}

std::vector<TPackFile> TScriptCompiler::FilesToPack() const {
  std::vector<TPackFile> result;
  for (const TGroup& group : groups_) {
    for (const TGroup::TFile& file : group.files) {
      result.push_back({file.entry, HostPath(file.source), file.group});
    }
  }
  return result;
}

const std::string& TScriptCompiler::OutFile() const { return setup_info_.SetupExeName; }
const std::string& TScriptCompiler::PagesName() const { return setup_info_.PagesName; }
const std::string& TScriptCompiler::UninstallPagesName() const {
  return setup_info_.UninstallPagesName;
}
const std::string& TScriptCompiler::ChangelogEntry() const { return setup_info_.Changelog; }

void TScriptCompiler::SetError(int line_index, const std::string& text) {
  error_text_ = text;
  error_line_ = line_index + 1;
  errors_.push_back({line_index + 1, text});
}

void TScriptCompiler::ReportNotice(const std::string& text) {
  notices_.push_back({current_line_ + 1, text});
  if (OnNotice) OnNotice(text);
}

void TScriptCompiler::ReportProgress(const std::string& text) {
  if (OnProgress) OnProgress(text);
}

uint16_t TScriptCompiler::GroupsBefore(int line_index) const {
  if (line_index < 0) return 0;
  if (static_cast<size_t>(line_index) >= groups_before_.size()) return group_counter_;
  return groups_before_[static_cast<size_t>(line_index)];
}

bool TScriptCompiler::IsArchiveGroup(uint16_t group) const {
  // Groups are numbered in line order over the lines that consume one, as the runtime counts.
  uint16_t counted = 0;
  for (int i = 0; i < lines_.Count(); ++i) {
    const TCommandClass* command = commands_.ById(lines_[i].CommandID);
    if (command == nullptr || command->GroupKind() == kGroupKindNone) continue;
    if (++counted == group) return command->GroupKind() == kGroupKindArchive;
  }
  return false;
}

uint16_t TScriptCompiler::NextGroup() {
  if (group_counter_ == 0xFFFF) {
    SetError(current_line_, "Too many package groups");
    return group_counter_;
  }
  return ++group_counter_;
}

int TScriptCompiler::TakeRegKeySlot() {
  const int slot = reg_key_slot_;
  if (reg_key_slot_ < kInstallDirRegKeyCount - 1) ++reg_key_slot_;
  return slot;
}

std::string TScriptCompiler::ResolveLabel(const std::string& label, int line_index) {
  std::string result = label;
  // The last label of that name wins.
  for (int j = 0; j < lines_.Count(); ++j) {
    const TCompLine& candidate = lines_[j];
    if (candidate.CommandID == 0 && !candidate.Arguments.empty() &&
        SameTextCp1252(candidate.Arguments[0], label)) {
      result = std::to_string(j);
    }
  }
  if (StrToIntOrMinusOne(result) == -1 && result != "-1") {
    SetError(line_index, "Label not found - " + label);
  }
  return result;
}

std::string TScriptCompiler::ResolveSourcePath(const std::string& path, bool as_written) const {
  const std::string windows = ToWindowsForm(path);
  if (as_written) return windows;
  if (!source_folder_.empty()) {
    return IsAbsoluteWindowsPath(windows) ? windows
                                          : CollapseBackslashes(source_folder_ + "\\" + windows);
  }
  // Paths used as written are relative to the working folder, as a Windows tool sees them.
  if (IsAbsoluteWindowsPath(windows) || working_folder_.empty()) return windows;
  return CollapseBackslashes(working_folder_ + "\\" + windows);
}

void TScriptCompiler::EnsureGroup(uint16_t group, const std::string& name) {
  if (groups_.size() > group) return;
  groups_.resize(static_cast<size_t>(group) + 1);
  groups_.back().name = AsciiLower(name);
}

void TScriptCompiler::AddPath(const std::string& path, uint16_t group,
                              const std::string& group_name, bool as_written,
                              const std::string& prefix) {
  EnsureGroup(group, group_name);
  const std::string full = ResolveSourcePath(path, as_written);
  if (!platform::DirectoryExists(full)) {
    // A source that is not there would make an installer that silently installs nothing.
    if (!platform::FileExists(full)) {
      SetError(current_line_, "Source not found - " + path + " (" + HostPathText(full) + ")");
    } else {
      AddSourceFile(full, ExtractFileName(full), prefix, group);
    }
    return;
  }
  if (full.back() != '\\') {
    // The folder walk lists "folder\" entries only; without the backslash nothing would be
    // packed and the installer would silently lack the whole folder.
    SetError(current_line_, "Folder needs a final backslash - " + path);
    return;
  }
  std::deque<std::string> queue = {full};
  size_t files = 0;
  while (!queue.empty()) files += ScanFolder(queue, full, prefix, group);
  if (files == 0) SetError(current_line_, "Folder packs no files - " + path);
}

bool TScriptCompiler::CanPack(const std::string& source) {
  const std::string problem = platform::FileReadProblem(source);
  if (problem.empty()) return true;
  SetError(current_line_, "Source cannot be read - " + HostPathText(source) + " (" + problem + ")");
  return false;
}

size_t TScriptCompiler::ScanFolder(std::deque<std::string>& queue, const std::string& root,
                                   const std::string& prefix, uint16_t group) {
  const std::string folder = queue.front();
  queue.pop_front();
  const std::string own_icon =
      AsciiLower(data_folder_ + "\\layout\\" + setup_info_.PagesName + "\\icon.ico");
  size_t files = 0;
  for (const platform::FindData& item : platform::FindFiles(folder, "*")) {
    const std::string path = folder + item.name;
    if (!item.name_fits) {
      // Package entries, scripts and install logs spell names in Windows-1252.
      SetError(current_line_,
               "File name has no Windows-1252 spelling - " +
                   platform::Utf8ToCp1252Escaped(HostPath(folder) + "/" + item.host_name));
      continue;
    }
    if ((item.attributes & platform::kFileAttributeDirectory) != 0) {
      // A linked folder could lead back into the tree; only real subfolders are walked.
      if (!item.is_symlink) queue.push_back(path + "\\");
      continue;
    }
    if (!setup_info_.PagesName.empty() && AsciiLower(path) == own_icon) continue;
    ++files;
    AddSourceFile(path, path.substr(root.size()), prefix, group);
  }
  return files;
}

void TScriptCompiler::AddSourceFile(const std::string& source, const std::string& entry,
                                    const std::string& prefix, uint16_t group) {
  // Checked before anything else: such a name must never reach a package, and a host file
  // whose name holds backslashes could not even be read back under it.
  if (group != 0 && !IsSafeEntryName(prefix + entry)) {
    SetError(current_line_, "Entry name leaves its folder - " + prefix + entry);
    return;
  }
  if (!platform::FileExists(source)) return;
  // A dangling link or an unreadable file is named now, not met while packing.
  if (!CanPack(source)) return;
  ReportProgress("Adding To List " + entry + " Current Count: " + std::to_string(file_count_));
  if (group != 0) {
    uint16_t found_group = 0;
    size_t found_index = 0;
    if (FindPreviousInstance(entry, group, found_group, found_index)) {
      TGroup::TFile& file = groups_[found_group].files[found_index];
      file.source = source;
      file.entry = entry;
      ReportNotice("Replacing Previous Instance of " + entry);
      return;
    }
  }
  const uint16_t target = FindNamedGroup(group);
  groups_[target].files.push_back({source, prefix + entry, target});
  ++file_count_;
}

uint16_t TScriptCompiler::FindNamedGroup(uint16_t group) const {
  if (groups_.size() < 2 || group >= groups_.size() || groups_[group].name.empty()) return group;
  for (size_t i = 1; i < groups_.size(); ++i) {
    if (i != group && groups_[i].name == groups_[group].name) return static_cast<uint16_t>(i);
  }
  return group;
}

bool TScriptCompiler::FindPreviousInstance(const std::string& entry, uint16_t group,
                                           uint16_t& found_group, size_t& found_index) const {
  if (groups_.size() < 2 || group >= groups_.size() || groups_[group].name.empty()) return false;
  const std::string lower_entry = AsciiLower(entry);
  for (size_t i = 1; i < groups_.size(); ++i) {
    if (i == group || groups_[i].name != groups_[group].name) continue;
    const std::vector<TGroup::TFile>& files = groups_[i].files;
    for (size_t k = 0; k < files.size(); ++k) {
      if (AsciiLower(files[k].entry) == lower_entry) {
        found_group = static_cast<uint16_t>(i);
        found_index = k;
        return true;
      }
    }
  }
  return false;
}

void TScriptCompiler::AddLanguage(const std::string& name, bool uninstall, int line_index) {
  const std::string source =
      CollapseBackslashes(data_folder_ + "\\languages\\" + ToWindowsForm(name) + ".wri");
  if (!platform::FileExists(source)) {
    SetError(line_index, "Language table not found - " + name + " (" + HostPathText(source) + ")");
    return;
  }
  (uninstall ? uninstall_languages_ : languages_).push_back(name);
  AddSourceFile(source, (uninstall ? "UNINSTALL_LANGUAGE-" : "LANGUAGE-") + name, std::string(), 0);
}

std::string TScriptCompiler::DefinitionFile(const std::string& argument) const {
  std::string source = ToWindowsForm(argument);
  if (!IsAbsoluteWindowsPath(source)) {
    const std::string& base = source_folder_.empty() ? working_folder_ : source_folder_;
    source = CollapseBackslashes(base + "\\" + source);
  }
  return source;
}

void TScriptCompiler::SetLicense(const std::string& argument, int line_index) {
  const std::string source = DefinitionFile(argument);
  license_source_.clear();
  if (!platform::FileExists(source)) {
    SetError(line_index, "License file not found - " + argument);
    return;
  }
  license_source_ = HostPath(source);
}

void TScriptCompiler::SetChangelog(const std::string& argument, int line_index) {
  // With a source folder the entry is named as written; without one it gets a leading
  // backslash. The wizard loads the change log by this entry name.
  setup_info_.Changelog = source_folder_.empty() ? "\\" + argument : argument;
  const std::string source = DefinitionFile(argument);
  std::vector<TGroup::TFile>& files = groups_[0].files;
  for (size_t i = 0; i < files.size(); ++i) {
    if (files[i].entry == changelog_entry_) {
      files.erase(files.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  changelog_source_.clear();
  changelog_entry_.clear();
  if (platform::DirectoryExists(source)) {
    SetError(line_index, "Change log is a folder, not a file - " + argument);
    return;
  }
  if (!platform::FileExists(source)) {
    SetError(line_index, "Change log not found - " + argument);
    return;
  }
  changelog_source_ = HostPath(source);
  changelog_entry_ = setup_info_.Changelog;
  files.push_back({source, changelog_entry_, 0});
}
