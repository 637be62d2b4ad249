// Reading and writing the data file: round trips, the load-time normalisations, format errors,
// the trash at save time, the missing file, and saves that fail.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "common/Error.h"
#include "iddb/PickEngine.h"
#include "Support.h"

using namespace iddbtest;

namespace {

const std::string kPad40 = std::string(40, ' ');

// Entries as the sibling product and the import write them: both date forms, a handle of more
// than 40 bytes, Japanese text, an empty memo, a lone CR inside a memo.
std::string SampleFile() {
  return Record("ABC12345", U("やまだ") + std::string(34, ' ') + U("ニック"), U("メモ欄"),
                "AAP1999 1 5200012 9M") +
         Record("XYZ00001", std::string(45, 'h') + "alias", "", "B  19990105") +
         Record("QRS99999", "short", "cr\rinside", "CA 2001 2 32001 2 3 ");
}

class DataFileTest : public ::testing::Test, public Fixture {};

TEST_F(DataFileTest, UnchangedFileRoundTripsByteForByte) {
  const std::string original = SampleFile();
  WriteFile(DataFile(), original);
  {
    TPickData store;
    ASSERT_TRUE(store.Load(DataFile()));
    EXPECT_EQ(store.EntryCount(), 3);
    EXPECT_EQ(store.DataFolder(), Folder());
    EXPECT_TRUE(ui.messages.empty());
    // The backup is written at once; the second entry's short attribute line got its padding.
    const std::string expected = Record("ABC12345", U("やまだ") + std::string(34, ' ') + U("ニック"),
                                        U("メモ欄"), "AAP1999 1 5200012 9M") +
                                 Record("XYZ00001", std::string(45, 'h') + "alias", "",
                                        "B  19990105         ") +
                                 Record("QRS99999", "short", "cr\rinside", "CA 2001 2 32001 2 3 ");
    EXPECT_EQ(ReadFile(DataFile() + ".bak"), expected);
    EXPECT_EQ(ReadFile(DataFile()), original);  // untouched until shutdown
    store.Save(Path("copy.dat"));
    EXPECT_EQ(ReadFile(Path("copy.dat")), expected);
  }
  EXPECT_EQ(ReadFile(Path("ZelvoGP.dat")), ReadFile(Path("ZelvoGP.dat.bak")));
  // A file that is already normalised comes back exactly.
  const std::string normal = ReadFile(DataFile());
  TPickData again;
  again.SetReadOnly(true);
  again.Load(DataFile());
  again.Save(Path("copy2.dat"));
  EXPECT_EQ(ReadFile(Path("copy2.dat")), normal);
}

TEST_F(DataFileTest, AttributeLinesArePaddedCutAndDated) {
  WriteFile(DataFile(), Record("AAA11111", "h", "m", "A") +
                            Record("BBB22222", "h", "m", "B P        2000 1 1MXYZZY") +
                            Record("CCC33333", "h", "m", "Q  1998 1 1") +
                            Record("DDD44444", "h", "m", "\x01"));
  TPickData store;
  ASSERT_TRUE(store.Load(DataFile()));
  EXPECT_EQ(ReadFile(DataFile() + ".bak"),
            Record("AAA11111", "h", "m", "A  2024 3 5         ") +
                Record("BBB22222", "h", "m", "B P2024 3 52000 1 1M") +
                Record("CCC33333", "h", "m", "Q  1998 1 1         "));
  EXPECT_EQ(store.GroupMgr().GroupName('Q'), U("ｸﾞﾙｰﾌﾟQ"));
  ASSERT_TRUE(store.Select("DDD44444"));  // a column 1 that is no letter: trash, not a group
  EXPECT_EQ(store.CurrentGroup(), "E");
  EXPECT_EQ(store.GroupMgr().Count(), 6);
}

TEST_F(DataFileTest, FormatErrorKeepsEveryRecordOnDisk) {
  // The ID of the second record has four letters: the message names line 5.
  const std::string original = Record("ABC12345", "h1", "m1", "A  1999 1 11999 1 1 ") +
                               Record("ABCD1234", "h2", "m2", "A  1999 1 11999 1 1 ") +
                               Record("XYZ99999", "h3", "m3", "B");
  WriteFile(DataFile(), original);
  {
    TPickData store;
    ASSERT_TRUE(store.Load(DataFile()));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], U("データファイル(ID)の形式が正しくありません。(5)"));
    EXPECT_EQ(store.EntryCount(), 1);
    EXPECT_TRUE(store.LoadStoppedEarly());
    EXPECT_EQ(store.UnreadRemainder(), original.substr(original.find("ABCD1234")));
    // No backup is made from a damaged file; it is copied beside instead.
    EXPECT_FALSE(Exists(DataFile() + ".bak"));
    EXPECT_EQ(ReadFile(store.BrokenCopy()), original);
    // Registering an ID among the unread records would make a second record of it.
    EXPECT_THROW(store.RegistID("XYZ99999", "new", "", "", "B", false, false, nullptr, false, nullptr), Error);
  }
  EXPECT_EQ(ReadFile(DataFile()), original);
}

