// The log import queue over the real scanner thread and controller: order of files, integration,
// start contexts of later files, unreadable files, stopping, and folders deleted mid-scan.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "TreeSupport.h"
#include "tree/ImportQueue.h"

using treetest::Child;
using treetest::ChildTexts;
using treetest::Entries;
using treetest::Logs;
using treetest::RunUntil;
using treetest::Tree;
using treetest::U;

namespace {

std::string Images(const TTreeNode* node) {
  return node ? std::to_string(node->ImageIndex()) + "/" + std::to_string(node->SelectedIndex()) : "none";
}

// A CB log: the band greeting, then talk lines of the given IDs.
std::vector<std::string> CBLog(char band, const std::vector<std::string>& ids) {
  std::vector<std::string> lines{std::string("*Welcome to CB Band ") + band};
  for (const std::string& id : ids) lines.push_back("(1," + id + ",h" + id.substr(3) + ")");
  return lines;
}

// Talk lines only: they give finds in a real-time conference or the CB simulator only.
std::vector<std::string> TalkOnly(const std::vector<std::string>& ids) {
  std::vector<std::string> lines;
  for (const std::string& id : ids) lines.push_back("(1," + id + ",h" + id.substr(3) + ")");
  return lines;
}

std::vector<std::string> ManyTalks(int count) {
  std::vector<std::string> ids;
  char buf[16];
  for (int i = 0; i < count; ++i) {
    std::snprintf(buf, sizeof buf, "BIG%05d", i % 100000);
    ids.push_back(buf);
  }
  return CBLog('A', ids);
}

struct Recorder {
  std::vector<std::string> statuses;
  std::vector<std::string> unreadable;
  int finished = 0;
  void Attach(TImportQueue& q) {
    q.OnStatus = [this](const std::string& s) { statuses.push_back(s); };
    q.OnUnreadable = [this](const std::vector<std::string>& p) { unreadable = p; };
    q.OnFinished = [this] { ++finished; };
  }
};

std::string Busy(const std::string& path) { return path + U("を検索中"); }

}  // namespace

TEST(ImportQueue, LastChosenFileFirstThenTheOthersInOrder) {
  Tree t;
  Logs logs;
  const std::string a = logs.Write("a.log", CBLog('A', {"AAA00001"}));
  const std::string b = logs.Write("b.log", CBLog('B', {"BBB00001"}));
  const std::string c = logs.Write("c.log", CBLog('C', {"CCC00001"}));
  TImportQueue q(&t.mgr);
  t.mgr.OnFileEnd = q.FileEndHandler();
  Recorder r;
  r.Attach(q);
  // Images of the nodes each time the status changes.
  std::vector<std::string> seen;
  q.OnStatus = [&](const std::string& s) {
    r.statuses.push_back(s);
    seen.push_back(Images(Child(t.root, a)) + " " + Images(Child(t.root, b)) + " " + Images(Child(t.root, c)));
  };
  ASSERT_TRUE(q.Import({a, b, c}, TForumData{}, false));
  EXPECT_TRUE(q.Running());
  EXPECT_EQ(q.FileQueue, (std::deque<std::string>{a, b}));
  EXPECT_FALSE(q.Import({a}, TForumData{}, false));  // one import at a time
  ASSERT_TRUE(RunUntil([&] { return r.finished > 0; }));
  EXPECT_EQ(r.statuses, (std::vector<std::string>{Busy(c), Busy(a), Busy(b), ""}));
  EXPECT_EQ(seen, (std::vector<std::string>{"none none 14/15", "14/15 none 8/9", "8/9 14/15 8/9", "8/9 8/9 8/9"}));
  EXPECT_EQ(r.finished, 1);
  EXPECT_TRUE(r.unreadable.empty());
  EXPECT_FALSE(q.Running());
  EXPECT_EQ(q.FilesStarted(), 3);
  EXPECT_EQ(q.FilesTotal(), 3);
  EXPECT_EQ(Entries(Child(Child(Child(t.root, a), U("ＣＢシミュレータ")), "Band A")),
            std::vector<std::string>{"AAA00001=h00001"});
  EXPECT_TRUE(q.FileQueue.empty());
}

