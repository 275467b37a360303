// The compile side of the script language: turns setup-script text into the compiled lines, the
// setup information record and the list of files a package must carry. No packing happens here;
// the driver program writes the package from what this class answers.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "setup/core/command_class.h"
#include "setup/core/compiled_lines.h"
#include "setup/core/product_info.h"
#include "setup/core/setup_info.h"

// One line of script text, split into words.
struct TScriptLine {
  enum class Kind {
    kNone,     // blank line or comment (";" or "#" first): kept as a line without a command
    kLabel,    // a single word ending in ":"; words = {label name without the colon}
    kCommand,  // words[0] is the command word (any letter case), the rest its arguments
  };
  Kind kind = Kind::kNone;
  std::vector<std::string> words;
  bool unclosed_quote = false;  // a double quote opened on the line is never closed
};

// Splits one line into words: blanks and tabs separate, double quotes group and are removed
// (they cannot be escaped), so "Program Files"\a is the single word Program Files\a.
// Comments are taken off before (see ParseScriptLine).
std::vector<std::string> SplitScriptWords(const std::string& line);

// Turns a script line into a TScriptLine (label, comment, blank, command). A line starting with
// ';' or '#' is a comment; elsewhere a ';' outside quotes after a blank starts one that runs to
// the end of the line ("file app\ ; the program" has one argument; a;b and a quoted "x ;y" stay
// text).
TScriptLine ParseScriptLine(const std::string& line);

// Splits the whole script text into lines (CR LF, LF or CR) and parses each; line i of the result
// is script line i + 1. A final line ending adds no empty line. Text is Windows-1252; a UTF-8
// text (byte-order mark, or valid UTF-8 holding non-ASCII characters) is converted first.
std::vector<TScriptLine> ParseScriptText(const std::string& text);
// A text file read as scripts are: UTF-8 after a byte-order mark or when it is valid UTF-8
// holding non-ASCII characters, else Windows-1252.
std::u16string TextFileToUtf16(const std::string& bytes);

// SplitFirstWord of the compile side: trims blanks and control characters, then answers the first
// word (quotes removed) and the rest from the separator on.
void SplitFirstWord(const std::string& text, std::string& word, std::string& rest);
std::string StripQuotes(const std::string& text);

// A file the package must carry.
struct TPackFile {
  std::string entry_name;   // package entry name (relative path with backslashes)
  std::string source_path;  // host path of the file to read
  uint16_t group = 0;       // package group
};

// A message tied to a script line.
struct TCompileMessage {
  int line = 0;  // 1-based script line number
  std::string text;
};

class TScriptCompiler {
 public:
  // One group of the file list; index = group number, group 0 always exists.
  struct TGroup {
    std::string name;  // lower-cased; empty for `file` groups and group 0
    struct TFile {
      std::string source;  // Windows path the file is read from
      std::string entry;   // entry name
      uint16_t group = 0;
    };
    std::vector<TFile> files;
  };

  TScriptCompiler();
  ~TScriptCompiler();
  TScriptCompiler(const TScriptCompiler&) = delete;
  TScriptCompiler& operator=(const TScriptCompiler&) = delete;

  // Set before Compile. Folders may be host paths ("/home/u/src") or Windows paths.
  std::function<void(const std::string&)> OnNotice;    // "Replacing Previous Instance of ..."
  std::function<void(const std::string&)> OnProgress;  // "Adding To List ... Current Count: n"
  std::string SourceFolder;  // source paths of file/qxpupdate/vfsupdate resolve against it
  std::string DataFolder;    // holds languages/NAME.wri and layout/PAGESET/
  // Relative source and change-log paths are resolved against this folder when SourceFolder is
  // empty; empty = the process's working folder.
  std::string WorkingFolder;
  // When set, a script without `pages` or `language` gets the stock page set and English table
  // of the data folder; one with `uninstallpages` but no `uninstalllanguage` the stock English
  // uninstall table (and an uninstaller named Uninstall.exe when no `prefix` line names one).
  // Without `uninstallpages` the installer writes no uninstaller. No line is added to the
  // compiled script.
  bool UseStockDefaults = false;

