// The analysis controller: notifications reach the owning thread in log order with the end
// last, one scan at a time, and the controller can go away at any moment of a scan.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "analysis/LogAnalysis.h"
#include "support/Support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testsupport::RunUntil;

// Lets the event loop run for a while (events that should not arrive get their chance).
void RunFor(int milliseconds) {
  QDeadlineTimer deadline(milliseconds);
  RunUntil([&] { return deadline.hasExpired(); }, milliseconds + 1000);
}

std::string Id(int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%s%05d", n % 2 ? "ABC" : "XYZ", n % 100000);
  return buf;
}

// A CB simulator log: band greetings and talk lines, one find per talk line.
class LogWriter {
 public:
  explicit LogWriter(const std::string& path) : out_(path, std::ios::binary) {}
  void Band(char band) { out_ << "*Welcome to CB Band " << band << "\r\n"; }
  void Talk(int n) { out_ << "(1," << Id(n) << ",handle" << n << ")\r\n"; }
  void Line(const std::string& text) { out_ << text << "\r\n"; }

 private:
  std::ofstream out_;
};

struct Seen {
  std::string id, handle, name;
  int category = 0;
};

class LogAnalysisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
  }
  std::string Path(const std::string& name) const { return dir_.path().toStdString() + "/" + name; }

  // The log used by most tests: band A with `first` talks, then band B with `second` talks.
  std::string TwoBandLog(const std::string& name, int first, int second) {
    const std::string path = Path(name);
    LogWriter log(path);
    log.Line("NIFTY-Serve     TOP");
    log.Band('A');
    for (int i = 0; i < first; ++i) log.Talk(i);
    log.Line("some chatter without an ID");
    log.Band('B');
    for (int i = first; i < first + second; ++i) log.Talk(i);
    return path;
  }

  static TForumData Start() { return TForumData{fcNone, ""}; }

  QTemporaryDir dir_;
};

TEST_F(LogAnalysisTest, FindsArriveOnTheOwningThreadInLogOrderEndLast) {
  // More finds than one hand-off carries, so batch boundaries are crossed.
  const int first = static_cast<int>(TLogAnalysis::kBatchFinds) + 500, second = 1700;
  const std::string path = TwoBandLog("order.log", first, second);
  TLogAnalysis ctl;
  std::vector<Seen> seen;
  std::vector<std::string> ends;
  bool wrongThread = false, wrongSender = false, foundAfterEnd = false;
  ctl.OnFound = [&](TLogAnalysis* sender, const TIDData& f, const TForumData& c) {
    wrongThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
    wrongSender |= sender != &ctl;
    foundAfterEnd |= !ends.empty();
    seen.push_back({f.ID, f.HandleName, c.Name, c.Category});
  };
  ctl.OnEnd = [&](TLogAnalysis* sender, const std::string& file) {
    wrongThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
    wrongSender |= sender != &ctl;
    ends.push_back(file);
  };
  ASSERT_TRUE(ctl.Analyze(path, Start()));
  EXPECT_TRUE(ctl.Running());
  ASSERT_TRUE(RunUntil([&] { return !ends.empty(); }));
  RunFor(50);

  EXPECT_FALSE(wrongThread);
  EXPECT_FALSE(wrongSender);
  EXPECT_FALSE(foundAfterEnd);
  ASSERT_EQ(ends.size(), 1u);
  EXPECT_EQ(ends[0], path);
  ASSERT_EQ(seen.size(), static_cast<size_t>(first + second));
  for (int i = 0; i < first + second; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(seen[i].id, Id(i));
    EXPECT_EQ(seen[i].handle, "handle" + std::to_string(i));
    EXPECT_EQ(seen[i].category, fcCBSimulator);
    EXPECT_EQ(seen[i].name, i < first ? "Band A" : "Band B");
    if (seen[i].id != Id(i)) break;
  }
  EXPECT_FALSE(ctl.Running());
}