TEST(ImportQueue, IntegrationFillsTheNodeOfTheFileScannedFirst) {
  Tree t;
  Logs logs;
  const std::string a = logs.Write("a.log", CBLog('A', {"AAA00001", "SAM00001"}));
  const std::string b = logs.Write("b.log", CBLog('A', {"BBB00001", "SAM00001"}));
  const std::string c = logs.Write("c.log", CBLog('C', {"CCC00001"}));
  TImportQueue q(&t.mgr);
  t.mgr.OnFileEnd = q.FileEndHandler();
  Recorder r;
  r.Attach(q);
  std::vector<std::string> images;
  q.OnStatus = [&](const std::string& s) {
    r.statuses.push_back(s);
    images.push_back(Images(Child(t.root, c)));
  };
  ASSERT_TRUE(q.Import({a, b, c}, TForumData{}, true));
  EXPECT_EQ(q.IntegrateName, c);
  ASSERT_TRUE(RunUntil([&] { return r.finished > 0; }));
  EXPECT_EQ(r.statuses, (std::vector<std::string>{Busy(c), Busy(a), Busy(b), ""}));
  EXPECT_EQ(images, (std::vector<std::string>{"14/15", "14/15", "14/15", "8/9"}));
  EXPECT_EQ(ChildTexts(t.root), (std::vector<std::string>{c, U("登録ID")}));
  TTreeNode* cb = Child(Child(t.root, c), U("ＣＢシミュレータ"));
  EXPECT_EQ(ChildTexts(cb), (std::vector<std::string>{"Band A", "Band C"}));
  EXPECT_EQ(Entries(Child(cb, "Band A")), (std::vector<std::string>{"AAA00001=h00001", "SAM00001=h00001",
                                                                    "BBB00001=h00001"}));
}

TEST(ImportQueue, TwoLogsOfOneForumGetTwoForumNodesAndAKnownNodeIsReused) {
  Tree t;
  Logs logs;
  const std::vector<std::string> forum = {"＜ＦＧＯＬＦ＞FGOLF ゴルフ", "DEF00002  みどり           OFF"};
  const std::string a = logs.Write("a.log", forum);
  const std::string b = logs.Write("b.log", forum);
  TImportQueue q(&t.mgr);
  t.mgr.OnFileEnd = q.FileEndHandler();
  Recorder r;
  r.Attach(q);
  ASSERT_TRUE(q.Import({a, b}, TForumData{}, false));
  ASSERT_TRUE(RunUntil([&] { return r.finished == 1; }));
  const std::string name = U("フォーラム(FGOLF ゴルフ)");
  EXPECT_EQ(Entries(Child(Child(t.root, a), name)), std::vector<std::string>{"DEF00002=" + U("みどり")});
  EXPECT_EQ(Entries(Child(Child(t.root, b), name)), std::vector<std::string>{"DEF00002=" + U("みどり")});
  // The same file again: its node is reused and its earlier finds stay.
  TTreeNode* node = Child(t.root, a);
  ASSERT_TRUE(q.Import({a}, TForumData{}, false));
  ASSERT_TRUE(RunUntil([&] { return r.finished == 2; }));
  EXPECT_EQ(Child(t.root, a), node);
  EXPECT_EQ(t.root->Count(), 3);
}

