// Times the ID store on a data file against copying the same file with cp, all in one run:
//   bench_iddb DATAFILE [REPEATS]
// Load (read only, then as at start-up with its backup), Save, and a FindNext walk over every
// entry with a keyword that matches nothing. Prints the median of each and its ratio to cp.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "common/UserInterface.h"
#include "iddb/PickEngine.h"
#include "iddb/TextFile.h"

extern char** environ;

namespace {

using bench::Median;

// Counts the per-entry hook calls so the virtual call is part of what is measured.
class CountingUI : public quillet::UserInterface {
 public:
  void ShowMessage(std::string_view text) override { std::fprintf(stderr, "message: %.*s\n", int(text.size()), text.data()); }
  void ProcessEvents() override { ++events; }
  long events = 0;
};

double TimeOnce(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Measure(int repeats, const std::function<void()>& prepare, const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < repeats; ++i) {
    prepare();
    times.push_back(TimeOnce(work));
  }
  return Median(times);
}

void RunCp(const std::string& from, const std::string& to) {
  const char* argv[] = {"cp", from.c_str(), to.c_str(), nullptr};
  pid_t pid;
  if (posix_spawnp(&pid, "cp", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    std::perror("cp");
    std::exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_iddb DATAFILE [REPEATS]\n");
    return 2;
  }
  const std::string source = argv[1];
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  CountingUI ui;
  quillet::ScopedUserInterface scope(&ui);
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  const std::string data = folder + "/Zelvo.dat";
  RunCp(source, data);
  const auto noop = [] {};

  const double cp = Measure(repeats, noop, [&] { RunCp(source, folder + "/copy.dat"); });

  // Each Load gets a fresh store, made and released outside the timed part.
  int entries = 0;
  std::unique_ptr<TPickData> fresh;
  const auto makeStore = [&] {
    fresh.reset();
    fresh = std::make_unique<TPickData>();
    fresh->SetReadOnly(true);  // no backup, and no save when it is released
  };
  const double loadReadOnly = Measure(repeats, makeStore, [&] {
    fresh->Load(data);
    entries = fresh->EntryCount();
  });
  // As at start-up: read, then write the backup copy.
  const double loadStartup = Measure(repeats, makeStore, [&] {
    fresh->Load(data);
    fresh->Save(data + ".bak");
  });
  fresh.reset();

  TPickData store;
  store.SetReadOnly(true);
  store.Load(data);
  const double save = Measure(repeats, noop, [&] { store.Save(folder + "/saved.dat"); });

  bool found = false;
  const double findNext = Measure(repeats, [&] { store.FindNext(""); },
                                  [&] { found = store.FindNext("QQQQQQQQ"); });
  const double walk = Measure(repeats, [&] { store.FindNext(""); }, [&] {
    while (store.FindNext(" ")) {
    }
  });

  // The lookup table's share of Load: the same IDs put into a table of their own.
  std::vector<std::string> ids;
  store.FindNext("");
  while (store.FindNext(" ")) ids.push_back(store.CurrentID());
  std::unique_ptr<TDynamicHash> table;
  const double hashPut = Measure(repeats, [&] { table = std::make_unique<TDynamicHash>(0); }, [&] {
    for (size_t i = 0; i < ids.size(); ++i) table->Put(ids[i], static_cast<int32_t>(i));
  });
  table.reset();

  const std::string original = quillet::ReadWholeFile(source);
  const std::string saved = quillet::ReadWholeFile(folder + "/saved.dat");
  std::printf("entries %d, %zu bytes; saved copy %s\n", entries, original.size(),
              saved == original ? "identical" : "differs (normalised or trash dropped)");
  std::printf("%-34s %9.2f ms\n", "cp", cp);
  auto row = [&](const char* name, double ms) {
    std::printf("%-34s %9.2f ms  %5.2f x cp\n", name, ms, ms / cp);
  };
  row("Load (read only)", loadReadOnly);
  row("  of which TDynamicHash::Put", hashPut);
  row("Load + backup (as at start-up)", loadStartup);
  row("Save", save);
  row("FindNext, no match, all entries", findNext);
  row("FindNext(\" \") walk of all entries", walk);
  if (found) std::printf("warning: the keyword matched\n");
  return 0;
}
