// The log import command through the main window: the open dialog, the import dialog, the file
// nodes and their images, the status text, the stop, and an end-to-end import of the sample logs
// checked against the headless scan of the same files. Also the folder search, the collection and
// the list popup's log search, which file their results into the tree.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <csignal>
#include <signal.h>
#include <stdexcept>

#include "MainFormFixture.h"
#include "app/LogImport.h"
#include "app/LogSearchForm.h"
#include "app/SearchForm.h"
#include "app/ShutdownWatcher.h"
#include "app/TreeModel.h"
#include "common/Cp932.h"
#include "controls/widgets/ListGridWidget.h"
#include "iddb/PickEngine.h"
#include "tree/ImportQueue.h"
#include "tree/MakeTree.h"

namespace {

using quillet::FromUtf8;
using Kind = quillet::ScriptedDialogs::Kind;
using Texts = std::vector<std::string>;

const QString kExamples = QStringLiteral(QUILLET_EXAMPLES);

class ImportTest : public MainFormTest {
 protected:
  TMainForm& OpenEmpty() {
    TMainForm& w = Open();
    dialogs_.shown.clear();
    return w;
  }
  // The import dialog's answer: the start category item and name, and the integrate box.
  void AnswerImportDialog(int item = 0, const QString& name = {}, bool integrate = false, int encoding = 0) {
    dialogs_.modals.push_back([=, this](QDialog& d) {
      auto& dialog = dynamic_cast<TImportDialog&>(d);
      integrateEnabled_ = dialog.IntegrateAllFiles->isEnabled();
      dialog.LogEncoding->setCurrentIndex(encoding);
      dialog.DefaultForum->setCurrentIndex(item);
      dialog.TargetName->setText(name);
      dialog.IntegrateAllFiles->setChecked(integrate);
      dialog.SearchButtonClick();
      return dialog.result();
    });
  }
  // Copies of the sample logs in a folder of the test, so that their paths are known.
  QString Sample(const QString& name) {
    const QString copy = QDir(ZelvoFolder()).filePath(name);
    QDir().mkpath(ZelvoFolder());
    QFile::remove(copy);
    EXPECT_TRUE(QFile::copy(kExamples + "/" + name, copy));
    return copy;
  }
  TTreeNode* FileNode(const QString& path) {
    const std::string text = TImportQueue::NodeTextOf(path.toStdString());
    for (int i = 0; i < window_->RootNode()->Count(); ++i)
      if (window_->RootNode()->Item(i)->Text() == text) return window_->RootNode()->Item(i);
    return nullptr;
  }
  static void Print(std::string& out, const TTreeNode* node, int level) {
    out.append(static_cast<size_t>(level) * 2, ' ');
    out += node->Text() + "\n";
    if (const TStringListWithHash* set = node->IDSet())
      for (int i = 0; i < set->Count(); ++i) {
        out.append(static_cast<size_t>(level + 1) * 2, ' ');
        out += std::string(set->Strings(i)) + "  " + std::string(set->Objects(i)->Handle) + "\n";
      }
    for (int i = 0; i < node->Count(); ++i) Print(out, node->Item(i), level + 1);
  }
  // The tree below the top node without the registered IDs' part, as the headless scan prints it.
  std::string ImportedTree() {
    std::string out = window_->RootNode()->Text() + "\n";
    for (int i = 0; i < window_->RootNode()->Count(); ++i)
      if (window_->RootNode()->Item(i) != window_->RegistNode) Print(out, window_->RootNode()->Item(i), 1);
    return out;
  }
  std::vector<int> Images(TTreeNode* node) { return {node->ImageIndex(), node->SelectedIndex()}; }
  // A log long enough that its scan is still running when the test acts.
  QString BigLog() {
    const QString big = QDir(ZelvoFolder()).filePath("big.log");
    QDir().mkpath(ZelvoFolder());
    QFile in(kExamples + "/forum.log");
    EXPECT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray text = in.readAll();
    QFile out(big);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    for (int i = 0; i < 4000; ++i) out.write(text);
    return big;
  }
  bool WaitUntilHidden() {
    QElapsedTimer waited;
    waited.start();
    while (window_->isVisible() && waited.elapsed() < 60000) QTest::qWait(5);
    return !window_->isVisible();
  }

