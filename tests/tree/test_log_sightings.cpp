// The sightings of one ID in the logs behind a folder: which logs and contexts each kind of
// folder covers, integrated imports, logs that changed or vanished after the import, stopping.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "TreeSupport.h"
#include "support/ArchiveFixtures.h"
#include "tree/ImportQueue.h"
#include "tree/LogSightings.h"

using treetest::Child;
using treetest::Logs;
using treetest::RunUntil;
using treetest::Tree;
using treetest::U;

namespace {

// Screen lines with an ID at their fixed columns (UTF-8; the log file gets Shift-JIS).
std::string Columns(size_t length, std::initializer_list<std::pair<size_t, std::string>> fields) {
  std::string line(length, ' ');
  for (const auto& [column, text] : fields) line.replace(column - 1, text.size(), text);
  return line;
}
std::string Member(const std::string& id, const std::string& handle) {
  return Columns(30, {{1, id}, {11, handle}, {28, "OFF"}});
}
std::string Library(const std::string& id) {
  return Columns(44, {{1, "0001"}, {7, id}, {16, "96/01/02"}, {25, "  12345"}, {33, "  12"}});
}
std::string Conference(const std::string& id) {
  return Columns(45, {{1, "00012"}, {8, id}, {17, "01/02"}, {23, "12:34"}});
}

// A forum with its member list, library and conference room, then the CB simulator.
std::vector<std::string> ForumLog() {
  return {"＜ＦＴＥＳＴ＞FTEST",      Member("AAA00001", "taro"), Library("AAA00001"), Conference("AAA00001"),
          "*Welcome to CB Band A", "(1,AAA00001,ぽち)",      "(1,BBB00002,hana)"};
}
std::vector<std::string> CBLog() { return {"*Welcome to CB Band B", "(1,aaa00001,tama)", "(2,BBB00002,x)"}; }

class Sightings : public ::testing::Test {
 protected:
  // Imports the files as the import command does (integrated or not) and waits for the end.
  void Import(const std::vector<std::string>& files, bool integrate = false) {
    TImportQueue queue(&t.mgr);
    t.mgr.OnFileEnd = queue.FileEndHandler();
    bool finished = false;
    queue.OnFinished = [&] { finished = true; };
    ASSERT_TRUE(queue.Import(files, TForumData{}, integrate));
    ASSERT_TRUE(RunUntil([&] { return finished; }));
  }
  TTreeNode* FileNode(const std::string& path) { return Child(t.root, TImportQueue::NodeTextOf(path)); }

