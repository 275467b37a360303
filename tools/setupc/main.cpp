// setupc: compiles a setup script into a finished installer (the runtime with its package).
//
//   setupc [--data DIR] [--source DIR] [--runtime FILE] [--window FILE] [-o OUTDIR] [-j N]
//          [-v | -q] [--sign KEYFILE] [--depfile FILE [--depfile-target NAME]] SCRIPT
//   setupc --sign KEYFILE --installer FILE
//   setupc --keygen NAME
//
// Exit codes: 0 written (or --help, --version), 1 bad command line, 2 compile or packing error
// (nothing written). Script texts are Windows-1252; messages reach the console as UTF-8.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text_encoding.h"
#include "setup/commands/script_compiler.h"
#include "setup/core/package_integrity.h"
#include "setup/core/pak.h"
#include "setupkit_version.h"
#include "tools/setupc/depfile.h"
#include "tools/setupc/kit_folders.h"
#include "tools/setupc/license_text.h"
#include "tools/setupc/package_writer.h"
#include "tools/setupc/page_set.h"
#include "tools/setupc/signing_keys.h"
#include "tools/setupc/zstd_packing.h"

namespace {

struct Options {
  std::string data_folder;
  std::string source_folder;
  std::string runtime;
  std::string window;
  std::string out_folder;
  std::string script;
  std::string sign_key;        // --sign: the secret key file
  std::string installer;       // --installer: an installer to sign instead of compiling
  std::string keygen;          // --keygen: the name of the key files to make
  std::string depfile;         // --depfile: where to list what the installer was made from
  std::string depfile_target;  // --depfile-target: the rule's target (default: the installer)
  unsigned jobs = 0;           // 0: one per core
  bool verbose = false;
  bool quiet = false;
  bool help = false;
  bool version = false;
};

constexpr const char kUsage[] =
    "usage: setupc [--data DIR] [--source DIR] [--runtime FILE] [--window FILE] [-o OUTDIR] "
    "[-j N] [-v | -q] [--sign KEYFILE]\n"
    "              [--depfile FILE [--depfile-target NAME]] SCRIPT\n"
    "       setupc --sign KEYFILE --installer FILE\n"
    "       setupc --keygen NAME\n"
    "  --data DIR      folder holding languages/ and layout/ (default: beside setupc in a build\n"
    "                  folder, else ../share/setupkit from setupc's folder)\n"
    "  --source DIR    folder the file, qxpupdate and vfsupdate sources are read from\n"
    "  --runtime FILE  installer runtime the package is appended to (default: setup beside\n"
    "                  setupc in a build folder, else ../lib/setupkit/setup)\n"
    "  --window FILE   the window program the installer carries (default: setup-window, found\n"
    "                  as the runtime is)\n"
    "  -o OUTDIR       folder the installer is written to (default: the script's folder)\n"
    "  -j N            compress on N threads (default: one per core)\n"
    "  -v              print the compiler's progress, notices and the defaults it took\n"
    "  -q              print nothing on success\n"
    "  --sign KEYFILE  sign the installer's digest with the secret key in KEYFILE\n"
    "  --installer FILE  with --sign: sign this installer (made before) instead of compiling\n"
    "  --depfile FILE  also write a make-style list of the files the installer was made from\n"
    "  --depfile-target NAME  the target that list names (default: the installer's path)\n"
    "  --keygen NAME   make a signing key pair: NAME.key (secret) and NAME.pub (public)\n"
    "  --help          show this text\n"
    "  --version       show the kit's version\n"
    "A script without pages or language lines gets the stock page set and English table;\n"
    "an uninstaller is written only when the script has an uninstallpages line.\n";

bool ParseOptions(int argc, char** argv, Options& options) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    if (arg == "--data") {
      if (!value(options.data_folder)) return false;
    } else if (arg == "--source") {
      if (!value(options.source_folder)) return false;
    } else if (arg == "--runtime") {
      if (!value(options.runtime)) return false;
    } else if (arg == "--window") {
      if (!value(options.window)) return false;
    } else if (arg == "-o") {
      if (!value(options.out_folder)) return false;
    } else if (arg.rfind("-j", 0) == 0) {
      std::string jobs = arg.substr(2);  // "-j4" or "-j 4"
      if (jobs.empty() && !value(jobs)) return false;
      try {
        const int n = std::stoi(jobs);
        if (n < 1 || n > 1024) return false;
        options.jobs = static_cast<unsigned>(n);
      } catch (const std::exception&) {
        return false;
      }
    } else if (arg == "--sign") {
      if (!value(options.sign_key)) return false;
    } else if (arg == "--installer") {
      if (!value(options.installer)) return false;
    } else if (arg == "--depfile") {
      if (!value(options.depfile)) return false;
    } else if (arg == "--depfile-target") {
      if (!value(options.depfile_target)) return false;
    } else if (arg == "--keygen") {
      if (!value(options.keygen)) return false;
    } else if (arg == "-v") {
      options.verbose = true;
    } else if (arg == "-q") {
      options.quiet = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return false;
    } else if (options.script.empty()) {
      options.script = arg;
    } else {
      return false;
    }
  }
  if (!options.depfile_target.empty() && options.depfile.empty()) return false;
  if (!options.installer.empty()) {
    return options.script.empty() && !options.sign_key.empty() && options.keygen.empty();
  }
  if (!options.keygen.empty()) return options.script.empty() && options.sign_key.empty();
  return !options.script.empty() || options.help || options.version;
}

