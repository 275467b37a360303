#include "setup/controls/shell_tree_view.h"

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>

#include "common/qt_test_app.h"
#include "common/scoped_env.h"
#include "platform/files.h"

namespace setup_controls {
namespace {

class ShellTreeViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    root_ = folder_.Path();
    std::filesystem::create_directories(root_ / "c" / "Games" / "Tool" / "Data");
    std::filesystem::create_directories(root_ / "c" / "Apps");
    std::filesystem::create_directories(root_ / "d");
    std::ofstream(root_ / "c" / "Games" / "readme.txt") << "x";
    std::ofstream(root_ / "drives") << "C: fixed " << (root_ / "c").string() << "\n"
                                    << "D: cdrom " << (root_ / "d").string() << "\n";
    setenv("SETUP_ROOT", root_.c_str(), 1);
  }
  setupkit_test::TempFolder folder_{"tree-test"};
  std::filesystem::path root_;
};

TEST_F(ShellTreeViewTest, TopOfTreeIsDesktopDocumentsComputerAndDrives) {
  TSE_ShellTreeView tree;
  std::vector<QTreeWidgetItem*> nodes = tree.NodeList();
  ASSERT_GE(nodes.size(), 5u);
  EXPECT_EQ(nodes[0]->text(0), "Desktop");
  EXPECT_EQ(nodes[1]->text(0), "Documents");
  EXPECT_EQ(nodes[2]->text(0), "Computer");
  EXPECT_EQ(TSE_ShellTreeView::NodePath(nodes[2]), "");  // no file-system folder
  EXPECT_EQ(TSE_ShellTreeView::NodePath(nodes[3]), "C:\\");
  EXPECT_EQ(TSE_ShellTreeView::NodePath(nodes[4]), "D:\\");
  EXPECT_EQ(nodes[4]->text(0), "CD Drive (D:)");
}

TEST_F(ShellTreeViewTest, FoldersAreReadWhenNeededAndSelectedByPath) {
  TSE_ShellTreeView tree;
  const size_t before = tree.NodeList().size();
  ASSERT_TRUE(tree.SelectPath("c:\\GAMES\\tool\\"));  // case ignored, trailing backslash allowed
  EXPECT_EQ(tree.SelectedPath(), "C:\\Games\\Tool");
  EXPECT_GT(tree.NodeList().size(), before);
  // Files are not listed, only folders.
  for (QTreeWidgetItem* node : tree.NodeList()) EXPECT_NE(node->text(0), "readme.txt");
  EXPECT_FALSE(tree.SelectPath("C:\\Games\\Missing"));
  EXPECT_FALSE(tree.SelectPath("Q:\\"));
}

TEST_F(ShellTreeViewTest, CustomColourWritersSetTheirOptions) {
  TSE_ShellTreeView tree;
  EXPECT_EQ(tree.CustomOptions(), 0u);
  tree.SetCustomSelCol(0x0000FF);
  EXPECT_TRUE(tree.HasOption(TCustomOption::stvSelCol));
  EXPECT_FALSE(tree.HasOption(TCustomOption::stvFontCol));
  tree.SetCustomFontCol(0x00FF00);
  tree.SetCustomSelFontCol(0xFF0000);
  EXPECT_TRUE(tree.HasOption(TCustomOption::stvFontCol));
  EXPECT_TRUE(tree.HasOption(TCustomOption::stvSelFontCol));
}

TEST_F(ShellTreeViewTest, SelectedRowIsPaintedInTheCustomColourToTheRightEdgeWithoutFocus) {
  TSE_ShellTreeView tree;
  tree.AttachItemDrawing();
  tree.SetCustomSelCol(0x0000FF);  // red
  tree.resize(300, 200);
  tree.show();
  ASSERT_TRUE(tree.SelectPath("C:\\Apps"));
  tree.clearFocus();
  QImage image = tree.grab().toImage();
  QRect row = tree.visualItemRect(tree.currentItem());
  const int y = row.center().y() + tree.viewport()->y();
  const int right = tree.viewport()->x() + tree.viewport()->width() - 3;
  EXPECT_EQ(QColor(image.pixel(right, y)), QColor(255, 0, 0));
  // Left of the text (the branch area) stays unselected.
  EXPECT_NE(QColor(image.pixel(tree.viewport()->x() + 2, y)), QColor(255, 0, 0));
}

}  // namespace
}  // namespace setup_controls
