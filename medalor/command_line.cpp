#include "medalor/command_line.h"

#include <charconv>
#include <filesystem>
#include <optional>
#include <ostream>

#include "medalor/drawing.h"
#include "medalor/picture.h"
#include "platform/ascii_case.h"

namespace medalor {
namespace {

// The entry of `list` equal to `name` without regard to case.
std::optional<std::string> FindEntry(const std::vector<std::string>& list,
                                     const std::string& name) {
  const std::string wanted = platform::AsciiLower(name);
  for (const std::string& entry : list) {
    if (platform::AsciiLower(entry) == wanted) return entry;
  }
  return std::nullopt;
}

std::vector<std::string> SplitNames(const std::string& text) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = text.find(',', start);
    const size_t end = comma == std::string::npos ? text.size() : comma;
    std::string name = text.substr(start, end - start);
    while (!name.empty() && name.front() == ' ') name.erase(name.begin());
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (!name.empty()) names.push_back(name);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return names;
}

// The filter index of a name such as "FILTER_LANCZOS3" or "lanczos3".
std::optional<int> FilterIndex(const std::string& name) {
  const std::string wanted = platform::AsciiLower(name);
  for (size_t i = 0; i < kFilterNames.size(); ++i) {
    const std::string full = platform::AsciiLower(kFilterNames[i]);
    if (wanted == full || "filter_" + wanted == full) return static_cast<int>(i);
  }
  return std::nullopt;
}

struct Options {
  std::string output;
  std::optional<std::string> badges;
  int per_row = 5;
  std::string background = "None";
  bool half_size = false;
  int filter = 0;
};

// Fills `options`; answers an error text, empty when the arguments are good.
std::string Parse(const std::vector<std::string>& args, Options& options) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool has_value = i + 1 < args.size();
    if (arg == "--half-size") {
      options.half_size = true;
      continue;
    }
    if (arg != "--sheet" && arg != "--badges" && arg != "--per-row" && arg != "--background" &&
        arg != "--filter") {
      return "unknown argument \"" + arg + "\"";
    }
    if (!has_value) return arg + " needs a value";
    const std::string& value = args[++i];
    if (arg == "--sheet") {
      options.output = value;
    } else if (arg == "--badges") {
      options.badges = value;
    } else if (arg == "--background") {
      options.background = value;
    } else if (arg == "--per-row") {
      int number = 0;
      const char* end = value.data() + value.size();
      const auto [ptr, ec] = std::from_chars(value.data(), end, number);
      if (ec != std::errc() || ptr != end)
        return "--per-row needs a whole number, not \"" + value + "\"";
      options.per_row = number;
    } else {
      const std::optional<int> index = FilterIndex(value);
      if (!index) return "unknown filter \"" + value + "\"";
      options.filter = *index;
    }
  }
  if (options.output.empty()) return "--sheet needs the name of the PNG file to write";
  return {};
}

}  // namespace

bool IsSheetCommand(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--sheet") return true;
  }
  return false;
}

std::string SheetCommandUsage() {
  return "usage: Medalor --sheet OUT.png [--badges NAME,NAME,...] [--per-row N]\n"
         "               [--background NAME] [--half-size --filter NAME]\n"
         "Without --badges every badge in the Badges folder is used; filters: FILTER_BOX,\n"
         "FILTER_BICUBIC, FILTER_BILINEAR, FILTER_BSPLINE, FILTER_CATMULLROM, FILTER_LANCZOS3.\n";
}

int RunSheetCommand(const std::vector<std::string>& args, TSheetComposer& composer,
                    std::ostream& out, std::ostream& err) {
  Options options;
  if (const std::string problem = Parse(args, options); !problem.empty()) {
    err << "Medalor: " << problem << "\n" << SheetCommandUsage();
    return kExitFailed;
  }
  try {
    composer.LoadBadgeImages();
    std::vector<std::string> names;
    if (options.badges) {
      for (const std::string& name : SplitNames(*options.badges)) {
        const std::optional<std::string> found = FindEntry(composer.BadgeNames(), name);
        if (!found) {
          err << "Medalor: no badge named \"" << name << "\" in " << composer.BadgesFolder()
              << "\n";
          return kExitFailed;
        }
        names.push_back(*found);
      }
    } else {
      names = composer.BadgeNames();
    }
    const std::optional<std::string> background =
        FindEntry(composer.LoadBackgroundNames(), options.background);
    if (!background) {
      err << "Medalor: no background named \"" << options.background << "\" in "
          << composer.LayoutFolder() << "\n";
      return kExitFailed;
    }
    composer.SelectBackground(*background);
    std::error_code error;
    std::filesystem::path target = std::filesystem::absolute(options.output, error);
    if (error) target = options.output;
    const TPicture sheet = composer.SaveSheet(target.string(), names, options.per_row,
                                              options.half_size, options.filter);
    out << "Saved a " << sheet.Width() << " x " << sheet.Height() << " sheet of " << names.size()
        << (names.size() == 1 ? " badge" : " badges") << " to " << target.string() << "\n";
    return kExitOk;
  } catch (const SheetError& e) {
    err << "Medalor: " << e.what() << "\n";
    return kExitFailed;
  }
}

}  // namespace medalor
