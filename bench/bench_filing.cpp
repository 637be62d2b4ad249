// Cost of filing finds into the folder tree, apart from the scan and the thread hand-off: the
// log is scanned once (bare, synchronously) with its finds kept in memory, then each round
// files all of them into a fresh tree through TTreeMgr::HandleFound, as the import does on the
// GUI thread. The bare scan of the same log is timed in the same rounds as the baseline: the
// full import costs about scan + filing, so filing / scan is what `quillet scan --json` adds
// to the bare scan.
//
//   bench_filing LOG [ROUNDS [filing]]   (filing only: for perf stat and profilers)
#include <malloc.h>
#include <time.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "analysis/LogAnalize.h"
#include "tree/MakeTree.h"
#include "tree/StringListWithHash.h"
#include "tree/TreeNodes.h"

namespace {

using bench::Clock;
using bench::Median;
using bench::Min;
using bench::Seconds;

struct Find {
  TIDData id;
  size_t context;  // index into the kept contexts
};

// Keeps every find, each distinct context once (consecutive finds mostly share one).
class KeepingSink final : public TAnalysisSink {
 public:
  void Found(const TIDData& find, const TForumData& context) override {
    if (contexts.empty() || contexts.back().Category != context.Category || contexts.back().Name != context.Name)
      contexts.push_back(context);
    finds.push_back(Find{find, contexts.size() - 1});
  }
  void End(const std::string&) override {}
  std::vector<Find> finds;
  std::vector<TForumData> contexts;
};

class CountingSink final : public TAnalysisSink {
 public:
  void Found(const TIDData&, const TForumData&) override { ++finds; }
  void End(const std::string&) override {}
  uint64_t finds = 0;
};

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s LOG [ROUNDS [filing]]\n", argv[0]);
    return 2;
  }
  const std::string path = argv[1];
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
  const bool filingOnly = argc > 3 && std::string(argv[3]) == "filing";
  QCoreApplication app(argc, argv);

  KeepingSink kept;
  {
    TLogAnalizingThread worker;
    worker.FileName = path;
    worker.NotifyWindow = &kept;
    worker.Execute();
  }
  if (kept.finds.empty()) {
    std::fprintf(stderr, "no finds in %s\n", path.c_str());
    return 1;
  }

  std::vector<double> scan, filing, scanCpu, filingCpu;
  size_t filed = 0;
  size_t treeBytes = 0;
  for (int round = 0; round < rounds; ++round) {
    if (!filingOnly) {
      CountingSink sink;
      TLogAnalizingThread worker;
      worker.FileName = path;
      worker.NotifyWindow = &sink;
      const double cpu = ThreadCpuSeconds();
      const auto start = Clock::now();
      worker.Execute();
      scan.push_back(Seconds(Clock::now() - start));
      scanCpu.push_back(ThreadCpuSeconds() - cpu);
    }
    const size_t heapBefore = mallinfo2().uordblks;
    TTreeNodes nodes;
    TTreeMgr mgr(nodes);
    TTreeNode* root = nodes.AddChild(nullptr, "NIFTY SERVE");
    mgr.FileNode = mgr.FindOrAddChild(root, path);
    const double cpu = ThreadCpuSeconds();
    const auto start = Clock::now();
    for (const Find& f : kept.finds) mgr.HandleFound(nullptr, f.id, kept.contexts[f.context]);
    filing.push_back(Seconds(Clock::now() - start));
    treeBytes = mallinfo2().uordblks - heapBefore;
    filingCpu.push_back(ThreadCpuSeconds() - cpu);
    filed = 0;
    std::vector<TTreeNode*> stack{root};
    while (!stack.empty()) {
      TTreeNode* node = stack.back();
      stack.pop_back();
      if (node->IDSet()) filed += static_cast<size_t>(node->IDSet()->Count());
      for (int i = 0; i < node->Count(); ++i) stack.push_back(node->Item(i));
    }
  }

  const double n = static_cast<double>(kept.finds.size());
  std::printf("log: %s: %zu finds, %zu IDs filed (one per folder and ID), %.1f MB of memory (%.0f bytes an ID)\n",
              path.c_str(), kept.finds.size(), filed, static_cast<double>(treeBytes) / 1e6,
              static_cast<double>(treeBytes) / static_cast<double>(filed));
  std::printf("filing: median %.1f ms (%.0f ns a find), best %.1f ms; CPU median %.1f ms  (%d rounds)\n",
              Median(filing) * 1e3, Median(filing) * 1e9 / n, Min(filing) * 1e3, Median(filingCpu) * 1e3, rounds);
  if (filingOnly) return 0;
  std::printf("bare scan: median %.1f ms, best %.1f ms; CPU median %.1f ms\n", Median(scan) * 1e3, Min(scan) * 1e3,
              Median(scanCpu) * 1e3);
  std::printf("ratio filing / scan: median %.3f, best %.3f\n", Median(filing) / Median(scan), Min(filing) / Min(scan));
  return 0;
}
