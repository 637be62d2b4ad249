#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/Cp932.h"
#include "tree/TreeNodes.h"

using quillet::FromUtf8;

namespace {

// A minimal item model over the tree, driven only by the observer calls: if they are wrong,
// Qt's model tester or the persistent indexes notice.
class TreeModel : public QAbstractItemModel, public TTreeObserver {
 public:
  explicit TreeModel(TTreeNodes& nodes) : nodes_(nodes) { nodes_.AddObserver(this); }
  ~TreeModel() override { nodes_.RemoveObserver(this); }

  static TTreeNode* NodeOf(const QModelIndex& index) {
    return index.isValid() ? static_cast<TTreeNode*>(index.internalPointer()) : nullptr;
  }
  QModelIndex IndexOf(TTreeNode* node) const { return node ? createIndex(node->Index(), 0, node) : QModelIndex(); }

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override {
    if (column != 0 || row < 0 || row >= rowCount(parent)) return {};
    TTreeNode* p = NodeOf(parent);
    return createIndex(row, 0, p ? p->Item(row) : nodes_.Top(row));
  }
  QModelIndex parent(const QModelIndex& child) const override {
    TTreeNode* node = NodeOf(child);
    return node ? IndexOf(node->Parent()) : QModelIndex();
  }
  int rowCount(const QModelIndex& parent = {}) const override {
    if (parent.column() > 0) return 0;
    TTreeNode* p = NodeOf(parent);
    return p ? p->Count() : nodes_.TopCount();
  }
  int columnCount(const QModelIndex& = {}) const override { return 1; }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    return QString::fromStdString(quillet::ToUtf8(NodeOf(index)->Text()));
  }

  void BeforeInsert(TTreeNode* parent, int row) override { beginInsertRows(IndexOf(parent), row, row); }
  void AfterInsert(TTreeNode*) override { endInsertRows(); }
  void BeforeRemove(TTreeNode* node) override {
    beginRemoveRows(IndexOf(node->Parent()), node->Index(), node->Index());
  }
  void AfterRemove(TTreeNode*, int) override { endRemoveRows(); }
  void BeforeMove(TTreeNode* node, TTreeNode* newParent, int newRow) override {
    const int row = node->Index();
    moveAccepted = beginMoveRows(IndexOf(node->Parent()), row, row, IndexOf(newParent), newRow);
    if (!moveAccepted) ++rejectedMoves;
  }
  void AfterMove(TTreeNode*) override {
    if (moveAccepted) endMoveRows();
  }
  void Changed(TTreeNode* node) override {
    const QModelIndex i = IndexOf(node);
    emit dataChanged(i, i);
  }

  int rejectedMoves = 0;

 private:
  TTreeNodes& nodes_;
  bool moveAccepted = false;
};

// Records every notification as text, with the rows as the observer sees them at that moment.
class Recorder : public TTreeObserver {
 public:
  void BeforeInsert(TTreeNode* parent, int row) override { Log("+?", parent, row); }
  void AfterInsert(TTreeNode* node) override { Log("+" + node->Text(), node->Parent(), node->Index()); }
  void BeforeRemove(TTreeNode* node) override { Log("-?" + node->Text(), node->Parent(), node->Index()); }
  void AfterRemove(TTreeNode* parent, int row) override { Log("-", parent, row); }
  void BeforeMove(TTreeNode* node, TTreeNode* newParent, int newRow) override {
    Log(">?" + node->Text(), newParent, newRow);
  }
  void AfterMove(TTreeNode* node) override { Log(">" + node->Text(), node->Parent(), node->Index()); }
  void Changed(TTreeNode* node) override { Log("~" + node->Text(), node->Parent(), node->Index()); }
  std::vector<std::string> log;

 private:
  void Log(const std::string& what, TTreeNode* parent, int row) {
    log.push_back(what + "@" + (parent ? parent->Text() : std::string("top")) + ":" + std::to_string(row));
  }
};

std::vector<std::string> ChildTexts(const TTreeNode* parent) {
  std::vector<std::string> texts;
  for (int i = 0; i < parent->Count(); ++i) texts.push_back(parent->Item(i)->Text());
  return texts;
}

// Every parent link, every order and every row of the tree.
void CheckTree(const TTreeNodes& nodes) {
  std::vector<std::pair<const TTreeNode*, int>> pending;
  for (int i = 0; i < nodes.TopCount(); ++i) {
    ASSERT_EQ(nodes.Top(i)->Parent(), nullptr);
    ASSERT_EQ(nodes.Top(i)->Index(), i);
    if (i > 0) {
      ASSERT_LE(TTreeNodes::CompareTexts(nodes.Top(i - 1)->Text(), nodes.Top(i)->Text()), 0);
    }
    pending.emplace_back(nodes.Top(i), 0);
  }
  while (!pending.empty()) {
    const auto [node, level] = pending.back();
    pending.pop_back();
    ASSERT_EQ(node->Level(), level);
    for (int i = 0; i < node->Count(); ++i) {
      ASSERT_EQ(node->Item(i)->Parent(), node);
      ASSERT_EQ(node->Item(i)->Index(), i);
      if (i > 0) {
        ASSERT_LE(TTreeNodes::CompareTexts(node->Item(i - 1)->Text(), node->Item(i)->Text()), 0);
      }
      pending.emplace_back(node->Item(i), level + 1);
    }
  }
}

}  // namespace

