// The window "ログからの検索": opened from the list popup for the focused ID, it lists the
// sightings behind the selected folder as the scanner finds them again, shows the lines around
// the selected one, copies rows, stops and closes during the reading, and keeps its size.
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "MainFormFixture.h"
#include "app/LogImport.h"
#include "app/LogSearchForm.h"
#include "common/Cp932.h"
#include "controls/widgets/ListGridWidget.h"
#include "tree/ImportQueue.h"

namespace {

using quillet::FromUtf8;

class LogSearchTest : public MainFormTest {
 protected:
  // Imports one log through the main window's command, from the default context.
  TTreeNode* Import(const QString& path) {
    TMainForm& w = *window_;
    dialogs_.openFiles = {{path}};
    dialogs_.modals.push_back([](QDialog& d) {
      auto& dialog = dynamic_cast<TImportDialog&>(d);
      dialog.SearchButtonClick();
      return dialog.result();
    });
    w.Import1Click();
    QElapsedTimer waited;
    waited.start();
    while (w.Importing() && waited.elapsed() < 60000) QTest::qWait(5);
    const std::string text = TImportQueue::NodeTextOf(path.toStdString());
    for (int i = 0; i < w.RootNode()->Count(); ++i)
      if (w.RootNode()->Item(i)->Text() == text) return w.RootNode()->Item(i);
    return nullptr;
  }
  QString Write(const QString& name, const std::string& bytes) {
    QDir().mkpath(ZelvoFolder());
    const QString path = QDir(ZelvoFolder()).filePath(name);
    std::ofstream(path.toStdString(), std::ios::binary | std::ios::trunc) << bytes;
    return path;
  }
  // Focuses the list row of `id` in the selected folder and runs "ログからの検索(&S)".
  TLogSearchForm* OpenFor(const std::string& id) {
    TMainForm& w = *window_;
    const int row = w.IDView->FindRow(1, id);
    EXPECT_GE(row, 0) << id;
    w.IDView->SetItemIndex(row);
    const auto before = w.findChildren<TLogSearchForm*>();
    w.SearchLog1Click();
    for (TLogSearchForm* form : w.findChildren<TLogSearchForm*>())
      if (!before.contains(form)) return form;
    return nullptr;
  }
  static bool WaitDone(TLogSearchForm& form) {
    QElapsedTimer waited;
    waited.start();
    while ((!form.Done() || form.ContextPending()) && waited.elapsed() < 60000) QTest::qWait(5);
    return form.Done() && !form.ContextPending();
  }
  static std::vector<std::string> Rows(TLogSearchForm& form) {
    std::vector<std::string> rows;
    for (int r = 0; r < form.Model().rowCount(); ++r)
      rows.push_back(form.Model().Cell(r, TSightingModel::colLine).toStdString() + " " +
                     form.Model().Cell(r, TSightingModel::colPlace).toStdString() + " " +
                     form.Model().Cell(r, TSightingModel::colHandle).toStdString());
    return rows;
  }
};

TTreeNode* ChildNamed(TTreeNode* parent, const char* utf8) {
  const std::string text = FromUtf8(utf8);
  for (int i = 0; parent && i < parent->Count(); ++i)
    if (parent->Item(i)->Text() == text) return parent->Item(i);
  return nullptr;
}

using Texts = std::vector<std::string>;

// A member line (exactly 30 bytes) of the given ID and handle, in Shift-JIS.
std::string Member(const std::string& id, const std::string& handle) {
  std::string line = id + "  " + handle;
  line.resize(27, ' ');
  return line + "OFF";
}

}  // namespace

