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
  // The list keeps its records in place, so a record is told by what it holds: a handle of
  // its own, and a second one for the even ones.
  auto sameRecord = [&](int pos, int i) {
    const TminiIDDataSet* r = list.Objects(pos);
    std::vector<std::string> handles{"h" + std::to_string(i)};
    if (i % 2 == 0) handles.push_back("again" + std::to_string(i));
    return r && r->ID == IdOf(i) && r->Handle == handles[0] && r->Handles == handles;
  };
  for (int i = 0; i < 10; ++i) {
    auto record = std::make_unique<TminiIDDataSet>(IdOf(i));
    record->AddHandle("h" + std::to_string(i));
    if (i % 2 == 0) record->AddHandle("again" + std::to_string(i));
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
    EXPECT_TRUE(sameRecord(pos, kept[pos])) << pos;  // the record came along, not a new one
  }
  EXPECT_EQ(list.IndexOf(IdOf(8)), -1);

  // Without blanks nothing changes.
  list.CompactIDSet();
  ASSERT_EQ(list.Count(), 7);
  for (int pos = 0; pos < 7; ++pos) {
    EXPECT_EQ(list.IndexOf(IdOf(kept[pos])), pos);
    EXPECT_TRUE(sameRecord(pos, kept[pos])) << pos;
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

// The record's compact texts: short ones in place, long ones on the heap, through copies, moves,
// growth of the list that holds them, and texts given from the record itself.
TEST(CompactRecords, LongAndShortTextsSurviveCopiesMovesAndGrowth) {
  const std::string longHandle = FromUtf8("とても長いハンドル名の例です");  // 28 bytes
  TminiIDDataSet record("ABC12345");
  EXPECT_TRUE(record.AddHandle(longHandle));
  EXPECT_TRUE(record.AddHandle("short"));
  EXPECT_TRUE(record.AddHandle(longHandle + "2"));
  EXPECT_EQ(record.Handle, longHandle);
  EXPECT_EQ(record.Handles, (std::vector<std::string>{longHandle, "short", longHandle + "2"}));

  TminiIDDataSet copy = record;
  EXPECT_TRUE(copy.AddHandle("more"));
  EXPECT_EQ(record.Handles.size(), 3u);
  EXPECT_EQ(copy.Handles.size(), 4u);
  TminiIDDataSet moved = std::move(copy);
  EXPECT_EQ(moved.Handles, (std::vector<std::string>{longHandle, "short", longHandle + "2", "more"}));
  copy = record;  // a moved-from record takes a new value
  EXPECT_EQ(copy.Handles, record.Handles);

  // A text handed in from the record itself, in place and on the heap.
  THandleList one;
  one.push_back("tiny");
  one.push_back(one[0]);
  EXPECT_EQ(one, (std::vector<std::string>{"tiny", "tiny"}));
  THandleList many;
  for (int i = 0; i < 5; ++i) many.push_back(longHandle + std::to_string(i));
  for (int i = 0; i < 20; ++i) many.push_back(many[static_cast<size_t>(i)]);
  EXPECT_EQ(many.size(), 25u);
  EXPECT_EQ(std::string(many[24]), longHandle + "4");
  TCompactText text(longHandle);
  text = text.View().substr(3);
  EXPECT_EQ(text, longHandle.substr(3));
  text = text.View().substr(0, 4);
  EXPECT_EQ(text, longHandle.substr(3, 4));

  // Records kept in the list stay whole while it grows, with an entry without record among them.
  TStringListWithHash list;
  EXPECT_EQ(list.Add("ZZZ00000"), 0);
  for (int i = 1; i < 2000; ++i) {
    const std::string handle = (i % 3 ? "h" : longHandle) + std::to_string(i);
    ASSERT_EQ(list.IndexOfOrAddRecord(IdOf(i), [&](TminiIDDataSet& r) { r.AddHandle(handle); }), -1);
  }
  EXPECT_EQ(list.IndexOfOrAddRecord(IdOf(7), [](TminiIDDataSet&) { FAIL(); }), 7);
  EXPECT_EQ(list.Objects(0), nullptr);
  EXPECT_EQ(list.Strings(0), "ZZZ00000");
  for (int i = 1; i < 2000; ++i) {
    ASSERT_EQ(list.Strings(i), IdOf(i));
    ASSERT_EQ(list.Objects(i)->Handle, (i % 3 ? "h" : longHandle) + std::to_string(i));
  }
  // The entry's text is its record's ID, whatever the record was made with.
  EXPECT_EQ(list.AddObject("QQQ00001", std::make_unique<TminiIDDataSet>("other")), 2000);
  EXPECT_EQ(list.Objects(2000)->ID, "QQQ00001");
  EXPECT_EQ(list.IndexOf("QQQ00001"), 2000);
}