TEST(TreeNodes, ChildrenSortIgnoringAsciiCaseAndKeepEqualsInInsertionOrder) {
  TTreeNodes nodes;
  TTreeNode* root = nodes.AddChild(nullptr, "root");
  for (const char* t : {"b", "abc", "_x", "ABC", "B", "", "a", "Z", "aa"}) nodes.AddChild(root, t);
  // "_" (0x5F) comes before every letter; equal texts stay in the order they came.
  EXPECT_EQ(ChildTexts(root), (std::vector<std::string>{"", "_x", "a", "aa", "abc", "ABC", "b", "B", "Z"}));

  // A trail byte is no letter: ヂ (0x83 0x61) sorts after ア (0x83 0x41) whatever the order of adding.
  TTreeNode* kana = nodes.AddChild(nullptr, "kana");
  nodes.AddChild(kana, FromUtf8("ヂ"));
  nodes.AddChild(kana, FromUtf8("ア"));
  EXPECT_EQ(ChildTexts(kana), (std::vector<std::string>{FromUtf8("ア"), FromUtf8("ヂ")}));
  EXPECT_LT(TTreeNodes::CompareTexts(FromUtf8("ア"), FromUtf8("ヂ")), 0);
  EXPECT_EQ(TTreeNodes::CompareTexts("NIFTY", "nifty"), 0);
  EXPECT_LT(TTreeNodes::CompareTexts("nif", "NIFTY"), 0);

  EXPECT_EQ(nodes.GetFirstNode(), kana);  // top-level nodes sort as well
  EXPECT_EQ(nodes.TotalCount(), 13);
  CheckTree(nodes);
}

TEST(TreeNodes, NotificationsGiveTheRowsBeforeAndAfterEachChange) {
  TTreeNodes nodes;
  TTreeNode* root = nodes.AddChild(nullptr, "R");
  TTreeNode* a = nodes.AddChild(root, "a");
  TTreeNode* c = nodes.AddChild(root, "c");
  Recorder rec;
  nodes.AddObserver(&rec);

  TTreeNode* b = nodes.AddChild(root, "b");
  EXPECT_EQ(rec.log, (std::vector<std::string>{"+?@R:1", "+b@R:1"}));

  rec.log.clear();
  a->SetText("d");  // moves from row 0 to the end: the destination counts the node itself
  EXPECT_EQ(rec.log, (std::vector<std::string>{">?d@R:3", ">d@R:2", "~d@R:2"}));
  rec.log.clear();
  a->SetText("0");
  EXPECT_EQ(rec.log, (std::vector<std::string>{">?0@R:0", ">0@R:0", "~0@R:0"}));
  rec.log.clear();
  a->SetText("00");  // still first: no move
  a->SetImages(6, 7);
  a->SetImages(6, 7);  // unchanged: no notification
  EXPECT_EQ(rec.log, (std::vector<std::string>{"~00@R:0", "~00@R:0"}));

  rec.log.clear();
  TTreeNode* other = nodes.AddChild(nullptr, "S");
  nodes.Move(b, other);
  EXPECT_EQ(rec.log, (std::vector<std::string>{"+?@top:1", "+S@top:1", ">?b@S:0", ">b@S:0"}));

  rec.log.clear();
  nodes.AddChild(b, "child");
  nodes.Delete(other);
  EXPECT_EQ(rec.log, (std::vector<std::string>{"+?@b:0", "+child@b:0", "-?S@top:1", "-@top:1"}));
  EXPECT_EQ(root->Count(), 2);
  EXPECT_EQ(c->Text(), "c");  // pointers to other nodes stay good

  rec.log.clear();
  nodes.RemoveObserver(&rec);
  nodes.AddChild(root, "x");
  EXPECT_TRUE(rec.log.empty());
}