TEST(ImportQueue, LaterFilesStartWithoutANameAndOnlyWithANamelessCategory) {
  Tree t;
  Logs logs;
  const std::string first = logs.Write("first.log", TalkOnly({"FIR00001"}));
  const std::string later = logs.Write("later.log", TalkOnly({"LAT00001"}));
  TImportQueue q(&t.mgr);
  t.mgr.OnFileEnd = q.FileEndHandler();
  Recorder r;
  r.Attach(q);
  // The CB simulator: the later file keeps the category, without the band.
  ASSERT_TRUE(q.Import({later, first}, TForumData{fcCBSimulator, "Band X"}, false));
  ASSERT_TRUE(RunUntil([&] { return r.finished == 1; }));
  EXPECT_EQ(Entries(Child(Child(Child(t.root, first), U("ＣＢシミュレータ")), "Band X")),
            std::vector<std::string>{"FIR00001=h00001"});
  EXPECT_EQ(Entries(Child(Child(Child(t.root, later), U("ＣＢシミュレータ")), "")),
            std::vector<std::string>{"LAT00001=h00001"});

  // A real-time conference of a forum: the later file starts with no context, so its talk
  // lines give nothing.
  Tree u;
  TImportQueue q2(&u.mgr);
  u.mgr.OnFileEnd = q2.FileEndHandler();
  Recorder r2;
  r2.Attach(q2);
  ASSERT_TRUE(q2.Import({later, first}, TForumData{fcRealTime, "FOO"}, false));
  ASSERT_TRUE(RunUntil([&] { return r2.finished == 1; }));
  EXPECT_EQ(Entries(Child(Child(Child(u.root, first), U("フォーラム(FOO)")), U("ＲＴ会議"))),
            std::vector<std::string>{"FIR00001=h00001"});
  ASSERT_NE(Child(u.root, later), nullptr);
  EXPECT_EQ(Child(u.root, later)->Count(), 0);
}

TEST(ImportQueue, UnreadableFilesDoNotStallTheImport) {
  Tree t;
  Logs logs;
  const std::string a = logs.Write("a.log", CBLog('A', {"AAA00001"}));
  const std::string missing = logs.Path("missing.log");
  // A folder stands for the logs in it; one without any is named, before the scans begin.
  const std::string folder = logs.Path("empty");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const std::string b = logs.Write("b.log", CBLog('B', {"BBB00001"}));
  TImportQueue q(&t.mgr);
  t.mgr.OnFileEnd = q.FileEndHandler();
  Recorder r;
  r.Attach(q);
  ASSERT_TRUE(q.Import({a, missing, folder, b}, TForumData{}, false));
  ASSERT_TRUE(RunUntil([&] { return r.finished > 0; }));
  EXPECT_EQ(r.statuses, (std::vector<std::string>{Busy(b), Busy(a), Busy(missing), ""}));
  EXPECT_EQ(r.unreadable, (std::vector<std::string>{folder, missing}));
  EXPECT_EQ(Images(Child(t.root, missing)), "8/9");
  EXPECT_EQ(Images(Child(t.root, b)), "8/9");
  EXPECT_FALSE(Entries(Child(Child(Child(t.root, b), U("ＣＢシミュレータ")), "Band B")).empty());

  // Every file missing, and no hook: the import ends at once with a message to the user.
  TImportQueue q2(&t.mgr);
  t.mgr.OnFileEnd = q2.FileEndHandler();
  int finished = 0;
  q2.OnFinished = [&] { ++finished; };
  ASSERT_TRUE(q2.Import({missing}, TForumData{}, false));
  EXPECT_EQ(finished, 1);
  EXPECT_FALSE(q2.Running());
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_NE(t.ui.messages[0].find(missing), std::string::npos);
  EXPECT_EQ(t.ui.messages[0].rfind(U("次のファイルを読み込めませんでした。"), 0), 0u);
  EXPECT_FALSE(q2.Import({}, TForumData{}, false));
}

