// Desktop program timings, headless: start-up with a 100,000-entry data file to a shown window,
// and the list refresh of a folder of 100,000 IDs (half registered) and of group A (50,000).
// The baseline, measured in the same run, is the ID store's own load of the same file: start-up
// costs that plus the window.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeView>
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <vector>

#include "BenchTiming.h"
#include "app/Dialogs.h"
#include "app/MainForm.h"
#include "controls/widgets/ListGridWidget.h"
#include "iddb/PickEngine.h"

namespace {

using bench::Median;

constexpr int kEntries = 100000;

std::string IdOf(int i) {
  char id[16];
  std::snprintf(id, sizeof id, "%c%c%c%05d", 'A' + (i / 100000) % 26, 'A' + (i / 1000) % 26, 'A' + (i / 10) % 26,
                i % 100000);
  return id;
}

void WriteDataFile(const QString& folder) {
  QDir().mkpath(folder);
  QFile f(folder + "/Zelvo.dat");
  if (!f.open(QIODevice::WriteOnly)) std::abort();
  std::string out;
  out.reserve(kEntries * 90);
  for (int i = 0; i < kEntries; ++i) {
    std::string handle = "handle" + std::to_string(i);
    handle.resize(40, ' ');
    out += IdOf(i) + "\r\n" + handle + "nick\r\nmemo " + std::to_string(i) + "\r\n" + (i % 2 ? "B" : "A") +
           "  2025 1 12025 1 1 \r\n";
  }
  f.write(out.data(), static_cast<qint64>(out.size()));
}

// CPU time of this thread: the figure that stays meaningful on a machine shared with other work.
double CpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
  qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
  const QString zelvo = home.path() + "/zelvo";
  QDir().mkpath(home.path() + "/config/Qmr");
  {
    QFile conf(home.path() + "/config/Qmr/Zelvo.conf");
    if (!conf.open(QIODevice::WriteOnly)) return 1;
    conf.write("[Directory]\nOnExecuting=" + zelvo.toUtf8() + "\n");
  }
  WriteDataFile(zelvo);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

  std::vector<double> load, startup, folder, group, loadCpu, startupCpu, folderCpu, groupCpu;
  for (int run = 0; run < runs; ++run) {
    QElapsedTimer t;
    {
      TPickData store;
      store.SetReadOnly(true);
      t.start();
      const double cpu = CpuMs();
      store.Load((zelvo + "/Zelvo.dat").toStdString());
      load.push_back(t.nsecsElapsed() / 1e6);
      loadCpu.push_back(CpuMs() - cpu);
    }
    quillet::ScriptedDialogs dialogs;
    t.start();
    double cpu = CpuMs();
    auto window = std::make_unique<TMainForm>(&dialogs);
    window->show();
    QApplication::processEvents();
    startup.push_back(t.nsecsElapsed() / 1e6);
    startupCpu.push_back(CpuMs() - cpu);

    // A folder of every ID of the store plus as many that are not registered.
    TTreeNode* node = window->Nodes().AddChild(window->RootNode(), "bench.log");
    auto set = std::make_unique<TStringListWithHash>();
    for (int i = 0; i < kEntries; ++i) {
      const std::string id = i % 2 ? IdOf(i) : IdOf(i + 2 * kEntries);  // half registered
      auto record = std::make_unique<TminiIDDataSet>(id);
      record->AddHandle("seen" + std::to_string(i));
      set->AddObject(id, std::move(record));
    }
    node->SetIDSet(std::move(set));
    window->SelectNode(node);
    t.start();
    cpu = CpuMs();
    window->RefreshIDView();
    window->IDView->viewport()->repaint();
    folder.push_back(t.nsecsElapsed() / 1e6);
    folderCpu.push_back(CpuMs() - cpu);
    if (window->IDView->RowCount() != kEntries) return 2;

    window->SelectNode(window->RegistNode->Item(0));
    t.start();
    cpu = CpuMs();
    window->RefreshIDView();
    window->IDView->viewport()->repaint();
    group.push_back(t.nsecsElapsed() / 1e6);
    groupCpu.push_back(CpuMs() - cpu);
    if (window->IDView->RowCount() != kEntries / 2) return 3;
    window->PickData().SetReadOnly(true);
    window->PickData().GroupMgr().SetReadOnly(true);
  }
  const double base = Median(load);
  std::printf("entries %d, median of %d runs; wall time (CPU time of the GUI thread)\n", kEntries, runs);
  auto line = [&](const char* what, const std::vector<double>& wall, const std::vector<double>& cpu, int target) {
    std::printf("%-34s %8.1f ms (%7.1f ms)  %.2f x baseline", what, Median(wall), Median(cpu), Median(wall) / base);
    if (target) std::printf("; target < %d ms", target);
    std::printf("\n");
  };
  line("store Load alone (baseline)", load, loadCpu, 0);
  line("start-up to a shown window", startup, startupCpu, 1500);
  line("refresh, folder of 100,000 IDs", folder, folderCpu, 300);
  line("refresh, group A of 50,000", group, groupCpu, 300);
  return 0;
}