  // Compiles one script once (a compiler object is not reused). Answers true when no error was
  // found; Errors() then is empty. Every error is kept, with its line:
  //   "Unknown command - WORD"
  //   "Too few arguments for COMMAND - needs N, has M"
  //   "Wrong number of arguments for COMMAND - takes A, B or C, has M"
  //   "Unclosed quote"
  //   "Label not found - LABEL"
  //   "Unknown variable - $NAME (the path variables are $INSTDIR, ...)"
  //   "Folder needs a final backslash - PATH"       (a source folder written without it)
  //   "Source not found - PATH (HOSTPATH)"          (file, qxpupdate, vfsupdate)
  //   "Folder packs no files - PATH"
  //   "Source cannot be read - HOSTPATH (REASON)"   (a dangling link, no read permission)
  //   "File name has no Windows-1252 spelling - HOSTPATH"
  //   "Entry name leaves its folder - NAME"          (".." component, rooted or drive name)
  //   "Files land on one path when letter case is ignored - A and B"   (`file` lines)
  //   "Password longer than 41 bytes - ARCHIVE"      (qxpupdate)
  //   "Language table not found - NAME (PATH)"
  //   "Change log not found - NAME"
  //   "Change log is a folder, not a file - NAME"
  //   "Too many package groups", "Script has more than 65535 lines",
  //   "Compiled script too large (an argument is longer than 65535 bytes)"   (at its line)
  bool Compile(const std::vector<TScriptLine>& script);

  // Results.
  const std::vector<TCompileMessage>& Errors() const { return errors_; }
  const std::vector<TCompileMessage>& Notices() const { return notices_; }
  // One sentence per stock default taken, for the driver's verbose output.
  const std::vector<std::string>& DefaultsTaken() const { return defaults_taken_; }
  TSetupInfoFile& SetupInfo() { return setup_info_; }
  const TSetupInfoFile& SetupInfo() const { return setup_info_; }
  // The compiled lines as the commands left them (definition lines still carry their words).
  const TCompLines& Lines() const { return lines_; }
  // How many package groups the lines before line `line_index` (0-based) had taken once the
  // script was compiled: the groups of the lines from there on are numbered above it.
  uint16_t GroupsBefore(int line_index) const;
  // Whether package group `group` feeds an archive update (its entries' stored blobs go into a
  // game archive as they are, so they must stay zlib streams).
  bool IsArchiveGroup(uint16_t group) const;
  // The lines as the package stores them: definition-only command lines emptied (id -1, line
  // index -1, no arguments).
  TCompLines StoredLines() const;
  // The "CompiledLines" entry bytes of StoredLines().
  std::string StoredLinesBytes() const;
  // The "SetupInfo" entry bytes.
  std::string SetupInfoBytes() const;
  // Product details of the version, publisher and url lines, and their "ProductInfo" entry
  // bytes (nothing when the script has none of those lines).
  TProductInfo& ProductInfo() { return product_info_; }
  const TProductInfo& ProductInfo() const { return product_info_; }
  std::optional<std::string> ProductInfoBytes() const;
  // Every file to pack, group by group, in list order: the files of file/qxpupdate/vfsupdate
  // groups (breadth-first scan order) and, in group 0, the language tables ("LANGUAGE-x",
  // "UNINSTALL_LANGUAGE-x") and the change log under its entry name.
  std::vector<TPackFile> FilesToPack() const;
  const std::vector<TGroup>& Groups() const { return groups_; }
  // Language table names of `language` / `uninstalllanguage` lines, in script order.
  const std::vector<std::string>& Languages() const { return languages_; }
  const std::vector<std::string>& UninstallLanguages() const { return uninstall_languages_; }
  // The outfile name (SetupExeName), the page sets, the change log entry.
  const std::string& OutFile() const;
  const std::string& PagesName() const;
  const std::string& UninstallPagesName() const;
  const std::string& ChangelogEntry() const;
  // Host path of the change log file; empty when the script names none.
  const std::string& ChangelogSource() const { return changelog_source_; }
  // Host path of the licence file of a `license` line; empty when the script names none.
  const std::string& LicenseSource() const { return license_source_; }
  // Last error, as the compile side keeps it (empty when none) and its 1-based line.
  const std::string& ErrorText() const { return error_text_; }
  int ErrorLine() const { return error_line_; }

