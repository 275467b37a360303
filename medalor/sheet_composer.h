// The badge catalogue, the background state and the composition of badge sheets from them.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "medalor/picture.h"

namespace medalor {

// The folder that holds the running program's own file, without a trailing separator.
std::string ProgramFolder();

// Finds `file_name` in `folder` without regard to letter case and answers its full path, or
// nothing-found as an empty text.
std::string FindInFolder(const std::string& folder, const std::string& file_name);

class TSheetComposer {
 public:
  // `badges_folder` holds the badge pictures, `layout_folder` the background templates.
  TSheetComposer(std::string badges_folder, std::string layout_folder);
  // The folders `Badges` and `BadgeLayout` beside the program's own file.
  static TSheetComposer BesideProgram();

  // Appends every 47 x 47 `*.png` of the badges folder to the catalogue, in listing order;
  // pictures of other sizes are passed over. Throws SheetError on an unreadable picture, keeping
  // what was loaded before it.
  void LoadBadgeImages();
  // "None", then the name of every other template of the layout folder.
  std::vector<std::string> LoadBackgroundNames() const;
  // Replaces the frame pieces, fill colour and transparency from the template `entry`
  // (nothing happens for an empty entry). Throws SheetError when the template cannot be read.
  void SelectBackground(const std::string& entry);

  // A new sheet holding the frame and the named badges at `per_row` a row (<= 0: one row).
  // Every badge file is read afresh. Throws SheetError when a badge cannot be read.
  TPicture ComposeSheet(const std::vector<std::string>& names, int per_row) const;
  // ComposeSheet, then HalveSheet when `half_size`: the picture that is shown and saved.
  TPicture RenderSheet(const std::vector<std::string>& names, int per_row, bool half_size,
                       int filter_index) const;
  // Renders as above and writes it as an 8-bit RGBA PNG file, replacing one that is there;
  // answers the picture written. Throws SheetError when the file cannot be written.
  TPicture SaveSheet(const std::string& file_name, const std::vector<std::string>& names,
                     int per_row, bool half_size, int filter_index) const;

  const std::vector<TPicture>& Images() const { return images_; }
  const std::vector<std::string>& BadgeNames() const { return badge_names_; }
  const std::array<TPicture, 8>& FramePieces() const { return pieces_; }
  TRgba SheetFillColour() const { return fill_; }
  bool TransparentSheet() const { return transparent_; }
  const std::string& BadgesFolder() const { return badges_folder_; }
  const std::string& LayoutFolder() const { return layout_folder_; }

 private:
  TPicture LoadPicture(const std::string& folder, const std::string& file_name) const;

  std::string badges_folder_;
  std::string layout_folder_;
  std::vector<TPicture> images_;
  std::vector<std::string> badge_names_;
  std::array<TPicture, 8> pieces_;
  TRgba fill_{255, 0, 255, 255};
  bool transparent_ = false;
};

}  // namespace medalor
