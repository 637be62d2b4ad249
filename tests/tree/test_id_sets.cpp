#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/Cp932.h"
#include "common/Error.h"
#include "tree/ID_DB.h"
#include "tree/StringListWithHash.h"
#include "tree/TreeNodes.h"

using quillet::FromUtf8;

namespace {

std::string IdOf(int n) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%c%c%c%05d", 'A' + n / 2600 % 26, 'A' + n / 100 % 26, 'K', n % 100000);
  return buffer;
}

}  // namespace

TEST(SameHandle, FoldsLatinLettersOfEachWidthButNotWidthsOrOtherCharacters) {
  EXPECT_TRUE(SameHandle("Taro", "tARO"));
  EXPECT_TRUE(SameHandle(FromUtf8("ＴａｒｏＺ"), FromUtf8("ｔＡＲＯｚ")));
  EXPECT_FALSE(SameHandle("Taro", FromUtf8("Ｔａｒｏ")));
  EXPECT_FALSE(SameHandle("Taro", "Taro "));
  // ア and ヂ differ only in a trail byte that reads as 'A' / 'a': not a case difference.
  EXPECT_FALSE(SameHandle(FromUtf8("ア"), FromUtf8("ヂ")));
  EXPECT_TRUE(SameHandle(FromUtf8("たろうＡ"), FromUtf8("たろうａ")));
  EXPECT_FALSE(SameHandle(FromUtf8("[]"), FromUtf8("{}")));
  EXPECT_TRUE(SameHandle("", ""));
}

TEST(AddHandle, FirstHandleIsShownUnlessItWasOnlyTheId) {
  TminiIDDataSet plain("ABC12345");
  EXPECT_TRUE(plain.AddHandle("Taro"));
  EXPECT_EQ(plain.Handle, "Taro");
  EXPECT_FALSE(plain.HandleIsID);
  EXPECT_FALSE(plain.AddHandle("TARO"));  // the same under case folding: the first stays
  EXPECT_TRUE(plain.AddHandle("Jiro"));
  EXPECT_EQ(plain.Handle, "Taro");
  EXPECT_EQ(plain.Handles, (std::vector<std::string>{"Taro", "Jiro"}));

  TminiIDDataSet shaped("ABC12345");
  EXPECT_TRUE(shaped.AddHandle("ABC12345"));
  EXPECT_TRUE(shaped.HandleIsID);
  // Already known, but an ID-shaped shown handle is still replaced by every sighting.
  EXPECT_FALSE(shaped.AddHandle("abc12345"));
  EXPECT_EQ(shaped.Handle, "abc12345");
  EXPECT_TRUE(shaped.HandleIsID);
  EXPECT_TRUE(shaped.AddHandle("Hanako"));
  EXPECT_EQ(shaped.Handle, "Hanako");
  EXPECT_FALSE(shaped.HandleIsID);
  EXPECT_TRUE(shaped.AddHandle("Yuki"));
  EXPECT_EQ(shaped.Handle, "Hanako");
  EXPECT_EQ(shaped.Handles, (std::vector<std::string>{"ABC12345", "Hanako", "Yuki"}));

  // A full-width ID counts as ID-shaped too.
  TminiIDDataSet wide("ABC12345");
  wide.AddHandle(FromUtf8("ＡＢＣ１２３４５"));
  EXPECT_TRUE(wide.HandleIsID);
}

