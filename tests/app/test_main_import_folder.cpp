// The folder import command of the main window: its place and access key in the file menu, the
// folder dialog, the import dialog, and the logs and archive members it files; progress counts
// members; an archive chosen in the open dialog.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSet>
#include <QTest>

#include "MainFormFixture.h"
#include "app/LogImport.h"
#include "common/Cp932.h"
#include "support/ArchiveFixtures.h"
#include "tree/ImportQueue.h"

namespace {

using Kind = quillet::ScriptedDialogs::Kind;

const QString kExamples = QStringLiteral(QUILLET_EXAMPLES);

class ImportFolderTest : public MainFormTest {
 protected:
  void AnswerImportDialog(bool integrate, bool* integrateEnabled) {
    dialogs_.modals.push_back([=](QDialog& d) {
      auto& dialog = dynamic_cast<TImportDialog&>(d);
      *integrateEnabled = dialog.IntegrateAllFiles->isEnabled();
      dialog.DefaultForum->setCurrentIndex(0);
      dialog.IntegrateAllFiles->setChecked(integrate);
      dialog.SearchButtonClick();
      return dialog.result();
    });
  }
  QByteArray Sample(const QString& name) {
    QFile in(kExamples + "/" + name);
    EXPECT_TRUE(in.open(QIODevice::ReadOnly));
    return in.readAll();
  }
  TTreeNode* FileNode(const std::string& utf8Path) {
    const std::string text = TImportQueue::NodeTextOf(utf8Path);
    for (int i = 0; i < window_->RootNode()->Count(); ++i)
      if (window_->RootNode()->Item(i)->Text() == text) return window_->RootNode()->Item(i);
    return nullptr;
  }
};

}  // namespace

TEST_F(ImportFolderTest, TheCommandSitsBesideTheLogImportWithAKeyOfItsOwn) {
  TMainForm& w = Open();
  const QList<QAction*> actions = w.FileMenu->actions();
  const int at = static_cast<int>(actions.indexOf(w.Import1));
  ASSERT_GE(at, 0);
  ASSERT_LT(at + 1, actions.size());
  EXPECT_EQ(actions[at + 1], w.ImportFolder1);
  EXPECT_EQ(w.ImportFolder1->text(), QStringLiteral("ﾌｫﾙﾀﾞからのｲﾝﾎﾟｰﾄ(&D)"));
  // No two items of the menu share an access key.
  QSet<QChar> keys;
  for (QAction* a : actions) {
    const qsizetype amp = a->text().indexOf(QLatin1Char('&'));
    if (amp < 0 || amp + 1 >= a->text().size()) continue;
    const QChar key = a->text()[amp + 1].toUpper();
    EXPECT_FALSE(keys.contains(key)) << a->text().toStdString();
    keys.insert(key);
  }
}

TEST_F(ImportFolderTest, AFolderOfLogsAndArchivesImportsEveryLog) {
  TMainForm& w = Open();
  const QString folder = QDir(ZelvoFolder()).filePath("old logs");
  QDir().mkpath(folder + "/1996");
  {
    QFile f(folder + "/forum.log");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Sample("forum.log"));
  }
  const QByteArray mail = Sample("mail.log"), patio = Sample("patio-cb.log");
  archivetest::WriteFile((folder + "/1996/mail.lzh").toStdString(),
                         archivetest::StoredLzh({{quillet::FromUtf8("受信簿.LOG"), mail.toStdString()},
                                                 {"cb.txt", patio.toStdString()}}));
  const std::string root = folder.toStdString();

  // Cancelled folder dialog: nothing more is asked.
  dialogs_.shown.clear();
  w.ImportFolder1->trigger();
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_EQ(dialogs_.shown[0].kind, Kind::OpenFolder);
  EXPECT_FALSE(w.Importing());

  dialogs_.shown.clear();
  dialogs_.openFolders = {folder};
  bool integrateEnabled = false;
  AnswerImportDialog(false, &integrateEnabled);
  w.ImportFolder1->trigger();
  ASSERT_EQ(dialogs_.shown.size(), 2u);
  EXPECT_EQ(dialogs_.shown[0].kind, Kind::OpenFolder);
  EXPECT_EQ(dialogs_.shown[1].caption, QStringLiteral("ログからのインポート"));
  EXPECT_TRUE(integrateEnabled);
  EXPECT_TRUE(w.Importing());
  EXPECT_FALSE(w.ImportFolder1->isEnabled());
  // The walk order: 1996/mail.lzh's members come before forum.log; progress counts members.
  EXPECT_EQ(w.StatusPanel->text(), QString::fromStdString(root + "/1996/mail.lzh/受信簿.LOGを検索中"));
  EXPECT_EQ(w.ImportFiles->text(), QStringLiteral("1/3"));
  ASSERT_TRUE(WaitForImport());
  EXPECT_TRUE(w.ImportFolder1->isEnabled());
  EXPECT_TRUE(dialogs_.Messages().empty());
  for (const std::string& path : {root + "/1996/mail.lzh/受信簿.LOG", root + "/1996/mail.lzh/cb.txt", root + "/forum.log"}) {
    TTreeNode* node = FileNode(path);
    ASSERT_NE(node, nullptr) << path;
    EXPECT_EQ(node->ImageIndex(), 8);
    EXPECT_GT(node->Count(), 0) << path;
  }
}

TEST_F(ImportFolderTest, AnArchiveChosenInTheOpenDialogAndAnEmptyFolder) {
  TMainForm& w = Open();
  QDir().mkpath(ZelvoFolder() + "/empty");
  const QString zip = QDir(ZelvoFolder()).filePath("logs.ZIP");
  archivetest::WriteFile(zip.toStdString(), archivetest::StoredZip({{"a.log", Sample("mail.log").toStdString()},
                                                                    {"b.log", Sample("forum.log").toStdString()}}));
  dialogs_.openFiles = {{zip}};
  bool integrateEnabled = true;
  AnswerImportDialog(false, &integrateEnabled);
  w.Import1Click();
  EXPECT_FALSE(integrateEnabled);  // one file chosen
  EXPECT_EQ(w.ImportFiles->text(), QStringLiteral("1/2"));
  ASSERT_TRUE(WaitForImport());
  ASSERT_NE(FileNode(zip.toStdString() + "/a.log"), nullptr);
  ASSERT_NE(FileNode(zip.toStdString() + "/b.log"), nullptr);

  // A folder without logs: told once, nothing filed.
  const int before = w.RootNode()->Count();
  dialogs_.shown.clear();
  dialogs_.openFolders = {ZelvoFolder() + "/empty"};
  AnswerImportDialog(false, &integrateEnabled);
  w.ImportFolder1Click();
  ASSERT_TRUE(WaitForImport());
  EXPECT_EQ(w.RootNode()->Count(), before);
  const auto messages = dialogs_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].text.contains(ZelvoFolder() + "/empty"));
}
