#include "setup/controls/shell_tree_view.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <algorithm>

#include "platform/ascii_case.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text_encoding.h"
#include "setup/controls/colour.h"

namespace setup_controls {

namespace {

QString FromCp1252(const std::string& text) {
  return QString::fromStdU16String(platform::Cp1252ToUtf16(text));
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

QString DriveLabel(const platform::Drive& drive) {
  QString letter = QString(QChar(drive.letter)) + ":";
  switch (drive.type) {
    case platform::DriveType::kCdRom:
      return QString("CD Drive (%1)").arg(letter);
    case platform::DriveType::kRemovable:
      return QString("Removable Disk (%1)").arg(letter);
    case platform::DriveType::kRemote:
      return QString("Network Drive (%1)").arg(letter);
    case platform::DriveType::kRamDisk:
      return QString("RAM Disk (%1)").arg(letter);
    default:
      return QString("Local Disk (%1)").arg(letter);
  }
}

TSE_ShellTreeView::IconKind DriveIconKind(platform::DriveType type) {
  using K = TSE_ShellTreeView::IconKind;
  switch (type) {
    case platform::DriveType::kCdRom:
      return K::kCdDrive;
    case platform::DriveType::kRemovable:
      return K::kRemovableDrive;
    case platform::DriveType::kRemote:
      return K::kRemoteDrive;
    default:
      return K::kFixedDrive;
  }
}

QIcon IconFor(TSE_ShellTreeView::IconKind kind, bool expanded) {
  QStyle* style = QApplication::style();
  using K = TSE_ShellTreeView::IconKind;
  switch (kind) {
    case K::kDesktop:
      return style->standardIcon(QStyle::SP_DesktopIcon);
    case K::kComputer:
      return style->standardIcon(QStyle::SP_ComputerIcon);
    case K::kFixedDrive:
      return style->standardIcon(QStyle::SP_DriveHDIcon);
    case K::kCdDrive:
      return style->standardIcon(QStyle::SP_DriveCDIcon);
    case K::kRemovableDrive:
      return style->standardIcon(QStyle::SP_DriveFDIcon);
    case K::kRemoteDrive:
      return style->standardIcon(QStyle::SP_DriveNetIcon);
    case K::kDocuments:
    case K::kFolder:
      break;
  }
  return style->standardIcon(expanded ? QStyle::SP_DirOpenIcon : QStyle::SP_DirClosedIcon);
}

}  // namespace

ShellTreeItemDelegate::ShellTreeItemDelegate(TSE_ShellTreeView* tree)
    : QStyledItemDelegate(tree), tree_(tree) {}

QSize ShellTreeItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  size.setHeight(std::max(size.height(), 19));
  return size;
}

void ShellTreeItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
  const bool selected = option.state & QStyle::State_Selected;
  // The text rectangle starts after the icon and reaches the right edge of the row.
  QRect r = option.rect;
  r.setLeft(option.rect.left() + 20);
  r.setRight(std::max(option.rect.right(), tree_->viewport()->width() - 1));
  const QPalette& pal = option.palette;
  // The selection stays visible without focus: always the active group's colours.
  QColor brush = selected ? pal.color(QPalette::Active, QPalette::Highlight)
                          : pal.color(QPalette::Active, QPalette::Base);
  QColor text = selected ? pal.color(QPalette::Active, QPalette::HighlightedText)
                         : pal.color(QPalette::Active, QPalette::Text);
  if (selected) {
    if (tree_->HasOption(TCustomOption::stvSelFontCol))
      text = ColourFromBgr(tree_->CustomSelFontCol());
    if (tree_->HasOption(TCustomOption::stvSelCol)) brush = ColourFromBgr(tree_->CustomSelCol());
  } else if (tree_->HasOption(TCustomOption::stvFontCol)) {
    text = ColourFromBgr(tree_->CustomFontCol());
  }
  painter->save();
  painter->fillRect(r, brush);
  painter->setPen(text);
  painter->setFont(option.font);
  painter->drawText(r.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    index.data(Qt::DisplayRole).toString());
  auto kind = static_cast<TSE_ShellTreeView::IconKind>(
      index.data(TSE_ShellTreeView::kIconKindRole).toInt());
  const bool expanded = tree_->isExpanded(index);
  QIcon icon = IconFor(kind, expanded);
  icon.paint(painter, QRect(r.left() - 18, r.top() + (r.height() - 16) / 2, 16, 16));
  painter->restore();
}

TSE_ShellTreeView::TSE_ShellTreeView(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setRootIsDecorated(true);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  // Only the item drawing paints a selection: from the text to the row's right edge.
  setStyleSheet("QTreeView { show-decoration-selected: 0; }");
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
    LoadChildren(item);
    viewport()->update();
  });
  connect(this, &QTreeWidget::itemCollapsed, this,
          [this](QTreeWidgetItem*) { viewport()->update(); });
  Refresh();
}

void TSE_ShellTreeView::SetCustomSelFontCol(uint32_t colour) {
  custom_sel_font_col_ = colour;
  custom_options_ |= static_cast<unsigned>(TCustomOption::stvSelFontCol);
}

void TSE_ShellTreeView::SetCustomFontCol(uint32_t colour) {
  custom_font_col_ = colour;
  custom_options_ |= static_cast<unsigned>(TCustomOption::stvFontCol);
}

