// TSE_ShellTreeView: the folder tree of the install-folder page. It shows the shell's view of
// the machine (Desktop, Documents, Computer with its drive letters, then folders, read when a
// node is first expanded) and paints items with its own text and selection colours.
#pragma once

#include <QTreeWidget>
#include <QStyledItemDelegate>
#include <cstdint>
#include <string>
#include <vector>

namespace setup_controls {

enum class TCustomOption { stvSelFontCol = 1, stvFontCol = 2, stvSelCol = 4 };

class TSE_ShellTreeView;

// Paints one tree item: the text rectangle stretched to the row's right edge, filled with the
// item's brush, the text at +2,+2 and the folder icon 18 pixels left of it.
class ShellTreeItemDelegate : public QStyledItemDelegate {
 public:
  explicit ShellTreeItemDelegate(TSE_ShellTreeView* tree);
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  TSE_ShellTreeView* tree_;
};

class TSE_ShellTreeView : public QTreeWidget {
  Q_OBJECT
 public:
  static constexpr int kPathRole = Qt::UserRole + 1;      // Windows path, "" for none
  static constexpr int kLoadedRole = Qt::UserRole + 2;    // children read
  static constexpr int kIconKindRole = Qt::UserRole + 3;  // see IconKind

  enum class IconKind { kFolder = 0, kDesktop, kDocuments, kComputer, kFixedDrive, kCdDrive,
                        kRemovableDrive, kRemoteDrive };

  explicit TSE_ShellTreeView(QWidget* parent = nullptr);

  uint32_t CustomSelFontCol() const { return custom_sel_font_col_; }
  uint32_t CustomFontCol() const { return custom_font_col_; }
  uint32_t CustomSelCol() const { return custom_sel_col_; }
  unsigned CustomOptions() const { return custom_options_; }
  bool HasOption(TCustomOption option) const {
    return (custom_options_ & static_cast<unsigned>(option)) != 0;
  }
  void SetCustomSelFontCol(uint32_t colour);
  void SetCustomFontCol(uint32_t colour);
  void SetCustomSelCol(uint32_t colour);

  // Attaches the custom item drawing (the control builder does this at creation).
  void AttachItemDrawing();

  // Rebuilds the top of the tree from the platform's drive table.
  void Refresh();

  // Every node in list order (depth first, as the shell tree's node list runs).
  std::vector<QTreeWidgetItem*> NodeList() const;
  // The Windows path of a node, or "" when the node is no file-system folder.
  static std::string NodePath(const QTreeWidgetItem* item);
  // Shows and selects the folder `path` (reading folders on the way); false when not found.
  bool SelectPath(const std::string& path);
  // The Windows path of the selected folder, "" when none or not a file-system folder.
  std::string SelectedPath() const;
  // Reads a node's subfolders once.
  void LoadChildren(QTreeWidgetItem* item);
  // Expands a node one level.
  void ExpandNode(QTreeWidgetItem* item);
  // Whether the node is the first child of its parent (a top-level node counts as first).
  static bool IsFirstChild(const QTreeWidgetItem* item);

 private:
  QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& text, const std::string& path,
                           IconKind kind);
  QTreeWidgetItem* FindChildByPath(QTreeWidgetItem* parent, const std::string& path);

  uint32_t custom_sel_font_col_ = 0;
  uint32_t custom_font_col_ = 0;
  uint32_t custom_sel_col_ = 0;
  unsigned custom_options_ = 0;
  QTreeWidgetItem* computer_ = nullptr;
};

}  // namespace setup_controls
