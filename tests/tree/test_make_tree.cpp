// The tree manager: filing finds into the folder tree, find-or-add, deletion and collection.
#include <gtest/gtest.h>

#include "TreeSupport.h"

using treetest::Child;
using treetest::ChildTexts;
using treetest::Entries;
using treetest::Tree;
using treetest::U;

namespace {

void File(Tree& t, uint8_t category, const std::string& name, const std::string& id, const std::string& handle) {
  t.mgr.HandleFound(nullptr, TIDData{id, handle}, TForumData{category, name});
}

std::string Images(const TTreeNode* node) {
  return node ? std::to_string(node->ImageIndex()) + "/" + std::to_string(node->SelectedIndex()) : "none";
}

}  // namespace

TEST(TreeMgrFiling, EveryCategoryLandsInItsFolderWithItsImages) {
  Tree t;
  TTreeNode* file = t.mgr.FindOrAddChild(t.root, "/logs/a.log");
  t.mgr.FileNode = file;
  File(t, fcForum, "FGOLF", "AAA00001", "one");
  File(t, fcLibrary, "FGOLF", "AAA00002", "two");
  File(t, fcConference, "FGOLF", "AAA00003", "three");
  File(t, fcRealTime, "FGOLF", "AAA00004", "four");
  File(t, fcPatio, "QMR00001", "AAA00005", "five");
  File(t, fcPatioConference, "QMR00001", "AAA00006", "six");
  File(t, fcPatioGuest, "QMR00001", "AAA00007", "seven");
  File(t, fcCBSimulator, "Band A", "AAA00008", "eight");
  File(t, fcReceivedMail, U("受信簿"), "AAA00009", "nine");
  File(t, fcSentMail, "ignored", "AAA00010", "ten");
  File(t, fcNone, "", "AAA00011", "dropped");
  File(t, 11, "FGOLF", "AAA00012", "dropped");

  EXPECT_EQ(ChildTexts(file), (std::vector<std::string>{"PATIO(QMR00001)", U("ＣＢシミュレータ"), U("フォーラム(FGOLF)"),
                                                        U("電子メール")}));
  TTreeNode* forum = Child(file, U("フォーラム(FGOLF)"));
  TTreeNode* patio = Child(file, "PATIO(QMR00001)");
  TTreeNode* cb = Child(file, U("ＣＢシミュレータ"));
  TTreeNode* mail = Child(file, U("電子メール"));
  for (TTreeNode* category : {forum, patio, cb, mail}) EXPECT_EQ(Images(category), "10/11");
  EXPECT_EQ(Entries(forum), std::vector<std::string>{"AAA00001=one"});
  EXPECT_EQ(Entries(Child(forum, U("ライブラリ"))), std::vector<std::string>{"AAA00002=two"});
  EXPECT_EQ(Entries(Child(forum, U("会議室"))), std::vector<std::string>{"AAA00003=three"});
  EXPECT_EQ(Entries(Child(forum, U("ＲＴ会議"))), std::vector<std::string>{"AAA00004=four"});
  EXPECT_EQ(Entries(patio), std::vector<std::string>{"AAA00005=five"});
  EXPECT_EQ(Entries(Child(patio, U("会議室"))), std::vector<std::string>{"AAA00006=six"});
  EXPECT_EQ(Entries(Child(patio, "GUEST")), std::vector<std::string>{"AAA00007=seven"});
  EXPECT_EQ(Entries(Child(cb, "Band A")), std::vector<std::string>{"AAA00008=eight"});
  EXPECT_EQ(Entries(Child(mail, U("受信メール"))), std::vector<std::string>{"AAA00009=nine"});
  EXPECT_EQ(Entries(Child(mail, U("送信メール"))), std::vector<std::string>{"AAA00010=ten"});
  for (TTreeNode* room : {Child(forum, U("ライブラリ")), Child(patio, "GUEST"), Child(cb, "Band A"),
                          Child(mail, U("送信メール"))})
    EXPECT_EQ(Images(room), "0/1");
  // The file node, the category nodes of rooms and the root get nothing.
  EXPECT_TRUE(Entries(file).empty());
  EXPECT_TRUE(Entries(cb).empty());
  EXPECT_TRUE(Entries(mail).empty());
  EXPECT_TRUE(Entries(t.root).empty());
}