  bool integrateEnabled_ = false;
};

TEST_F(ImportTest, ThreeFilesEachIntoItsOwnNode) {
  TMainForm& w = OpenEmpty();
  const QString a = Sample("forum.log"), b = Sample("mail.log"), c = Sample("patio-cb.log");
  dialogs_.openFiles = {{a, b, c}};
  AnswerImportDialog();
  w.Import1Click();
  ASSERT_EQ(dialogs_.shown.size(), 2u);
  EXPECT_EQ(dialogs_.shown[0].kind, Kind::OpenFiles);
  EXPECT_EQ(dialogs_.shown[0].text, QStringLiteral("multiple"));
  EXPECT_EQ(dialogs_.shown[0].detail,
            QStringLiteral("ログファイル (*.log);;テキストファイル (*.txt);;"
                           "アーカイブ (*.zip *.lzh *.lha *.tar *.tar.gz *.tgz *.tar.bz2 *.tar.xz *.7z);;"
                           "すべてのファイル (*.*)"));
  EXPECT_EQ(dialogs_.shown[1].caption, QStringLiteral("ログからのインポート"));
  EXPECT_TRUE(integrateEnabled_);
  // The last file chosen goes first; the import commands wait meanwhile.
  EXPECT_EQ(w.StatusPanel->text(), c + QStringLiteral("を検索中"));
  ASSERT_NE(FileNode(c), nullptr);
  EXPECT_EQ(Images(FileNode(c)), (std::vector<int>{14, 15}));
  EXPECT_EQ(FileNode(a), nullptr);
  EXPECT_TRUE(w.Importing());
  EXPECT_FALSE(w.Import1->isEnabled());
  EXPECT_FALSE(w.Convert1->isEnabled());
  EXPECT_TRUE(w.StopImport1->isEnabled());
  EXPECT_FALSE(w.ImportProgress->isHidden());
  EXPECT_EQ(w.ImportFiles->text(), QStringLiteral("1/3"));

  ASSERT_TRUE(WaitForImport());
  for (const QString& file : {a, b, c}) {
    ASSERT_NE(FileNode(file), nullptr) << file.toStdString();
    EXPECT_EQ(Images(FileNode(file)), (std::vector<int>{8, 9}));
  }
  EXPECT_TRUE(w.StatusPanel->text().isEmpty());
  EXPECT_TRUE(w.Import1->isEnabled());
  EXPECT_TRUE(w.Convert1->isEnabled());
  EXPECT_FALSE(w.StopImport1->isEnabled());
  EXPECT_TRUE(w.ImportProgress->isHidden());
  EXPECT_EQ(dialogs_.shown.size(), 2u);  // nothing more to say
  EXPECT_EQ(w.DefaultForumData.Category, 0);
}

TEST_F(ImportTest, IntegratedFilesFillTheNodeOfTheFirstScanned) {
  TMainForm& w = OpenEmpty();
  const QString a = Sample("forum.log"), b = Sample("mail.log"), c = Sample("patio-cb.log");
  dialogs_.openFiles = {{a, b, c}};
  AnswerImportDialog(0, {}, true);
  w.Import1Click();
  EXPECT_EQ(w.ImportQueue().IntegrateName, TImportQueue::NodeTextOf(c.toStdString()));
  ASSERT_TRUE(WaitForImport());
  EXPECT_EQ(w.RootNode()->Count(), 2);  // "登録ID" and the one file node
  TTreeNode* node = FileNode(c);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(Images(node), (std::vector<int>{8, 9}));
  Texts categories;
  for (int i = 0; i < node->Count(); ++i) categories.push_back(quillet::ToUtf8(node->Item(i)->Text()));
  EXPECT_EQ(categories, (Texts{"PATIO(HIJ00012)", "PATIO(QMR00001)", "ＣＢシミュレータ",
                               "フォーラム(FGOLF ゴルフ愛好会フォーラム)", "電子メール"}));
}

TEST_F(ImportTest, OneFileAndCancelledDialogs) {
  TMainForm& w = OpenEmpty();
  const QString a = Sample("mail.log");
  // Cancelled open dialog: no import dialog.
  w.Import1Click();
  EXPECT_EQ(dialogs_.shown.size(), 1u);
  // Cancelled import dialog: nothing scanned, the start context untouched.
  w.DefaultForumData = TForumData{fcForum, "FKEEP"};
  dialogs_.openFiles = {{a}};
  dialogs_.modals.push_back([](QDialog& d) {
    auto& dialog = dynamic_cast<TImportDialog&>(d);
    dialog.DefaultForum->setCurrentIndex(11);
    dialog.CancelButtonClick();
    return dialog.result();
  });
  w.Import1Click();
  EXPECT_FALSE(w.Importing());
  EXPECT_EQ(FileNode(a), nullptr);
  EXPECT_EQ(w.DefaultForumData.Name, "FKEEP");

  // One file: the integrate box is off, nothing waits in the queue.
  dialogs_.openFiles = {{a}};
  AnswerImportDialog(6);
  w.Import1Click();
  EXPECT_FALSE(integrateEnabled_);
  EXPECT_TRUE(w.ImportQueue().FileQueue.empty());
  ASSERT_TRUE(WaitForImport());
  EXPECT_EQ(w.DefaultForumData.Category, fcReceivedMail);
  EXPECT_TRUE(w.StatusPanel->text().isEmpty());
  TTreeNode* node = FileNode(a);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(Images(node), (std::vector<int>{8, 9}));
  const int categories = node->Count();

  // Importing the same file again reuses its node and keeps its finds.
  dialogs_.openFiles = {{a}};
  AnswerImportDialog();
  w.Import1Click();
  ASSERT_TRUE(WaitForImport());
  EXPECT_EQ(FileNode(a), node);
  EXPECT_EQ(node->Count(), categories);
}

TEST_F(ImportTest, MissingFileIsToldAndTheRestImported) {
  TMainForm& w = OpenEmpty();
  const QString a = Sample("mail.log");
  const QString missing = QDir(ZelvoFolder()).filePath("gone.log");
  dialogs_.openFiles = {{a, missing}};
  AnswerImportDialog();
  w.Import1Click();
  ASSERT_TRUE(WaitForImport());
  ASSERT_NE(FileNode(a), nullptr);
  EXPECT_EQ(Images(FileNode(a)), (std::vector<int>{8, 9}));
  const auto messages = dialogs_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].text.contains(missing));
  EXPECT_TRUE(w.Import1->isEnabled());
}