  // "file line place handle" for every sighting of `id` behind `node`; the notes of its logs.
  std::vector<std::string> Find(const TTreeNode* node, const std::string& id) {
    TSightingSearch search(id, PlanSightings(node, t.nodes));
    search.Start();
    std::vector<TSighting> found;
    while (!search.Finished()) {
      search.Take(found, 1000);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    search.Take(found, 1000000);
    notes = search.Notes();
    std::vector<std::string> out;
    for (const TSighting& s : found) {
      const std::string name = QFileInfo(QString::fromStdString(search.Files()[s.File].Origin.Path)).fileName().toStdString();
      out.push_back(name + " " + std::to_string(s.Line) + " " + quillet::ToUtf8(s.Place) + " " + quillet::ToUtf8(s.Handle));
      lines.push_back(s.Text);
    }
    return out;
  }

  Tree t;
  Logs logs;
  std::vector<TSightingNote> notes;
  std::vector<std::string> lines;
};

using Rows = std::vector<std::string>;

}  // namespace

TEST_F(Sightings, EachKindOfFolderCoversItsLogsAndContexts) {
  const std::string f = logs.Write("f.log", ForumLog()), g = logs.Write("g.log", CBLog());
  Import({f});
  Import({g});
  TTreeNode* fileF = FileNode(f);
  ASSERT_TRUE(fileF);
  ASSERT_EQ(fileF->Logs().size(), 1u);
  EXPECT_EQ(fileF->Logs()[0].Path, f);
  EXPECT_TRUE(fileF->Logs()[0].Stamped);
  TTreeNode* forum = Child(fileF, U("フォーラム(FTEST)"));
  ASSERT_TRUE(forum);

  // A file node: every context of its own log; the whole line comes with each sighting.
  EXPECT_EQ(Find(fileF, "AAA00001"), (Rows{"f.log 2 フォーラム(FTEST) taro", "f.log 3 フォーラム(FTEST)/ライブラリ AAA00001",
                                           "f.log 4 フォーラム(FTEST)/会議室 AAA00001", "f.log 6 ＣＢシミュレータ/Band A ぽち"}));
  EXPECT_EQ(lines[1], Library("AAA00001"));
  // A room, a category folder, a CB band: that folder's own finds only.
  EXPECT_EQ(Find(Child(forum, U("会議室")), "AAA00001"), Rows{"f.log 4 フォーラム(FTEST)/会議室 AAA00001"});
  EXPECT_EQ(Find(forum, "AAA00001"), Rows{"f.log 2 フォーラム(FTEST) taro"});
  EXPECT_EQ(Find(Child(Child(fileF, U("ＣＢシミュレータ")), "Band A"), "BBB00002"),
            Rows{"f.log 7 ＣＢシミュレータ/Band A hana"});
  EXPECT_EQ(Find(Child(fileF, U("ＣＢシミュレータ")), "AAA00001"), Rows{});

  // "登録ID", a group, the top node, a user folder anywhere and a search result: every log of
  // the tree, every context; the ID compared without regard to case.
  const Rows all{"f.log 2 フォーラム(FTEST) taro", "f.log 3 フォーラム(FTEST)/ライブラリ AAA00001",
                 "f.log 4 フォーラム(FTEST)/会議室 AAA00001", "f.log 6 ＣＢシミュレータ/Band A ぽち",
                 "g.log 2 ＣＢシミュレータ/Band B tama"};
  TTreeNode* mine = t.Folder(t.root, U("新しいﾌｫﾙﾀﾞ"));
  TTreeNode* inFile = t.Folder(fileF, U("新しいﾌｫﾙﾀﾞ"));
  TTreeNode* inRoom = t.Folder(Child(forum, U("会議室")), U("新しいﾌｫﾙﾀﾞ"));
  for (const TTreeNode* node : {t.registered, t.groupA, t.root, mine, inFile, inRoom}) {
    std::vector<std::string> got = Find(node, "AAA00001");
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, all) << quillet::ToUtf8(node->Text());
  }
  EXPECT_EQ(Find(nullptr, "AAA00001").size(), all.size());
  // A log that went into two nodes is read once for the whole tree.
  t.Folder(t.root, "again")->AddLog(StampLogOrigin(f, TForumData{}, TLogEncoding::Auto));
  EXPECT_EQ(Find(t.registered, "AAA00001").size(), all.size());
  EXPECT_EQ(Find(fileF, "ZZZ99999"), Rows{});
}

TEST_F(Sightings, IntegratedImportRemembersEveryFile) {
  const std::string f = logs.Write("f.log", ForumLog()), g = logs.Write("g.log", CBLog());
  Import({f, g}, true);  // g is scanned first and names the node
  TTreeNode* node = FileNode(g);
  ASSERT_TRUE(node);
  ASSERT_EQ(node->Logs().size(), 2u);
  EXPECT_EQ(node->Logs()[0].Path, g);
  EXPECT_EQ(node->Logs()[1].Path, f);
  EXPECT_EQ(Find(node, "BBB00002"), (Rows{"g.log 3 ＣＢシミュレータ/Band B x", "f.log 7 ＣＢシミュレータ/Band A hana"}));
  // Importing a log again replaces its entry instead of adding a second one.
  Import({g});
  EXPECT_EQ(node->Logs().size(), 2u);
}

