// What keeps registered IDs from being lost: saves that fail honestly on a full disk, a damaged
// data file that makes the store read-only and never touches the good backup, the repair, long
// handles, a second writer, trash duplicates, and no save while an error unwinds.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utime.h>

#include <QDir>
#include <cstdio>

#include "common/Error.h"
#include "iddb/PickEngine.h"
#include "iddb/Repair.h"
#include "Support.h"

using namespace iddbtest;

namespace {

const std::string kA = "A  1999 1 11999 1 1 ";

std::string Records(int count, const char* prefix = "ABC") {
  std::string bytes;
  for (int i = 0; i < count; ++i) {
    char id[16];
    std::snprintf(id, sizeof id, "%s%05d", prefix, i);
    bytes += Record(id, "handle" + std::string(34, ' ') + "nick", "memo", kA);
  }
  return bytes;
}

// Files get no larger than `bytes` while it lives; SIGXFSZ is ignored so the write fails instead.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    struct rlimit small = old_;
    small.rlim_cur = bytes;
    previous_ = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, previous_);
  }

 private:
  struct rlimit old_ {};
  void (*previous_)(int) = nullptr;
};

class SafeFilesTest : public ::testing::Test, public Fixture {
 protected:
  QStringList Files() const { return QDir(QString::fromStdString(Folder())).entryList(QDir::Files, QDir::Name); }
};

// The whole file fits in one write: the failure must still be seen before the rename, for every
// kind of file the store writes.
TEST_F(SafeFilesTest, FullDiskFailsEverySaveInJapaneseAndKeepsTheOldFiles) {
  const std::string data = Records(3);
  WriteFile(DataFile(), data);
  TPickData store;
  ASSERT_TRUE(store.Load(DataFile()));
  const std::string backup = ReadFile(DataFile() + ".bak");
  const std::string groups = ReadFile(Path("ZelvoGP.dat.bak"));
  WriteFile(Path("ZelvoGP.dat"), groups);
  store.RegistID("NEW00001", "new", "", "", "A", false, false, nullptr, false, nullptr);
  ASSERT_TRUE(store.GroupMgr().AddGroup('K', "kay"));
  const QStringList before = Files();
  const std::vector<std::string> lines = {std::string(100, 'p')};
  {
    FileSizeLimit limit(40);
    for (const auto& save : std::initializer_list<std::function<void()>>{
             [&] { store.SaveChanges(); }, [&] { store.Save(DataFile() + ".bak"); },
             [&] { store.GroupMgr().Save(Path("ZelvoGP.dat")); },
             [&] { store.SaveProfileFile("ABC00001", lines); }}) {
      try {
        save();
        ADD_FAILURE() << "a save onto a full disk reported success";
      } catch (const Error& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find("保存できませんでした（ファイルが大きすぎます）。元のファイルはそのままです。"),
                  std::string::npos)
            << text;
      }
    }
  }
  EXPECT_EQ(ReadFile(DataFile()), data);
  EXPECT_EQ(ReadFile(DataFile() + ".bak"), backup);
  EXPECT_EQ(ReadFile(Path("ZelvoGP.dat")), groups);
  EXPECT_FALSE(Exists(Path("Profile/ABC00001.txt")));
  EXPECT_EQ(Files(), before);  // no temporary file left behind
  EXPECT_TRUE(store.Changed());
  store.SaveChanges();  // with room again the changes go out
  EXPECT_NE(ReadFile(DataFile()).find("NEW00001"), std::string::npos);
  EXPECT_NE(ReadFile(Path("ZelvoGP.dat")).find("Kkay"), std::string::npos);
}