int MakeKeys(const std::string& name) {
  std::string error;
  const std::optional<TPublicKey> key = setupc::GenerateKeyFiles(name, error);
  if (!key) {
    std::cerr << "setupc: " << error << '\n';
    return 2;
  }
  std::cout << "Wrote " << name << ".key (secret) and " << name << ".pub (public), key "
            << KeyFingerprint(*key) << '\n';
  return 0;
}

// Signs an installer made before: only one whose digest still matches, so a signature never
// vouches for an installer damaged since it was made.
int SignInstaller(const std::string& installer, const setupc::TSecretKey& key) {
  TIntegrityVerdict verdict;
  {
    TPak pak(installer, false, false);
    verdict = CheckPackageIntegrity(pak);
  }
  if (verdict.status != TIntegrityVerdict::Status::kGood) {
    std::cerr << "setupc: " << installer << ": "
              << (verdict.status == TIntegrityVerdict::Status::kAbsent
                      ? "carries no digest (made by an older setupc); compile it again"
                      : verdict.reason)
              << '\n';
    return 2;
  }
  std::string error;
  if (!SealPackageFile(installer, setupc::SignerOf(key), error)) {
    std::cerr << "setupc: " << error << '\n';
    return 2;
  }
  std::cout << "Signed " << installer << " with " << KeyFingerprint(setupc::PublicKeyOf(key))
            << '\n';
  return 0;
}

std::string Absolute(const std::string& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

std::string ParentFolder(const std::string& path) {
  return std::filesystem::path(Absolute(path)).parent_path().string();
}

// The installer's file name must be a plain name: it lands in OUTDIR and nowhere else.
bool IsPlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of("/\\:") == std::string::npos;
}

// Line (1-based) of the last script line whose command word is `word` (any case), or 0.
int LastLineOf(const std::vector<TScriptLine>& script, const std::string& word) {
  int found = 0;
  for (size_t i = 0; i < script.size(); ++i) {
    if (script[i].kind != TScriptLine::Kind::kCommand || script[i].words.empty()) continue;
    if (platform::AsciiLower(script[i].words[0]) == word) found = static_cast<int>(i) + 1;
  }
  return found;
}

// UTF-16 text (as some editors save by default): a byte-order mark of either order, or, without
// one, a zero byte among the first bytes, which no Windows-1252 or UTF-8 script holds.
bool IsUtf16Text(const std::string& bytes) {
  if (bytes.size() >= 2 &&
      ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
    return true;
  }
  return bytes.substr(0, 256).find('\0') != std::string::npos;
}

// A host path (UTF-8) inside a message.
std::string HostText(const std::string& host_path) {
  return platform::Utf8ToCp1252Escaped(host_path);
}

class ErrorSink {
 public:
  explicit ErrorSink(std::string script) : script_(std::move(script)) {}
  // MESSAGE is Windows-1252 text (host paths in it made so with HostText).
  void At(int line, const std::string& message) {
    const std::string text = platform::Cp1252ToUtf8(message);
    if (line > 0) {
      std::cerr << script_ << ':' << line << ": " << text << '\n';
    } else {
      std::cerr << script_ << ": " << text << '\n';
    }
    ++count_;
  }
  // A warning does not stop the compile.
  void Warn(int line, const std::string& message) {
    std::cerr << script_;
    if (line > 0) std::cerr << ':' << line;
    std::cerr << ": warning: " << platform::Cp1252ToUtf8(message) << '\n';
  }
  int count() const { return count_; }