TEST_F(ImportTest, StopEndsTheScanAndDropsTheQueue) {
  TMainForm& w = OpenEmpty();
  // A log long enough that the scan is still running when the stop comes.
  const QString big = QDir(ZelvoFolder()).filePath("big.log");
  {
    QDir().mkpath(ZelvoFolder());
    QFile in(kExamples + "/forum.log");
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray text = in.readAll();
    QFile out(big);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    for (int i = 0; i < 4000; ++i) out.write(text);
  }
  const QString later = Sample("mail.log");
  dialogs_.openFiles = {{later, big}};
  AnswerImportDialog();
  w.Import1Click();
  ASSERT_TRUE(w.Importing());
  w.StopImport1->trigger();
  ASSERT_TRUE(WaitForImport());
  ASSERT_NE(FileNode(big), nullptr);
  EXPECT_EQ(Images(FileNode(big)), (std::vector<int>{8, 9}));
  EXPECT_EQ(FileNode(later), nullptr);  // never started
  EXPECT_TRUE(w.StatusPanel->text().isEmpty());
  EXPECT_TRUE(w.Import1->isEnabled());
  EXPECT_FALSE(w.StopImport1->isEnabled());
}

TEST_F(ImportTest, ClosingDuringAnImportStopsItFirst) {
  TMainForm& w = OpenEmpty();
  const QString a = Sample("forum.log");
  dialogs_.openFiles = {{a, Sample("mail.log")}};
  AnswerImportDialog();
  w.Import1Click();
  ASSERT_TRUE(w.Importing());
  EXPECT_FALSE(w.close());
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(WaitForImport());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 5000));
}

