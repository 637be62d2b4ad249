// The store's operations on entries, its current entry and search, and the profile and memo files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/Error.h"
#include "iddb/PickEngine.h"
#include "Support.h"

using namespace iddbtest;

namespace {

class StoreTest : public ::testing::Test, public Fixture {
 protected:
  // A store over a file with one entry in A (handle "yamada", nickname "nick", memo "hello",
  // auto-registration on, both dates 1999-01-05).
  void SetUp() override {
    WriteFile(DataFile(), Record("ABC12345", "yamada" + std::string(34, ' ') + "nick", "hello",
                                 "AA 1999 1 51999 1 5 "));
    store.Load(DataFile());
  }
  void Regist(const std::string& id, const std::string& handle, const std::string& group,
              bool hasMemo = false, const std::vector<std::string>* memo = nullptr,
              bool hasProfile = false, const std::vector<std::string>* profile = nullptr) {
    store.RegistID(id, handle, "alias", "memo", group, false, hasMemo, memo, hasProfile, profile);
  }

  TPickData store;
};

TEST_F(StoreTest, GettersReadTheCurrentEntry) {
  ASSERT_TRUE(store.Select("ABC12345"));
  EXPECT_EQ(store.CurrentID(), "ABC12345");
  EXPECT_EQ(store.CurrentHandle(), "yamada");
  EXPECT_EQ(store.CurrentAlias(), "nick");
  EXPECT_EQ(store.CurrentMemo(), "hello");
  EXPECT_EQ(store.CurrentGroup(), "A");
  EXPECT_TRUE(store.IsAutoRegist());
  EXPECT_FALSE(store.HasProfile());
  EXPECT_FALSE(store.HasMemo());
  EXPECT_EQ(store.RegistDateText(), "1999/ 1/ 5");
  EXPECT_EQ(store.UpdateDateText(), "1999/ 1/ 5");

  EXPECT_FALSE(store.Select("NOT00000"));
  EXPECT_EQ(store.CurrentID(), "");
  EXPECT_EQ(store.CurrentGroup(), "E");
  EXPECT_FALSE(store.IsAutoRegist() || store.HasProfile() || store.HasMemo());
  EXPECT_EQ(store.RegistDateText(), "    /  /  ");
  EXPECT_EQ(store.UpdateDateText(), "    /  /  ");
}

TEST_F(StoreTest, RegistNewAndExistingIds) {
  Regist("NEW00001", "newbie", "C");
  ASSERT_TRUE(store.Select("NEW00001"));
  EXPECT_EQ(store.CurrentGroup(), "C");
  EXPECT_EQ(store.RegistDateText(), "2024/ 3/ 5");
  EXPECT_EQ(store.UpdateDateText(), "2024/ 3/ 5");

  // Updating keeps both dates; the flags and column 20 follow the new call.
  store.SetUpdateDate("ABC12345", "1998", "3", "07");
  store.RegistID("ABC12345", "other", "", "", "B", false, true, nullptr, true, nullptr);
  ASSERT_TRUE(store.Select("ABC12345"));
  EXPECT_EQ(store.CurrentHandle(), "other");
  EXPECT_EQ(store.CurrentAlias(), "");
  EXPECT_EQ(store.CurrentGroup(), "B");
  EXPECT_FALSE(store.IsAutoRegist());
  EXPECT_TRUE(store.HasProfile());
  EXPECT_TRUE(store.HasMemo());
  EXPECT_EQ(store.RegistDateText(), "1999/ 1/ 5");
  EXPECT_EQ(store.UpdateDateText(), "1999/ 1/ 5");  // the snapshot, not the date set since
  EXPECT_EQ(store.EntryCount(), 2);

  store.Save(Path("out.dat"));
  EXPECT_EQ(ReadFile(Path("out.dat")),
            Record("ABC12345", "other" + std::string(35, ' '), "", "B P1999 1 51998 307M") +
                Record("NEW00001", "newbie" + std::string(34, ' ') + "alias", "memo",
                       "C  2024 3 52024 3 5 "));
}

TEST_F(StoreTest, GroupsThatDoNotExistBecomeTrash) {
  Regist("ZZZ00001", "z", "Z");
  Regist("EMP00001", "e", "");
  ASSERT_TRUE(store.Select("ZZZ00001"));
  EXPECT_EQ(store.CurrentGroup(), "E");
  store.ChangeGroup("ABC12345", "Q");
  ASSERT_TRUE(store.Select("ABC12345"));
  EXPECT_EQ(store.CurrentGroup(), "E");
  store.ChangeGroup("ABC12345", "Dee");
  store.Select("ABC12345");
  EXPECT_EQ(store.CurrentGroup(), "D");
  // A group deleted after the fact makes its entries read as trash and drop at save.
  store.GroupMgr().AddGroup('G', "g");
  store.ChangeGroup("ABC12345", "G");
  store.GroupMgr().DeleteGroup('G');
  store.Select("ABC12345");
  EXPECT_EQ(store.CurrentGroup(), "E");
  store.Save(Path("out.dat"));
  EXPECT_EQ(ReadFile(Path("out.dat")), "");
}

TEST_F(StoreTest, DatesFlagsAndLongHandles) {
  store.SetUpdateDate("ABC12345", "1998", "3", "07");
  store.SetRegistDate("ABC12345", "5", "", "1");
  store.SetAutoRegist("ABC12345", false);
  store.SetAutoRegist("NOT00000", true);  // not stored: nothing happens
  store.Save(Path("out.dat"));
  EXPECT_EQ(ReadFile(Path("out.dat")),
            Record("ABC12345", "yamada" + std::string(34, ' ') + "nick", "hello",
                   "A     5   11998 307 "));

  // A handle of 45 bytes is cut to 40: its tail never reaches the nickname.
  Regist("LNG00001", std::string(40, 'x') + "yyyyy", "A");
  ASSERT_TRUE(store.Select("LNG00001"));
  EXPECT_EQ(store.CurrentHandle(), std::string(40, 'x'));
  EXPECT_EQ(store.CurrentAlias(), "alias");
}

TEST_F(StoreTest, UnusableTextsDoNotCorruptTheFile) {
  Regist("ABCD1234", "bad id", "A");
  Regist("ABC99999\n", "line feed in id", "A");
  EXPECT_EQ(store.EntryCount(), 1);
  store.RegistID("LFS00001", "two\nlines", "", "memo\nmore", "A", false, false, nullptr, false, nullptr);
  store.Close();
  TPickData again;
  again.Load(DataFile());
  EXPECT_EQ(again.EntryCount(), 2);
  ASSERT_TRUE(again.Select("LFS00001"));
  EXPECT_EQ(again.CurrentHandle(), "two lines");
  EXPECT_EQ(again.CurrentMemo(), "memo more");
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(StoreTest, FindNextWalksAndSearches) {
  Regist("FUL00001", "h", "A");
  store.RegistID("FUL00002", U("ｙａｍａｄａ"), "", U("ＡＢＣ"), "A", false, false, nullptr, false, nullptr);
  Regist("ZZZ00009", "h", "Z");  // trash is walked too

  std::vector<std::string> walked;
  EXPECT_FALSE(store.FindNext(""));
  EXPECT_EQ(store.CurrentID(), "");
  while (store.FindNext(" ")) walked.push_back(store.CurrentID());
  EXPECT_EQ(walked, (std::vector<std::string>{"ABC12345", "FUL00001", "FUL00002", "ZZZ00009"}));

  // Small letters find capital, small and full-width letters in the handle line and memo.
  walked.clear();
  store.FindNext("");
  while (store.FindNext("yamada")) walked.push_back(store.CurrentID());
  EXPECT_EQ(walked, (std::vector<std::string>{"ABC12345", "FUL00002"}));
  store.FindNext("");
  ASSERT_TRUE(store.FindNext("abc"));
  EXPECT_EQ(store.CurrentID(), "ABC12345");  // the ID itself
  ASSERT_TRUE(store.FindNext("abc"));
  EXPECT_EQ(store.CurrentID(), "FUL00002");  // the full-width memo
  EXPECT_FALSE(store.FindNext("abc"));
  EXPECT_EQ(store.CurrentID(), "FUL00002");  // a miss leaves the current entry

  TPickData empty;
  EXPECT_FALSE(empty.FindNext(" "));
}

TEST_F(StoreTest, ProfileAndMemoFilesFollowTheEditor) {
  const std::vector<std::string> profile = {U("自己紹介"), "", "line 3"};
  const std::vector<std::string> memo = {"m"};
  const std::vector<std::string> none;
  Regist("PRO00001", "p", "A", true, &memo, true, &profile);
  EXPECT_EQ(ReadFile(Path("Profile/PRO00001.txt")), U("自己紹介") + "\r\n\r\nline 3\r\n");
  EXPECT_EQ(ReadFile(Path("Memo/PRO00001.txt")), "m\r\n");

  ASSERT_TRUE(store.Select("PRO00001"));
  std::vector<std::string> lines = {"stale"};
  store.LoadProfileFile(lines);
  EXPECT_EQ(lines, profile);

  // Updating with an empty profile deletes the file; the memo stays.
  store.RegistID("PRO00001", "p", "", "", "A", false, true, &memo, true, &none);
  EXPECT_FALSE(Exists(Path("Profile/PRO00001.txt")));
  EXPECT_TRUE(Exists(Path("Memo/PRO00001.txt")));

  // A file removed outside the program clears the flag in the stored line; one that appeared
  // sets it. The current entry's own copy is not changed.
  store.RegistID("PRO00001", "p", "", "", "A", false, true, &memo, true, &profile);
  unlink(Path("Profile/PRO00001.txt").c_str());
  store.Select("PRO00001");
  store.LoadProfileFile(lines);
  EXPECT_TRUE(lines.empty());
  EXPECT_TRUE(store.HasProfile());
  store.Select("PRO00001");
  EXPECT_FALSE(store.HasProfile());
  WriteFile(Path("Memo/ABC12345.txt"), "x\r\ny");
  store.Select("ABC12345");
  store.LoadMemoFile(lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"x", "y"}));
  store.Select("ABC12345");
  EXPECT_TRUE(store.HasMemo());