TEST(TreeMgrFiling, OneEntryPerIDAndRoomWithEveryHandleSeen) {
  Tree t;
  TTreeNode* file = t.mgr.FindOrAddChild(t.root, "/logs/a.log");
  t.mgr.FileNode = file;
  File(t, fcConference, "FGOLF", "ABC12345", "ABC12345");  // the ID where a handle should be
  File(t, fcConference, "FGOLF", "ABC12345", "Taro");
  File(t, fcConference, "FGOLF", "ABC12345", "taro");      // the same handle in another case
  File(t, fcConference, "FGOLF", "ABC12345", "Jiro");
  File(t, fcLibrary, "FGOLF", "ABC12345", "Taro");
  TTreeNode* forum = Child(file, U("フォーラム(FGOLF)"));
  TTreeNode* room = Child(forum, U("会議室"));
  ASSERT_EQ(room->IDSet()->Count(), 1);
  const TminiIDDataSet* record = room->IDSet()->Objects(0);
  EXPECT_EQ(record->Handle, "Taro");
  EXPECT_EQ(record->Handles, (std::vector<std::string>{"ABC12345", "Taro", "Jiro"}));
  EXPECT_EQ(Entries(Child(forum, U("ライブラリ"))), std::vector<std::string>{"ABC12345=Taro"});
  EXPECT_TRUE(Entries(forum).empty());
}

TEST(TreeMgrFiling, CBWithoutBandAndRenamedOrDeletedFolders) {
  Tree t;
  TTreeNode* file = t.mgr.FindOrAddChild(t.root, "/logs/a.log");
  t.mgr.FileNode = file;
  File(t, fcCBSimulator, "", "CBB00001", "x");
  TTreeNode* cb = Child(file, U("ＣＢシミュレータ"));
  ASSERT_EQ(cb->Count(), 1);
  EXPECT_EQ(cb->Item(0)->Text(), "");
  EXPECT_EQ(Entries(cb->Item(0)), std::vector<std::string>{"CBB00001=x"});

  // A folder renamed by the user no longer takes the finds of its old name; a deleted one is
  // made again.
  TTreeNode* band = cb->Item(0);
  band->SetText("mine");
  File(t, fcCBSimulator, "", "CBB00002", "y");
  EXPECT_EQ(Entries(band), std::vector<std::string>{"CBB00001=x"});
  EXPECT_EQ(Entries(Child(cb, "")), std::vector<std::string>{"CBB00002=y"});
  t.mgr.DeleteNode(Child(cb, ""));
  File(t, fcCBSimulator, "", "CBB00003", "z");
  EXPECT_EQ(Entries(Child(cb, "")), std::vector<std::string>{"CBB00003=z"});
  // Images changed meanwhile are set again by the next find.
  cb->SetImages(4, 5);
  Child(cb, "")->SetImages(4, 5);
  File(t, fcCBSimulator, "", "CBB00003", "z");
  EXPECT_EQ(cb->ImageIndex(), 10);
  EXPECT_EQ(Child(cb, "")->SelectedIndex(), 1);
  // A folder moved elsewhere no longer takes them either.
  TTreeNode* moved = Child(cb, "");
  t.nodes.Move(moved, t.root);
  File(t, fcCBSimulator, "", "CBB00004", "w");
  EXPECT_EQ(Entries(moved), std::vector<std::string>{"CBB00003=z"});
  EXPECT_EQ(Entries(Child(cb, "")), std::vector<std::string>{"CBB00004=w"});
}