// The whole way: the sample logs through the command give the tree the headless scan prints.
TEST_F(ImportTest, EndToEndSampleLogsMatchTheHeadlessScan) {
  TMainForm& w = OpenEmpty();
  const QString a = Sample("forum.log"), b = Sample("mail.log"), c = Sample("patio-cb.log");
  dialogs_.openFiles = {{a, b, c}};
  AnswerImportDialog();
  w.Import1Click();
  ASSERT_TRUE(WaitForImport());

  QProcess scan;
  scan.start(QStringLiteral(QUILLET_BINARY), {"scan", "--raw", a, b, c});
  ASSERT_TRUE(scan.waitForFinished(60000));
  ASSERT_EQ(scan.exitCode(), 0) << scan.readAllStandardError().toStdString();
  const std::string expected = scan.readAllStandardOutput().toStdString();
  EXPECT_EQ(ImportedTree(), expected);

  // A room of the imported tree shows its IDs in the list.
  TTreeNode* forum = FileNode(a)->Item(0);
  TTreeNode* room = nullptr;
  for (int i = 0; i < forum->Count(); ++i)
    if (forum->Item(i)->Text() == FromUtf8("会議室")) room = forum->Item(i);
  ASSERT_NE(room, nullptr);
  Select(room);
  EXPECT_EQ(w.IDView->RowCount(), room->IDSet()->Count());
  EXPECT_EQ(w.StatusPanel->text(), QString::number(room->IDSet()->Count()) + QStringLiteral("件のデータがあります"));
}

// A log kept in UTF-8 fills its node as its Shift-JIS original does under 自動判別; the choice
// of the dialog reaches the scan (told Shift-JIS, the same file finds nothing readable).
TEST_F(ImportTest, EncodingChoiceReachesTheScan) {
  TMainForm& w = OpenEmpty();
  const QString sjis = Sample("forum.log");
  const QString utf8 = QDir(ZelvoFolder()).filePath(QStringLiteral("forum-utf8.log"));
  {
    QFile in(sjis), out(utf8);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
    const QByteArray bytes = in.readAll();
    out.write(QByteArray::fromStdString(quillet::ToUtf8(std::string(bytes.constData(), bytes.size()))));
  }
  auto subtree = [this](const QString& path) {
    std::string out;
    TTreeNode* node = FileNode(path);
    if (node)
      for (int i = 0; i < node->Count(); ++i) Print(out, node->Item(i), 0);
    return out;
  };
  for (const QString& path : {sjis, utf8}) {
    dialogs_.openFiles = {{path}};
    AnswerImportDialog();
    w.Import1Click();
    ASSERT_TRUE(WaitForImport());
  }
  ASSERT_FALSE(subtree(sjis).empty());
  EXPECT_EQ(subtree(utf8), subtree(sjis));

  const QString told = QDir(ZelvoFolder()).filePath(QStringLiteral("forum-told.log"));
  ASSERT_TRUE(QFile::copy(utf8, told));
  dialogs_.openFiles = {{told}};
  AnswerImportDialog(0, {}, false, 1);  // Shift-JIS
  w.Import1Click();
  ASSERT_TRUE(WaitForImport());
  EXPECT_NE(subtree(told), subtree(sjis));
}

// --- collection and search, which need a tree with finds -----------------------------------------