TEST_F(LogAnalysisTest, EndCarriesThePathByteForByteAndComesAfterTheWorkerIsForgotten) {
  // A Shift-JIS file name ("ログ 1.log") with a space: the path is passed on as it stands.
  const std::string path = Path("\x83\x8D\x83\x4F 1.log");
  {
    LogWriter log(path);
    log.Band('C');
    log.Talk(7);
  }
  TLogAnalysis ctl;
  std::string ended;
  bool runningInEnd = true;
  int ends = 0;
  ctl.OnEnd = [&](TLogAnalysis* sender, const std::string& file) {
    ended = file;
    runningInEnd = sender->Running() || sender->Worker() != nullptr;
    ++ends;
  };
  ASSERT_TRUE(ctl.Analyze(path, Start()));
  ASSERT_TRUE(RunUntil([&] { return ends > 0; }));
  EXPECT_EQ(ended, path);
  EXPECT_FALSE(runningInEnd);
  uint64_t read = 1, size = 1;
  EXPECT_FALSE(ctl.Progress(read, size));
  EXPECT_EQ(read, 0u);
  std::remove(path.c_str());  // QTemporaryDir cannot remove a name that is not UTF-8
}

TEST_F(LogAnalysisTest, OnEndStartsTheNextFile) {
  const std::string a = TwoBandLog("a.log", 1200, 10);
  const std::string b = Path("b.log");
  {
    LogWriter log(b);
    log.Band('C');
    for (int i = 50000; i < 50005; ++i) log.Talk(i);
  }
  TLogAnalysis ctl;
  std::vector<std::string> events;
  ctl.OnFound = [&](TLogAnalysis*, const TIDData& f, const TForumData& c) {
    if (events.empty() || events.back().rfind(c.Name, 0) != 0) events.push_back(c.Name + ":" + f.ID);
  };
  bool secondStarted = false;
  ctl.OnEnd = [&](TLogAnalysis* sender, const std::string& file) {
    events.push_back("end " + file);
    if (file == a) secondStarted = sender->Analyze(b, TForumData{fcNone, ""});
  };
  ASSERT_TRUE(ctl.Analyze(a, Start()));
  ASSERT_TRUE(RunUntil([&] { return events.size() >= 2 && events.back() == "end " + b; }));
  EXPECT_TRUE(secondStarted);
  const std::vector<std::string> expected = {"Band A:" + Id(0), "Band B:" + Id(1200), "end " + a,
                                             "Band C:" + Id(50000), "end " + b};
  EXPECT_EQ(events, expected);
  EXPECT_FALSE(ctl.Running());
}

TEST_F(LogAnalysisTest, WholeScanWithNoCallbacksSet) {
  const std::string path = TwoBandLog("quiet.log", 3000, 3000);
  TLogAnalysis ctl;
  ASSERT_TRUE(ctl.Analyze(path, Start()));
  ASSERT_TRUE(RunUntil([&] { return !ctl.Running(); }));
  // Nothing to observe but the end of the run; LeakSanitizer checks that every copy was freed.
}

TEST_F(LogAnalysisTest, MissingFileOrFolderStartsNothing) {
  TLogAnalysis ctl;
  int calls = 0;
  ctl.OnFound = [&](TLogAnalysis*, const TIDData&, const TForumData&) { ++calls; };
  ctl.OnEnd = [&](TLogAnalysis*, const std::string&) { ++calls; };
  EXPECT_FALSE(ctl.Analyze(Path("no such.log"), Start()));
  EXPECT_FALSE(ctl.Running());
  EXPECT_FALSE(ctl.Analyze(dir_.path().toStdString(), Start()));
  EXPECT_FALSE(ctl.Analyze("", Start()));
  EXPECT_FALSE(ctl.Running());
  RunFor(50);
  EXPECT_EQ(calls, 0);
}