TEST_F(LogSearchTest, ListsTheSightingsBehindTheFolderWithTheScannersLineNumbers) {
  TMainForm& w = Open();
  const QString log = QDir(ZelvoFolder()).filePath("forum.log");
  QDir().mkpath(ZelvoFolder());
  ASSERT_TRUE(QFile::copy(QStringLiteral(QUILLET_EXAMPLES) + "/forum.log", log));
  TTreeNode* file = Import(log);
  ASSERT_TRUE(file);
  TTreeNode* forum = ChildNamed(file, "フォーラム(FGOLF ゴルフ愛好会フォーラム)");
  TTreeNode* room = ChildNamed(forum, "会議室");
  ASSERT_TRUE(room);

  // The headless trace names the lines.
  QProcess scan;
  scan.start(QStringLiteral(QUILLET_BINARY), {"scan", "--finds", "--lines", log});
  ASSERT_TRUE(scan.waitForFinished(60000));
  Texts expected;
  for (const QByteArray& line : scan.readAllStandardOutput().split('\n')) {
    const QList<QByteArray> f = line.split('\t');
    if (f.size() == 5 && f[2] == "GHI00003" && f[0] == "3")
      expected.push_back(f[4].toStdString() + " フォーラム(FGOLF ゴルフ愛好会フォーラム)/会議室 " + f[3].toStdString());
  }
  ASSERT_EQ(expected.size(), 1u);

  Select(room);
  TLogSearchForm* form = OpenFor("GHI00003");
  ASSERT_TRUE(form);
  EXPECT_FALSE(form->isModal());
  EXPECT_TRUE(form->isWindow());
  EXPECT_EQ(form->windowTitle(), QStringLiteral("ログからの検索 - GHI00003"));
  EXPECT_EQ(form->font(), w.font());
  EXPECT_EQ(form->List->font(), w.font());
  ASSERT_TRUE(WaitDone(*form));
  EXPECT_EQ(Rows(*form), expected);
  EXPECT_EQ(form->Model().Cell(0, TSightingModel::colFile), log);
  EXPECT_TRUE(form->StatusLabel->text().startsWith(QStringLiteral("1件の行が見つかりました"))) << form->StatusLabel->text().toStdString();
  EXPECT_FALSE(form->StopButton->isEnabled());
  const QStringList titles = {"ファイル", "行", "場所", "ハンドル", "本文"};
  for (int c = 0; c < 5; ++c) EXPECT_EQ(form->Model().headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), titles[c]);

  // The file node (its IDs collected from its folders): every context; a second window.
  Select(file);
  w.Collect1Click();
  TLogSearchForm* all = OpenFor("GHI00003");
  ASSERT_TRUE(all);
  ASSERT_TRUE(WaitDone(*all));
  EXPECT_EQ(Rows(*all).size(), 3u);
  EXPECT_EQ(w.findChildren<TLogSearchForm*>().size(), 2);
  // The whole line in its column, and the lines around the selected row below the list.
  const int line = all->Model().Cell(1, TSightingModel::colLine).toInt();
  all->List->selectRow(1);
  ASSERT_TRUE(WaitDone(*all));
  const QStringList context = all->ContextView->toPlainText().split('\n');
  ASSERT_EQ(context.size(), 21);  // 10 before, the line, 10 after
  EXPECT_TRUE(context[10].startsWith(QStringLiteral("▶%1: ").arg(line))) << context[10].toStdString();
  EXPECT_TRUE(context[10].endsWith(all->Model().Cell(1, TSightingModel::colText)));
  EXPECT_TRUE(context[9].startsWith(QStringLiteral("　%1: ").arg(line - 1)));
  all->close();  // closes for good
  QTest::qWait(10);
  EXPECT_EQ(w.findChildren<TLogSearchForm*>().size(), 1);
}