TEST_F(ImportTest, CollectGathersTheSubFolders) {
  TMainForm& w = OpenEmpty();
  const QString a = Sample("forum.log");
  dialogs_.openFiles = {{a}};
  AnswerImportDialog();
  w.Import1Click();
  ASSERT_TRUE(WaitForImport());
  TTreeNode* file = FileNode(a);
  Select(file);
  EXPECT_EQ(w.IDView->RowCount(), 0);
  ASSERT_TRUE(w.Collect1->isEnabled());
  w.Collect1Click();
  // Every distinct ID of the forum's folders, once.
  Texts ids = Column(1);
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (Texts{"DEF00002", "GHI00003", "JKL00004", "PQR00006", "STU00007", "VWX00008", "YZA00009",
                        "mno00005"}));
  // Collecting again adds no ID it already holds.
  w.Collect1Click();
  ids = Column(1);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), "GHI00003"), 1);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), "DEF00002"), 1);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), "mno00005"), 1);
}

TEST_F(ImportTest, SearchDialogFilesTheMatchesAndShowsThem) {
  TMainForm& w = OpenEmpty();
  const QString a = Sample("forum.log");
  dialogs_.openFiles = {{a}};
  AnswerImportDialog();
  w.Import1Click();
  ASSERT_TRUE(WaitForImport());
  TTreeNode* file = FileNode(a);
  Select(file);
  dialogs_.modals.push_back([](QDialog& d) {
    auto& form = dynamic_cast<TSearchForm&>(d);
    form.Keyword->lineEdit()->insert(QStringLiteral("ごるふ"));  // no match: hiragana is not folded
    form.SubFolder->setChecked(true);
    form.OKButtonClick();
    return form.result();
  });
  dialogs_.modals.push_back([](QDialog& d) {
    auto& form = dynamic_cast<TSearchForm&>(d);
    form.Keyword->lineEdit()->insert(QStringLiteral("ｺﾞﾙﾌ"));  // half-width kana normalise to full width
    form.SubFolder->setChecked(true);
    form.OKButtonClick();
    return form.result();
  });
  w.Search1Click();
  Select(file);  // the search selected its (empty) result folder
  w.Search1Click();
  const std::string resultText = FromUtf8("\"ゴルフ\"(in ") + file->Text() + ")";
  TTreeNode* result = w.SelectedNode();
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->Text(), resultText);
  EXPECT_EQ(result->Parent(), file);
  EXPECT_EQ(Images(result), (std::vector<int>{4, 5}));
  EXPECT_EQ(Column(1), (Texts{"GHI00003"}));
  EXPECT_EQ(file->Count(), 3);  // the forum node and the two result folders

  // The list popup's log search opens a window over the logs instead of filing a folder: for a
  // search result, every log of the tree.
  w.IDView->SetItemIndex(0);
  w.SearchLog1Click();
  EXPECT_EQ(w.SelectedNode(), result);
  EXPECT_EQ(file->Count(), 3);
  const auto forms = w.findChildren<TLogSearchForm*>();
  ASSERT_EQ(forms.size(), 1);
  EXPECT_EQ(forms[0]->windowTitle(), QStringLiteral("ログからの検索 - GHI00003"));
  QElapsedTimer waited;
  waited.start();
  while (!forms[0]->Done() && waited.elapsed() < 60000) QTest::qWait(5);
  EXPECT_EQ(forms[0]->Model().rowCount(), 3);  // the forum, its conference room, its real-time conference
}

}  // namespace

// A find handler that throws during an import is reported once; the scan stops, the files still
// queued are dropped, and the window closes when asked.
TEST_F(ImportTest, FailingFindHandlerEndsTheImportAndTheWindowCloses) {
  TMainForm& w = OpenEmpty();
  const QString big = BigLog();
  const QString later = Sample("mail.log");
  dialogs_.openFiles = {{later, big}};
  AnswerImportDialog();
  w.Import1Click();
  ASSERT_TRUE(w.Importing());
  dialogs_.shown.clear();
  int finds = 0;
  w.TreeMgr().Analysis->OnFound = [&](TLogAnalysis*, const TIDData&, const TForumData&) {
    if (++finds == 3) throw std::runtime_error("filing failed");
  };
  ASSERT_TRUE(WaitForImport());
  EXPECT_EQ(finds, 3);
  EXPECT_TRUE(w.Import1->isEnabled());
  EXPECT_TRUE(w.close());
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(FileNode(later), nullptr);
  const auto messages = dialogs_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].icon, quillet::Dialogs::Icon::Error);
  EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("filing failed")));
}

