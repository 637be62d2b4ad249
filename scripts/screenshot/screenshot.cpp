// Renders the main window with sample data into a PNG for the README. Run by screenshot.sh under
// Xvfb, so the window is drawn by the same platform plug-in and fonts a desktop uses. Settings
// and data live in a temporary folder; the user's own are never touched.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <cstdio>

#include "app/Dialogs.h"
#include "app/MainForm.h"
#include "app/TreeModel.h"
#include "common/Cp932.h"
#include "controls/widgets/ListGridWidget.h"
#include "iddb/PickEngine.h"

namespace {

using quillet::FromUtf8;

void Write(const QString& path, const std::string& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) std::exit(1);
  f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string Record(const char* id, const char* handle, const char* alias, const char* memo, const char* attribute) {
  std::string padded = FromUtf8(handle);
  padded.resize(std::max<size_t>(padded.size(), 40), ' ');
  return std::string(id) + "\r\n" + padded + FromUtf8(alias) + "\r\n" + FromUtf8(memo) + "\r\n" + attribute + "\r\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: quillet_screenshot OUTPUT.png\n");
    return 2;
  }
  QApplication app(argc, argv);
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
  qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
  const QString zelvo = home.path() + "/zelvo";
  Write(home.path() + "/config/Qmr/Zelvo.conf", "[Directory]\nOnExecuting=" + zelvo.toStdString() + "\n");
  Write(home.path() + "/config/Qmr/NewQuillet.conf",
        "[View]\nLeft=0\nTop=0\nWidth=760\nHeight=520\nTreeWidth=230\nIDHeight=190\nIDViewColWidth0=20\n"
        "IDViewColWidth1=70\nIDViewColWidth2=90\nIDViewColWidth3=50\nIDViewColWidth4=70\n"
        "IDViewColWidth5=75\nIDViewColWidth6=75\n");
  Write(zelvo + "/Zelvo.dat",
        Record("DEF00002", "みどり", "緑さん", "ゴルフ仲間", "AAP1996 3 11996 3 4M") +
            Record("GHI00003", "ゴルフ太郎", "", "幹事", "B  1996 3 21996 3 2 ") +
            Record("JKL00004", "スイング研究会", "", "", "C  1996 3 51996 3 5 "));
  Write(zelvo + "/Profile/DEF00002.txt", FromUtf8("ゴルフ歴十年。\r\n週末は河川敷コース。\r\n"));
  Write(zelvo + "/Memo/DEF00002.txt", FromUtf8("3/4 ＲＴ会議で初めて話した。\r\n"));

  quillet::WidgetDialogs dialogs(nullptr);
  TMainForm window(&dialogs);
  // What an import of the sample forum log files under the root.
  TTreeNode* log = window.Nodes().AddChild(window.RootNode(), "/home/user/logs/forum.log");
  log->SetImages(8, 9);
  TTreeNode* forum = window.Nodes().AddChild(log, FromUtf8("フォーラム(FGOLF)"));
  forum->SetImages(10, 11);
  TTreeNode* room = nullptr;
  for (const char* name : {"会議室", "ライブラリ", "ＲＴ会議"}) {
    TTreeNode* node = window.Nodes().AddChild(forum, FromUtf8(name));
    node->SetImages(0, 1);
    if (!room) room = node;
  }
  auto set = std::make_unique<TStringListWithHash>();
  const std::pair<const char*, const char*> finds[] = {
      {"PQR00006", "コースの予約"}, {"GHI00003", "ゴルフ太郎"}, {"STU00007", "早起き鳥"}, {"DEF00002", "みどり"}};
  for (const auto& [id, handle] : finds) {
    auto record = std::make_unique<TminiIDDataSet>(id);
    record->AddHandle(FromUtf8(handle));
    set->AddObject(id, std::move(record));
  }
  room->SetIDSet(std::move(set));
  window.show();
  window.TreeView->expandAll();
  window.SelectNode(room);
  window.RefreshIDView();
  window.IDView->SetItemIndex(window.IDView->FindRow(1, "DEF00002"));
  window.IDViewClick();
  window.PickData().SetReadOnly(true);
  window.PickData().GroupMgr().SetReadOnly(true);

  int status = 0;
  QTimer::singleShot(700, &app, [&] {
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) status = 1;
    app.quit();
  });
  app.exec();
  return status;
}
