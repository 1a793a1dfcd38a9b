#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "core/Ports.h"
#include "shell/TreeView.h"

namespace {

using shell::TreeView;

TEST(TreeView, NodesAreFoundByKeyInInsertionOrder) {
    TreeView tree;
    tree.AddNode("STUD0", "Happy Beauty", 3);
    tree.AddNode("MAIR5", "Soft Honey", 45);
    tree.AddNode("STUD2", "Tricky Jack", 1);
    EXPECT_EQ(tree.Count(), 3);
    EXPECT_EQ(tree.KeyAt(1), "MAIR5");
    EXPECT_EQ(tree.TextOf("MAIR5"), "Soft Honey");
    EXPECT_EQ(tree.ImageOf("MAIR5"), 45);
    tree.RemoveNode("MAIR5");
    tree.RemoveNode("MAIR99");  // not there: nothing happens
    EXPECT_FALSE(tree.HasNode("MAIR5"));
    EXPECT_EQ(tree.KeyAt(1), "STUD2");
    // Adding a key again renews its node instead of making a second one.
    tree.AddNode("STUD0", "Renamed", 4);
    EXPECT_EQ(tree.Count(), 2);
    EXPECT_EQ(tree.TextOf("STUD0"), "Renamed");
    tree.Clear();
    EXPECT_EQ(tree.Count(), 0);
    EXPECT_FALSE(tree.HasNode("STUD0"));
}

TEST(TreeView, FocusMakesAnItemCurrentButSelectsNothing) {
    TreeView tree;
    tree.AddNode("K101", "Horse Mask No.1", 1);
    tree.AddNode("K102", "Horse Mask No.2", 2);
    tree.show();
    tree.setFocus();
    QTest::qWait(1);
    tree.setCurrentItem(tree.topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
    EXPECT_NE(tree.currentItem(), nullptr);
    EXPECT_FALSE(core::HasSelectedNode(tree));
    EXPECT_EQ(tree.SelectedKey(), "");
}

TEST(TreeView, AClickSelectsAndRaisesNodeClick) {
    TreeView tree;
    tree.AddNode("STUD0", "Happy Beauty", 3);
    tree.AddNode("MAIR1", "Soft Honey", 4);
    QSignalSpy clicks(&tree, &TreeView::NodeClick);
    tree.resize(200, 100);
    tree.show();
    const QRect row = tree.visualItemRect(tree.topLevelItem(1));
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, row.center());
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks[0][0].value<std::string>(), "MAIR1");
    EXPECT_TRUE(core::HasSelectedNode(tree));
    EXPECT_EQ(tree.SelectedKey(), "MAIR1");
    tree.RemoveNode("MAIR1");
    EXPECT_FALSE(core::HasSelectedNode(tree));
}

TEST(TreeView, AnEmptyKeyIsNoSelection) {
    TreeView tree;
    tree.AddNode("", "nameless", 1);
    tree.SelectNode("");
    EXPECT_FALSE(core::HasSelectedNode(tree));
}

}  // namespace