// SIGTERM during an import closes the window the normal way: the import stops, the window closes
// at its end, and the shutdown writes the data file.
TEST_F(ImportTest, SignalDuringAnImportClosesTheWindowWithTheShutdownSave) {
  UseZelvoFolder();
  WriteDataFile(ZelvoFolder(), Record("OLD00001", "old", "", "", "A  2025 1 12025 1 1 "));
  TMainForm& w = OpenEmpty();
  w.PickData().RegistID("SIG00001", "signalled", "", "", "B", false, false, nullptr, false, nullptr);
  dialogs_.openFiles = {{BigLog()}};
  AnswerImportDialog();
  w.Import1Click();
  ASSERT_TRUE(w.Importing());
  {
    quillet::TShutdownWatcher watcher;
    watcher.SetWindow(&w);
    ASSERT_EQ(std::raise(SIGTERM), 0);
    EXPECT_TRUE(WaitUntilHidden());
  }
  EXPECT_FALSE(w.Importing());
  Close();
  EXPECT_TRUE(ReadFile(ZelvoFolder() + "/Zelvo.dat").contains("SIG00001"));
}

// The program itself ends normally on each signal, with its settings written, also while its
// start-up message waits for an answer.
TEST_F(ImportTest, ProgramEndsNormallyOnEachSignal) {
  for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(signal);
    QDir(UserDataFolder()).removeRecursively();
    QFile::remove(ConfigFile("NewQuillet.conf"));
    QProcess program;
    program.start(QStringLiteral(QUILLET_BINARY), {});  // the test's settings and data folders
    ASSERT_TRUE(program.waitForStarted());
    // The data folder is made just before the message; give the message time to open.
    QElapsedTimer waited;
    waited.start();
    while (!QDir(UserDataFolder()).exists() && waited.elapsed() < 30000) QTest::qWait(20);
    QTest::qWait(500);
    ASSERT_EQ(program.state(), QProcess::Running);
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), signal), 0);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(ReadFile(ConfigFile("NewQuillet.conf")).contains("IDViewColWidth6"));
  }
}

// An import of many logs: the tree view hears of their nodes in batches and the status bar is
// redrawn with the progress, yet at the end the view shows every node as the tree has it and the
// status bar draws itself again.
TEST_F(ImportTest, ManyLogsReachTheTreeViewInBatches) {
  TMainForm& w = OpenEmpty();
  QStringList files;
  for (int i = 0; i < 60; ++i) {  // more than the window batches from
    const QString copy = QDir(ZelvoFolder()).filePath(QStringLiteral("log%1.log").arg(i, 3, 10, QLatin1Char('0')));
    QDir().mkpath(ZelvoFolder());
    ASSERT_TRUE(QFile::copy(kExamples + "/forum.log", copy));
    files << copy;
  }
  dialogs_.openFiles = {files};
  AnswerImportDialog();
  w.Import1Click();
  ASSERT_TRUE(WaitForImport());
  TTreeModel& model = w.TreeModel();
  const QModelIndex root = model.IndexOf(w.RootNode());
  ASSERT_EQ(model.rowCount(root), w.RootNode()->Count());
  for (int i = 0; i < w.RootNode()->Count(); ++i)
    EXPECT_EQ(model.NodeOf(model.index(i, 0, root)), w.RootNode()->Item(i));
  for (const QString& file : files) {
    ASSERT_NE(FileNode(file), nullptr) << file.toStdString();
    EXPECT_EQ(Images(FileNode(file)), (std::vector<int>{8, 9}));
    EXPECT_GT(FileNode(file)->Count(), 0);
  }
  EXPECT_TRUE(w.StatusPanel->updatesEnabled());
  EXPECT_TRUE(w.StatusPanel->text().isEmpty());
}