TEST_F(DataFileTest, TruncatedAndTrailingLinesGiveTheirMessages) {
  const std::string one = Record("ABC12345", "h", "m", "A  1999 1 11999 1 1 ");
  struct Case {
    std::string bytes;
    std::string message;
    int entries;
  } cases[] = {
      // The last record lacks its attribute line: the count is the lines in the file.
      {one + "XYZ00001\r\nh\r\nm\r\n", U("データファイルの形式が正しくありません。(7)"), 1},
      {one + "XYZ00001", U("データファイルの形式が正しくありません。(5)"), 1},
      // An empty line after the last record is read as an ID line.
      {one + "\r\n", U("データファイル(ID)の形式が正しくありません。(5)"), 1},
      {std::string("\0\0garbage", 9), U("データファイル(ID)の形式が正しくありません。(1)"), 0},
  };
  for (const Case& c : cases) {
    ui.messages.clear();
    WriteFile(DataFile(), c.bytes);
    TPickData store;
    ASSERT_TRUE(store.Load(DataFile()));
    ASSERT_EQ(ui.messages.size(), 1u) << c.message;
    EXPECT_EQ(ui.messages[0], c.message);
    EXPECT_EQ(store.EntryCount(), c.entries);
    EXPECT_FALSE(Exists(DataFile() + ".bak"));
    store.Close();
    EXPECT_EQ(ReadFile(DataFile()), c.bytes);  // nothing written over it
  }
  // Ending exactly after a record, and an empty file, are no errors.
  ui.messages.clear();
  WriteFile(DataFile(), one);
  TPickData store;
  EXPECT_TRUE(store.Load(DataFile()));
  WriteFile(Path("empty.dat"), "");
  TPickData empty;
  EXPECT_TRUE(empty.Load(Path("empty.dat")));
  EXPECT_EQ(empty.EntryCount(), 0);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DataFileTest, TrashIsDroppedAtSaveWithItsFilesWhenMarkedP) {
  mkdir(Path("Profile").c_str(), 0700);
  mkdir(Path("Memo").c_str(), 0700);
  for (const char* id : {"TRA00001", "TRA00002", "KEP00001"}) {
    WriteFile(Path("Profile/") + id + ".txt", "p\r\n");
    WriteFile(Path("Memo/") + id + ".txt", "m\r\n");
  }
  WriteFile(DataFile(), Record("TRA00001", "h", "m", "E P2000 1 12000 1 1 ") +
                            Record("TRA00002", "h", "m", "E  2000 1 12000 1 1M") +
                            Record("KEP00001", "h", "m", "A P2000 1 12000 1 1M"));
  TPickData store;
  ASSERT_TRUE(store.Load(DataFile()));
  // The backup write already drops the trash and deletes the files of the "P" entry only.
  EXPECT_EQ(ReadFile(DataFile() + ".bak"), Record("KEP00001", "h", "m", "A P2000 1 12000 1 1M"));
  EXPECT_FALSE(Exists(Path("Profile/TRA00001.txt")));
  EXPECT_FALSE(Exists(Path("Memo/TRA00001.txt")));
  EXPECT_TRUE(Exists(Path("Profile/TRA00002.txt")));
  EXPECT_TRUE(Exists(Path("Memo/TRA00002.txt")));
  EXPECT_TRUE(Exists(Path("Profile/KEP00001.txt")));
  // Trash entries stay in memory until the run ends.
  EXPECT_TRUE(store.Select("TRA00001"));
  // A group deleted during the run sends its entries to the trash as well.
  store.ChangeGroup("KEP00001", "E");
  ui.events = 0;
  store.Save(Path("out.dat"));
  EXPECT_EQ(ui.events, 3);  // the interface gets a turn for every entry
  EXPECT_EQ(ReadFile(Path("out.dat")), "");
}

