// Cost of the analysis controller per find: the same log scanned bare (the worker's body run
// synchronously with a sink that only counts) and through TLogAnalysis (worker thread, batched
// hand-off to this thread, callbacks that do nothing), alternating, several rounds.
//
//   bench_controller LOG [ROUNDS [bare|controller]]   (one side only: for perf stat and profilers)
#include <sys/resource.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "analysis/LogAnalysis.h"

namespace {

using bench::Clock;
using bench::Median;
using bench::Min;
using bench::Seconds;

class CountingSink final : public TAnalysisSink {
 public:
  void Found(const TIDData&, const TForumData&) override { ++finds; }
  void End(const std::string&) override { ++ends; }
  uint64_t finds = 0;
  int ends = 0;
};

// CPU time of the whole process (all threads), user + system.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return s(usage.ru_utime) + s(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s LOG [ROUNDS]\n", argv[0]);
    return 2;
  }
  const std::string path = argv[1];
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::string only = argc > 3 ? argv[3] : "";
  QCoreApplication app(argc, argv);

  std::vector<double> bare, controlled, bareCpu, controlledCpu;
  uint64_t bareFinds = 0, controlledFinds = 0;
  for (int round = 0; round < rounds; ++round) {
    if (only != "controller") {
      CountingSink sink;
      TLogAnalizingThread worker;
      worker.FileName = path;
      worker.NotifyWindow = &sink;
      const double cpu = CpuSeconds();
      const auto start = Clock::now();
      worker.Execute();
      bare.push_back(Seconds(Clock::now() - start));
      bareCpu.push_back(CpuSeconds() - cpu);
      bareFinds = sink.finds;
    }
    if (only != "bare") {
      TLogAnalysis ctl;
      uint64_t finds = 0;
      QEventLoop loop;
      ctl.OnFound = [&finds](TLogAnalysis*, const TIDData&, const TForumData&) { ++finds; };
      ctl.OnEnd = [&loop](TLogAnalysis*, const std::string&) { loop.quit(); };
      const double cpu = CpuSeconds();
      const auto start = Clock::now();
      if (!ctl.Analyze(path, TForumData{})) {
        std::fprintf(stderr, "cannot scan %s\n", path.c_str());
        return 1;
      }
      loop.exec();
      controlled.push_back(Seconds(Clock::now() - start));
      controlledCpu.push_back(CpuSeconds() - cpu);
      controlledFinds = finds;
    }
  }
  if (!only.empty()) return 0;
  const double b = Median(bare), c = Median(controlled);
  std::printf("log: %s\n", path.c_str());
  std::printf("finds: bare %llu, controller %llu%s\n", static_cast<unsigned long long>(bareFinds),
              static_cast<unsigned long long>(controlledFinds), bareFinds == controlledFinds ? "" : "  MISMATCH");
  std::printf("wall time   bare: median %.3f s, best %.3f s   controller: median %.3f s, best %.3f s  (%d rounds)\n",
              b, Min(bare), c, Min(controlled), rounds);
  std::printf("cpu time    bare: median %.3f s   controller: median %.3f s (both threads)\n", Median(bareCpu),
              Median(controlledCpu));
  if (bareFinds)
    std::printf("controller cost per find: %.1f ns wall, %.1f ns cpu\n",
                (c - b) * 1e9 / static_cast<double>(bareFinds),
                (Median(controlledCpu) - Median(bareCpu)) * 1e9 / static_cast<double>(bareFinds));
  std::printf("ratio controller / bare: median %.3f, best %.3f (target <= 1.2)\n", c / b, Min(controlled) / Min(bare));
  return bareFinds == controlledFinds ? 0 : 1;
}
