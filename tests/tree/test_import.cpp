// Import of other programs' ID files: choosing the layout, each layout's columns and limits,
// and what the import does to the store and to the folder's ID set.
#include <gtest/gtest.h>

#include <map>

#include "iddb/ImportOther.h"
#include "iddb/PickEngine.h"
#include "tree/StringListWithHash.h"
#include "iddb/Support.h"

using namespace iddbtest;

namespace {

// A fixed-width record of `size` spaces with the texts placed at 1-based columns.
std::string Fixed(size_t size, std::initializer_list<std::pair<size_t, std::string>> fields) {
  std::string record(size, ' ');
  for (const auto& [column, text] : fields) record.replace(column - 1, text.size(), text);
  return record;
}

std::string RecordA(const std::string& id, const std::string& handle, const std::string& regist,
                    const std::string& update, const std::string& memo) {
  return Fixed(147, {{1, id}, {9, handle}, {29, regist}, {37, update}, {48, memo}});
}

class ImportTest : public ::testing::Test, public Fixture {
 protected:
  void SetUp() override { store.Load(DataFile()); }

  // Imports the bytes as a file of that name; returns the number of records used.
  int Import(const std::string& name, const std::string& bytes, const std::string& group = "A") {
    WriteFile(Path(name), bytes);
    return ImportOtherFile(store, Path(name), group,
                           [this](const TImportRecord& r) { folder.FileSighting(r.ID, r.Handle); });
  }
  // The attribute line saved for each ID (trash is not saved).
  std::map<std::string, std::string> Attributes() {
    store.Save(Path("check.dat"));
    std::map<std::string, std::string> result;
    quillet::LineReader reader(Path("check.dat"));
    std::string id, handle, memo, attribute;
    while (reader.ReadLine(id) && reader.ReadLine(handle) && reader.ReadLine(memo) &&
           reader.ReadLine(attribute))
      result[id] = attribute;
    return result;
  }