TEST_F(LogSearchTest, ALineChangedSinceTheReadIsNotShownAndTheLogIsNamed) {
  Open();
  std::string log = FromUtf8("＜ＦＴＥＳＴ＞FTEST") + "\r\n";
  for (int i = 0; i < 30; ++i) log += "line " + std::to_string(i) + "\r\n";
  log += Member("ABC00001", "taro") + "\r\n" + Member("ABC00001", "jiro") + "\r\nend\r\n";
  const QString path = Write("changed.log", log);
  TTreeNode* file = Import(path);
  ASSERT_TRUE(file);
  Select(ChildNamed(file, "フォーラム(FTEST)"));
  TLogSearchForm* form = OpenFor("ABC00001");
  ASSERT_TRUE(form);
  ASSERT_TRUE(WaitDone(*form));
  EXPECT_EQ(Rows(*form), (Texts{"32 フォーラム(FTEST) taro", "33 フォーラム(FTEST) jiro"}));
  // The first row's context: 10 lines before it, up to the last line of the log after it.
  EXPECT_EQ(form->ContextView->toPlainText().split('\n').size(), 13);

  // The log is rewritten: the line of the second sighting no longer holds it.
  std::string changed = log;
  changed.replace(changed.find("jiro"), 4, "JIRO");
  Write("changed.log", changed);
  form->List->selectRow(1);
  ASSERT_TRUE(WaitDone(*form));
  EXPECT_EQ(Rows(*form), (Texts{"32 フォーラム(FTEST) taro"}));
  EXPECT_TRUE(form->StatusLabel->text().contains(QStringLiteral("changed.logはインポート後に変更されています")))
      << form->StatusLabel->text().toStdString();

  // A new window names the changed log and lists what the log holds now; one for a log
  // deleted since names it as missing.
  TLogSearchForm* again = OpenFor("ABC00001");
  ASSERT_TRUE(again);
  ASSERT_TRUE(WaitDone(*again));
  EXPECT_EQ(Rows(*again), (Texts{"32 フォーラム(FTEST) taro", "33 フォーラム(FTEST) JIRO"}));
  EXPECT_TRUE(again->StatusLabel->text().contains(QStringLiteral("changed.logはインポート後に変更されています")));
  ASSERT_TRUE(QFile::remove(path));
  // Gone while its rows are listed: the context of a row cannot be read and the row goes; the
  // row that becomes current then goes the same way, as none of its lines can be shown.
  again->List->selectRow(1);
  ASSERT_TRUE(WaitDone(*again));
  EXPECT_EQ(again->Model().rowCount(), 0);
  EXPECT_TRUE(again->StatusLabel->text().contains(QStringLiteral("changed.logが見つかりません")));
  TLogSearchForm* gone = OpenFor("ABC00001");
  ASSERT_TRUE(gone);
  ASSERT_TRUE(WaitDone(*gone));
  EXPECT_EQ(gone->Model().rowCount(), 0);
  EXPECT_TRUE(gone->StatusLabel->text().contains(QStringLiteral("changed.logが見つかりません")));
  EXPECT_TRUE(gone->ContextView->toPlainText().isEmpty());
}

