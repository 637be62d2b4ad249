// The import queue on folders and archives: each member is a log of its own in the queue's
// order and count, named by the archive's path and its own; integration, stop and many members.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <string>
#include <vector>

#include "TreeSupport.h"
#include "support/ArchiveFixtures.h"
#include "tree/ImportQueue.h"

using treetest::Child;
using treetest::ChildTexts;
using treetest::Entries;
using treetest::RunUntil;
using treetest::Tree;
using treetest::U;

namespace {

// A CB log of talk lines, CR LF, as the bytes of a member.
std::string CB(char band, const std::vector<std::string>& ids) {
  std::string text = std::string("*Welcome to CB Band ") + band + "\r\n";
  for (const std::string& id : ids) text += "(1," + id + ",h" + id.substr(3) + ")\r\n";
  return text;
}

struct Recorder {
  std::vector<std::string> statuses, unreadable;
  std::vector<int> started;
  int finished = 0;
  void Attach(TImportQueue& q) {
    q.OnStatus = [this, &q](const std::string& s) {
      statuses.push_back(quillet::ToUtf8(s));
      started.push_back(q.FilesStarted() * 1000 + q.FilesTotal());
    };
    q.OnUnreadable = [this](const std::vector<std::string>& p) { unreadable = p; };
    q.OnFinished = [this] { ++finished; };
  }
};

class ImportArchives : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.filePath(QString::fromStdString(name)).toStdString(); }
  QTemporaryDir dir_;
};

}  // namespace

TEST_F(ImportArchives, MembersAndFolderFilesAreLogsInTheirPlace) {
  Tree t;
  const std::string zip = Path("pack.zip"), folder = Path("logs");
  archivetest::WriteFile(zip, archivetest::StoredZip({{U("ﾛｸﾞ/二.log"), CB('B', {"BBB00002"})},
                                                      {"skip.exe", "MZ"},
                                                      {"one.TXT", CB('A', {"AAA00001"})}}));
  ::mkdir(folder.c_str(), 0755);
  archivetest::WriteFile(Path("logs/c.log"), CB('C', {"CCC00003"}));
  archivetest::WriteFile(Path("logs/.c.log"), CB('C', {"HID00001"}));
  archivetest::WriteWithLibarchive(Path("logs/d.tar.gz"), "tar", "gzip", {{"d.log", CB('A', {"DDD00004"})}});

  TImportQueue q(&t.mgr);
  t.mgr.OnFileEnd = q.FileEndHandler();
  Recorder r;
  r.Attach(q);
  // The last path first (the folder: its file, then its archive's member), then the zip.
  ASSERT_TRUE(q.Import({zip, folder}, TForumData{}, false));
  ASSERT_TRUE(RunUntil([&] { return r.finished > 0; }));
  const std::string member2 = zip + "/ﾛｸﾞ/二.log";
  EXPECT_EQ(r.statuses, (std::vector<std::string>{folder + "/c.logを検索中", folder + "/d.tar.gz/d.logを検索中",
                                                  member2 + "を検索中", zip + "/one.TXTを検索中", ""}));
  // Which log of how many, members counted.
  EXPECT_EQ(r.started, (std::vector<int>{1004, 2004, 3004, 4004, 4004}));
  EXPECT_TRUE(r.unreadable.empty());
  const std::string node2 = quillet::FromUtf8(member2);
  TTreeNode* n2 = Child(t.root, node2);
  ASSERT_NE(n2, nullptr);
  EXPECT_EQ(n2->ImageIndex(), imgFileDone);
  EXPECT_EQ(Entries(Child(Child(n2, U("ＣＢシミュレータ")), "Band B")), std::vector<std::string>{"BBB00002=h00002"});
  EXPECT_EQ(Entries(Child(Child(Child(t.root, zip + "/one.TXT"), U("ＣＢシミュレータ")), "Band A")),
            std::vector<std::string>{"AAA00001=h00001"});
  EXPECT_NE(Child(t.root, folder + "/d.tar.gz/d.log"), nullptr);
  EXPECT_EQ(t.root->Count(), 5);  // four logs and "登録ID"

  // Integrated: everything in the node of the first log scanned.
  Tree t2;
  TImportQueue q2(&t2.mgr);
  t2.mgr.OnFileEnd = q2.FileEndHandler();
  Recorder r2;
  r2.Attach(q2);
  ASSERT_TRUE(q2.Import({folder, zip}, TForumData{}, true));
  EXPECT_EQ(q2.IntegrateName, node2);
  ASSERT_TRUE(RunUntil([&] { return r2.finished > 0; }));
  EXPECT_EQ(ChildTexts(t2.root), (std::vector<std::string>{node2, U("登録ID")}));
  EXPECT_EQ(ChildTexts(Child(Child(t2.root, node2), U("ＣＢシミュレータ"))),
            (std::vector<std::string>{"Band A", "Band B", "Band C"}));
}

