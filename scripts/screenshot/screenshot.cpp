// Renders the main window with sample data into a PNG for the README. Run by screenshot.sh under
// Xvfb, so the window is drawn by the same platform plug-in and fonts a desktop uses. Settings
// and data live in a temporary folder; the user's own are never touched.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <cstdio>

#include "app/Application.h"
#include "app/Dialogs.h"
#include "app/LogImport.h"
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
  quillet::InstallJapaneseTranslation(app);
  QTemporaryDir home;
  // The temporary folder plays the home folder, so the logs show under a neutral "~/logs".
  qputenv("HOME", home.path().toUtf8());
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

  // The sample logs imported through the import command, with the dialogs answered in advance.
  quillet::ScriptedDialogs dialogs;
  TMainForm window(&dialogs);
  window.show();
  const QString examples = home.path() + "/logs";
  QDir().mkpath(examples);
  for (const char* name : {"mail.log", "patio-cb.log", "forum.log"})
    if (!QFile::copy(QStringLiteral(QUILLET_EXAMPLES "/") + name, examples + "/" + name)) return 1;
  dialogs.openFiles.push_back({examples + "/mail.log", examples + "/patio-cb.log", examples + "/forum.log"});
  dialogs.modals.push_back([](QDialog& dialog) {
    auto& import = static_cast<TImportDialog&>(dialog);
    import.SearchButtonClick();  // "特になし": each log sets its own screens
    return import.result();
  });
  window.Import1Click();
  while (window.Importing()) app.processEvents(QEventLoop::WaitForMoreEvents, 50);
  window.TreeView->expandAll();
  // The forum's conference room of the first log, with a registered ID in the editor.
  TTreeNode* room = nullptr;
  for (int i = 0; i < window.RootNode()->Count() && !room; ++i) {
    TTreeNode* file = window.RootNode()->Item(i);
    if (!file->Text().ends_with("forum.log")) continue;
    for (int j = 0; j < file->Count() && !room; ++j)
      for (int k = 0; k < file->Item(j)->Count(); ++k)
        if (file->Item(j)->Item(k)->Text() == FromUtf8("会議室")) room = file->Item(j)->Item(k);
  }
  if (!room) return 1;
  window.SelectNode(room);
  window.RefreshIDView();
  window.IDView->SetItemIndex(window.IDView->FindRow(1, "GHI00003"));
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