TEST(AddHandle, RepeatingTheShownHandleChangesNothing) {
  // Most sightings repeat the handle shown; they must leave the record exactly as it was.
  TminiIDDataSet plain("ABC12345");
  plain.AddHandle("Taro");
  plain.AddHandle("Jiro");
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(plain.AddHandle("Taro"));
  EXPECT_EQ(plain.Handle, "Taro");
  EXPECT_EQ(plain.Handles, (std::vector<std::string>{"Taro", "Jiro"}));

  // An ID-shaped shown handle seen again stays, and stays replaceable.
  TminiIDDataSet shaped("ABC12345");
  shaped.AddHandle("ABC12345");
  EXPECT_FALSE(shaped.AddHandle("ABC12345"));
  EXPECT_TRUE(shaped.HandleIsID);
  EXPECT_EQ(shaped.Handles, std::vector<std::string>{"ABC12345"});
  EXPECT_TRUE(shaped.AddHandle("Hanako"));
  EXPECT_EQ(shaped.Handle, "Hanako");

  // An empty handle counts as a handle like any other, the first time and after.
  TminiIDDataSet empty("ABC12345");
  EXPECT_TRUE(empty.AddHandle(""));
  EXPECT_FALSE(empty.AddHandle(""));
  EXPECT_EQ(empty.Handles, std::vector<std::string>{""});
  EXPECT_FALSE(empty.HandleIsID);
}

TEST(StringListWithHash, DeleteBlanksInPlaceAndCompactRenumbers) {
  TStringListWithHash list;
  std::vector<TminiIDDataSet*> records;
  for (int i = 0; i < 10; ++i) {
    auto record = std::make_unique<TminiIDDataSet>(IdOf(i));
    records.push_back(record.get());
    EXPECT_EQ(list.AddObject(IdOf(i), std::move(record)), i);
  }
  for (int i = 0; i < 10; ++i) EXPECT_EQ(list.IndexOf(IdOf(i)), i);

  // Deleting from the last to the first, as the ID list does, with positions from IndexOf.
  for (int i : {8, 5, 1}) list.Delete(list.IndexOf(IdOf(i)));
  EXPECT_EQ(list.Count(), 10);
  EXPECT_EQ(list.Strings(5), "");
  EXPECT_EQ(list.IndexOf(IdOf(5)), -1);
  EXPECT_EQ(list.IndexOf(IdOf(9)), 9);

  list.CompactIDSet();
  ASSERT_EQ(list.Count(), 7);
  const std::vector<int> kept{0, 2, 3, 4, 6, 7, 9};
  for (int pos = 0; pos < 7; ++pos) {
    EXPECT_EQ(list.Strings(pos), IdOf(kept[pos]));
    EXPECT_EQ(list.IndexOf(IdOf(kept[pos])), pos);
    EXPECT_EQ(list.Objects(pos), records[kept[pos]]);  // the same record, not a copy
  }
  EXPECT_EQ(list.IndexOf(IdOf(8)), -1);

  // Without blanks nothing changes.
  list.CompactIDSet();
  ASSERT_EQ(list.Count(), 7);
  for (int pos = 0; pos < 7; ++pos) {
    EXPECT_EQ(list.IndexOf(IdOf(kept[pos])), pos);
    EXPECT_EQ(list.Objects(pos), records[kept[pos]]);
  }

  EXPECT_THROW(list.Delete(7), Error);
  EXPECT_THROW(list.Delete(-1), Error);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.IndexOf(IdOf(0)), -1);
}

TEST(StringListWithHash, PositionsStayRightInALargeListAcrossBatches) {
  TStringListWithHash list;
  const int n = 3000;
  for (int i = 0; i < n; ++i) list.Add(IdOf(i));
  ASSERT_TRUE(list.Hash.IsBucketMode());
  for (int i = n - 1; i >= 0; i -= 3) list.Delete(list.IndexOf(IdOf(i)));
  for (int i = 0; i < n; ++i) EXPECT_EQ(list.IndexOf(IdOf(i)), (n - 1 - i) % 3 == 0 ? -1 : i);
  list.CompactIDSet();
  EXPECT_EQ(list.Count(), n - n / 3);
  for (int pos = 0; pos < list.Count(); ++pos) ASSERT_EQ(list.IndexOf(list.Strings(pos)), pos);
}

TEST(StringListWithHash, TextsThatAreNoIdStayUnindexed) {
  TStringListWithHash list;
  EXPECT_EQ(list.Add("hello"), 0);
  EXPECT_EQ(list.Add("ABC12345"), 1);
  EXPECT_EQ(list.IndexOf("hello"), -1);
  EXPECT_EQ(list.IndexOf("ABC12345"), 1);
  list.Delete(0);
  list.CompactIDSet();
  EXPECT_EQ(list.IndexOf("ABC12345"), 0);
}