TEST_F(ImportArchives, EmptyAndDamagedArchivesAreToldAndTheRestImported) {
  Tree t;
  ::mkdir(Path("empty").c_str(), 0755);
  archivetest::WriteFile(Path("nolog.lzh"), archivetest::StoredLzh({{"a.doc", "x"}}));
  std::vector<archivetest::Member> members{{"1.log", CB('A', {"AAA00001"})}};
  std::vector<std::string> ids;
  for (int i = 0; i < 3000; ++i) ids.push_back("CUT" + std::to_string(10000 + i));
  members.push_back({"2.log", CB('B', ids)});
  const std::string whole = archivetest::StoredZip(members);
  archivetest::WriteFile(Path("cut.zip"), whole.substr(0, whole.size() / 2));
  archivetest::WriteFile(Path("ok.log"), CB('C', {"CCC00003"}));

  TImportQueue q(&t.mgr);
  t.mgr.OnFileEnd = q.FileEndHandler();
  Recorder r;
  r.Attach(q);
  ASSERT_TRUE(q.Import({Path("empty"), Path("nolog.lzh"), Path("cut.zip"), Path("ok.log")}, TForumData{}, false));
  ASSERT_TRUE(RunUntil([&] { return r.finished > 0; }));
  EXPECT_EQ(q.FilesTotal(), 3);
  EXPECT_EQ(r.unreadable, (std::vector<std::string>{Path("empty"), Path("nolog.lzh"), Path("cut.zip"),
                                                    Path("cut.zip") + "/2.log"}));
  EXPECT_EQ(q.UnreadableReasons()[0], TImportQueue::kNoLog);
  EXPECT_EQ(q.UnreadableReasons()[1], TImportQueue::kNoLog);
  EXPECT_FALSE(q.UnreadableReasons()[2].empty());
  // The cut member is filed up to the damage.
  TTreeNode* cutBand = Child(Child(Child(t.root, Path("cut.zip") + "/2.log"), U("ＣＢシミュレータ")), "Band B");
  ASSERT_NE(cutBand, nullptr);
  const int filed = cutBand->IDSet()->Count();
  EXPECT_GT(filed, 100);
  EXPECT_LT(filed, 3000);
  EXPECT_NE(Child(t.root, Path("cut.zip") + "/1.log"), nullptr);
  EXPECT_NE(Child(t.root, Path("ok.log")), nullptr);

  // Nothing but emptiness: the import still ends, once, and says so.
  Recorder r2;
  r2.Attach(q);
  ASSERT_TRUE(q.Import({Path("empty")}, TForumData{}, false));
  ASSERT_TRUE(RunUntil([&] { return r2.finished > 0; }));
  EXPECT_EQ(r2.finished, 1);
  EXPECT_FALSE(q.Running());
  EXPECT_EQ(r2.unreadable, std::vector<std::string>{Path("empty")});
}

TEST_F(ImportArchives, ManyMembersStopAndAFreshImportOfTheSameArchive) {
  Tree t;
  std::vector<archivetest::Member> members;
  const int count = 2000;
  for (int i = 0; i < count; ++i) members.push_back({"m" + std::to_string(10000 + i) + ".log", CB('A', {"MMM" + std::to_string(10000 + i)})});
  archivetest::WriteFile(Path("many.zip"), archivetest::StoredZip(members));

  TImportQueue q(&t.mgr);
  t.mgr.OnFileEnd = q.FileEndHandler();
  Recorder r;
  r.Attach(q);
  ASSERT_TRUE(q.Import({Path("many.zip")}, TForumData{}, true));
  EXPECT_EQ(q.FilesTotal(), count);
  ASSERT_TRUE(RunUntil([&] { return r.finished > 0 || q.FilesStarted() >= 50; }));
  q.Stop();
  ASSERT_TRUE(RunUntil([&] { return r.finished > 0; }));
  const int stoppedAt = q.FilesStarted();
  EXPECT_LT(stoppedAt, count);
  const std::string node = Path("many.zip") + "/m10000.log";
  TTreeNode* band = Child(Child(Child(t.root, node), U("ＣＢシミュレータ")), "Band A");
  ASSERT_NE(band, nullptr);
  EXPECT_LE(band->IDSet()->Count(), stoppedAt);

  // Again, whole: every member once, in stored order, through one pass over the archive.
  Tree t2;
  TImportQueue q2(&t2.mgr);
  t2.mgr.OnFileEnd = q2.FileEndHandler();
  Recorder r2;
  r2.Attach(q2);
  ASSERT_TRUE(q2.Import({Path("many.zip")}, TForumData{}, true));
  ASSERT_TRUE(RunUntil([&] { return r2.finished > 0; }, 120000));
  EXPECT_EQ(q2.FilesStarted(), count);
  const std::vector<std::string> all = Entries(Child(Child(Child(t2.root, node), U("ＣＢシミュレータ")), "Band A"));
  ASSERT_EQ(all.size(), static_cast<size_t>(count));
  for (int i = 0; i < count; i += 397) EXPECT_EQ(all[static_cast<size_t>(i)], "MMM" + std::to_string(10000 + i) + "=h" + std::to_string(10000 + i).substr(0, 5));
}