TEST_F(Sightings, LogsDeletedTruncatedOrRewrittenAfterTheImport) {
  const std::string f = logs.Write("f.log", ForumLog()), g = logs.Write("g.log", CBLog());
  Import({f, g}, true);
  TTreeNode* node = FileNode(g);
  ASSERT_TRUE(node);

  ASSERT_TRUE(QFile::remove(QString::fromStdString(g)));
  EXPECT_EQ(Find(node, "AAA00001").size(), 4u);  // what can be read is still shown
  EXPECT_EQ(notes, (std::vector<TSightingNote>{TSightingNote::Vanished, TSightingNote::None}));

  // Truncated: the sightings of the lines that are left.
  std::vector<std::string> shorter = ForumLog();
  shorter.resize(3);
  logs.Write("f.log", shorter);
  EXPECT_EQ(Find(node, "AAA00001"), (Rows{"f.log 2 フォーラム(FTEST) taro", "f.log 3 フォーラム(FTEST)/ライブラリ AAA00001"}));
  EXPECT_EQ(notes[1], TSightingNote::Changed);

  // Rewritten with the same size: the modification time tells; the scanner reads what is there.
  std::vector<std::string> rewritten = ForumLog();
  rewritten[1] = Member("CCC00003", "taro");
  rewritten[2] = Library("AAA00009");
  logs.Write("f.log", rewritten);
  std::filesystem::last_write_time(f, std::filesystem::last_write_time(f) + std::chrono::seconds(5));
  EXPECT_EQ(Find(node, "AAA00001"), (Rows{"f.log 4 フォーラム(FTEST)/会議室 AAA00001", "f.log 6 ＣＢシミュレータ/Band A ぽち"}));
  EXPECT_EQ(notes[1], TSightingNote::Changed);

  // A folder in its place: unreadable, and nothing crashes.
  ASSERT_TRUE(QFile::remove(QString::fromStdString(f)));
  std::filesystem::create_directory(f);
  EXPECT_EQ(Find(node, "AAA00001"), Rows{});
  EXPECT_EQ(notes[1], TSightingNote::Vanished);
}

TEST_F(Sightings, StopAndDestroyDuringTheReading) {
  // Some megabytes with a sighting on every 10th line; the node is made as the import makes it.
  std::vector<std::string> big{"*Welcome to CB Band A"};
  for (int i = 0; i < 400000; ++i)
    big.push_back(i % 10 == 0 ? "(1,AAA00001,talker)" : "some talk that names nobody " + std::to_string(i));
  const std::string path = logs.Write("big.log", big);
  TTreeNode* node = t.Folder(t.root, TImportQueue::NodeTextOf(path));
  node->AddLog(StampLogOrigin(path, TForumData{}, TLogEncoding::Auto));

  {
    TSightingSearch search("AAA00001", PlanSightings(node, t.nodes));
    search.Start();
    std::vector<TSighting> found;
    while (found.empty() && !search.Finished()) search.Take(found, 10);
    search.Stop();
    const auto start = std::chrono::steady_clock::now();
    while (!search.Finished()) search.Take(found, 100000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_TRUE(search.Stopped());
    EXPECT_GT(found.size(), 0u);
    EXPECT_LT(found.size(), 40000u);
    // Line numbers run on without a gap up to the stop.
    for (size_t i = 0; i < found.size(); ++i) ASSERT_EQ(found[i].Line, 10 * i + 2);
  }
  for (int i = 0; i < 3; ++i) {
    TSightingSearch search("AAA00001", PlanSightings(node, t.nodes));
    search.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(i * 5));
  }  // destroyed while reading: stops and waits
  TSightingSearch never("AAA00001", PlanSightings(node, t.nodes));
  never.Stop();
  EXPECT_TRUE(never.Finished());
}

// A log kept as UTF-8 with Unix line ends inside an archive is read again as the import read it:
// the member found again in its archive, decoded, its lines counted by LF.
TEST_F(Sightings, AMemberInAnotherEncodingIsReadAgainAsImported) {
  std::string utf8;
  for (const std::string& line : CBLog()) utf8 += line + "\n";
  const std::string zip = logs.Path("old.zip");
  archivetest::WriteFile(zip, archivetest::StoredZip({{"logs/cb.log", utf8}}));
  Import({zip});
  TTreeNode* node = FileNode(zip + "/logs/cb.log");
  ASSERT_TRUE(node);
  ASSERT_EQ(node->Logs().size(), 1u);
  EXPECT_EQ(node->Logs()[0].Archive, zip);
  EXPECT_EQ(Find(node, "BBB00002"), Rows{"cb.log 3 ＣＢシミュレータ/Band B x"});
  EXPECT_EQ(lines.back(), "(2,BBB00002,x)");
  EXPECT_EQ(notes, std::vector<TSightingNote>{TSightingNote::None});
}