TEST_F(LogAnalysisTest, EmptyLogEndsOnce) {
  const std::string path = Path("empty.log");
  { std::ofstream touch(path); }
  TLogAnalysis ctl;
  int finds = 0, ends = 0;
  ctl.OnFound = [&](TLogAnalysis*, const TIDData&, const TForumData&) { ++finds; };
  ctl.OnEnd = [&](TLogAnalysis*, const std::string&) { ++ends; };
  ASSERT_TRUE(ctl.Analyze(path, Start()));
  ASSERT_TRUE(RunUntil([&] { return ends > 0; }));
  RunFor(30);
  EXPECT_EQ(finds, 0);
  EXPECT_EQ(ends, 1);
}

TEST_F(LogAnalysisTest, AnalyzeWhileRunningStartsNothing) {
  const std::string a = TwoBandLog("first.log", 2000, 2000);
  const std::string b = TwoBandLog("second.log", 5, 5);
  TLogAnalysis ctl;
  int finds = 0;
  std::vector<std::string> ends;
  bool refusedInside = false;
  ctl.OnFound = [&](TLogAnalysis* sender, const TIDData&, const TForumData&) {
    if (finds++ == 10) refusedInside = !sender->Analyze(b, TForumData{});
  };
  ctl.OnEnd = [&](TLogAnalysis*, const std::string& file) { ends.push_back(file); };
  ASSERT_TRUE(ctl.Analyze(a, Start()));
  EXPECT_FALSE(ctl.Analyze(b, Start()));
  ASSERT_TRUE(RunUntil([&] { return !ends.empty(); }));
  RunFor(50);
  EXPECT_TRUE(refusedInside);
  EXPECT_EQ(finds, 4000);
  EXPECT_EQ(ends, std::vector<std::string>{a});
  // Idle again: the next file starts.
  EXPECT_TRUE(ctl.Analyze(b, Start()));
  ASSERT_TRUE(RunUntil([&] { return ends.size() == 2; }));
  EXPECT_EQ(finds, 4010);
}

TEST_F(LogAnalysisTest, StopInsideOnFoundEndsAfterThatFind) {
  const std::string path = TwoBandLog("stop.log", 2500, 100);
  TLogAnalysis ctl;
  int finds = 0, ends = 0;
  ctl.OnFound = [&](TLogAnalysis* sender, const TIDData&, const TForumData&) {
    if (++finds == 1234) sender->Stop();
  };
  ctl.OnEnd = [&](TLogAnalysis*, const std::string&) { ++ends; };
  ASSERT_TRUE(ctl.Analyze(path, Start()));
  ASSERT_TRUE(RunUntil([&] { return ends > 0; }));
  RunFor(30);
  EXPECT_EQ(finds, 1234);
  EXPECT_EQ(ends, 1);
}

TEST_F(LogAnalysisTest, StopFromOutsideStillEndsOnce) {
  const std::string path = TwoBandLog("stop2.log", 100000, 10);
  TLogAnalysis ctl;
  int finds = 0, ends = 0;
  ctl.OnFound = [&](TLogAnalysis*, const TIDData&, const TForumData&) { ++finds; };
  ctl.OnEnd = [&](TLogAnalysis*, const std::string&) { ++ends; };
  ASSERT_TRUE(ctl.Analyze(path, Start()));
  ASSERT_TRUE(RunUntil([&] { return finds > 0; }));
  ctl.Stop();
  ASSERT_TRUE(RunUntil([&] { return ends > 0; }));
  RunFor(30);
  EXPECT_EQ(ends, 1);
  EXPECT_LT(finds, 100010);
  EXPECT_FALSE(ctl.Running());
}

// A batch the worker has already handed over is not filed once Stop has returned: the worker is
// given time to post its first batch and wait, and only then does the owning thread look.
TEST_F(LogAnalysisTest, StopWithABatchPostedFilesNothingMore) {
  const std::string path = TwoBandLog("posted.log", 100000, 10);
  TLogAnalysis ctl;
  int finds = 0, ends = 0;
  ctl.OnFound = [&](TLogAnalysis*, const TIDData&, const TForumData&) { ++finds; };
  ctl.OnEnd = [&](TLogAnalysis*, const std::string&) { ++ends; };
  ASSERT_TRUE(ctl.Analyze(path, Start()));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ctl.Stop();
  ASSERT_TRUE(RunUntil([&] { return ends > 0; }));
  RunFor(30);
  EXPECT_EQ(finds, 0);
  EXPECT_EQ(ends, 1);
  EXPECT_FALSE(ctl.Running());
}

