// The window "ログからの検索", headless: the sightings of one ID in the file node of a large log,
// listed through the window, against the bare scan of the same log in the same run (the scanner
// with a sink that keeps nothing, on this thread). Also the window's responsiveness while it
// fills: the longest time between two runs of a 10 ms timer on the GUI thread.
//
//   bench_sightings LOG [ROUNDS] [ID]     (ID: by default the one found most often)
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <map>
#include <thread>
#include <chrono>
#include <vector>

#include "BenchTiming.h"
#include "app/Icons.h"
#include "app/LogSearchForm.h"

namespace {

using bench::Median;

// CPU time of this process (all its threads) or of this thread, in milliseconds: figures that
// stay meaningful on a machine shared with other work.
double CpuMs(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

class CountingSink final : public TAnalysisSink {
 public:
  void Found(const TIDData& find, const TForumData&) override {
    ++finds;
    if (counts) ++(*counts)[find.ID];
  }
  void End(const std::string&) override {}
  size_t finds = 0;
  std::map<std::string, int>* counts = nullptr;
};

double lastScanCpuMs = 0;

double BareScan(const std::string& log, std::map<std::string, int>* counts = nullptr) {
  CountingSink sink;
  sink.counts = counts;
  TLogAnalizingThread worker;
  worker.FileName = log;
  worker.NotifyWindow = &sink;
  QElapsedTimer clock;
  clock.start();
  const double cpu = CpuMs(CLOCK_THREAD_CPUTIME_ID);
  worker.Execute();
  lastScanCpuMs = CpuMs(CLOCK_THREAD_CPUTIME_ID) - cpu;
  return clock.nsecsElapsed() / 1e6;
}

struct WindowRun {
  double ms = 0;
  double longestGapMs = 0;
  double cpuMs = 0;
  int rows = 0;
};

WindowRun ThroughWindow(QApplication& app, const std::string& log, const std::string& id) {
  TTreeNodes nodes;
  TTreeNode* root = nodes.AddChild(nullptr, "NIFTY SERVE");
  TTreeNode* file = nodes.AddChild(root, log);
  file->AddLog(StampLogOrigin(log, TForumData{}, TLogEncoding::Auto));
  WindowRun run;
  TLogSearchForm form(id, PlanSightings(file, nodes), quillet::JapaneseFont(12));
  form.show();
  app.processEvents();
  QElapsedTimer gap;
  QTimer tick;
  tick.setInterval(10);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    run.longestGapMs = std::max(run.longestGapMs, gap.nsecsElapsed() / 1e6);
    gap.restart();
  });
  QElapsedTimer clock;
  clock.start();
  const double cpu = CpuMs(CLOCK_PROCESS_CPUTIME_ID);
  gap.start();
  tick.start();
  QEventLoop loop;  // waits without spinning, as the program's own loop does
  QObject::connect(&form, &TLogSearchForm::Finished, &loop, &QEventLoop::quit);
  form.Start();
  if (!form.Done()) loop.exec();
  run.ms = clock.nsecsElapsed() / 1e6;
  run.cpuMs = CpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpu;
  tick.stop();
  run.rows = form.Model().rowCount();
  return run;
}

// The reading alone, without the window: the share of the window's time that is the re-read.
double SearchOnly(const std::string& log, const std::string& id, double& cpuMs) {
  TTreeNodes nodes;
  TTreeNode* file = nodes.AddChild(nodes.AddChild(nullptr, "NIFTY SERVE"), log);
  file->AddLog(StampLogOrigin(log, TForumData{}, TLogEncoding::Auto));
  TSightingSearch search(id, PlanSightings(file, nodes));
  QElapsedTimer clock;
  clock.start();
  const double cpu = CpuMs(CLOCK_PROCESS_CPUTIME_ID);
  search.Start();
  std::vector<TSighting> found;
  while (!search.Finished()) {
    search.Take(found, 100000);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  cpuMs = CpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpu;
  return clock.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_sightings LOG [ROUNDS] [ID]\n");
    return 2;
  }
  QApplication app(argc, argv);
  QTemporaryDir home;  // the window's settings go here, not to the user's
  qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
  const std::string log = argv[1];
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  std::string id = argc > 3 ? argv[3] : "";
  if (id.empty()) {
    std::map<std::string, int> counts;
    BareScan(log, &counts);
    for (const auto& [each, n] : counts)
      if (id.empty() || n > counts[id]) id = each;
  }
  const double mb = QFile(QString::fromStdString(log)).size() / 1e6;
  std::vector<double> window, scan, gaps, windowCpu, scanCpu;
  int rows = 0;
  for (int round = 0; round < rounds; ++round) {
    // Alternate the order so that neither side always meets a warmer cache.
    if (round % 2) {
      scan.push_back(BareScan(log));
      scanCpu.push_back(lastScanCpuMs);
    }
    const WindowRun run = ThroughWindow(app, log, id);
    window.push_back(run.ms);
    windowCpu.push_back(run.cpuMs);
    gaps.push_back(run.longestGapMs);
    rows = run.rows;
    if (round % 2 == 0) {
      scan.push_back(BareScan(log));
      scanCpu.push_back(lastScanCpuMs);
    }
    std::printf("round %d: window %.0f ms (cpu %.0f, longest gap %.1f ms), bare scan %.0f ms (cpu %.0f)\n",
                round + 1, run.ms, run.cpuMs, run.longestGapMs, scan.back(), scanCpu.back());
  }
  std::vector<double> alone, aloneCpu;
  for (int round = 0; round < rounds; ++round) {
    double cpu = 0;
    alone.push_back(SearchOnly(log, id, cpu));
    aloneCpu.push_back(cpu);
  }
  const double w = Median(window), s = Median(scan);
  std::printf("\n%.1f MB log, ID %s, %d sightings listed, %d rounds (medians)\n", mb, id.c_str(), rows, rounds);
  std::printf("sightings through the window: %8.0f ms\n", w);
  std::printf("bare scan of the log        : %8.0f ms\n", s);
  std::printf("the re-read without window  : %8.0f ms  (cpu %.0f ms)\n", Median(alone), Median(aloneCpu));
  std::printf("ratio window / scan         : %8.2f   (target <= 1.5)\n", w / s);
  std::printf("by CPU time (all threads)   : %8.2f   (%.0f ms / %.0f ms)\n", Median(windowCpu) / Median(scanCpu),
              Median(windowCpu), Median(scanCpu));
  std::printf("longest gap between events  : %8.1f ms (worst round; target <= 50)\n",
              *std::max_element(gaps.begin(), gaps.end()));
  return 0;
}