TEST(ImportQueue, StopEndsTheScanAndDropsTheQueuedFiles) {
  Tree t;
  Logs logs;
  const std::string big = logs.Write("big.log", ManyTalks(60000));
  const std::string other = logs.Write("other.log", CBLog('B', {"OTH00001"}));
  TImportQueue q(&t.mgr);
  t.mgr.OnFileEnd = q.FileEndHandler();
  Recorder r;
  r.Attach(q);
  bool stopped = false;
  t.ui.onEvents = [&] {
    if (!stopped) {
      stopped = true;
      q.Stop();
    }
  };
  ASSERT_TRUE(q.Import({other, big}, TForumData{}, false));
  ASSERT_TRUE(RunUntil([&] { return r.finished > 0; }));
  EXPECT_TRUE(stopped);
  EXPECT_EQ(r.statuses, (std::vector<std::string>{Busy(big), ""}));
  EXPECT_EQ(Child(t.root, other), nullptr);
  EXPECT_EQ(Images(Child(t.root, big)), "8/9");
  const int filed = Child(Child(Child(t.root, big), U("ＣＢシミュレータ")), "Band A")->IDSet()->Count();
  EXPECT_GT(filed, 0);
  EXPECT_LT(filed, 60000);
}

TEST(ImportQueue, DeletingTheScannedFolderStopsItsScanAndTheImportGoesOn) {
  for (const bool ancestor : {false, true}) {
    SCOPED_TRACE(ancestor);
    Tree t;
    Logs logs;
    const std::string big = logs.Write("big.log", ManyTalks(60000));
    const std::string next = logs.Write("next.log", CBLog('B', {"NXT00001"}));
    TImportQueue q(&t.mgr);
    t.mgr.OnFileEnd = q.FileEndHandler();
    Recorder r;
    r.Attach(q);
    TTreeNode* holder = ancestor ? t.mgr.FindOrAddChild(t.root, "/holder") : nullptr;
    bool deleted = false, stopped = false;
    t.ui.onEvents = [&] {
      if (deleted) return;
      if (TTreeNode* node = t.mgr.FileNode) {
        deleted = true;
        t.mgr.DeleteNode(ancestor ? holder : node);
        stopped = t.mgr.FileNode == nullptr && t.mgr.Analysis->Worker() && t.mgr.Analysis->Worker()->Terminated;
      }
    };
    ASSERT_TRUE(q.Import({next, big}, TForumData{}, false));
    if (ancestor) {
      // Put the scanned node below another folder, then delete that one.
      t.nodes.Move(Child(t.root, big), holder);
    }
    ASSERT_TRUE(RunUntil([&] { return r.finished > 0; }));
    EXPECT_TRUE(deleted);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(Child(t.root, big), nullptr);  // not made again by the end of its scan
    EXPECT_EQ(r.statuses, (std::vector<std::string>{Busy(big), Busy(next), ""}));
    EXPECT_EQ(Images(Child(t.root, next)), "8/9");
    EXPECT_EQ(Entries(Child(Child(Child(t.root, next), U("ＣＢシミュレータ")), "Band B")),
              std::vector<std::string>{"NXT00001=h00001"});
  }
}

TEST(ImportQueue, DestroyingTheManagerDuringAScanFilesNothingMore) {
  treetest::TestUI ui;
  quillet::ScopedUserInterface scope(&ui);
  Logs logs;
  const std::string big = logs.Write("big.log", ManyTalks(60000));
  TTreeNodes nodes;
  auto mgr = std::make_unique<TTreeMgr>(&nodes);
  TTreeNode* root = mgr->FindOrAddChild(nullptr, "NIFTY SERVE");
  auto q = std::make_unique<TImportQueue>(mgr.get());
  mgr->OnFileEnd = q->FileEndHandler();
  int finished = 0;
  q->OnFinished = [&] { ++finished; };
  bool gone = false;
  ui.onEvents = [&] {
    if (!gone) {
      gone = true;
      mgr.reset();
    }
  };
  ASSERT_NE(root, nullptr);
  ASSERT_TRUE(q->Import({big}, TForumData{}, false));
  ASSERT_TRUE(RunUntil([&] { return gone; }));
  const int events = ui.events;
  treetest::RunUntil([] { return false; }, 100);
  EXPECT_EQ(nodes.TopCount(), 0);
  EXPECT_EQ(ui.events, events);  // nothing filed any more
  EXPECT_EQ(finished, 0);
  q.reset();
}