// An OnFound that throws stops the scan there: no find after it, and the end still arrives once,
// carrying the failure for the owner to report.
TEST_F(LogAnalysisTest, FailingFindHandlerStopsTheScanAndTheEndCarriesIt) {
  TLogAnalysis ctl;
  int finds = 0, ends = 0;
  ctl.OnFound = [&](TLogAnalysis*, const TIDData&, const TForumData&) {
    if (++finds == 10) throw std::runtime_error("no room for the find");
  };
  ctl.OnEnd = [&](TLogAnalysis*, const std::string&) { ++ends; };
  ASSERT_TRUE(ctl.Analyze(TwoBandLog("throw.log", 50000, 10), Start()));
  ASSERT_TRUE(RunUntil([&] { return ends > 0; }, 20000));
  RunFor(30);
  EXPECT_EQ(finds, 10);
  EXPECT_EQ(ends, 1);
  EXPECT_FALSE(ctl.Running());
  EXPECT_THROW(std::rethrow_exception(ctl.LastFailure()), std::runtime_error);
}

TEST_F(LogAnalysisTest, ProgressIsReadableWhileScanning) {
  const std::string path = TwoBandLog("progress.log", 60000, 10);
  TLogAnalysis ctl;
  uint64_t lastRead = 0, size = 0;
  bool backwards = false, beyondSize = false;
  int ends = 0;
  ctl.OnFound = [&](TLogAnalysis* sender, const TIDData&, const TForumData&) {
    uint64_t read = 0, total = 0;
    ASSERT_TRUE(sender->Progress(read, total));
    backwards |= read < lastRead;
    beyondSize |= total != 0 && read > total;
    lastRead = read;
    if (total) size = total;
  };
  ctl.OnEnd = [&](TLogAnalysis*, const std::string&) { ++ends; };
  ASSERT_TRUE(ctl.Analyze(path, Start()));
  ASSERT_TRUE(RunUntil([&] { return ends > 0; }));
  EXPECT_FALSE(backwards);
  EXPECT_FALSE(beyondSize);
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  EXPECT_EQ(size, static_cast<uint64_t>(in.tellg()));
  EXPECT_GT(lastRead, 0u);
}