TEST(StringListWithHash, DeletingOneOfTwoEqualEntriesKeepsTheOtherFindable) {
  // Callers check IndexOf before adding, but if an ID slips in twice the index points at the
  // later entry; blanking the earlier one must not unindex it.
  TStringListWithHash list;
  list.Add("ABC12345");
  list.Add("ABC12345");
  list.Delete(0);
  EXPECT_EQ(list.IndexOf("ABC12345"), 1);
  list.CompactIDSet();
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.IndexOf("ABC12345"), 0);
}

TEST(CheckNodeType, ClassifiesRootRegisteredIdsGroupsAndFolders) {
  TTreeNodes nodes;
  TTreeNode* root = nodes.AddChild(nullptr, "NIFTY SERVE");
  TTreeNode* registered = nodes.AddChild(root, FromUtf8("登録ID"));
  TTreeNode* group = nodes.AddChild(registered, FromUtf8("(A)グループＡ"));
  TTreeNode* shortTitle = nodes.AddChild(registered, "(A");
  TTreeNode* other = nodes.AddChild(registered, "A) x");
  TTreeNode* log = nodes.AddChild(root, "/home/u/a.log");
  TTreeNode* deep = nodes.AddChild(group, "(B)x");
  TTreeNode* topLevel = nodes.AddChild(nullptr, "(C)top");

  const TCheckNodeType check(root, registered);
  EXPECT_EQ(check.NodeType(root), ntRoot);
  EXPECT_EQ(check.NodeType(registered), ntRegisteredIDs);
  EXPECT_EQ(check.NodeType(group), ntGroup);
  EXPECT_EQ(check.NodeType(shortTitle), ntFolder);
  EXPECT_EQ(check.NodeType(other), ntFolder);
  EXPECT_EQ(check.NodeType(log), ntFolder);
  EXPECT_EQ(check.NodeType(deep), ntFolder);
  EXPECT_EQ(check.NodeType(topLevel), ntFolder);

  // Before "登録ID" exists a top-level node titled like a group is still a folder.
  const TCheckNodeType early(root, nullptr);
  EXPECT_EQ(early.NodeType(topLevel), ntFolder);
  EXPECT_EQ(early.NodeType(root), ntRoot);
}

TEST(StringListWithHash, IndexOfOrAddAddsOnlyWhatIsAbsent) {
  TStringListWithHash set;
  int made = 0;
  const auto make = [&made] {
    ++made;
    return std::make_unique<TminiIDDataSet>("");
  };
  EXPECT_EQ(set.IndexOfOrAdd("ABC12345", make), -1);
  EXPECT_EQ(set.IndexOfOrAdd("DEF12345", make), -1);
  EXPECT_EQ(set.IndexOfOrAdd("ABC12345", make), 0);
  EXPECT_EQ(set.IndexOfOrAdd("def12345", make), 1);  // the index folds the letter case
  EXPECT_EQ(made, 2);
  ASSERT_EQ(set.Count(), 2);
  EXPECT_EQ(set.Strings(1), "DEF12345");
  EXPECT_NE(set.Objects(1), nullptr);

  // A text that is no ID gets an entry every time, as AddObject gives it, but no index.
  EXPECT_EQ(set.IndexOfOrAdd("no id", make), -1);
  EXPECT_EQ(set.IndexOfOrAdd("no id", make), -1);
  EXPECT_EQ(set.Count(), 4);
  EXPECT_EQ(set.IndexOf("no id"), -1);

  // A failing record leaves neither an entry nor an index behind.
  EXPECT_THROW(set.IndexOfOrAdd("GHI12345", []() -> std::unique_ptr<TminiIDDataSet> { throw Error("no"); }),
               Error);
  EXPECT_EQ(set.Count(), 4);
  EXPECT_EQ(set.IndexOf("GHI12345"), -1);
  EXPECT_EQ(set.IndexOfOrAdd("GHI12345", make), -1);
  EXPECT_EQ(set.IndexOf("GHI12345"), 4);
}
