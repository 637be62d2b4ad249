#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include "app/Icons.h"
#include "app/TreeModel.h"
#include "common/Cp932.h"

namespace {

using quillet::FromUtf8;

QString Text(const TTreeModel& model, const QModelIndex& index) { return model.data(index).toString(); }

TEST(TreeModel, FollowsInsertRemoveMoveAndRename) {
  TTreeNodes nodes;
  TTreeModel model(nodes);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

  TTreeNode* root = nodes.AddChild(nullptr, "NIFTY SERVE");
  root->SetImages(6, 7);
  TTreeNode* regist = nodes.AddChild(root, FromUtf8("登録ID"));
  TTreeNode* b = nodes.AddChild(root, "b.log");
  TTreeNode* a = nodes.AddChild(root, "A.log");
  TTreeNode* room = nodes.AddChild(b, FromUtf8("会議室"));
  ASSERT_EQ(model.rowCount(), 1);
  const QModelIndex rootIndex = model.index(0, 0);
  ASSERT_EQ(model.rowCount(rootIndex), 3);
  // Children in text order, case of Latin letters ignored; the model agrees with the tree.
  EXPECT_EQ(Text(model, model.index(0, 0, rootIndex)), QStringLiteral("A.log"));
  EXPECT_EQ(Text(model, model.index(1, 0, rootIndex)), QStringLiteral("b.log"));
  EXPECT_EQ(Text(model, model.index(2, 0, rootIndex)), QStringLiteral("登録ID"));
  EXPECT_EQ(model.NodeOf(model.IndexOf(room)), room);
  EXPECT_EQ(model.parent(model.IndexOf(room)), model.IndexOf(b));

  // Renaming re-sorts; moving carries the subtree; deleting removes it.
  a->SetText("c.log");
  EXPECT_EQ(Text(model, model.index(1, 0, rootIndex)), QStringLiteral("c.log"));
  nodes.Move(b, regist);
  EXPECT_EQ(model.rowCount(model.IndexOf(regist)), 1);
  EXPECT_EQ(model.rowCount(model.IndexOf(b)), 1);
  nodes.Delete(b);
  EXPECT_EQ(model.rowCount(model.IndexOf(regist)), 0);
  nodes.Clear();
  EXPECT_EQ(model.rowCount(), 0);
}

TEST(TreeModel, IconsCarryTheSelectedImage) {
  TTreeNodes nodes;
  TTreeModel model(nodes);
  TTreeNode* node = nodes.AddChild(nullptr, "x");
  EXPECT_FALSE(model.data(model.IndexOf(node), Qt::DecorationRole).isValid());
  QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
  node->SetImages(14, 15);
  EXPECT_GE(changed.count(), 1);
  const QIcon icon = model.data(model.IndexOf(node), Qt::DecorationRole).value<QIcon>();
  EXPECT_EQ(icon.pixmap(16, 16, QIcon::Normal).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
            quillet::TreeImage(14));
  EXPECT_EQ(icon.pixmap(16, 16, QIcon::Selected).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
            quillet::TreeImage(15));
}

TEST(TreeModel, InPlaceEditingOnlyWhereAllowedAndOnlyShiftJis) {
  TTreeNodes nodes;
  TTreeModel model(nodes);
  TTreeNode* node = nodes.AddChild(nullptr, "old");
  EXPECT_FALSE(model.flags(model.IndexOf(node)) & Qt::ItemIsEditable);
  model.CanEdit = [](const TTreeNode*) { return true; };
  EXPECT_TRUE(model.flags(model.IndexOf(node)) & Qt::ItemIsEditable);
  EXPECT_TRUE(model.setData(model.IndexOf(node), QStringLiteral("新しい名前")));
  EXPECT_EQ(node->Text(), FromUtf8("新しい名前"));
  QString refused;
  model.OnUnencodableText = [&](const QString& text) { refused = text; };
  EXPECT_FALSE(model.setData(model.IndexOf(node), QStringLiteral("smile 😀")));
  EXPECT_EQ(refused, QStringLiteral("smile 😀"));
  EXPECT_EQ(node->Text(), FromUtf8("新しい名前"));
}

}  // namespace

namespace {

// Every node the model shows, depth first, against the tree itself.
void ExpectModelShowsTree(const TTreeModel& model, const TTreeNode* node, const QModelIndex& index) {
  ASSERT_EQ(model.NodeOf(index), node);
  ASSERT_EQ(model.rowCount(index), node->Count()) << node->Text();
  for (int i = 0; i < node->Count(); ++i) {
    const QModelIndex child = model.index(i, 0, index);
    ASSERT_EQ(model.parent(child), index);
    ExpectModelShowsTree(model, node->Item(i), child);
  }
}

}  // namespace

// Children added under a batched node reach the views together, in order, with what was added
// below them; a removal, a move or a look-up of a held-back node tells the batch first, so the
// views never see a model that disagrees with itself (the tester checks every signal).
TEST(TreeModel, BatchedInsertionsReachTheViewsConsistently) {
  TTreeNodes nodes;
  TTreeModel model(nodes);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  TTreeNode* root = nodes.AddChild(nullptr, "NIFTY SERVE");
  TTreeNode* m = nodes.AddChild(root, "m.log");
  nodes.AddChild(m, "room");
  const QModelIndex rootIndex = model.index(0, 0);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  QTreeView view;  // a view that lays itself out and paints as the model changes
  view.setModel(&model);
  view.expandAll();
  view.show();

  model.ShowInsertionsInBatches(root);
  TTreeNode* a = nodes.AddChild(root, "a.log");
  TTreeNode* b = nodes.AddChild(root, "b.log");
  TTreeNode* z = nodes.AddChild(root, "z.log");
  nodes.AddChild(a, "forum");
  z->SetImages(8, 9);
  EXPECT_EQ(model.rowCount(rootIndex), 1);  // held back
  EXPECT_EQ(inserted.count(), 0);
  model.AnnouncePending();
  EXPECT_EQ(inserted.count(), 2);  // a and b as one run, z as another
  ExpectModelShowsTree(model, root, rootIndex);

  // A removal while insertions are held back.
  TTreeNode* c = nodes.AddChild(root, "c.log");
  nodes.AddChild(c, "x");
  nodes.Delete(b);
  ExpectModelShowsTree(model, root, rootIndex);
  // A held-back node deleted, and one renamed (a move among its siblings).
  TTreeNode* d = nodes.AddChild(root, "d.log");
  nodes.Delete(d);
  TTreeNode* e = nodes.AddChild(root, "e.log");
  a->SetText("y.log");
  QApplication::processEvents();
  ExpectModelShowsTree(model, root, rootIndex);
  // A held-back node looked up by the window.
  TTreeNode* f = nodes.AddChild(root, "f.log");
  EXPECT_EQ(model.NodeOf(model.IndexOf(f)), f);
  ExpectModelShowsTree(model, root, rootIndex);
  // A batch goes out by itself, and ending the batching tells the rest.
  nodes.AddChild(root, "g.log");
  EXPECT_TRUE(QTest::qWaitFor([&] { return model.rowCount(rootIndex) == root->Count(); }, 2000));
  nodes.AddChild(root, "h.log");
  model.ShowInsertionsInBatches(nullptr);
  ExpectModelShowsTree(model, root, rootIndex);
  EXPECT_NE(e, nullptr);
  // Deleting the batched node itself ends the batching.
  model.ShowInsertionsInBatches(root);
  nodes.AddChild(root, "i.log");
  nodes.Delete(root);
  EXPECT_EQ(model.rowCount(), 0);
}