TEST_F(LogSearchTest, CopiesTheSelectedRowsAsTabSeparatedText) {
  Open();
  const std::string log = FromUtf8("＜ＦＴＥＳＴ＞FTEST") + "\r\n" + Member("ABC00001", "ta\tro") + "\r\n" +
                          Member("ABC00001", FromUtf8("ゴルフ")) + "\r\n" + Member("ABC00001", "x") + "\r\n";
  const QString path = Write("copy.log", log);
  TTreeNode* file = Import(path);
  ASSERT_TRUE(file);
  Select(file);
  window_->Collect1Click();
  TLogSearchForm* form = OpenFor("ABC00001");
  ASSERT_TRUE(form);
  ASSERT_TRUE(WaitDone(*form));
  ASSERT_EQ(form->Model().rowCount(), 3);
  form->List->selectionModel()->clearSelection();
  form->List->selectRow(2);
  form->List->selectionModel()->select(form->Model().index(0, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
  // Rows in list order; tabs of the line and of the handle shown as spaces to the next stop of 8.
  const QString expected = path + "\t2\tフォーラム(FTEST)\tta      ro\tABC00001  ta    ro            OFF\n" + path +
                           "\t4\tフォーラム(FTEST)\tx\tABC00001  x                OFF\n";
  EXPECT_EQ(form->SelectedText().toStdString(), expected.toStdString());
  QApplication::clipboard()->clear();
  form->List->setFocus();
  QTest::keyClick(form->List, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), expected.toStdString());
  EXPECT_EQ(TSightingModel::ShownLine(std::string("a\tb\x01") + FromUtf8("ｺﾞ")), QStringLiteral("a       b ｺﾞ"));
}

TEST_F(LogSearchTest, StopAndCloseDuringTheReading) {
  Open();
  // Several megabytes with a sighting on every 20th line; the node as an import leaves it.
  std::string log = "*Welcome to CB Band A\r\n";
  for (int i = 0; i < 300000; ++i) log += i % 20 == 0 ? "(1,ABC00001,talker)\r\n" : "nobody in particular " + std::to_string(i) + "\r\n";
  const QString path = Write("big.log", log);
  auto files = [&] {
    return std::vector<TSightingFile>{TSightingFile{StampLogOrigin(path.toStdString(), TForumData{}, TLogEncoding::Auto), true, {}, {}}};
  };

  auto form = std::make_unique<TLogSearchForm>("ABC00001", files(), window_->font());
  form->show();
  form->Start();
  QTest::mouseClick(form->StopButton, Qt::LeftButton);
  ASSERT_TRUE(WaitDone(*form));
  EXPECT_LT(form->Model().rowCount(), 15000);
  EXPECT_TRUE(form->StatusLabel->text().contains(QStringLiteral("中止しました")));
  EXPECT_FALSE(form->StopButton->isEnabled());
  form.reset();

  for (int wait : {0, 3, 20}) {
    QElapsedTimer timer;
    timer.start();
    auto* closing = new TLogSearchForm("ABC00001", files(), window_->font(), window_.get());
    closing->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<TLogSearchForm> alive(closing);
    closing->show();
    closing->Start();
    QTest::qWait(wait);
    if (closing->Model().rowCount() > 0) closing->List->selectRow(0);  // a context read in flight too
    QTest::keyClick(closing, Qt::Key_Escape);
    QTest::qWait(1);
    EXPECT_TRUE(alive.isNull());
    EXPECT_LT(timer.elapsed(), 5000);
  }
  // The whole log, for comparison: every sighting.
  TLogSearchForm whole("ABC00001", files(), window_->font());
  whole.Start();
  ASSERT_TRUE(WaitDone(whole));
  EXPECT_EQ(whole.Model().rowCount(), 15000);
  EXPECT_EQ(whole.Model().Cell(14999, TSightingModel::colLine), QStringLiteral("299982"));
}

TEST_F(LogSearchTest, SizeAndColumnWidthsPersistAndEveryControlHasAKey) {
  Open();
  {
    TLogSearchForm form("ABC00001", {}, window_->font());
    EXPECT_EQ(form.ListLabel->buddy(), form.List);
    EXPECT_EQ(form.ContextLabel->buddy(), form.ContextView);
    EXPECT_EQ(form.StopButton->text(), QStringLiteral("中止(&S)"));
    EXPECT_EQ(form.CloseButton->text(), QStringLiteral("閉じる(&C)"));
    form.Start();
    ASSERT_TRUE(WaitDone(form));
    EXPECT_EQ(form.StatusLabel->text(), QStringLiteral("このフォルダにはインポートしたログがありません"));
    form.resize(640, 420);
    form.List->setColumnWidth(2, 77);
  }
  TLogSearchForm again("ABC00001", {}, window_->font());
  EXPECT_EQ(again.size(), QSize(640, 420));
  EXPECT_EQ(again.List->columnWidth(2), 77);
  const QSettings ini(ConfigFile("NewQuillet.conf"), QSettings::IniFormat);
  EXPECT_EQ(ini.value("View/LogSearchColWidth2").toInt(), 77);
}