void TSE_ShellTreeView::SetCustomSelCol(uint32_t colour) {
  custom_sel_col_ = colour;
  custom_options_ |= static_cast<unsigned>(TCustomOption::stvSelCol);
}

void TSE_ShellTreeView::AttachItemDrawing() { setItemDelegate(new ShellTreeItemDelegate(this)); }

QTreeWidgetItem* TSE_ShellTreeView::AddNode(QTreeWidgetItem* parent, const QString& text,
                                            const std::string& path, IconKind kind) {
  auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
  item->setText(0, text);
  item->setData(0, kPathRole, FromCp1252(path));
  item->setData(0, kIconKindRole, static_cast<int>(kind));
  item->setData(0, kLoadedRole, false);
  item->setIcon(0, IconFor(kind, false));
  item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  return item;
}

void TSE_ShellTreeView::Refresh() {
  clear();
  std::string desktop_path = platform::GetShellFolder(platform::ShellFolder::kDesktop);
  QTreeWidgetItem* desktop = AddNode(nullptr, "Desktop", desktop_path, IconKind::kDesktop);
  desktop->setData(0, kLoadedRole, true);
  AddNode(desktop, "Documents", platform::GetShellFolder(platform::ShellFolder::kPersonal),
          IconKind::kDocuments);
  computer_ = AddNode(desktop, "Computer", "", IconKind::kComputer);
  computer_->setData(0, kLoadedRole, true);
  for (const platform::Drive& drive : platform::Drives()) {
    std::string root = std::string(1, drive.letter) + ":\\";
    AddNode(computer_, DriveLabel(drive), root, DriveIconKind(drive.type));
  }
  computer_->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
  desktop->setExpanded(true);
}

void TSE_ShellTreeView::LoadChildren(QTreeWidgetItem* item) {
  if (!item || item->data(0, kLoadedRole).toBool()) return;
  item->setData(0, kLoadedRole, true);
  std::string path = NodePath(item);
  if (!path.empty()) {
    for (const platform::FindData& found : platform::FindFiles(path, "*")) {
      if (!(found.attributes & platform::kFileAttributeDirectory) || found.is_symlink) continue;
      if (!found.name.empty() && found.name[0] == '.') continue;
      AddNode(item, FromCp1252(found.name), JoinPath(path, found.name), IconKind::kFolder);
    }
  }
  item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void TSE_ShellTreeView::ExpandNode(QTreeWidgetItem* item) {
  if (!item) return;
  LoadChildren(item);
  item->setExpanded(true);
}

std::vector<QTreeWidgetItem*> TSE_ShellTreeView::NodeList() const {
  std::vector<QTreeWidgetItem*> nodes;
  std::vector<QTreeWidgetItem*> stack;
  for (int i = topLevelItemCount() - 1; i >= 0; --i) stack.push_back(topLevelItem(i));
  while (!stack.empty()) {
    QTreeWidgetItem* item = stack.back();
    stack.pop_back();
    nodes.push_back(item);
    for (int i = item->childCount() - 1; i >= 0; --i) stack.push_back(item->child(i));
  }
  return nodes;
}

std::string TSE_ShellTreeView::NodePath(const QTreeWidgetItem* item) {
  if (!item) return {};
  return platform::Utf16ToCp1252(item->data(0, kPathRole).toString().toStdU16String());
}

bool TSE_ShellTreeView::IsFirstChild(const QTreeWidgetItem* item) {
  if (!item) return false;
  const QTreeWidgetItem* parent = item->parent();
  if (!parent) return true;
  return parent->indexOfChild(const_cast<QTreeWidgetItem*>(item)) == 0;
}

QTreeWidgetItem* TSE_ShellTreeView::FindChildByPath(QTreeWidgetItem* parent,
                                                    const std::string& path) {
  LoadChildren(parent);
  std::string wanted = platform::AsciiLower(path);
  while (wanted.size() > 3 && wanted.back() == '\\') wanted.pop_back();
  for (int i = 0; i < parent->childCount(); ++i) {
    std::string candidate = platform::AsciiLower(NodePath(parent->child(i)));
    while (candidate.size() > 3 && candidate.back() == '\\') candidate.pop_back();
    if (candidate == wanted) return parent->child(i);
  }
  return nullptr;
}

bool TSE_ShellTreeView::SelectPath(const std::string& path) {
  if (path.size() < 3 || path[1] != ':' || !computer_) return false;
  std::string root = path.substr(0, 3);
  root[0] = platform::AsciiUpperChar(root[0]);
  QTreeWidgetItem* node = FindChildByPath(computer_, root);
  if (!node) return false;
  std::string current = root;
  std::string rest = path.substr(3);
  while (!rest.empty()) {
    size_t cut = rest.find('\\');
    std::string part = rest.substr(0, cut);
    rest = cut == std::string::npos ? std::string() : rest.substr(cut + 1);
    if (part.empty()) continue;
    current = JoinPath(current, part);
    ExpandNode(node);
    node = FindChildByPath(node, current);
    if (!node) return false;
  }
  for (QTreeWidgetItem* up = node->parent(); up; up = up->parent()) up->setExpanded(true);
  setCurrentItem(node);
  scrollToItem(node);
  return true;
}

std::string TSE_ShellTreeView::SelectedPath() const { return NodePath(currentItem()); }

}  // namespace setup_controls