 private:
  std::string script_;
  int count_ = 0;
};

// Adds the page set's material under `prefix` ("" or "UNINSTALL_"), without the pages of the
// kinds `dropped_kinds`; answers whether a License page stays.
bool AddPageSet(const std::string& layout_folder, const std::string& name,
                const std::string& prefix, int line, const std::set<std::string>& dropped_kinds,
                ErrorSink& errors, std::vector<setupc::PackageItem>& items,
                std::string* icon_path) {
  // Group-0 entries packed so far for the same program (language tables, change log) may be
  // named by a layout too; the uninstaller gets only the prefixed ones, without the prefix.
  std::set<std::string> packed;
  for (const setupc::PackageItem& item : items) {
    if (item.group != 0) continue;
    std::string name = item.entry_name;
    if (!prefix.empty()) {
      if (name.compare(0, prefix.size(), prefix) != 0) continue;
      name = name.substr(prefix.size());
    }
    packed.insert(platform::AsciiLower(name));
  }
  setupc::PageSet set = setupc::CollectPageSet(layout_folder, name, packed, dropped_kinds);
  for (const std::string& error : set.errors) errors.At(line, HostText(error));
  for (const std::string& warning : set.warnings) errors.Warn(line, warning);
  for (const setupc::PageSetFile& file : set.files) {
    if (file.bytes) {
      items.push_back({prefix + file.entry_name, 0, "", file.bytes});
    } else {
      items.push_back({prefix + file.entry_name, 0, file.host_path, std::nullopt});
    }
  }
  if (icon_path) *icon_path = set.icon_host_path;
  return set.license_page;
}

// What the installer is made from, for --depfile: the script, the runtime and every packed file,
// and the folders the script's files were packed from (a file added to one changes the folder),
// except OUT_FOLDER, which the installer itself changes.
std::vector<std::string> MadeFrom(const std::string& script, const std::string& runtime,
                                  const std::vector<setupc::PackageItem>& items,
                                  const std::string& out_folder) {
  std::vector<std::string> sources = {script, runtime};
  std::set<std::string> folders;
  for (const setupc::PackageItem& item : items) {
    if (item.host_path.empty()) continue;
    sources.push_back(item.host_path);
    if (item.group == 0) continue;
    const std::string folder = std::filesystem::path(item.host_path).parent_path().string();
    if (folder != out_folder) folders.insert(folder);
  }
  sources.insert(sources.end(), folders.begin(), folders.end());
  return sources;
}

// Bytes of what the package holds before compression.
uint64_t BytesIn(const std::vector<setupc::PackageItem>& items) {
  uint64_t total = 0;
  for (const setupc::PackageItem& item : items) {
    total += item.bytes ? item.bytes->size() : platform::GetFileSize(item.host_path).value_or(0);
  }
  return total;
}

