// The log import command of the desktop program, headless: one log imported through
// Import1Click with the dialogs answered in advance, against `quillet scan --json` of the same
// file in the same run (the same queue, controller and tree manager, with no window). Also the
// window's responsiveness during the import: the longest time between two runs of a 10 ms timer
// on the GUI thread.
//
//   bench_import LOG [ROUNDS]
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "BenchTiming.h"
#include "app/Dialogs.h"
#include "app/LogImport.h"
#include "app/MainForm.h"
#include "iddb/PickEngine.h"

namespace {

using bench::Median;

struct WindowRun {
  double ms = 0;
  double longestGapMs = 0;
  int nodes = 0;
};

WindowRun ImportThroughWindow(QApplication& app, const QString& log) {
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
  qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
  quillet::ScriptedDialogs dialogs;
  WindowRun run;
  {
    TMainForm window(&dialogs);
    window.show();
    app.processEvents();
    dialogs.openFiles.push_back({log});
    dialogs.modals.push_back([](QDialog& dialog) {
      auto& import = static_cast<TImportDialog&>(dialog);
      import.SearchButtonClick();
      return import.result();
    });
    QElapsedTimer gap;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
      run.longestGapMs = std::max(run.longestGapMs, gap.nsecsElapsed() / 1e6);
      gap.restart();
    });
    QElapsedTimer clock;
    clock.start();
    gap.start();
    tick.start();
    window.Import1Click();
    while (window.Importing()) app.processEvents(QEventLoop::WaitForMoreEvents, 20);
    run.ms = clock.nsecsElapsed() / 1e6;
    tick.stop();
    run.nodes = window.Nodes().TotalCount();
    window.PickData().SetReadOnly(true);
  }
  return run;
}

double ScanJson(const QString& log) {
  QProcess scan;
  scan.setStandardOutputFile(QProcess::nullDevice());
  QElapsedTimer clock;
  clock.start();
  scan.start(QStringLiteral(QUILLET_BINARY), {"scan", "--json", log});
  if (!scan.waitForFinished(-1) || scan.exitCode() != 0) {
    std::fprintf(stderr, "quillet scan --json failed\n");
    std::exit(1);
  }
  return clock.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_import LOG [ROUNDS]\n");
    return 2;
  }
  QApplication app(argc, argv);
  const QString log = QString::fromLocal8Bit(argv[1]);
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const double mb = QFile(log).size() / 1e6;
  std::vector<double> window, scan, gaps;
  int nodes = 0;
  for (int round = 0; round < rounds; ++round) {
    // Alternate the order so that neither side always meets a warmer cache.
    if (round % 2) scan.push_back(ScanJson(log));
    const WindowRun run = ImportThroughWindow(app, log);
    window.push_back(run.ms);
    gaps.push_back(run.longestGapMs);
    nodes = run.nodes;
    if (round % 2 == 0) scan.push_back(ScanJson(log));
    std::printf("round %d: window %.0f ms (longest gap %.1f ms), scan --json %.0f ms\n", round + 1, run.ms,
                run.longestGapMs, scan.back());
  }
  const double w = Median(window), s = Median(scan);
  std::printf("\n%.1f MB log, %d tree nodes, %d rounds (medians)\n", mb, nodes, rounds);
  std::printf("import through the window : %8.0f ms  %6.1f MB/s\n", w, mb / (w / 1e3));
  std::printf("quillet scan --json       : %8.0f ms  %6.1f MB/s\n", s, mb / (s / 1e3));
  std::printf("ratio window / scan       : %8.2f   (target <= 1.3)\n", w / s);
  std::printf("longest gap between events: %8.1f ms (worst round; target < 50)\n",
              *std::max_element(gaps.begin(), gaps.end()));
  return 0;
}