// A consumer that takes its time and lets events run inside OnFound, as the tree manager does:
// no batch is delivered inside another, and nothing is lost or reordered.
TEST_F(LogAnalysisTest, SlowConsumerWithNestedEventLoops) {
  const int total = static_cast<int>(TLogAnalysis::kBatchFinds) * 2 + 300;
  const std::string path = TwoBandLog("slow.log", total - 900, 900);
  TLogAnalysis ctl;
  int depth = 0, maxDepth = 0, next = 0, ends = 0;
  bool outOfOrder = false;
  ctl.OnFound = [&](TLogAnalysis*, const TIDData& f, const TForumData&) {
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    outOfOrder |= f.ID != Id(next);
    ++next;
    if (next % 200 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (next % 7 == 0) QCoreApplication::processEvents();
    --depth;
  };
  ctl.OnEnd = [&](TLogAnalysis*, const std::string&) {
    outOfOrder |= depth != 0;
    ++ends;
  };
  ASSERT_TRUE(ctl.Analyze(path, Start()));
  ASSERT_TRUE(RunUntil([&] { return ends > 0; }));
  RunFor(30);
  EXPECT_EQ(maxDepth, 1);
  EXPECT_FALSE(outOfOrder);
  EXPECT_EQ(next, total);
  EXPECT_EQ(ends, 1);
}

// A log that is still being written (a pipe): a find shows while the writer is still busy, not
// only when the worker has read on or reached the end.
TEST_F(LogAnalysisTest, FindInASlowLogShowsAtOnce) {
  const std::string path = Path("pipe.log");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  std::atomic<bool> seen{false};
  std::atomic<bool> seenBeforeClose{false};
  std::thread writer([&] {
    const int fd = ::open(path.c_str(), O_WRONLY);
    if (fd < 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const std::string text = "*Welcome to CB Band A\r\n(1,ABC12345,slow)\r\n";
    if (::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size())) {
      for (int i = 0; i < 500 && !seen; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      seenBeforeClose = seen.load();
    }
    ::close(fd);
  });
  TLogAnalysis ctl;
  int ends = 0;
  ctl.OnFound = [&](TLogAnalysis*, const TIDData& f, const TForumData&) {
    if (f.ID == "ABC12345") seen = true;
  };
  ctl.OnEnd = [&](TLogAnalysis*, const std::string&) { ++ends; };
  ASSERT_TRUE(ctl.Analyze(path, Start()));
  const bool ended = RunUntil([&] { return ends > 0; }, 20000);
  writer.join();
  EXPECT_TRUE(ended);
  EXPECT_TRUE(seenBeforeClose);
}

TEST_F(LogAnalysisTest, TextNotificationGoesToOnText) {
  TLogAnalysis ctl;
  TLogAnalysis::TMessage message;
  message.Msg = WM_ANALYSIS_TEXT;
  const std::string text = "hello";
  message.Text = &text;
  ctl.WndProc(message);  // unset: nothing happens
  std::string got;
  ctl.OnText = [&](TLogAnalysis*, const std::string& t) { got = t; };
  ctl.WndProc(message);
  EXPECT_EQ(got, "hello");
  message.Msg = WM_USER + 99;  // not ours
  got.clear();
  ctl.WndProc(message);
  EXPECT_EQ(got, "");
}

// Destroying the controller at random moments of a scan of a large log: from the event loop,
// inside OnFound, inside an event loop nested in OnFound, inside OnEnd, and while the worker waits
// in a hand-off that nobody handles. Nothing may be delivered afterwards, nothing may hang, and
// the sanitizers check that nothing leaks or is freed twice.
TEST_F(LogAnalysisTest, DestroyedAtRandomMomentsDuringAScan) {
  const std::string path = TwoBandLog("large.log", 150000, 150000);
  const std::string small = TwoBandLog("small.log", 3, 3);
  std::mt19937 random(20240607);
  int totalDelivered = 0;
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    const int mode = round % 5;
    const int at = std::uniform_int_distribution<int>(0, 6000)(random);
    auto ctl = std::make_unique<TLogAnalysis>();
    int delivered = 0;
    bool gone = false;
    int afterGone = 0;
    auto destroy = [&] {
      ctl.reset();
      gone = true;
    };
    ctl->OnFound = [&](TLogAnalysis*, const TIDData&, const TForumData&) {
      if (gone) ++afterGone;
      ++delivered;
      if (mode == 1 && delivered == at) destroy();
      if (mode == 2 && delivered == at) {
        QTimer::singleShot(0, [&] { destroy(); });
        QCoreApplication::processEvents();
      }
    };
    ctl->OnEnd = [&](TLogAnalysis*, const std::string&) {
      if (gone) ++afterGone;
      if (mode == 3) destroy();
    };
    ASSERT_TRUE(ctl->Analyze(mode == 3 ? small : path, Start()));
    switch (mode) {
      case 0:  // from the event loop, between batches
        RunUntil([&] { return delivered >= at; });
        destroy();
        break;
      case 1:
      case 2:
      case 3:
        ASSERT_TRUE(RunUntil([&] { return gone; }));
        break;
      case 4:  // the worker blocks in its first hand-off; nobody handles it
        std::this_thread::sleep_for(std::chrono::microseconds(at));
        destroy();
        break;
    }
    RunFor(2);
    EXPECT_EQ(afterGone, 0);
    totalDelivered += delivered;
  }
  EXPECT_GT(totalDelivered, 0);
}

}  // namespace