TEST_F(SafeFilesTest, DamagedFileLeavesTheBackupAloneAndTheStoreReadOnly) {
  const std::string good = Records(8);
  WriteFile(DataFile() + ".bak", good);
  WriteFile(DataFile(), good.substr(0, 300));
  mkdir(Path("Profile").c_str(), 0700);
  WriteFile(Path("Profile/ABC00000.txt"), "p\r\n");
  {
    TPickData store;
    ASSERT_TRUE(store.Load(DataFile()));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_FALSE(store.Damage().empty());
    EXPECT_FALSE(store.Writable());
    EXPECT_EQ(ReadFile(DataFile() + ".bak"), good);
    ASSERT_FALSE(store.BrokenCopy().empty());
    EXPECT_EQ(store.BrokenCopy().rfind(DataFile() + ".broken-", 0), 0u) << store.BrokenCopy();
    EXPECT_EQ(store.BrokenCopy().size(), DataFile().size() + 8 + 15);  // .broken-YYYYMMDD-HHMMSS
    EXPECT_EQ(ReadFile(store.BrokenCopy()), good.substr(0, 300));

    // Every change is refused with the reason; nothing reaches a file.
    const std::vector<std::string> lines = {"x"};
    for (const auto& change : std::initializer_list<std::function<void()>>{
             [&] { store.RegistID("NEW00001", "h", "", "", "A", false, false, nullptr, false, nullptr); },
             [&] { store.RegistID("ABC00007", "h", "", "", "A", false, false, nullptr, false, nullptr); },
             [&] { store.ChangeGroup("ABC00000", "B"); }, [&] { store.SetAutoRegist("ABC00000", false); },
             [&] { store.GroupMgr().AddGroup('K', "k"); }, [&] { store.GroupMgr().RenameGroup('A', "a"); },
             [&] { store.SaveProfileFile("ABC00000", lines); }, [&] { store.DeleteProfileFile("ABC00000"); }}) {
      try {
        change();
        ADD_FAILURE() << "a change of a damaged store went through";
      } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("読み取り専用"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("データファイルの形式が正しくありません。(14)"), std::string::npos)
            << e.what();
      }
    }
    EXPECT_FALSE(store.Changed());
    store.Close();
  }
  EXPECT_EQ(ReadFile(DataFile()), good.substr(0, 300));
  EXPECT_EQ(ReadFile(DataFile() + ".bak"), good);
  EXPECT_FALSE(Exists(Path("ZelvoGP.dat")));
  EXPECT_FALSE(Exists(Path("ZelvoGP.dat.bak")));
  EXPECT_EQ(ReadFile(Path("Profile/ABC00000.txt")), "p\r\n");
}

TEST_F(SafeFilesTest, RepairKeepsTheRecordsAroundABadOne) {
  const std::string before = Record("AAA11111", "h1", "m1", kA) + "BBB22222\nh2\r\nm2\n" + kA + "\r\n";
  // A record whose ID is bad, and a line that passes the ID test but is no record start (the
  // third line after it is no attribute line).
  const std::string bad = "ABCD1234\r\nQQQ33333\r\nm3\r\nx3\r\nyy\r\n";
  const std::string after = Record("CCC44444", "h4", "m4", "B") + Record("DDD55555", "h5", "", "E");
  const std::string tail = "EEE66666\r\nh6\r\n";  // the last record is cut short
  const std::string original = before + bad + after + tail;
  WriteFile(DataFile(), original);

  const quillet::RepairSplit split = quillet::SplitForRepair(original);
  EXPECT_EQ(split.kept, before + after);
  EXPECT_EQ(split.rejected, bad + tail);
  EXPECT_EQ(split.records, 4);
  EXPECT_EQ(split.rejectedLines, 7);

  const quillet::RepairResult result = quillet::RepairDataFile(DataFile());
  EXPECT_TRUE(result.written);
  EXPECT_EQ(ReadFile(DataFile()), before + after);  // byte for byte, trash included
  EXPECT_EQ(ReadFile(DataFile() + ".rejected"), bad + tail);
  EXPECT_EQ(ReadFile(result.brokenCopy), original);
  TPickData store;
  ASSERT_TRUE(store.Load(DataFile()));
  EXPECT_TRUE(store.Damage().empty());
  EXPECT_EQ(store.EntryCount(), 4);
  EXPECT_TRUE(ui.messages.empty());

  // A sound file is left alone; a file with no record at all is not replaced by an empty one.
  const quillet::RepairResult again = quillet::RepairDataFile(DataFile());
  EXPECT_FALSE(again.written);
  EXPECT_EQ(again.rejectedLines, 0);
  WriteFile(DataFile(), "garbage\r\nmore\r\n");
  const quillet::RepairResult nothing = quillet::RepairDataFile(DataFile());
  EXPECT_FALSE(nothing.written);
  EXPECT_EQ(nothing.records, 0);
  EXPECT_EQ(ReadFile(DataFile()), "garbage\r\nmore\r\n");
}

