#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/Error.h"

#include "iddb/Group.h"
#include "Support.h"

using namespace iddbtest;

namespace {

const std::string kBadGroupMessage =
    U("既定外のｸﾞﾙｰﾌﾟが登録されていますので削除します。\r"
      "該当ｸﾞﾙｰﾌﾟに属しているﾃﾞｰﾀは、すべてｸﾞﾙｰﾌﾟＥに移動されます。");

class GroupTest : public ::testing::Test, public Fixture {};

TEST_F(GroupTest, NoGroupFileGivesBuiltInGroupsAndWritesTheirBackup) {
  {
    TGroupMgr groups;
    groups.Load(Folder());
    EXPECT_EQ(groups.GroupFilePath(), Path("ZelvoGP.dat"));
    EXPECT_EQ(groups.GroupName('E'), U("ごみ箱"));
    EXPECT_TRUE(groups.IsGroup("D"));
    EXPECT_FALSE(groups.IsGroup("F"));
    EXPECT_FALSE(groups.IsGroup(""));
    EXPECT_EQ(ReadFile(Path("ZelvoGP.dat.bak")),
              U("AグループＡ\r\nBグループＢ\r\nCグループＣ\r\nDグループＤ\r\nEごみ箱\r\n"));
    EXPECT_FALSE(Exists(Path("ZelvoGP.dat")));  // only the destruction writes the group file
  }
  EXPECT_EQ(ReadFile(Path("ZelvoGP.dat")), ReadFile(Path("ZelvoGP.dat.bak")));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(GroupTest, CleaningDropsBlankAndForeignLinesAndSorts) {
  // B first, a small letter, A; a blank and a full-width blank line; a line of only "F".
  WriteFile(Path("ZelvoGP.dat"), "Bbee\r\nxsmall\r\nAant\r\n" + U("　") + "\r\nF\r\n \r\n");
  TGroupMgr groups;
  groups.Load(Folder());
  EXPECT_EQ(groups.Table(), (std::vector<std::string>{"Aant", "Bbee", "F"}));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], kBadGroupMessage);
  EXPECT_TRUE(groups.IsGroup("F"));
  EXPECT_EQ(groups.GroupName('F'), "");
  // The backup holds the table as cleaned.
  EXPECT_EQ(ReadFile(Path("ZelvoGP.dat.bak")), "Aant\r\nBbee\r\nF\r\n");
}

TEST_F(GroupTest, JunkGroupFileLeavesOnlyValidLines) {
  std::string junk("\x00\x01\xff\x81\r\n\x82\xa0zz\r\n\tA tab first\r\nQ\x00name\rmore", 37);
  WriteFile(Path("ZelvoGP.dat"), junk);
  TGroupMgr groups;
  groups.Load(Folder());
  ASSERT_EQ(groups.Count(), 1);
  EXPECT_EQ(groups.Table()[0], std::string("Q\x00name\rmore", 11));  // a lone CR is text
  EXPECT_EQ(ui.messages.size(), 3u);
}

TEST_F(GroupTest, AddRenameDeleteFollowTheLetterRules) {
  TGroupMgr groups;
  groups.Load(Folder());
  EXPECT_FALSE(groups.AddGroup('E', "x"));
  EXPECT_FALSE(groups.AddGroup('a', "x"));
  EXPECT_FALSE(groups.AddGroup('[', "x"));
  EXPECT_TRUE(groups.AddGroup('Z', "zed"));
  EXPECT_TRUE(groups.AddGroup('F', U("エフ")));
  EXPECT_FALSE(groups.AddGroup('F', "again"));
  EXPECT_EQ(groups.Table()[5], "F" + U("エフ"));  // sorted in after E
  EXPECT_EQ(groups.Table()[6], "Zzed");

  EXPECT_FALSE(groups.DeleteGroup('C'));
  EXPECT_TRUE(groups.IsGroup("C"));
  EXPECT_TRUE(groups.DeleteGroup('F'));
  EXPECT_FALSE(groups.DeleteGroup('F'));
  EXPECT_FALSE(groups.DeleteGroup('G'));

  EXPECT_TRUE(groups.RenameGroup('A', U("友人")));
  EXPECT_EQ(groups.GroupName('A'), U("友人"));
  EXPECT_FALSE(groups.RenameGroup('G', "x"));
  EXPECT_FALSE(groups.RenameGroup('a', "x"));
  EXPECT_EQ(groups.GroupName('['), "");
  EXPECT_EQ(groups.GroupName('@'), "");

  // A line break in a name must not turn into a second group in the file.
  EXPECT_TRUE(groups.RenameGroup('B', "one\nZtwo"));
  groups.Close();
  TGroupMgr again;
  again.Load(Folder());
  EXPECT_EQ(again.GroupName('B'), "one Ztwo");
  EXPECT_EQ(again.GroupName('Z'), "zed");
  EXPECT_FALSE(again.IsGroup("F"));
}

TEST_F(GroupTest, ReadOnlyManagerWritesNothing) {
  {
    TGroupMgr groups;
    groups.SetReadOnly(true);
    groups.Load(Folder());
    EXPECT_EQ(groups.Count(), 5);
    EXPECT_TRUE(groups.AddGroup('G', "g"));
  }
  EXPECT_FALSE(Exists(Path("ZelvoGP.dat")));
  EXPECT_FALSE(Exists(Path("ZelvoGP.dat.bak")));
}

TEST_F(GroupTest, UnreadableGroupFileIsAnError) {
  ASSERT_EQ(mkdir(Path("ZelvoGP.dat").c_str(), 0700), 0);  // a folder in the file's place
  TGroupMgr groups;
  groups.SetReadOnly(true);
  EXPECT_THROW(groups.Load(Folder()), Error);
}

}  // namespace
