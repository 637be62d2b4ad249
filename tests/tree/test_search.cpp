// Folder search and the mapping of a node between two trees.
#include <gtest/gtest.h>

#include "TreeSupport.h"
#include "analysis/jstrm.h"
#include "tree/Search.h"

using treetest::Child;
using treetest::ChildTexts;
using treetest::Entries;
using treetest::Tree;
using treetest::U;

namespace {

// The keyword as the search dialog hands it over.
std::string Keyword(const char* utf8) { return JTrim(JNormalize(U(utf8))); }

}  // namespace

TEST(SearchFolder, ResultFolderIsNamedReusedAndSelected) {
  Tree t;
  TTreeNode* room = t.Folder(t.root, U("会議室"), {"ABC00001=Taro"});
  TTreeNode* selected = nullptr;
  t.mgr.OnSelectNode = [&](TTreeNode* node) { selected = node; };
  TTreeNode* result = t.mgr.SearchFolder(room, "TARO", false);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->Text(), "\"TARO\"(in " + U("会議室") + ")");
  EXPECT_EQ(result->Parent(), room);
  EXPECT_EQ(result->ImageIndex(), 4);
  EXPECT_EQ(result->SelectedIndex(), 5);
  EXPECT_EQ(selected, result);
  EXPECT_EQ(Entries(result), std::vector<std::string>{"ABC00001=Taro"});

  // The same search again reuses the folder and adds only what is new.
  t.Folder(t.root, U("会議室"), {"ABC00002=taroimo"});
  EXPECT_EQ(t.mgr.SearchFolder(room, "TARO", false), result);
  EXPECT_EQ(Entries(result), (std::vector<std::string>{"ABC00001=Taro", "ABC00002=taroimo"}));
  EXPECT_EQ(room->Count(), 1);

  // An empty keyword finds nothing but still makes its folder.
  TTreeNode* empty = t.mgr.SearchFolder(room, "", true);
  EXPECT_EQ(empty->Text(), "\"\"(in " + U("会議室") + ")");
  EXPECT_TRUE(Entries(empty).empty());
}

TEST(SearchFolder, SubFoldersFirstInIndexOrderAndOnlyWhenAsked) {
  Tree t;
  TTreeNode* file = t.Folder(t.root, "/logs/a.log");
  TTreeNode* forum = t.Folder(file, U("フォーラム(F)"), {"FFF00001=kumo"});
  t.Folder(forum, U("会議室"), {"CCC00001=kumo", "FFF00001=other"});
  t.Folder(forum, U("ライブラリ"), {"LLL00001=kumo"});
  TTreeNode* own = t.mgr.SearchFolder(file, "KUMO", false);
  EXPECT_TRUE(Entries(own).empty());  // the file node's own list is empty
  TTreeNode* all = t.mgr.SearchFolder(file, "KUMO", true);
  EXPECT_EQ(own, all);
  // Children of the forum in index order (ライブラリ sorts before 会議室), then the forum.
  EXPECT_EQ(Entries(all), (std::vector<std::string>{"LLL00001=kumo", "CCC00001=kumo", "FFF00001=kumo"}));
}

TEST(SearchNode, RegisteredIDsByStoreHandleOrMemoOthersByShownHandle) {
  Tree t;
  t.Register("REG00001", U("ﾀﾛｳ"), "A", "", "");                     // half-width handle
  t.Register("REG00002", "Someone", "A", U("ニックネーム"), "");     // matches only by nickname
  t.Register("REG00003", "Other", "B", "", U("メモにｋｅｙあり"));  // matches by memo
  TTreeNode* room = t.Folder(t.root, "room", {"REG00001=zzz", "REG00002=zzz", "REG00003=zzz", "UNR00001=key"});
  room->IDSet()->Objects(3)->AddHandle("later");  // another handle: not searched
  TTreeNode* unr = t.Folder(t.root, "more", {"UNR00002=first"});
  unr->IDSet()->Objects(0)->AddHandle("KEY2");

  EXPECT_EQ(Entries(t.mgr.SearchFolder(room, Keyword("タロウ"), false)), std::vector<std::string>{"REG00001=zzz"});
  EXPECT_TRUE(Entries(t.mgr.SearchFolder(room, Keyword("ニックネーム"), false)).empty());
  EXPECT_EQ(Entries(t.mgr.SearchFolder(room, Keyword("ｋｅｙ"), false)),
            (std::vector<std::string>{"REG00003=zzz", "UNR00001=key"}));
  EXPECT_TRUE(Entries(t.mgr.SearchFolder(unr, Keyword("key2"), false)).empty());
  // The ID itself, as stored.
  EXPECT_EQ(Entries(t.mgr.SearchFolder(room, "UNR0", false)), std::vector<std::string>{"UNR00001=key"});
}

TEST(SearchNode, GroupsAreSearchedInTheStore) {
  Tree t;
  t.Register("GRA00001", "Yama", "A", U("やまびこ"), "");
  t.Register("GRA00002", "Kawa", "A", "", "");
  t.Register("GRB00001", U("山やま"), "B", "", "");
  // The nickname counts here; the IDs need not be in any folder.
  EXPECT_EQ(Entries(t.mgr.SearchFolder(t.groupA, U("やま"), false)), std::vector<std::string>{"GRA00001=Yama"});
  // "登録ID" with its sub-folders: every group through the store, then its own (empty) list.
  TTreeNode* result = t.mgr.SearchFolder(t.registered, U("やま"), true);
  EXPECT_EQ(Entries(result), (std::vector<std::string>{"GRA00001=Yama", "GRB00001=" + U("山やま")}));
  // Without a store a group yields nothing.
  t.mgr.PickData = nullptr;
  EXPECT_TRUE(Entries(t.mgr.SearchFolder(t.groupB, "GRB", false)).empty());
}

TEST(FindTargetNode, FollowsTheTextPathAsFarAsItGoes) {
  Tree a, b;
  TTreeNode* aFile = a.Folder(a.root, "/logs/x.log");
  TTreeNode* aForum = a.Folder(aFile, U("フォーラム(F)"));
  TTreeNode* aRoom = a.Folder(aForum, U("会議室"));
  TTreeNode* bFile = b.Folder(b.root, "/logs/x.log");
  TTreeNode* bForum = b.Folder(bFile, U("フォーラム(F)"));
  TTreeNode* bRoom = b.Folder(bForum, U("会議室"));
  EXPECT_EQ(FindTargetNode(aRoom, &b.nodes), bRoom);
  EXPECT_EQ(FindTargetNode(aRoom, &a.nodes), aRoom);
  EXPECT_EQ(FindTargetNode(a.root, &b.nodes), b.root);
  // A level missing in the other tree: the deepest node that matched.
  b.mgr.DeleteNode(bRoom);
  EXPECT_EQ(FindTargetNode(aRoom, &b.nodes), bForum);
  // Texts compare byte for byte: another case is another folder.
  TTreeNode* upper = a.Folder(a.root, "/LOGS/X.LOG");
  EXPECT_EQ(FindTargetNode(a.Folder(upper, "r"), &b.nodes), b.root);
  EXPECT_EQ(FindTargetNode(nullptr, &b.nodes), b.root);
  TTreeNodes empty;
  EXPECT_EQ(FindTargetNode(aRoom, &empty), nullptr);
  EXPECT_EQ(ChildTexts(b.root).size(), 2u);
}