  // After a failed Select both loads give nothing and change no flag.
  store.Select("NOT00000");
  store.LoadMemoFile(lines);
  EXPECT_TRUE(lines.empty());
  store.Select("ABC12345");
  EXPECT_TRUE(store.HasMemo());
}

TEST_F(StoreTest, UncreatableFolderShowsItsMessageThenTheWriteFails) {
  WriteFile(Path("Profile"), "a file where the folder should be");
  const std::vector<std::string> profile = {"p"};
  EXPECT_THROW(store.SaveProfileFile("ABC12345", profile), Error);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], U("プロフィール用のフォルダの作成に失敗しました。"));
  WriteFile(Path("Memo"), "x");
  EXPECT_THROW(store.SaveMemoFile("ABC12345", profile), Error);
  EXPECT_EQ(ui.messages.back(), U("メモ用のフォルダの作成に失敗しました。"));
  store.DeleteMemoFile("ABC12345");  // nothing to delete: ignored
  EXPECT_THROW(store.SaveMemoFile("../../escape", profile), Error);
}

TEST_F(StoreTest, DestructionSavesDataAndGroupFiles) {
  store.SetReadOnly(true);  // the fixture's own store stays out of the way
  {
    TPickData other;
    other.Load(DataFile());
    EXPECT_TRUE(other.GroupMgr().AddGroup('K', "kay"));
    other.RegistID("KKK00001", "k", "", "", "K", false, false, nullptr, false, nullptr);
    EXPECT_EQ(ReadFile(Path("ZelvoGP.dat")), "");  // nothing written before the end
  }
  EXPECT_NE(ReadFile(Path("ZelvoGP.dat")).find("Kkay\r\n"), std::string::npos);
  TPickData again;
  again.SetReadOnly(true);
  again.Load(DataFile());
  ASSERT_TRUE(again.Select("KKK00001"));
  EXPECT_EQ(again.CurrentGroup(), "K");
}

}  // namespace