TEST(TreeMgrFiling, ManyScreensVisitedInTurnsEachKeepTheirFolder) {
  // Hundreds of screens, of every named kind and with names that share their beginnings, each
  // visited three times in turn (the remembered folders grow many times over meanwhile), and a
  // forum renamed between turns: every find lands in the one folder of its screen.
  Tree t;
  TTreeNode* file = t.mgr.FindOrAddChild(t.root, "/logs/many.log");
  t.mgr.FileNode = file;
  const uint8_t kinds[] = {fcForum, fcLibrary, fcConference, fcPatio, fcPatioGuest, fcCBSimulator};
  for (int turn = 0; turn < 3; ++turn) {
    if (turn == 2) Child(file, U("フォーラム(F0)"))->SetText("renamed");
    for (int n = 0; n < 150; ++n)
      for (const uint8_t kind : kinds) File(t, kind, "F" + std::to_string(n), "ABC0000" + std::to_string(turn), "h");
  }
  EXPECT_EQ(Entries(Child(file, "renamed")), (std::vector<std::string>{"ABC00000=h", "ABC00001=h"}));
  EXPECT_EQ(Entries(Child(file, U("フォーラム(F0)"))), std::vector<std::string>{"ABC00002=h"});
  EXPECT_EQ(Entries(Child(Child(file, "renamed"), U("ライブラリ"))), (std::vector<std::string>{"ABC00000=h", "ABC00001=h"}));
  EXPECT_EQ(Entries(Child(Child(file, U("フォーラム(F0)")), U("ライブラリ"))), std::vector<std::string>{"ABC00002=h"});
  for (const std::string name : {"F1", "F77", "F149"}) {
    const std::vector<std::string> all{"ABC00000=h", "ABC00001=h", "ABC00002=h"};
    EXPECT_EQ(Entries(Child(file, U("フォーラム(") + name + ")")), all) << name;
    EXPECT_EQ(Entries(Child(Child(file, U("フォーラム(") + name + ")"), U("ライブラリ"))), all) << name;
    EXPECT_EQ(Entries(Child(Child(file, U("フォーラム(") + name + ")"), U("会議室"))), all) << name;
    EXPECT_EQ(Entries(Child(file, "PATIO(" + name + ")")), all) << name;
    EXPECT_EQ(Entries(Child(Child(file, "PATIO(" + name + ")"), "GUEST")), all) << name;
    EXPECT_EQ(Entries(Child(Child(file, U("ＣＢシミュレータ")), name)), all) << name;
  }
  EXPECT_EQ(file->Count(), 150 + 150 + 1 + 1);  // forums (one renamed and made again), PATIOs, CB
}

TEST(TreeMgrFiling, NothingIsFiledWithoutAFileNode) {
  Tree t;
  File(t, fcForum, "F", "AAA00001", "x");
  EXPECT_EQ(ChildTexts(t.root), std::vector<std::string>{U("登録ID")});
  TTreeNode* file = t.mgr.FindOrAddChild(t.root, "/logs/a.log");
  t.mgr.FileNode = file;
  t.mgr.DeleteNode(file);  // the node of the scan goes: the manager forgets it
  EXPECT_EQ(t.mgr.FileNode, nullptr);
  File(t, fcForum, "F", "AAA00001", "x");
  EXPECT_EQ(ChildTexts(t.root), std::vector<std::string>{U("登録ID")});
  EXPECT_EQ(t.nodes.TotalCount(), 4);  // root, "登録ID" and two groups: nothing anywhere else
}

TEST(TreeMgrFiling, PendingEventsRunNowAndThen) {
  Tree t;
  t.mgr.FileNode = t.mgr.FindOrAddChild(t.root, "/logs/a.log");
  QDeadlineTimer until(120);
  int finds = 0;
  while (!until.hasExpired()) {
    File(t, fcForum, "F", "AAA00001", "x");
    ++finds;
  }
  // About every 20 ms: a few times in 120 ms, far fewer than once per find.
  EXPECT_GE(t.ui.events, 2);
  EXPECT_LE(t.ui.events, 13);
  EXPECT_GT(finds, t.ui.events * 10);
}

TEST(TreeMgr, FindOrAddChildComparesBytesExactly) {
  Tree t;
  TTreeNode* lower = t.mgr.FindOrAddChild(t.root, "abc");
  TTreeNode* upper = t.mgr.FindOrAddChild(t.root, "ABC");
  EXPECT_NE(lower, upper);
  EXPECT_EQ(t.mgr.FindOrAddChild(t.root, "abc"), lower);
  EXPECT_EQ(t.mgr.FindOrAddChild(t.root, "ABC"), upper);
  ASSERT_NE(upper->IDSet(), nullptr);
  EXPECT_EQ(upper->IDSet()->Count(), 0);
  EXPECT_EQ(t.root->Count(), 3);
  // Among several texts that sort as equal, each finds its own node.
  TTreeNode* mixed = t.mgr.FindOrAddChild(t.root, "Abc");
  TTreeNode* more = t.mgr.FindOrAddChild(t.root, "aBC");
  EXPECT_EQ(t.mgr.FindOrAddChild(t.root, "abc"), lower);
  EXPECT_EQ(t.mgr.FindOrAddChild(t.root, "ABC"), upper);
  EXPECT_EQ(t.mgr.FindOrAddChild(t.root, "Abc"), mixed);
  EXPECT_EQ(t.mgr.FindOrAddChild(t.root, "aBC"), more);
  EXPECT_EQ(t.root->Count(), 5);
  // A top-level lookup works the same way.
  EXPECT_EQ(t.mgr.FindOrAddChild(nullptr, "NIFTY SERVE"), t.root);
}