// The queue's own going on at a file's end fails (here its status hook, as the next file starts):
// the import ends at once, the owner gets the failure once, and the queue takes the next import.
TEST(ImportQueue, FailingEndHandlerEndsTheImportOnce) {
  Tree t;
  Logs logs;
  const std::string first = logs.Write("first.log", CBLog('A', {"FST00001"}));
  const std::string second = logs.Write("second.log", ManyTalks(20000));
  const std::string third = logs.Write("third.log", CBLog('C', {"THR00001"}));
  TImportQueue q(&t.mgr);
  t.mgr.OnFileEnd = q.FileEndHandler();
  Recorder r;
  r.Attach(q);
  q.OnStatus = [&](const std::string& s) {
    if (s == Busy(second)) throw std::runtime_error("status failed");
  };
  std::vector<std::string> reported;  // as the window's general error report would
  t.mgr.OnFileEnd = [&, ended = t.mgr.OnFileEnd](TTreeMgr* sender, const std::string& name) {
    try {
      ended(sender, name);
    } catch (const std::exception& error) {
      reported.push_back(error.what());
    }
  };
  ASSERT_TRUE(q.Import({second, third, first}, TForumData{}, false));
  ASSERT_TRUE(RunUntil([&] { return r.finished > 0 && !t.mgr.Analysis->Running(); }));
  EXPECT_EQ(reported, (std::vector<std::string>{"status failed"}));
  EXPECT_FALSE(q.Running());
  EXPECT_EQ(Images(Child(t.root, second)), "8/9");
  EXPECT_EQ(Child(t.root, third), nullptr);  // never started
  ASSERT_TRUE(q.Import({third}, TForumData{}, false));
  ASSERT_TRUE(RunUntil([&] { return r.finished > 1; }));
  EXPECT_EQ(Images(Child(t.root, third)), "8/9");
}

// The queue holds the node it fills: a rename or a move by the user during the scan changes
// neither where the finds go nor which node turns finished.
TEST(ImportQueue, ARenamedOrMovedFileNodeKeepsItsFindsAndEndsFinished) {
  for (const bool move : {false, true}) {
    SCOPED_TRACE(move);
    Tree t;
    Logs logs;
    const std::string big = logs.Write("big.log", ManyTalks(60000));
    const std::string next = logs.Write("next.log", CBLog('B', {"NXT00001"}));
    TImportQueue q(&t.mgr);
    t.mgr.OnFileEnd = q.FileEndHandler();
    Recorder r;
    r.Attach(q);
    TTreeNode* holder = t.mgr.FindOrAddChild(t.root, "/holder");
    TTreeNode* scanned = nullptr;
    std::string imagesMeanwhile;
    t.ui.onEvents = [&] {
      if (scanned || !t.mgr.FileNode) return;
      scanned = t.mgr.FileNode;
      if (move)
        t.nodes.Move(scanned, holder);
      else
        scanned->SetText("/renamed");
      imagesMeanwhile = Images(scanned);
    };
    ASSERT_TRUE(q.Import({next, big}, TForumData{}, false));
    ASSERT_TRUE(RunUntil([&] { return r.finished > 0; }));
    ASSERT_NE(scanned, nullptr);
    EXPECT_EQ(imagesMeanwhile, "14/15");
    EXPECT_EQ(Images(scanned), "8/9");
    EXPECT_EQ(scanned->Text(), move ? big : "/renamed");
    EXPECT_EQ(scanned->Parent(), move ? holder : t.root);
    EXPECT_EQ(Child(t.root, big), nullptr);  // no second node made by text
    // Every find of the log, before and after the change, in the one node.
    EXPECT_EQ(Child(Child(scanned, U("ＣＢシミュレータ")), "Band A")->IDSet()->Count(), 60000);
    EXPECT_EQ(Images(Child(t.root, next)), "8/9");
  }
}

