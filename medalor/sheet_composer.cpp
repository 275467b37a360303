#include "medalor/sheet_composer.h"

#include <algorithm>
#include <utility>

#include "medalor/drawing.h"
#include "medalor/half_size.h"
#include "medalor/png_codec.h"
#include "platform/ascii_case.h"
#include "platform/files.h"
#include "platform/process.h"

namespace medalor {
namespace {

std::string Join(const std::string& folder, const std::string& name) {
  if (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) return folder + name;
  return folder + "/" + name;
}

}  // namespace

std::string ProgramFolder() {
  const std::string self = platform::OwnExecutablePath();
  const size_t slash = self.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : self.substr(0, slash);
}

std::string FindInFolder(const std::string& folder, const std::string& file_name) {
  const std::string direct = Join(folder, file_name);
  if (platform::FileExists(direct)) return direct;
  for (const platform::FindData& found : platform::FindFiles(folder, "*")) {
    if ((found.attributes & platform::kFileAttributeDirectory) == 0 &&
        platform::SameIgnoringAsciiCase(found.name, file_name)) {
      return Join(folder, found.name);
    }
  }
  return {};
}

TSheetComposer::TSheetComposer(std::string badges_folder, std::string layout_folder)
    : badges_folder_(std::move(badges_folder)), layout_folder_(std::move(layout_folder)) {}

TSheetComposer TSheetComposer::BesideProgram() {
  const std::string base = ProgramFolder();
  return TSheetComposer(Join(base, "Badges"), Join(base, "BadgeLayout"));
}

TPicture TSheetComposer::LoadPicture(const std::string& folder,
                                     const std::string& file_name) const {
  const std::string path = FindInFolder(folder, file_name);
  if (path.empty()) throw SheetError("Cannot open file \"" + Join(folder, file_name) + "\".");
  const std::optional<std::string> bytes = platform::ReadFileBytes(path);
  if (!bytes) throw SheetError("Cannot open file \"" + path + "\".");
  return DecodePng(*bytes, path);
}

void TSheetComposer::LoadBadgeImages() {
  for (const platform::FindData& found : platform::FindFiles(badges_folder_, "*.png")) {
    // A folder whose name ends in .png is no picture; reading it would only fail.
    if (found.attributes & platform::kFileAttributeDirectory) continue;
    const std::string path = Join(badges_folder_, found.name);
    const std::optional<std::string> bytes = platform::ReadFileBytes(path);
    if (!bytes) throw SheetError("Cannot open file \"" + path + "\".");
    TPicture picture = DecodePng(*bytes, path);
    if (picture.Width() != kBadgeSize || picture.Height() != kBadgeSize) continue;
    images_.push_back(std::move(picture));
    badge_names_.push_back(StripExtension(found.name));
  }
}

std::vector<std::string> TSheetComposer::LoadBackgroundNames() const {
  std::vector<std::string> names{"None"};
  for (const platform::FindData& found : platform::FindFiles(layout_folder_, "*.png")) {
    if (found.attributes & platform::kFileAttributeDirectory) continue;
    if (platform::SameIgnoringAsciiCase(found.name, "none.png")) continue;
    names.push_back(StripExtension(found.name));
  }
  return names;
}

void TSheetComposer::SelectBackground(const std::string& entry) {
  if (entry.empty()) return;
  const TPicture layout = LoadPicture(layout_folder_, entry + ".png");
  const int w = layout.Width();
  const int h = layout.Height();
  constexpr int c = kCornerSize;
  pieces_[0] = CutPiece(layout, 0, 0, c, c);
  pieces_[1] = CutPiece(layout, w - c, 0, c, c);
  pieces_[2] = CutPiece(layout, w - c, h - c, c, c);
  pieces_[3] = CutPiece(layout, 0, h - c, c, c);
  pieces_[4] = CutPiece(layout, w / 2, 0, 1, 5);
  pieces_[5] = CutPiece(layout, w / 2, h - 5, 1, 5);
  pieces_[6] = CutPiece(layout, 0, h / 2, 15, 1);
  pieces_[7] = CutPiece(layout, w - 15, h / 2, 15, 1);
  const TRgba centre = layout.At(w / 2, h / 2);
  fill_ = TRgba{centre.r, centre.g, centre.b, 255};
  transparent_ = layout.HasAlpha() && centre.a == 0;
}

TPicture TSheetComposer::ComposeSheet(const std::vector<std::string>& names, int per_row) const {
  const TSheetGrid grid = SheetGrid(static_cast<int>(names.size()), per_row);
  const int W = grid.width;
  const int H = grid.height;
  TRgba fill = fill_;
  if (transparent_) fill.a = 0;
  TPicture sheet(W, H, fill, true);

  DrawOver(pieces_[0], sheet, 0, 0);
  DrawOver(pieces_[1], sheet, W - kCornerSize, 0);
  DrawOver(pieces_[2], sheet, W - kCornerSize, H - kCornerSize);
  DrawOver(pieces_[3], sheet, 0, H - kCornerSize);
  if (W >= 51) {
    for (int x = 25; x <= W - 26; ++x) {
      DrawOver(pieces_[4], sheet, x, 0);
      DrawOver(pieces_[5], sheet, x, H - 5);
    }
  }
  if (H >= 51) {
    for (int y = 25; y <= H - 26; ++y) {
      DrawOver(pieces_[6], sheet, 0, y);
      DrawOver(pieces_[7], sheet, W - pieces_[7].Width(), y);
    }
  }

  int col = 0;
  int row = 0;
  for (const std::string& name : names) {
    const TPicture badge = LoadPicture(badges_folder_, name + ".png");
    DrawOver(badge, sheet, col * kColumnPitch + kFirstColumnX, row * kRowPitch + kFirstRowY);
    ++col;
    if (per_row >= 1 && col >= per_row) {
      col = 0;
      ++row;
    }
  }
  return sheet;
}

TPicture TSheetComposer::RenderSheet(const std::vector<std::string>& names, int per_row,
                                     bool half_size, int filter_index) const {
  TPicture sheet = ComposeSheet(names, per_row);
  if (half_size) HalveSheet(sheet, filter_index);
  return sheet;
}

TPicture TSheetComposer::SaveSheet(const std::string& file_name,
                                   const std::vector<std::string>& names, int per_row,
                                   bool half_size, int filter_index) const {
  TPicture sheet = RenderSheet(names, per_row, half_size, filter_index);
  const std::string bytes = EncodePng(sheet);
  if (!platform::WriteFileBytes(file_name, bytes.data(), bytes.size())) {
    throw SheetError("Cannot create file \"" + file_name + "\".");
  }
  return sheet;
}

}  // namespace medalor