TEST_F(SafeFilesTest, LongHandlesAreCutAtAWholeCharacterWithin40Bytes) {
  WriteFile(DataFile(), Records(1));
  TPickData store;
  store.Load(DataFile());
  // 39 single bytes and then double-byte characters: the first of them does not fit.
  const std::string handle = std::string(39, 'h') + U("あいうえおかきくけこ");
  ASSERT_EQ(handle.size(), 59u);
  store.RegistID("NEW00001", handle, U("ニック"), "", "A", false, false, nullptr, false, nullptr);
  store.RegistID("NEW00002", std::string(60, 'x'), "nick", "", "A", false, false, nullptr, false, nullptr);
  store.Close();
  TPickData again;
  again.SetReadOnly(true);
  again.Load(DataFile());
  ASSERT_TRUE(again.Select("NEW00001"));
  EXPECT_EQ(again.CurrentHandle(), std::string(39, 'h'));
  EXPECT_EQ(again.CurrentAlias(), U("ニック"));
  ASSERT_TRUE(again.Select("NEW00002"));
  EXPECT_EQ(again.CurrentHandle(), std::string(40, 'x'));
  EXPECT_EQ(again.CurrentAlias(), "nick");
}

TEST_F(SafeFilesTest, ASecondWriterIsNoticedBeforeEverySave) {
  WriteFile(DataFile(), Records(2));
  TPickData store;
  store.Load(DataFile());
  store.ChangeGroup("ABC00000", "B");
  store.SaveChanges();
  EXPECT_FALSE(store.Changed());
  const std::string ours = ReadFile(DataFile());

  // Touched but not changed: no conflict.
  utime(DataFile().c_str(), nullptr);
  store.ChangeGroup("ABC00000", "C");
  store.SaveChanges();

  // Another program writes the file (same length), then we change something.
  std::string theirs = ReadFile(DataFile());
  theirs.replace(theirs.find("handle"), 6, "THEIRS");
  WriteFile(DataFile(), theirs);
  store.ChangeGroup("ABC00001", "D");
  EXPECT_THROW(store.SaveChanges(), TDataFileChanged);
  EXPECT_EQ(ReadFile(DataFile()), theirs);
  EXPECT_TRUE(store.Changed());
  EXPECT_THROW(store.Close(), TDataFileChanged);  // nor at shutdown
  EXPECT_EQ(ReadFile(DataFile()), theirs);

  // A file that appears where there was none is a second writer too.
  TPickData fresh;
  fresh.Load(Path("other/Zelvo.dat"));
  fresh.RegistID("NEW00001", "h", "", "", "A", false, false, nullptr, false, nullptr);
  WriteFile(Path("other/Zelvo.dat"), Records(1));
  EXPECT_THROW(fresh.SaveChanges(), TDataFileChanged);
  fresh.SaveChanges(true);  // ours wins when asked to
  EXPECT_NE(ReadFile(Path("other/Zelvo.dat")).find("NEW00001"), std::string::npos);
  EXPECT_FALSE(fresh.Changed());
}

TEST_F(SafeFilesTest, ADroppedTrashDuplicateLeavesTheLiveRecordsFiles) {
  mkdir(Path("Profile").c_str(), 0700);
  mkdir(Path("Memo").c_str(), 0700);
  WriteFile(Path("Profile/DUP00001.txt"), "p\r\n");
  WriteFile(Path("Memo/DUP00001.txt"), "m\r\n");
  WriteFile(DataFile(), Record("DUP00001", "old", "", "E P2000 1 12000 1 1M") +
                            Record("DUP00001", "live", "", "A P2000 1 12000 1 1M"));
  TPickData store;
  store.Load(DataFile());  // the backup write drops the trash record
  EXPECT_EQ(ReadFile(DataFile() + ".bak"), Record("DUP00001", "live", "", "A P2000 1 12000 1 1M"));
  EXPECT_TRUE(Exists(Path("Profile/DUP00001.txt")));
  EXPECT_TRUE(Exists(Path("Memo/DUP00001.txt")));
}

TEST_F(SafeFilesTest, NothingIsSavedWhileAnErrorUnwinds) {
  const std::string data = Records(2);
  WriteFile(DataFile(), data);
  try {
    TPickData store;
    store.Load(DataFile());
    store.RegistID("NEW00001", "half", "", "", "A", false, false, nullptr, false, nullptr);
    store.GroupMgr().AddGroup('K', "k");
    throw Error("read error half-way");
  } catch (const Error&) {
  }
  EXPECT_EQ(ReadFile(DataFile()), data);
  EXPECT_FALSE(Exists(Path("ZelvoGP.dat")));
}

}  // namespace