TEST(TreeNodes, DeleteAndMoveCarryWholeSubtreesWithTheirIdSets) {
  TTreeNodes nodes;
  TTreeNode* root = nodes.AddChild(nullptr, "NIFTY SERVE");
  TTreeNode* file = nodes.AddChild(root, "/logs/a.log");
  TTreeNode* forum = nodes.AddChild(file, FromUtf8("フォーラム(FGAL)"));
  TTreeNode* room = nodes.AddChild(forum, FromUtf8("会議室"));
  for (TTreeNode* n : {root, file, forum, room}) n->SetIDSet(std::make_unique<TStringListWithHash>());
  room->IDSet()->AddObject("ABC12345", std::make_unique<TminiIDDataSet>("ABC12345"));
  TTreeNode* group = nodes.AddChild(root, "(A)x");
  group->SetGroupCode('A');
  EXPECT_EQ(group->IDSet(), nullptr);

  // A node holds one data item.
  forum->SetGroupCode('B');
  EXPECT_EQ(forum->IDSet(), nullptr);
  forum->SetIDSet(std::make_unique<TStringListWithHash>());
  EXPECT_EQ(forum->GroupCode(), 0);

  TTreeNode* user = nodes.AddChild(root, "mine");
  nodes.Move(forum, user);
  EXPECT_EQ(forum->Parent(), user);
  EXPECT_EQ(room->Parent(), forum);
  EXPECT_EQ(room->Level(), 3);
  EXPECT_TRUE(room->HasAsAncestor(user));
  EXPECT_FALSE(room->HasAsAncestor(file));
  EXPECT_EQ(room->IDSet()->IndexOf("ABC12345"), 0);

  EXPECT_THROW(nodes.Move(user, room), std::invalid_argument);
  EXPECT_THROW(nodes.Move(user, user), std::invalid_argument);
  EXPECT_EQ(user->Parent(), root);

  nodes.Delete(user);  // the ID sets of the subtree go with it (the leak checker watches)
  EXPECT_EQ(nodes.TotalCount(), 3);
  nodes.Move(file, nullptr);
  EXPECT_EQ(nodes.TopCount(), 2);
  EXPECT_EQ(nodes.GetFirstNode(), file);  // "/" sorts before "N"
  nodes.Clear();
  EXPECT_EQ(nodes.TotalCount(), 0);
  EXPECT_EQ(nodes.GetFirstNode(), nullptr);
}

TEST(TreeNodes, AnItemModelFollowsRandomChangesConsistently) {
  std::vector<std::string> warnings;
  static std::vector<std::string>* sink = nullptr;
  sink = &warnings;
  const QtMessageHandler previous = qInstallMessageHandler(
      [](QtMsgType, const QMessageLogContext&, const QString& message) { sink->push_back(message.toStdString()); });

  TTreeNodes nodes;
  TreeModel model(nodes);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);

  std::mt19937 rng(7);
  std::vector<TTreeNode*> all;
  std::vector<std::pair<QPersistentModelIndex, TTreeNode*>> held;
  // Handles follow their node through renames and moves and read null once it is deleted.
  std::vector<std::pair<TNodeHandle, TTreeNode*>> handles;
  int deletedHandles = 0;
  const char* texts[] = {"a", "B", "b", "c", "_", "Z", "aa", "", "room", "Room"};
  auto pick = [&]() { return all[rng() % all.size()]; };
  auto forget = [&](TTreeNode* gone) {
    std::erase_if(all, [&](TTreeNode* n) { return n->HasAsAncestor(gone); });
    std::erase_if(held, [&](const auto& h) { return h.second->HasAsAncestor(gone); });
  };

  for (int step = 0; step < 400; ++step) {
    const unsigned op = all.empty() ? 0 : rng() % 10;
    if (op <= 4) {
      TTreeNode* parent = all.empty() || rng() % 5 == 0 ? nullptr : pick();
      // Now and then with a row hint, right or wrong: the order must come out the same.
      if (rng() % 2)
        all.push_back(nodes.AddChild(parent, texts[rng() % 10]));
      else
        all.push_back(nodes.AddChild(parent, texts[rng() % 10], static_cast<int>(rng() % 6) - 1));
      if (rng() % 3 == 0) held.emplace_back(model.IndexOf(all.back()), all.back());
      if (rng() % 2 == 0) handles.emplace_back(all.back(), all.back());
    } else if (op == 5) {
      TTreeNode* gone = pick();
      // Persistent indexes inside the removed subtree must become invalid.
      std::vector<QPersistentModelIndex> inside;
      for (const auto& [index, node] : held)
        if (node->HasAsAncestor(gone)) inside.push_back(index);
      forget(gone);
      for (auto& [handle, node] : handles)
        if (node && node->HasAsAncestor(gone)) node = nullptr;
      nodes.Delete(gone);
      for (const auto& index : inside) ASSERT_FALSE(index.isValid());
    } else if (op <= 7) {
      pick()->SetText(texts[rng() % 10]);
    } else if (op == 8) {
      TTreeNode* node = pick();
      TTreeNode* target = rng() % 4 == 0 ? nullptr : pick();
      if (!target || !target->HasAsAncestor(node)) nodes.Move(node, target);
    } else {
      pick()->SetImages(static_cast<int>(rng() % 16), static_cast<int>(rng() % 16));
    }
    CheckTree(nodes);
    for (const auto& [index, node] : held) {
      ASSERT_TRUE(index.isValid());
      ASSERT_EQ(TreeModel::NodeOf(index), node);
      ASSERT_EQ(index.row(), node->Index());
    }
    for (const auto& [handle, node] : handles) {
      ASSERT_EQ(handle.Get(), node);
      if (!node) ++deletedHandles;
    }
    ASSERT_TRUE(warnings.empty()) << "step " << step << ": " << warnings.front();
  }
  EXPECT_EQ(model.rejectedMoves, 0);
  EXPECT_GT(deletedHandles, 0);
  nodes.Clear();
  for (const auto& [handle, node] : handles) EXPECT_EQ(handle.Get(), nullptr);
  qInstallMessageHandler(previous);
}
