#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Cp932.h"
#include "controls/ListGrid.h"

namespace {

std::vector<std::string> Column(const TListGridRows& grid, int column) {
  std::vector<std::string> texts;
  for (int r = 0; r < grid.RowCount(); ++r) texts.push_back(grid.GetCell(column, r));
  return texts;
}

using Texts = std::vector<std::string>;

TEST(ListGridRows, SelfOrderingIndexReadBothWays) {
  TListGridRows grid;
  grid.SetColCount(2);
  EXPECT_EQ(grid.AddRow({"b", "1"}), 0);
  EXPECT_EQ(grid.AddRow({"a", "2"}), 0);
  EXPECT_EQ(grid.AddRow({"c", "3"}), 2);
  grid.SetSortDir(1);
  EXPECT_EQ(Column(grid, 0), (Texts{"a", "b", "c"}));
  EXPECT_EQ(Column(grid, 1), (Texts{"2", "1", "3"}));
  grid.SetSortDir(-1);
  EXPECT_EQ(Column(grid, 0), (Texts{"c", "b", "a"}));
  EXPECT_EQ(grid.DataRow(0), 2);
  EXPECT_EQ(grid.DataRow(3), -1);
}

TEST(ListGridRows, EqualKeysGoBeforeTheirEquals) {
  TListGridRows grid;
  grid.SetColCount(2);
  for (const char* id : {"first", "second", "third"}) grid.AddRow({"", id});
  EXPECT_EQ(Column(grid, 1), (Texts{"third", "second", "first"}));
  grid.SetSortDir(-1);
  EXPECT_EQ(Column(grid, 1), (Texts{"first", "second", "third"}));
}

TEST(ListGridRows, ManyRowsStayOrderedAcrossBlocks) {
  // Enough rows to split the index into many blocks, with many equal keys among them.
  TListGridRows grid;
  grid.SetColCount(2);
  for (int i = 0; i < 6000; ++i) grid.AddRow({std::to_string((i * 7919) % 100), std::to_string(i)});
  ASSERT_EQ(grid.RowCount(), 6000);
  for (int r = 1; r < grid.RowCount(); ++r) {
    const int a = std::stoi(grid.GetCell(0, r - 1)), b = std::stoi(grid.GetCell(0, r));
    // Keys compare as texts: "10" sorts before "9".
    ASSERT_LE(grid.CompareTexts(grid.GetCell(0, r - 1), grid.GetCell(0, r)), 0) << a << " " << b;
    if (a == b) {
      ASSERT_GT(std::stoi(grid.GetCell(1, r - 1)), std::stoi(grid.GetCell(1, r)));
    }
  }
}

TEST(ListGridRows, ShortRowsAreFilledWithEmptyCells) {
  TListGridRows grid;
  grid.SetColCount(8);
  grid.AddRow({"x", "y", "z", "w", "m"});
  grid.SetSortColumn(4);
  EXPECT_EQ(grid.AddRow({"a", "b", "c"}), 0);  // empty key first
  EXPECT_EQ(grid.GetCell(1, 0), "b");
  for (int c = 3; c < 8; ++c) EXPECT_EQ(grid.GetCell(c, 0), "");
  EXPECT_EQ(grid.GetCell(4, 1), "m");
}

TEST(ListGridRows, OutOfRangeAccessIsHarmless) {
  TListGridRows grid;
  grid.SetColCount(8);
  grid.AddRow({"a", "b"});
  EXPECT_EQ(grid.GetCell(8, 0), "");
  EXPECT_EQ(grid.GetCell(1, -1), "");
  EXPECT_EQ(grid.GetCell(-1, 0), "");
  grid.SetCell(1, 5, "x");
  grid.SetCell(9, 0, "x");
  grid.DeleteRow(1);
  grid.DeleteRow(-1);
  EXPECT_EQ(grid.RowCount(), 1);
  EXPECT_EQ(grid.FindRow(8, "a"), -1);
  grid.SetColWidth(8, 10);
  grid.SetSortColumn(9);
  EXPECT_EQ(grid.SortColumn(), 0);
  EXPECT_EQ(grid.GetCell(1, 0), "b");
}

TEST(ListGridRows, FindRowIgnoresCaseInBothDirections) {
  TListGridRows grid;
  grid.SetColCount(3);
  grid.SetSortColumn(2);
  grid.AddRow({"", "ABC12345", "b"});
  grid.AddRow({"", "XYZ00001", "a"});
  grid.AddRow({"", quillet::FromUtf8("ﾊﾝﾄﾞﾙ"), "c"});
  for (int dir : {1, -1}) {
    grid.SetSortDir(dir);
    const int row = grid.FindRow(1, "abc12345");
    ASSERT_GE(row, 0);
    EXPECT_EQ(grid.GetCell(1, row), "ABC12345");
    EXPECT_EQ(grid.GetCell(2, row), "b");
    EXPECT_EQ(grid.GetCell(1, grid.FindRow(1, quillet::FromUtf8("ﾊﾝﾄﾞﾙ"))), quillet::FromUtf8("ﾊﾝﾄﾞﾙ"));
  }
  EXPECT_EQ(grid.FindRow(1, "ABC1234"), -1);
}

TEST(ListGridRows, DeleteRowKeepsEveryOtherRow) {
  TListGridRows grid;
  grid.SetColCount(2);
  for (const char* k : {"d", "b", "a", "c"}) grid.AddRow({k, std::string(k) + "!"});
  grid.SetSortDir(-1);
  ASSERT_EQ(grid.GetCell(0, 0), "d");
  grid.DeleteRow(0);
  EXPECT_EQ(Column(grid, 0), (Texts{"c", "b", "a"}));
  EXPECT_EQ(Column(grid, 1), (Texts{"c!", "b!", "a!"}));
  grid.SetSortDir(1);
  grid.DeleteRow(1);  // b
  EXPECT_EQ(Column(grid, 0), (Texts{"a", "c"}));
  EXPECT_EQ(Column(grid, 1), (Texts{"a!", "c!"}));
  grid.AddRow({"bb", "bb!"});
  EXPECT_EQ(Column(grid, 1), (Texts{"a!", "bb!", "c!"}));
  grid.ClearRows();
  EXPECT_EQ(grid.RowCount(), 0);
  EXPECT_EQ(grid.AddRow({"z", "z!"}), 0);
}

TEST(ListGridRows, SetCellDoesNotMoveTheRowUntilResorted) {
  TListGridRows grid;
  grid.SetColCount(2);
  for (const char* k : {"a", "b", "c"}) grid.AddRow({k, k});
  grid.SetCell(0, 0, "z");
  EXPECT_EQ(Column(grid, 0), (Texts{"z", "b", "c"}));
  grid.SetSortColumn(0);
  EXPECT_EQ(Column(grid, 0), (Texts{"b", "c", "z"}));
}

TEST(ListGridRows, ManualModeAppendsUntilSorted) {
  TListGridRows grid;
  grid.SetColCount(1);
  grid.SetSortMode(smManual);
  EXPECT_FALSE(grid.SelfOrdering());
  grid.AddRow({"b"});
  EXPECT_EQ(grid.AddRow({"a"}), 1);
  EXPECT_EQ(grid.PlaceholderRow(1), 1);
  EXPECT_EQ(Column(grid, 0), (Texts{"b", "a"}));
  grid.Sort();
  EXPECT_EQ(Column(grid, 0), (Texts{"a", "b"}));
  // Setting the sort column makes the index order itself whatever the mode.
  grid.SetSortColumn(0);
  EXPECT_TRUE(grid.SelfOrdering());
  EXPECT_EQ(grid.AddRow({"aa"}), 1);
  EXPECT_EQ(Column(grid, 0), (Texts{"a", "aa", "b"}));
  // Back to automatic from a non-ordering manual index orders it first.
  grid.SetSortMode(smManual);
  grid.AddRow({"0"});
  grid.SetSortMode(smAutomatic);
  EXPECT_EQ(Column(grid, 0), (Texts{"0", "a", "aa", "b"}));
}

TEST(ListGridRows, KeysCompareCaseInsensitively) {
  TListGridRows grid;
  grid.SetColCount(1);
  for (const char* k : {"b", "A", "a", "B", "c"}) grid.AddRow({k});
  const Texts shown = Column(grid, 0);
  EXPECT_EQ(grid.CompareTexts("abc", "ABC"), 0);
  EXPECT_TRUE((shown[0] == "a" || shown[0] == "A") && (shown[1] == "a" || shown[1] == "A"));
  EXPECT_EQ(shown[4], "c");
}

TEST(ListGridRows, ColumnsAndWidths) {
  TListGridRows grid;
  grid.SetColCount(3);
  EXPECT_EQ(grid.ColWidth(2), 50);
  grid.SetColWidth(1, -5);
  EXPECT_EQ(grid.ColWidth(1), 0);
  grid.SetColCount(2);
  EXPECT_EQ(grid.ColCount(), 2);
  grid.SetColCount(0);  // never done by the program; leaves the columns
  EXPECT_EQ(grid.ColCount(), 2);
}

}  // namespace