  TPickData store;
  TStringListWithHash folder;
};

TEST_F(ImportTest, LayoutChoice) {
  const std::string id = "ABC12345";
  EXPECT_EQ(ChooseImportLayout(".dat", "IDVer2.0"), lyA);
  EXPECT_EQ(ChooseImportLayout(".dat", id), lyB);
  EXPECT_EQ(ChooseImportLayout(".dat", " abc12345 "), lyB);
  EXPECT_EQ(ChooseImportLayout(".dat", id + "x"), lyC);
  EXPECT_EQ(ChooseImportLayout(".lst", id + "\thandle"), lyD);
  EXPECT_EQ(ChooseImportLayout(".lst", id + " \thandle"), lyE);
  EXPECT_EQ(ChooseImportLayout(".idb", ""), lyF);
  EXPECT_EQ(ChooseImportLayout(".DAT", id), lyNone);  // extensions are compared exactly
  EXPECT_EQ(ChooseImportLayout(".Lst", id), lyNone);
  EXPECT_EQ(ChooseImportLayout("", id), lyNone);
  EXPECT_EQ(ImportGroupFromAnswer(U("ｂ")), "B");
  EXPECT_EQ(ImportGroupFromAnswer(U("　ｃｄ ")), "C");
  EXPECT_EQ(ImportGroupFromAnswer(U(" 　")), "");
}

TEST_F(ImportTest, LayoutAPivotAndTail) {
  const std::string header = Fixed(147, {{1, "IDVer"}});
  const std::string line = header + RecordA("AAA00001", " hand1 ", "90/01/02", "91/12/31", " memo ") +
                           RecordA("AAA00002", "hand2", "05/06/07", "89/01/01", "m2") +
                           RecordA("AAA00003", "tail", "00/01/01", "00/01/01", "cut").substr(0, 97);
  EXPECT_EQ(Import("a.dat", line + "\r\nAAA00009 ignored second line\r\n"), 3);
  auto attributes = Attributes();
  EXPECT_EQ(attributes["AAA00001"], "A  2090010219911231 ");
  EXPECT_EQ(attributes["AAA00002"], "A  2005060720890101 ");  // 89 is not after the pivot
  EXPECT_EQ(attributes["AAA00003"], "A  2000010120000101 ");
  ASSERT_TRUE(store.Select("AAA00001"));
  EXPECT_EQ(store.CurrentHandle(), "hand1");
  EXPECT_EQ(store.CurrentMemo(), "memo");
  EXPECT_FALSE(store.Select("AAA00009"));
  ASSERT_TRUE(store.Select("AAA00003"));
  EXPECT_EQ(store.CurrentMemo(), "cut");  // the part of the memo that is there

  // A tail of 96 bytes is not a record.
  EXPECT_EQ(Import("b.dat", header + RecordA("AAA00004", "h", "", "", "").substr(0, 96)), 0);
}

TEST_F(ImportTest, LayoutBTakesGroupsFlagsAndWholeDates) {
  const std::string bytes = Record("BBB00001", "handle" + std::string(34, ' ') + "nick", "memo",
                                   "CAP1998 3 42001 2 3M") +
                            Record("BBB00002", "h", "", "Q  19990101") +  // Q: no such group
                            Record("BBB00003", "h", "", "D  1999") +
                            "BBB00004\r\nshort";  // cut short by the end of the file
  EXPECT_EQ(Import("zelvo.dat", bytes, "A"), 4);
  auto attributes = Attributes();
  EXPECT_EQ(attributes["BBB00001"], "CAP1998 3 42001 2 3M");
  EXPECT_EQ(attributes.count("BBB00002"), 0u);  // went to the trash
  EXPECT_EQ(attributes["BBB00003"], "D  2024 3 52024 3 5 ");  // dates incomplete: today stays
  EXPECT_EQ(attributes.count("BBB00004"), 0u);  // no group letter: trash
  ASSERT_TRUE(store.Select("BBB00002"));
  EXPECT_EQ(store.CurrentGroup(), "E");
  EXPECT_EQ(store.RegistDateText(), "1999/01/01");
  ASSERT_TRUE(store.Select("BBB00001"));
  EXPECT_EQ(store.CurrentAlias(), "nick");
  EXPECT_TRUE(store.IsAutoRegist() && store.HasProfile() && store.HasMemo());
  EXPECT_EQ(folder.Count(), 4);
}

TEST_F(ImportTest, LayoutCRecordLimit) {
  auto rec = [](const std::string& id) {
    return Fixed(74, {{1, id}, {9, "handle"}, {29, "memo text"}, {56, "1997"}, {61, "08"}, {64, "09"}});
  };
  EXPECT_EQ(Import("c.dat", rec("CCC00001") + rec("CCC00002") + rec("CCC00003").substr(0, 74)), 3);
  EXPECT_EQ(Import("d.dat", rec("CCC00004") + rec("CCC00005").substr(0, 73)), 1);
  EXPECT_EQ(Attributes()["CCC00002"], "A  1997080919970809 ");
}

TEST_F(ImportTest, LayoutDTabFields) {
  const std::string bytes =
      "DDD00001\t hand \tm1\tm2\tm3\tm4\tm5\tm6\tx\t80/01/02\t81/03/04\textra\r\n"
      "DDD00002\thandle only\r\n"
      "not an id\tx\r\n"
      "\r\n";
  EXPECT_EQ(Import("d.lst", bytes), 2);
  auto attributes = Attributes();
  EXPECT_EQ(attributes["DDD00001"], "A  2080010219810304 ");
  EXPECT_EQ(attributes["DDD00002"], "A    20      20     ");
  ASSERT_TRUE(store.Select("DDD00001"));
  EXPECT_EQ(store.CurrentMemo(), " m1 m2 m3 m4 m5 m6");
  EXPECT_EQ(folder.Objects(folder.IndexOf("DDD00001"))->Handle, " hand ");  // not trimmed
  ASSERT_TRUE(store.Select("DDD00002"));
  EXPECT_EQ(store.CurrentMemo(), "      ");
}

TEST_F(ImportTest, LayoutELongFirstLine) {
  auto rec = [](const std::string& id, const std::string& date) {
    return Fixed(96, {{1, id}, {9, "  long handle  "}, {49, date}, {57, " memo "}});
  };
  // Not an ID and a tab at the start, so the fixed layout even though the first record is valid.
  EXPECT_EQ(Import("e.lst", rec("EEE00001", "80/02/03") + rec("EEE00002", "81/04/05") +
                                rec("EEE00003", "99/01/01").substr(0, 95)),
            2);
  auto attributes = Attributes();
  EXPECT_EQ(attributes["EEE00001"], "A  2080020320800203 ");
  EXPECT_EQ(attributes["EEE00002"], "A  1981040519810405 ");
  ASSERT_TRUE(store.Select("EEE00001"));
  EXPECT_EQ(store.CurrentHandle(), "long handle");
  EXPECT_EQ(store.CurrentMemo(), "memo");
}

TEST_F(ImportTest, LayoutFSkipsItsHeader) {
  const std::string line1 = Fixed(100, {{1, "FFF00001"}, {10, "header"}});
  const std::string line2 = Fixed(100, {{1, "FFF00002"}, {10, "hand"}, {31, "19960102"},
                                        {46, "20000304"}, {61, "memo"}});
  EXPECT_EQ(Import("f.idb", line1 + "\r\n" + line2 + "\r\nFFF00003"), 2);
  auto attributes = Attributes();
  EXPECT_EQ(attributes.count("FFF00001"), 0u);
  EXPECT_EQ(attributes["FFF00002"], "A  1996010220000304 ");
  EXPECT_EQ(attributes["FFF00003"], "A" + std::string(19, ' '));  // empty date texts
}

TEST_F(ImportTest, KnownIdsKeepTheirDataButAreFiled) {
  store.RegistID("OLD00001", "original", "", "kept", "B", false, false, nullptr, false, nullptr);
  const std::string bytes = "OLD00001\tnewhandle\r\nNEW00001\tfirst\r\nNEW00001\tsecond\r\n";
  EXPECT_EQ(Import("x.lst", bytes, "E"), 3);
  ASSERT_TRUE(store.Select("OLD00001"));
  EXPECT_EQ(store.CurrentHandle(), "original");
  EXPECT_EQ(store.CurrentGroup(), "B");
  EXPECT_EQ(store.CurrentMemo(), "kept");
  ASSERT_TRUE(store.Select("NEW00001"));
  EXPECT_EQ(store.CurrentHandle(), "first");  // registered once
  EXPECT_EQ(store.CurrentGroup(), "E");
  EXPECT_EQ(store.EntryCount(), 2);

  ASSERT_EQ(folder.Count(), 2);
  EXPECT_EQ(folder.Strings(0), "OLD00001");
  EXPECT_EQ(folder.Objects(0)->Handles, (std::vector<std::string>{"newhandle"}));
  EXPECT_EQ(folder.Objects(1)->Handles, (std::vector<std::string>{"first", "second"}));
}

TEST_F(ImportTest, WrongExtensionOrLayoutAddsNothing) {
  EXPECT_EQ(Import("upper.DAT", Record("UPP00001", "h", "", "A")), 0);
  EXPECT_EQ(Import("noext", Record("UPP00001", "h", "", "A")), 0);
  EXPECT_EQ(Import("bin.idb", std::string("\0\xff\n\x81\n\n", 6)), 0);
  EXPECT_EQ(Import("empty.lst", ""), 0);
  EXPECT_EQ(Import("empty.dat", ""), 0);
  EXPECT_EQ(folder.Count(), 0);
  EXPECT_EQ(store.EntryCount(), 0);
}

}  // namespace