TEST(TreeMgr, DeleteNodeOfAGroupAndOfASubtree) {
  Tree t;
  t.mgr.DeleteNode(t.groupB);
  EXPECT_EQ(ChildTexts(t.registered), std::vector<std::string>{"(A)" + U("グループＡ")});
  TTreeNode* a = t.Folder(t.root, "a", {"AAA00001"});
  t.Folder(a, "b", {"AAA00002"});
  t.mgr.DeleteNode(a);
  EXPECT_EQ(ChildTexts(t.root), std::vector<std::string>{U("登録ID")});
  t.mgr.DeleteNode(nullptr);
}

TEST(TreeMgrCollect, DepthFirstEachSubtreeBeforeItsOwnListAndOnlyOnce) {
  Tree t;
  TTreeNode* a = t.Folder(t.root, "a", {"AAA00001=a1"});
  TTreeNode* b = t.Folder(a, "b", {"BBB00001=b1", "AAA00001=other"});
  t.Folder(b, "c", {"CCC00001=c1"});
  TTreeNode* d = t.Folder(a, "d", {"DDD00001=d1"});
  d->IDSet()->Objects(0)->AddHandle("d2");
  t.mgr.CollectData(a, a);
  EXPECT_EQ(Entries(a), (std::vector<std::string>{"AAA00001=a1", "CCC00001=c1", "BBB00001=b1", "DDD00001=d1"}));
  const TminiIDDataSet* copied = a->IDSet()->Objects(3);
  EXPECT_EQ(copied->Handles, (std::vector<std::string>{"d1", "d2"}));
  EXPECT_NE(copied, d->IDSet()->Objects(0));  // a record of its own
  t.mgr.CollectData(a, a);
  EXPECT_EQ(a->IDSet()->Count(), 4);
  // A node without descendants keeps what it has.
  t.mgr.CollectData(d, d);
  EXPECT_EQ(Entries(d), std::vector<std::string>{"DDD00001=d1"});
  // Deleted (blank) entries are not copied.
  b->IDSet()->Delete(0);
  TTreeNode* e = t.Folder(t.root, "e");
  t.mgr.CollectData(e, b);
  EXPECT_EQ(Entries(e), (std::vector<std::string>{"CCC00001=c1", "AAA00001=other"}));
}

TEST(TreeMgrCollect, RegisteredIDsComeFromTheStore) {
  Tree t;
  t.Register("REG00001", "Hanako", "A");
  t.Register("REG00002", "Jiro", "B");
  t.mgr.CollectData(t.registered, t.registered);
  EXPECT_EQ(Entries(t.registered), (std::vector<std::string>{"REG00001=Hanako", "REG00002=Jiro"}));
  // The root gains everything, the store's IDs through "登録ID" included.
  TTreeNode* file = t.Folder(t.root, "/logs/a.log");
  t.Folder(file, "room", {"LOG00001=x", "REG00001=seen"});
  t.mgr.CollectData(t.root, t.root);
  EXPECT_EQ(Entries(t.root), (std::vector<std::string>{"LOG00001=x", "REG00001=seen", "REG00002=Jiro"}));
  // Without a store the registered node yields nothing.
  t.mgr.PickData = nullptr;
  TTreeNode* f = t.Folder(t.root, "f");
  t.mgr.CollectData(f, t.registered);
  EXPECT_TRUE(Entries(f).empty());
}

TEST(TreeMgr, DestructionDeletesTheWholeTree) {
  TTreeNodes nodes;
  {
    TTreeMgr mgr(&nodes);
    TTreeNode* root = mgr.FindOrAddChild(nullptr, "NIFTY SERVE");
    mgr.FindOrAddChild(mgr.FindOrAddChild(root, "a"), "b");
  }
  EXPECT_EQ(nodes.TopCount(), 0);
}