TEST_F(DataFileTest, EmptyStoreLeavesAnExistingFileAlone) {
  WriteFile(Path("other.dat"), "precious");
  TPickData store;
  store.Save(Path("other.dat"));
  EXPECT_EQ(ReadFile(Path("other.dat")), "precious");
}

TEST_F(DataFileTest, DuplicateIdsAreTwoEntriesBothWritten) {
  const std::string original = Record("DUP00001", "first", "", "A  2000 1 12000 1 1 ") +
                               Record("DUP00001", "second", "", "B  2000 1 12000 1 1 ");
  WriteFile(DataFile(), original);
  TPickData store;
  store.Load(DataFile());
  ASSERT_TRUE(store.Select("DUP00001"));
  EXPECT_EQ(store.CurrentHandle(), "second");
  std::vector<std::string> walked;
  store.FindNext("");
  while (store.FindNext(" ")) walked.push_back(store.CurrentHandle());
  EXPECT_EQ(walked, (std::vector<std::string>{"first", "second"}));
  store.Save(Path("out.dat"));
  EXPECT_EQ(ReadFile(Path("out.dat")), original);
}

TEST_F(DataFileTest, MissingFileStillGivesGroupsAndComesIntoBeingAtShutdown) {
  const std::string folder = Path("new/deeper");
  {
    TPickData store;
    EXPECT_FALSE(store.Load(folder + "/Zelvo.dat"));
    EXPECT_EQ(store.DataFolder(), folder);
    EXPECT_EQ(store.GroupMgr().Count(), 5);
    EXPECT_TRUE(Exists(folder + "/ZelvoGP.dat.bak"));
    EXPECT_FALSE(Exists(folder + "/Zelvo.dat.bak"));
    store.RegistID("NEW00001", "handle", "", "memo", "B", false, false, nullptr, false, nullptr);
  }
  EXPECT_EQ(ReadFile(folder + "/Zelvo.dat"),
            Record("NEW00001", "handle" + std::string(34, ' '), "memo", "B  2024 3 52024 3 5 "));
  EXPECT_TRUE(Exists(folder + "/ZelvoGP.dat"));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DataFileTest, MissingFileKeepsEntriesInMemory) {
  WriteFile(DataFile(), Record("ABC12345", "h", "m", "A  2000 1 12000 1 1 "));
  TPickData store;
  store.SetReadOnly(true);
  ASSERT_TRUE(store.Load(DataFile()));
  EXPECT_FALSE(store.Load(Path("nowhere/Zelvo.dat")));
  EXPECT_EQ(store.EntryCount(), 1);
  EXPECT_FALSE(Exists(Path("nowhere")));  // read-only: not even the folder is made
}

// A save that runs out of room part-way must leave the old file as it was.
TEST_F(DataFileTest, FailedSaveLeavesTheOldFileIntact) {
  std::string big;
  for (int i = 0; i < 3000; ++i) {
    char id[16];
    std::snprintf(id, sizeof id, "ABC%05d", i);
    big += Record(id, std::string(40, 'h') + "alias", std::string(60, 'm'), "A  2000 1 12000 1 1 ");
  }
  WriteFile(DataFile(), big);
  TPickData store;
  store.Load(DataFile());
  store.RegistID("ZZZ00001", "more", "", "", "A", false, false, nullptr, false, nullptr);

  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  struct rlimit small = old;
  small.rlim_cur = 64 * 1024;  // the new file cannot grow past this
  auto previous = signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  bool threw = false;
  try {
    store.Save(DataFile());
  } catch (const Error& e) {
    threw = true;
    EXPECT_NE(std::string(e.what()).find(DataFile()), std::string::npos) << e.what();
  }
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, previous);
  EXPECT_TRUE(threw);
  EXPECT_EQ(ReadFile(DataFile()), big);
  store.Save(DataFile());  // with room again the save goes through
  EXPECT_EQ(ReadFile(DataFile()).size(), big.size() + 8 + 40 + 0 + 20 + 8);
}

