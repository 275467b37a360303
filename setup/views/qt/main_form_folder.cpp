// The install-folder page of the wizard window: the edit and the folder tree kept in step; the
// folder's checks are the session's.
#include <QTreeWidgetItem>
#include <cctype>

#include "platform/files.h"
#include "platform/text_encoding.h"
#include "setup/controls/shell_tree_view.h"
#include "setup/core/text_services.h"
#include "setup/views/qt/main_form.h"

namespace setup_wizard {

namespace {

std::string EditText(const QLineEdit* edit) {
  return platform::Utf16ToCp1252(edit->text().toStdU16String());
}

std::string ComparisonForm(const std::string& path) {
  return AsciiLower(IncludeTrailingBackslash(path));
}

}  // namespace

void TFrmMain::InstallDirEditChange() {
  if (install_dir_edit_) port_.EditFolder(EditText(install_dir_edit_));
}

void TFrmMain::FolderChecked(const std::string& text) {
  if (folder_tree_ && !tree_syncing_) SyncTreeToPath(text, true);
}

void TFrmMain::ShellTreeViewChange() {
  // Moving the tree to the edit's path must never rewrite what the user typed.
  if (tree_syncing_) return;
  if (!install_dir_edit_ || !folder_tree_) return;
  if (port_.CurrentKind() != PageKind::InstallDir) return;
  const std::string path = folder_tree_->SelectedPath();
  if (path.size() < 3 || !setup_session::UsableDrive(path)) return;
  install_dir_edit_->setText(QString::fromStdU16String(platform::Cp1252ToUtf16(path)));
}

void TFrmMain::SyncTreeToPath(const std::string& path, bool expand) {
  if (!folder_tree_) return;
  tree_syncing_ = true;
  std::string p = path;
  if (!p.empty() && p.back() == '\\') p.pop_back();
  while (!platform::DirectoryExists(p) && !p.empty() && p.size() >= 3) {
    size_t cut = p.find_last_of('\\');
    p = cut == std::string::npos ? std::string() : p.substr(0, cut);
  }
  if (!platform::DirectoryExists(p)) {
    tree_syncing_ = false;
    return;
  }
  p = IncludeTrailingBackslash(p);
  folder_tree_->SelectPath(p);
  if (!expand) {
    tree_syncing_ = false;
    return;
  }
  folder_tree_->setUpdatesEnabled(false);
  std::vector<QTreeWidgetItem*> nodes = folder_tree_->NodeList();
  QTreeWidgetItem* s = nodes.size() > 2 ? nodes[2] : nullptr;
  if (s) {
    folder_tree_->ExpandNode(s);
    std::string rest = p;
    std::string accumulated;
    while (!rest.empty()) {
      size_t cut = rest.find('\\');
      std::string element = cut == std::string::npos ? rest : rest.substr(0, cut + 1);
      rest = cut == std::string::npos ? std::string() : rest.substr(cut + 1);
      accumulated += element;
      QTreeWidgetItem* n = FindTreeNode(accumulated);
      if (n) folder_tree_->ExpandNode(n);
      if (!n || setup_controls::TSE_ShellTreeView::IsFirstChild(n)) break;
    }
  }
  QTreeWidgetItem* n = FindTreeNode(path);
  if (n && platform::DirectoryExists(path)) folder_tree_->setCurrentItem(n);
  folder_tree_->setUpdatesEnabled(true);
  tree_syncing_ = false;
}

QTreeWidgetItem* TFrmMain::FindTreeNode(const std::string& path) const {
  if (!folder_tree_) return nullptr;
  const std::string wanted = ComparisonForm(path);
  for (QTreeWidgetItem* node : folder_tree_->NodeList()) {
    std::string node_path = setup_controls::TSE_ShellTreeView::NodePath(node);
    if (!node_path.empty() && ComparisonForm(node_path) == wanted) return node;
  }
  return nullptr;
}

}  // namespace setup_wizard