TEST(ImportQueue, AnIntegratedImportKeepsFillingItsRenamedNode) {
  Tree t;
  Logs logs;
  const std::string a = logs.Write("a.log", CBLog('A', {"AAA00001"}));
  const std::string b = logs.Write("b.log", CBLog('A', {"BBB00001"}));
  const std::string big = logs.Write("big.log", ManyTalks(60000));
  TImportQueue q(&t.mgr);
  t.mgr.OnFileEnd = q.FileEndHandler();
  Recorder r;
  r.Attach(q);
  TTreeNode* node = nullptr;
  std::vector<std::string> images;
  q.OnStatus = [&](const std::string& s) {
    r.statuses.push_back(s);
    images.push_back(Images(node));
  };
  t.ui.onEvents = [&] {
    if (node || !t.mgr.FileNode) return;
    node = t.mgr.FileNode;
    node->SetText("/mine");
  };
  ASSERT_TRUE(q.Import({a, b, big}, TForumData{}, true));
  ASSERT_TRUE(RunUntil([&] { return r.finished > 0; }));
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(ChildTexts(t.root), (std::vector<std::string>{"/mine", U("登録ID")}));
  EXPECT_EQ(images, (std::vector<std::string>{"none", "14/15", "14/15", "8/9"}));
  const std::vector<std::string> band = Entries(Child(Child(node, U("ＣＢシミュレータ")), "Band A"));
  ASSERT_EQ(band.size(), 60002u);
  EXPECT_EQ(band[60000], "AAA00001=h00001");
  EXPECT_EQ(band[60001], "BBB00001=h00001");
}

TEST(ImportQueue, AnIntegratedNodeDeletedMidwayIsMadeAgainForTheRest) {
  Tree t;
  Logs logs;
  const std::string a = logs.Write("a.log", CBLog('A', {"AAA00001"}));
  const std::string big = logs.Write("big.log", ManyTalks(60000));
  TImportQueue q(&t.mgr);
  t.mgr.OnFileEnd = q.FileEndHandler();
  Recorder r;
  r.Attach(q);
  bool deleted = false;
  t.ui.onEvents = [&] {
    if (deleted || !t.mgr.FileNode) return;
    deleted = true;
    t.mgr.DeleteNode(t.mgr.FileNode);
  };
  ASSERT_TRUE(q.Import({a, big}, TForumData{}, true));
  ASSERT_TRUE(RunUntil([&] { return r.finished > 0; }));
  EXPECT_TRUE(deleted);
  TTreeNode* again = Child(t.root, big);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(Images(again), "8/9");
  EXPECT_EQ(Entries(Child(Child(again, U("ＣＢシミュレータ")), "Band A")), std::vector<std::string>{"AAA00001=h00001"});
}

TEST(ImportQueue, AFileGivenTwiceIsScannedTwiceIntoItsOneNode) {
  for (const bool integrate : {false, true}) {
    SCOPED_TRACE(integrate);
    Tree t;
    Logs logs;
    const std::string a = logs.Write("a.log", CBLog('A', {"AAA00001", "AAA00002"}));
    TImportQueue q(&t.mgr);
    t.mgr.OnFileEnd = q.FileEndHandler();
    Recorder r;
    r.Attach(q);
    std::vector<std::string> images;
    q.OnStatus = [&](const std::string& s) {
      r.statuses.push_back(s);
      images.push_back(Images(Child(t.root, a)));
    };
    ASSERT_TRUE(q.Import({a, a}, TForumData{}, integrate));
    ASSERT_TRUE(RunUntil([&] { return r.finished > 0; }));
    EXPECT_EQ(r.statuses, (std::vector<std::string>{Busy(a), Busy(a), ""}));
    EXPECT_EQ(images, (std::vector<std::string>{"14/15", "14/15", "8/9"}));
    EXPECT_EQ(q.FilesStarted(), 2);
    EXPECT_EQ(ChildTexts(t.root), (std::vector<std::string>{a, U("登録ID")}));
    EXPECT_EQ(Entries(Child(Child(Child(t.root, a), U("ＣＢシミュレータ")), "Band A")),
              (std::vector<std::string>{"AAA00001=h00001", "AAA00002=h00002"}));
  }
}