TEST_F(DataFileTest, SaveIntoAMissingFolderRaisesTheError) {
  WriteFile(DataFile(), Record("ABC12345", "h", "m", "A  2000 1 12000 1 1 "));
  TPickData store;
  store.Load(DataFile());
  EXPECT_THROW(store.Save(Path("no/such/folder/Zelvo.dat")), Error);
}

// A file that exists but cannot be read must not be replaced at shutdown by what little the
// store holds then.
TEST_F(DataFileTest, FilesThatCouldNotBeReadAreNotOverwritten) {
  const std::string original = Record("ABC12345", "h", "m", "A  2000 1 12000 1 1 ");
  WriteFile(DataFile(), original);
  ASSERT_EQ(mkdir(Path("ZelvoGP.dat").c_str(), 0700), 0);  // unreadable as a file
  TPickData store;
  EXPECT_THROW(store.Load(DataFile()), Error);
  EXPECT_FALSE(store.Damage().empty());
  EXPECT_THROW(store.RegistID("NEW00001", "h", "", "", "A", false, false, nullptr, false, nullptr), Error);
  store.Close();
  EXPECT_EQ(ReadFile(DataFile()), original);
  EXPECT_FALSE(Exists(DataFile() + ".bak"));

  // Once the group file reads again, so does everything else.
  rmdir(Path("ZelvoGP.dat").c_str());
  TPickData next;
  EXPECT_TRUE(next.Load(DataFile()));
  next.Close();
  EXPECT_EQ(ReadFile(DataFile()), original);
}

}  // namespace

// Records that stand in the read bytes exactly as they are written go out as they are; every
// other line ending, length or change must still give the normal form, and a change made in
// place in the read bytes must be in the file.
TEST_F(DataFileTest, SaveWritesChangesAndOddLineEndsAmongUnchangedRecords) {
  const std::string a = "A  1999 1 11999 1 1 ";
  WriteFile(DataFile(), Record("AAA11111", "h1", "m1", a) +
                            "BBB22222\r\nh2\r\nm2\n" + a + "\r\n" +  // memo ends in LF only
                            Record("CCC33333", "h3", "m3", "E  1999 1 11999 1 1 ") +
                            Record("DDD44444", "h4", "cr\r", a) +
                            Record("EEE55555", "h5", "m5", a) + Record("FFF66666", "h6", "m6", a) +
                            Record("GGG77777", "h7", "m7", a + "XY") +
                            Record("HHH88888", "h8", "m8", a) +
                            "III99999\r\nh9\r\nm9\r\n" + a);  // no line end at the very end
  TPickData store;
  ASSERT_TRUE(store.Load(DataFile()));
  ASSERT_EQ(store.EntryCount(), 9);
  const auto expected = [&](const std::string& e5, const std::string& h6, const std::string& m6) {
    return Record("AAA11111", "h1", "m1", a) + Record("BBB22222", "h2", "m2", a) +
           Record("DDD44444", "h4", "cr\r", a) + Record("EEE55555", "h5", "m5", e5) +
           Record("FFF66666", h6, m6, a) + Record("GGG77777", "h7", "m7", a) +
           Record("HHH88888", "h8", "m8", a) + Record("III99999", "h9", "m9", a);
  };
  EXPECT_EQ(ReadFile(DataFile() + ".bak"), expected(a, "h6", "m6"));

  store.ChangeGroup("EEE55555", "B");  // changed inside the read bytes
  store.RegistID("FFF66666", "new", "nick", "memo", "A", false, false, nullptr, false, nullptr);
  ui.events = 0;
  store.Save(Path("out.dat"));
  const std::string changed =
      expected("B  1999 1 11999 1 1 ", "new" + std::string(37, ' ') + "nick", "memo");
  EXPECT_EQ(ReadFile(Path("out.dat")), changed);
  EXPECT_EQ(ui.events, 9);
  // A second save starts afresh.
  store.Save(Path("out2.dat"));
  EXPECT_EQ(ReadFile(Path("out2.dat")), changed);

  // A record dropped from the front: the others still come out whole.
  store.ChangeGroup("AAA11111", "E");
  store.Save(Path("out3.dat"));
  EXPECT_EQ(ReadFile(Path("out3.dat")), changed.substr(Record("AAA11111", "h1", "m1", a).size()));
}
