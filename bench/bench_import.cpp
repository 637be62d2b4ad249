// The log import command of the desktop program, headless: one log imported through
// Import1Click with the dialogs answered in advance, against `quillet scan --json` of the same
// file in the same run (the same queue, controller and tree manager, with no window). Also the
// window's responsiveness during the import: the longest time between two runs of a 10 ms timer
// on the GUI thread.
//
//   bench_import LOG [ROUNDS]
//   bench_import --list FILE [ROUNDS]
//
// With --list, FILE names the logs to import, one path a line, relative to FILE's folder: all of
// them are chosen in the open dialog at once (many small logs), and `quillet scan --json` gets
// them as relative names run from that folder, which keeps its command line short.
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <string>
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

// The logs of one import: their folder, and their names in it (or absolute paths).
struct Logs {
  QString folder;
  QStringList names;
  QStringList Paths() const {
    QStringList paths;
    paths.reserve(names.size());
    for (const QString& name : names) paths.push_back(QDir(folder).absoluteFilePath(name));
    return paths;
  }
  double MegaBytes() const {
    double bytes = 0;
    for (const QString& path : Paths()) bytes += QFileInfo(path).size();
    return bytes / 1e6;
  }
};

WindowRun ImportThroughWindow(QApplication& app, const Logs& logs) {
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
  qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
  quillet::ScriptedDialogs dialogs;
  WindowRun run;
  {
    TMainForm window(&dialogs);
    window.show();
    app.processEvents();
    dialogs.openFiles.push_back(logs.Paths());
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

double ScanJson(const Logs& logs) {
  QProcess scan;
  scan.setStandardOutputFile(QProcess::nullDevice());
  scan.setWorkingDirectory(logs.folder);
  QElapsedTimer clock;
  clock.start();
  scan.start(QStringLiteral(QUILLET_BINARY), QStringList{"scan", "--json"} + logs.names);
  if (!scan.waitForFinished(-1) || scan.exitCode() != 0) {
    std::fprintf(stderr, "quillet scan --json failed\n");
    std::exit(1);
  }
  return clock.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const bool list = argc > 1 && std::string(argv[1]) == "--list";
  const int first = list ? 2 : 1;
  if (argc < first + 1) {
    std::fprintf(stderr, "usage: bench_import LOG [ROUNDS]\n       bench_import --list FILE [ROUNDS]\n");
    return 2;
  }
  QApplication app(argc, argv);
  const QString given = QString::fromLocal8Bit(argv[first]);
  const int rounds = argc > first + 1 ? std::max(1, std::atoi(argv[first + 1])) : 5;
  Logs log;
  if (list) {
    QFile file(given);
    if (!file.open(QIODevice::ReadOnly)) {
      std::fprintf(stderr, "cannot read %s\n", argv[first]);
      return 1;
    }
    log.folder = QFileInfo(given).absolutePath();
    for (const QByteArray& line : file.readAll().split('\n'))
      if (!line.isEmpty()) log.names.push_back(QString::fromLocal8Bit(line));
  } else {
    log.folder = QFileInfo(given).absolutePath();
    log.names = {QFileInfo(given).fileName()};
  }
  const double mb = log.MegaBytes();
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
  std::printf("\n%.1f MB in %lld log(s), %d tree nodes, %d rounds (medians)\n", mb,
              static_cast<long long>(log.names.size()), nodes, rounds);
  if (log.names.size() > 1)
    std::printf("per file: window %.1f us, scan --json %.1f us\n", w * 1e3 / log.names.size(),
                s * 1e3 / log.names.size());
  std::printf("import through the window : %8.0f ms  %6.1f MB/s\n", w, mb / (w / 1e3));
  std::printf("quillet scan --json       : %8.0f ms  %6.1f MB/s\n", s, mb / (s / 1e3));
  std::printf("ratio window / scan       : %8.2f   (target <= 1.3)\n", w / s);
  std::printf("longest gap between events: %8.1f ms (worst round; target < 50)\n",
              *std::max_element(gaps.begin(), gaps.end()));
  return 0;
}