  // --- Services for the command classes' Compile (valid while Compile runs). ---

  // The compiler whose Compile is running on this thread, or nullptr.
  static TScriptCompiler* Current();
  TCompLines& MutableLines() { return lines_; }
  // Records an error at the compiled line index (0-based).
  void SetError(int line_index, const std::string& text);
  void ReportNotice(const std::string& text);
  void ReportProgress(const std::string& text);
  // Raises the group counter and answers the new group number.
  uint16_t NextGroup();
  // Next InstallDirRegKey slot (0..4; stays at 4).
  int TakeRegKeySlot();
  // Adds a file or a folder tree ("...\" ) to a group.
  void AddPath(const std::string& path, uint16_t group, const std::string& group_name,
               bool as_written, const std::string& prefix);
  // Adds one file, or replaces a previous instance in a merged named group.
  void AddSourceFile(const std::string& source, const std::string& entry, const std::string& prefix,
                     uint16_t group);
  // Label resolution: the decimal line index of the last label of that name (or the text
  // unchanged); records "Label not found - x" when the result is not a number.
  std::string ResolveLabel(const std::string& label, int line_index);
  // Language and change-log lines.
  void AddLanguage(const std::string& name, bool uninstall, int line_index);
  void SetChangelog(const std::string& argument, int line_index);
  void SetLicense(const std::string& argument, int line_index);

  // True when an entry name stays inside the folder it is extracted into: not empty, no ".."
  // component, not rooted ("\x"), no drive ("C:").
  static bool IsSafeEntryName(const std::string& entry);

 private:
  std::string ResolveSourcePath(const std::string& path, bool as_written) const;
  // A file a definition line names: absolute, or relative to the source or working folder.
  std::string DefinitionFile(const std::string& argument) const;
  // One folder of the walk; answers the files it met (packed or refused).
  size_t ScanFolder(std::deque<std::string>& queue, const std::string& root,
                    const std::string& prefix, uint16_t group);
  // Records an error naming SOURCE and the reason when it cannot be read.
  bool CanPack(const std::string& source);
  void EnsureGroup(uint16_t group, const std::string& name);
  uint16_t FindNamedGroup(uint16_t group) const;
  bool FindPreviousInstance(const std::string& entry, uint16_t group, uint16_t& found_group,
                            size_t& found_index) const;
  std::string WindowsFolder(const std::string& folder) const;
  // Records an error for every file that a `file` line would extract over another one whose
  // target path differs only in letter case.
  void CheckCaseCollisions();
  void ApplyStockDefaults(const std::vector<TScriptLine>& script);
  // Records an error for a "$NAME" that no path variable begins, in an argument the command
  // expands when it runs (the run would keep it as text: "$INSTDRI\app" is no folder).
  void CheckPathVariables(const std::vector<std::string>& words, int line_index);

  TSetupInfoFile setup_info_;
  TProductInfo product_info_;
  TCompLines lines_;
  TCommandList commands_;
  std::vector<TGroup> groups_;
  int file_count_ = 0;
  uint16_t group_counter_ = 0;
  std::vector<uint16_t> groups_before_;  // group_counter_ as each line began to compile
  int reg_key_slot_ = 0;
  std::vector<TCompileMessage> errors_;
  std::vector<TCompileMessage> notices_;
  std::vector<std::string> defaults_taken_;
  std::vector<std::string> languages_;
  std::vector<std::string> uninstall_languages_;
  std::string changelog_source_;
  std::string error_text_;
  int error_line_ = 0;
  int current_line_ = -1;  // compiled line index being compiled, for messages
  std::string changelog_entry_;
  std::string license_source_;
  // The three folders in Windows form, without a final backslash.
  std::string source_folder_;
  std::string data_folder_;
  std::string working_folder_;
};
