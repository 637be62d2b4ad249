// The window and the data file: every change on disk at once, a second writer asked about, a
// damaged file opened read-only or repaired, the handle field's limit.
#include <signal.h>
#include <sys/resource.h>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QCoreApplication>
#include <QKeyEvent>

#include "MainFormFixture.h"
#include "common/Cp932.h"
#include "controls/widgets/ListGridWidget.h"
#include "iddb/PickEngine.h"

namespace {

using quillet::FromUtf8;

class DataTest : public MainFormTest {
 protected:
  QByteArray Records(int count) {
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
      bytes += Record("ABC1234" + std::to_string(i), "handle" + std::to_string(i), "nick", "memo",
                      "A  2026 1 12026 1 1 ");
    return bytes;
  }
  QString DataFile() const { return ZelvoFolder() + "/Zelvo.dat"; }
  // Shows ABC1234<n> of group A in the editor, types a handle and presses 更新, as a user would.
  void EditHandle(int n, const QString& handle) {
    TMainForm& w = *window_;
    Select(w.RegistNode->Item(0));
    const int row = w.IDView->FindRow(1, "ABC1234" + std::to_string(n));
    ASSERT_GE(row, 0);
    w.IDView->clearSelection();
    w.IDView->SetItemIndex(row);
    w.IDView->SetSelected(row, true);
    w.IDViewClick();
    w.HandleEdit->setText(handle);
    ASSERT_TRUE(w.Modify->isEnabled());
    w.Modify->click();
  }
  void WriteTheirs(const QByteArray& bytes) {
    QFile f(DataFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  std::vector<quillet::ScriptedDialogs::Shown> Choices() const {
    std::vector<quillet::ScriptedDialogs::Shown> found;
    for (const auto& s : dialogs_.shown)
      if (s.kind == quillet::ScriptedDialogs::Kind::Choose) found.push_back(s);
    return found;
  }
};

// What a kill -9 right after 更新 finds on disk: the change. The start-up backup stays as it was.
TEST_F(DataTest, UpdateIsOnDiskAtOnce) {
  UseZelvoFolder();
  WriteDataFile(ZelvoFolder(), Records(2));
  Open();
  const QByteArray backup = ReadFile(DataFile() + ".bak");
  EditHandle(0, QStringLiteral("changed"));
  EXPECT_TRUE(ReadFile(DataFile()).contains("changed"));
  EXPECT_EQ(ReadFile(DataFile() + ".bak"), backup);
  EXPECT_FALSE(window_->PickData().Changed());
  EXPECT_TRUE(dialogs_.Messages().empty());
}

// A full disk: one message in Japanese, the old file whole, and the change saved once there is room.
TEST_F(DataTest, FailedSaveIsReportedOnceAndTriedAgainLater) {
  UseZelvoFolder();
  WriteDataFile(ZelvoFolder(), Records(2));
  TMainForm& w = Open();
  const QByteArray before = ReadFile(DataFile());
  {
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 64;
    auto previous = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    EditHandle(0, QStringLiteral("waiting"));
    Select(w.RegistNode);  // more commands: no more messages
    Select(w.RegistNode->Item(0));
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);
  }
  ASSERT_EQ(dialogs_.Messages().size(), 1u);
  EXPECT_EQ(dialogs_.Messages()[0].icon, quillet::Dialogs::Icon::Error);
  EXPECT_TRUE(dialogs_.Messages()[0].text.contains(QStringLiteral("保存できませんでした（ファイルが大きすぎます）")));
  EXPECT_EQ(ReadFile(DataFile()), before);
  EditHandle(1, QStringLiteral("next"));
  EXPECT_TRUE(ReadFile(DataFile()).contains("waiting"));
  EXPECT_TRUE(ReadFile(DataFile()).contains("next"));
}

TEST_F(DataTest, ASecondWriterIsAskedAboutAndNeverOverwrittenSilently) {
  UseZelvoFolder();
  WriteDataFile(ZelvoFolder(), Records(2));
  TMainForm& w = Open();
  EditHandle(0, QStringLiteral("ours1"));
  ASSERT_TRUE(ReadFile(DataFile()).contains("ours1"));

  // The sibling product writes the file; our next change is not saved without asking.
  const QByteArray theirs = Records(2).replace("handle1", "THEIRS1");
  WriteTheirs(theirs);
  EditHandle(0, QStringLiteral("ours2"));
  ASSERT_EQ(Choices().size(), 1u);
  EXPECT_TRUE(Choices()[0].text.contains(QStringLiteral("ほかのプログラム")));
  EXPECT_EQ(Choices()[0].detail, QStringLiteral("再読み込み|上書き|別のファイルに保存"));
  EXPECT_EQ(ReadFile(DataFile()), theirs);  // no answer: nothing written

  // Another file for ours, then theirs is read back.
  const QString elsewhere = ZelvoFolder() + "/ours.dat";
  dialogs_.choices = {2};
  dialogs_.saveFiles = {elsewhere};
  EditHandle(0, QStringLiteral("ours3"));
  EXPECT_TRUE(ReadFile(elsewhere).contains("ours3"));
  EXPECT_EQ(ReadFile(DataFile()), theirs);
  ASSERT_TRUE(w.PickData().Select("ABC12341"));
  EXPECT_EQ(w.PickData().CurrentHandle(), "THEIRS1");
  EXPECT_EQ(ReadFile(DataFile() + ".bak"), Records(2));  // the start-up copy stays

  // Reload: theirs wins, ours is dropped.
  WriteTheirs(theirs + Record("NEW00001", "third", "", "", "B  2026 1 12026 1 1 "));
  dialogs_.choices = {0};
  EditHandle(0, QStringLiteral("ours4"));
  EXPECT_FALSE(ReadFile(DataFile()).contains("ours4"));
  ASSERT_TRUE(w.PickData().Select("ABC12340"));
  EXPECT_EQ(w.PickData().CurrentHandle(), "handle0");
  EXPECT_TRUE(w.PickData().Select("NEW00001"));

  // At shutdown "reload" leaves theirs as it is.
  {
    WriteTheirs(theirs);
    EditHandle(0, QStringLiteral("unsaved"));  // asked, not answered
    dialogs_.choices = {0};
    Close();
    EXPECT_EQ(ReadFile(DataFile()), theirs);
    Open();
  }

  // Overwrite: ours wins.
  WriteTheirs(Records(2).replace("handle1", "OTHER01"));
  dialogs_.choices = {1};
  EditHandle(0, QStringLiteral("ours5"));
  EXPECT_TRUE(ReadFile(DataFile()).contains("ours5"));
  EXPECT_EQ(Choices().size(), 6u);
  Close();
  EXPECT_TRUE(ReadFile(DataFile()).contains("ours5"));
}

TEST_F(DataTest, TruncatedDataFileOpensReadOnlyUntilRepaired) {
  UseZelvoFolder();
  const QByteArray good = Records(8);
  WriteDataFile(ZelvoFolder(), good.left(300));
  {
    QFile bak(DataFile() + ".bak");
    ASSERT_TRUE(bak.open(QIODevice::WriteOnly));
    bak.write(good);
  }
  dialogs_.confirms = {false};  // no repair
  TMainForm& w = Open();
  ASSERT_FALSE(dialogs_.shown.empty());
  EXPECT_EQ(dialogs_.shown[0].kind, quillet::ScriptedDialogs::Kind::Confirm);
  EXPECT_TRUE(dialogs_.shown[0].text.endsWith(QStringLiteral("修復しますか?")));
  EXPECT_TRUE(w.windowTitle().contains(QStringLiteral("読み取り専用")));
  EXPECT_EQ(ReadFile(DataFile() + ".bak"), good);
  const QStringList broken = QDir(ZelvoFolder()).entryList({"Zelvo.dat.broken-*"}, QDir::Files);
  ASSERT_EQ(broken.size(), 1);
  EXPECT_EQ(ReadFile(ZelvoFolder() + "/" + broken[0]), good.left(300));

  // A change is refused with a message naming the problem.
  EditHandle(0, QStringLiteral("refused"));
  ASSERT_EQ(dialogs_.Messages().size(), 1u);
  EXPECT_TRUE(dialogs_.Messages()[0].text.contains(QStringLiteral("読み取り専用")));
  Close();
  EXPECT_EQ(ReadFile(DataFile()), good.left(300));
  EXPECT_FALSE(QFileInfo::exists(ZelvoFolder() + "/ZelvoGP.dat"));

  // Yes: repaired, reloaded, writable.
  dialogs_.shown.clear();
  dialogs_.confirms = {true};
  TMainForm& again = Open();
  EXPECT_FALSE(again.windowTitle().contains(QStringLiteral("読み取り専用")));
  EXPECT_EQ(again.PickData().EntryCount(), 3);
  EXPECT_EQ(ReadFile(DataFile()), good.left(3 * good.size() / 8));
  EXPECT_EQ(ReadFile(DataFile() + ".rejected"), good.mid(3 * good.size() / 8, 300 - 3 * good.size() / 8));
  ASSERT_EQ(dialogs_.Messages().size(), 1u);
  EXPECT_TRUE(dialogs_.Messages()[0].text.startsWith(QStringLiteral("3件のデータを読み込みました。")));
  EditHandle(0, QStringLiteral("after repair"));
  EXPECT_TRUE(ReadFile(DataFile()).contains("after repair"));
  EXPECT_EQ(ReadFile(DataFile() + ".bak"), good);  // still the only copy of the records lost
}

TEST_F(DataTest, HandleFieldTakesAtMost40Bytes) {
  UseZelvoFolder();
  WriteDataFile(ZelvoFolder(), Records(1));
  TMainForm& w = Open();
  Select(w.RegistNode->Item(0));
  w.IDView->SetItemIndex(0);
  w.IDView->SetSelected(0, true);
  w.IDViewClick();
  w.HandleEdit->clear();
  // 60 bytes typed: 10 single-byte letters, then 25 double-byte characters.
  for (const QChar c : QStringLiteral("abcdefghij") + QString(25, QChar(0x3042))) {
    QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(w.HandleEdit, &key);
  }
  EXPECT_EQ(w.HandleEdit->text(), QStringLiteral("abcdefghij") + QString(15, QChar(0x3042)));
  EXPECT_TRUE(w.StatusPanel->text().contains(QStringLiteral("40ﾊﾞｲﾄ")));
  w.Modify->click();
  ASSERT_TRUE(w.PickData().Select("ABC12340"));
  EXPECT_EQ(w.PickData().CurrentHandle(), FromUtf8(("abcdefghij" + QString(15, QChar(0x3042))).toStdString()));
  EXPECT_EQ(w.PickData().CurrentAlias(), "nick");
}

}  // namespace