// Which coding each group got and what it came to: one line per group (`per_line`), or a short
// list for the summary line.
std::string GroupCodings(const setupc::PackageResult& result, bool per_line) {
  std::string text;
  for (const auto& [group, figures] : result.groups) {
    char share[32];
    std::snprintf(share, sizeof share, "%.1f%%",
                  figures.bytes_in == 0
                      ? 100.0
                      : 100.0 * static_cast<double>(figures.bytes_out) / figures.bytes_in);
    if (per_line) {
      text += "Group " + std::to_string(group) + ": " + setupc::CodingName(figures.coding) + ", " +
              std::to_string(figures.bytes_in) + " bytes in, " + std::to_string(figures.bytes_out) +
              " bytes out (" + share + ")\n";
    } else {
      text += (text.empty() ? "; groups " : ", ") + std::to_string(group) + " " +
              setupc::CodingName(figures.coding) + " " + share;
    }
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const auto started = std::chrono::steady_clock::now();
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::cerr << kUsage;
    return 1;
  }
  if (options.help) {
    std::cout << kUsage;
    return 0;
  }
  if (options.version) {
    std::cout << "setupc " << SETUPKIT_VERSION << '\n';
    return 0;
  }
  if (!options.keygen.empty()) return MakeKeys(options.keygen);
  std::optional<setupc::TSecretKey> signing_key;
  if (!options.sign_key.empty()) {
    std::string error;
    signing_key = setupc::ReadSecretKeyFile(Absolute(options.sign_key), error);
    if (!signing_key) {
      std::cerr << "setupc: " << error << '\n';
      return 2;
    }
  }
  if (!options.installer.empty()) return SignInstaller(Absolute(options.installer), *signing_key);
  const setupc::KitFolders kit = setupc::FindKitFolders(ParentFolder(platform::OwnExecutablePath()),
                                                        SETUPKIT_DATA_REL, SETUPKIT_PROGRAMS_REL);
  const std::string data_folder =
      options.data_folder.empty() ? kit.data : Absolute(options.data_folder);
  const std::string runtime = options.runtime.empty() ? kit.runtime : Absolute(options.runtime);
  const std::string window = options.window.empty() ? kit.window : Absolute(options.window);
  const std::string out_folder =
      options.out_folder.empty() ? ParentFolder(options.script) : Absolute(options.out_folder);
  ErrorSink errors(options.script);

  if (platform::DirectoryExists(Absolute(options.script))) {
    errors.At(0, "is a folder, not a script file: name the script (setupc FOLDER/NAME.setup)");
    return 2;
  }
  std::optional<std::string> text = platform::ReadFileBytes(Absolute(options.script));
  if (!text) {
    errors.At(0, "cannot read the script");
    return 2;
  }
  if (IsUtf16Text(*text)) {
    errors.At(0, "the script is UTF-16 text, which setupc does not read: save the script as UTF-8");
    return 2;
  }
  // Script text is read as UTF-8 when it is valid UTF-8, else as Windows-1252.
  std::vector<TScriptLine> script = ParseScriptText(*text);
  // `compression` lines are the packer's, not commands of the compiled script: taken out here
  // (the line stays, empty, so line numbers hold) and applied to the groups of the lines after.
  std::vector<std::pair<int, setupc::PackCoding>> codings;
  for (size_t i = 0; i < script.size(); ++i) {
    TScriptLine& line = script[i];
    if (line.kind != TScriptLine::Kind::kCommand || line.words.empty() ||
        platform::AsciiLower(line.words[0]) != "compression") {
      continue;
    }
    const std::optional<setupc::PackCoding> coding =
        setupc::ParseCoding(std::vector<std::string>(line.words.begin() + 1, line.words.end()));
    if (!coding) {
      errors.At(static_cast<int>(i) + 1,
                "compression takes zlib, zstd [LEVEL] or solid [zstd|lzma] [LEVEL] "
                "(LEVEL 1 to 22; for lzma 0 to 9)");
    } else {
      codings.emplace_back(static_cast<int>(i), *coding);
    }
    line = TScriptLine();
  }

  TScriptCompiler compiler;
  compiler.SourceFolder =
      options.source_folder.empty() ? std::string() : Absolute(options.source_folder);
  compiler.DataFolder = data_folder;
  compiler.WorkingFolder = ParentFolder(options.script);
  compiler.UseStockDefaults = true;
  if (options.verbose) {
    auto print = [](const std::string& line) { std::cout << platform::Cp1252ToUtf8(line) << '\n'; };
    compiler.OnProgress = print;
    compiler.OnNotice = print;
  }
  compiler.Compile(script);
  if (options.verbose) {
    for (const std::string& note : compiler.DefaultsTaken()) {
      std::cout << "Default: " << platform::Cp1252ToUtf8(note) << '\n';
    }
  }
  for (const TCompileMessage& error : compiler.Errors()) errors.At(error.line, error.text);

  const TSetupInfoFile& info = compiler.SetupInfo();
  if (!IsPlainFileName(info.SetupExeName)) {
    const int line = LastLineOf(script, "outfile");
    errors.At(line, info.SetupExeName.empty()
                        ? "no outfile line names the installer"
                        : "outfile must be a plain file name: " + info.SetupExeName);
  }
  if (errors.count() > 0) return 2;
  const bool folder_from_registry =
      std::any_of(std::begin(info.InstallDirRegKey), std::end(info.InstallDirRegKey),
                  [](const TInstallDirRegKey& place) { return !place.Key.empty(); });
  if (info.InstallDir.empty() && !folder_from_registry) {
    errors.Warn(0,
                "no installdir line: the installer proposes no install folder and stops with "
                "\"Registry Key Not Found\" unless started with --dir (add a line such as "
                "installdir \"$PROGRAMFILES\\" +
                    (info.SetupName.empty() ? std::string("NAME") : info.SetupName) + "\\\")");
  }
  if (info.CreateUninstaller != 1) {
    errors.Warn(0,
                "no uninstallpages line: the installer will write no uninstaller, install "
                "log or Uninstall entry (add \"uninstallpages uninstall\" for them)");
  }

  // Directory order: the records, the compiler's group-0 files (language tables, change log),
  // the page sets, then the groups' files.
  std::vector<setupc::PackageItem> items;
  items.push_back({"SetupInfo", 0, "", compiler.SetupInfoBytes()});
  items.push_back({"CompiledLines", 0, "", compiler.StoredLinesBytes()});
  if (std::optional<std::string> product = compiler.ProductInfoBytes()) {
    items.push_back({kProductInfoEntry, 0, "", *product});
  }
  const std::vector<TPackFile> files = compiler.FilesToPack();
  for (const TPackFile& file : files) {
    if (file.group == 0) items.push_back({file.entry_name, 0, file.source_path, std::nullopt});
  }
  // The licence text, for the installer's licence page.
  const std::string& license = compiler.LicenseSource();
  if (!license.empty()) {
    const std::optional<std::string> bytes = platform::ReadFileBytes(license);
    if (!bytes) {
      errors.At(LastLineOf(script, "license"), "cannot read the license file " + HostText(license));
    } else {
      items.push_back({setupc::kLicenseEntry, 0, "", setupc::LicenseRtf(*bytes)});
    }
  }
  const std::string layout_folder = data_folder + "/layout";
  std::set<std::string> dropped_kinds;
  if (info.Changelog.empty()) dropped_kinds.insert("changelog");
  if (license.empty()) dropped_kinds.insert("license");
  if (!info.PagesName.empty()) {
    std::string icon;
    const int line = LastLineOf(script, "pages");
    if (!AddPageSet(layout_folder, info.PagesName, "", line, dropped_kinds, errors, items, &icon) &&
        !license.empty()) {
      errors.Warn(line, "page set '" + info.PagesName +
                            "' has no License page: the license is packed but not shown");
    }
    // The installer's window shows it as its icon, unless the uninstaller's icon (the product's)
    // is carried anyway or a layout packed it already.
    const bool packed = std::any_of(items.begin(), items.end(), [](const auto& item) {
      return item.group == 0 && platform::AsciiLower(item.entry_name) == "icon.ico";
    });
    if (!icon.empty() && !packed && info.UninstallPagesName.empty()) {
      items.push_back({"ICON.ICO", 0, icon, std::nullopt});
    }
  }
  if (!info.UninstallPagesName.empty()) {
    const int line = LastLineOf(script, "uninstallpages");
    std::string icon;
    // The uninstaller asks for no licence.
    dropped_kinds.insert("license");
    AddPageSet(layout_folder, info.UninstallPagesName, "UNINSTALL_", line, dropped_kinds, errors,
               items, &icon);
    // The uninstaller's runtime is its own finaliser (setup --finalise): nothing to carry.
    if (icon.empty()) {
      errors.At(line, "page set '" + info.UninstallPagesName + "' has no icon.ico");
    } else {
      items.push_back({"UNINSTALL_ICON.ICO", 0, icon, std::nullopt});
    }
  }
  // The window program, which the runtime starts where a display is found; the uninstaller takes
  // it over from the installer, so it is carried once.
  if (!platform::FileExists(window)) {
    errors.At(0, "the installer's window needs setup-window: " + HostText(window));
  } else {
    items.push_back({"WINDOW.EXE", 0, window, std::nullopt});
  }
  for (const TPackFile& file : files) {
    if (file.group == 0) continue;
    if (!TScriptCompiler::IsSafeEntryName(file.entry_name)) {
      errors.At(0, "entry name would leave its folder: " + file.entry_name);
    }
    items.push_back({file.entry_name, file.group, file.source_path, std::nullopt});
  }
  // Last: the record of the whole file's digest, filled in once the package is written.
  items.push_back({kIntegrityEntry, 0, "", IntegrityPlaceholder(), true});
  // The kit's own entries stay zlib at libdeflate's smallest level: for the window program it
  // beats zstd at level 22 (about 262 KB against 271 KB). Only where a script asks for the
  // smallest installer (solid LZMA) is the window program an LZMA block too (about 242 KB); the
  // runtime that starts it and the uninstaller that takes it over both decode LZMA.
  const auto lzma = std::find_if(codings.begin(), codings.end(), [](const auto& line) {
    return line.second.kind == setupc::PackCoding::Kind::kSolidLzma;
  });
  for (setupc::PackageItem& item : items) {
    if (item.group == 0) {
      if (item.entry_name == "WINDOW.EXE" && lzma != codings.end()) item.SetCoding(lzma->second);
      continue;
    }
    // Archive updates copy their entries' zlib streams into the game archives as they are.
    if (compiler.IsArchiveGroup(item.group)) continue;
    for (const auto& [line, coding] : codings) {
      if (item.group > compiler.GroupsBefore(line)) item.SetCoding(coding);
    }
  }
  if (!platform::FileExists(runtime)) errors.At(0, "runtime not found: " + HostText(runtime));
  if (!platform::DirectoryExists(out_folder)) {
    errors.At(0, "no such folder: " + HostText(out_folder));
  }
  if (errors.count() > 0) return 2;

  // The installer is built beside its final name and renamed into place only when complete.
  // Its name is script text (Windows-1252); the host file system spells names in UTF-8.
  const std::string target = out_folder + "/" + platform::Cp1252ToUtf8(info.SetupExeName);
  const std::string partial = target + ".partial";
  std::error_code fs_error;
  std::filesystem::remove(partial, fs_error);
  const uint64_t runtime_size = platform::GetFileSize(runtime).value_or(0);
  if (!platform::CopyFile(runtime, partial, false)) {
    errors.At(0, "cannot write " + HostText(partial));
    return 2;
  }
  const unsigned jobs =
      options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
  setupc::PackageResult result = setupc::AppendPackage(partial, items, jobs);
  const std::optional<TPackageSigner> signer =
      signing_key ? std::optional(setupc::SignerOf(*signing_key)) : std::nullopt;
  if (result.ok && !SealPackageFile(partial, signer, result.error)) result.ok = false;
  if (result.ok && options.verbose) std::cout << GroupCodings(result, true);
  if (!result.ok) {
    std::filesystem::remove(partial, fs_error);
    errors.At(0, result.error);
    return 2;
  }
  // The dependency list first: an installer in place always has its list beside it.
  if (!options.depfile.empty()) {
    const std::string rule_target =
        options.depfile_target.empty() ? target : options.depfile_target;
    std::vector<std::string> made_from =
        MadeFrom(Absolute(options.script), runtime, items, out_folder);
    if (!license.empty()) made_from.push_back(license);
    const std::string text = setupc::DepfileText(rule_target, made_from);
    if (!setupc::WriteDepfile(Absolute(options.depfile), text)) {
      std::filesystem::remove(partial, fs_error);
      errors.At(0, "cannot write " + HostText(Absolute(options.depfile)));
      return 2;
    }
  }
  std::filesystem::rename(partial, target, fs_error);
  if (fs_error) {
    std::filesystem::remove(partial, fs_error);
    errors.At(0, "cannot write " + HostText(target));
    return 2;
  }
  if (!options.quiet) {
    // One line that says what was made, so a script that packs nothing shows it at once.
    const uint64_t bytes_in = BytesIn(items);
    const uint64_t installer = platform::GetFileSize(target).value_or(0);
    const uint64_t bytes_out = installer - std::min(installer, runtime_size);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    char figures[160];
    std::snprintf(
        figures, sizeof figures, "%zu entries, %llu bytes in, %llu bytes out (%.1f%%), %.1f s",
        items.size(), static_cast<unsigned long long>(bytes_in),
        static_cast<unsigned long long>(bytes_out),
        bytes_in == 0 ? 100.0 : 100.0 * static_cast<double>(bytes_out) / bytes_in, seconds);
    std::cout << "Wrote " << target << ": " << figures << GroupCodings(result, false) << '\n';
  }
  return 0;
}
