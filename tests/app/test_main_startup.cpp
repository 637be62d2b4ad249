// Start-up, settings and shutdown of the main window, headless.
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QPushButton>
#include <QFontMetricsF>
#include <cmath>
#include <QHeaderView>
#include <QMenu>
#include <QTreeView>

#include "MainFormFixture.h"
#include "app/Application.h"
#include "app/GuiInterface.h"
#include "app/TreeModel.h"
#include "common/Cp932.h"
#include "common/Error.h"
#include "controls/widgets/ListGridWidget.h"
#include "iddb/PickEngine.h"
#include "iddb/TextFile.h"

namespace {

using quillet::FromUtf8;

TEST_F(MainFormTest, FirstRunWithoutSettingsOrData) {
  TMainForm& w = Open();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("くいれっと"));
  // The designed bounds are the outer frame's, title bar and borders included.
  EXPECT_EQ(w.frameGeometry(), QRect(218, 123, 711, 519));
  EXPECT_EQ(w.TreeView->width(), 121);
  EXPECT_EQ(w.IDViewPanel->height(), 113);
  // The designed 50 pixels are for characters 6 pixels wide: the font in use scales them, and
  // every cell keeps its padding on both sides.
  const QFontMetricsF metrics(w.IDView->font());
  const double charWidth = std::max<double>(metrics.averageCharWidth(), metrics.horizontalAdvance(QLatin1Char('0')));
  const int designed = static_cast<int>(std::lround(50 * charWidth / 6)) + 2 * TListGrid::kCellPadding;
  EXPECT_GE(designed, 54);
  for (int section = 0; section < 7; ++section) {
    EXPECT_EQ(w.HeaderControl1->sectionSize(section), designed);
    EXPECT_EQ(w.IDView->ColWidth(section), designed - 1);
  }
  EXPECT_EQ(w.HeaderControl1->sectionSize(7), 9999);
  EXPECT_EQ(w.IDView->ColWidth(7), 9998);
  EXPECT_EQ(w.IDView->SortColumn(), 0);
  EXPECT_EQ(w.IDView->SortDir(), 1);

  // The data file will be made in the per-user folder, and the user is told once.
  const QString dataFile = UserDataFolder() + "/Zelvo.dat";
  EXPECT_EQ(QString::fromStdString(w.DataFileName), dataFile);
  EXPECT_TRUE(QFileInfo(UserDataFolder()).isDir());
  const auto messages = dialogs_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, QStringLiteral("くいれっと"));
  EXPECT_EQ(messages[0].text, QStringLiteral("ぜるぼがインストールされていません\n\n\"") + dataFile +
                                  QStringLiteral("\"というファイルを作成します"));

  // "NIFTY SERVE" > "登録ID" > the built-in groups in letter order, all open, "登録ID" listed.
  TTreeNode* root = w.RootNode();
  ASSERT_EQ(root->Text(), "NIFTY SERVE");
  EXPECT_EQ(root->ImageIndex(), 6);
  ASSERT_NE(root->IDSet(), nullptr);
  ASSERT_NE(w.RegistNode, nullptr);
  EXPECT_EQ(w.RegistNode->Parent(), root);
  EXPECT_EQ(w.RegistNode->Text(), FromUtf8("登録ID"));
  EXPECT_EQ(w.RegistNode->ImageIndex(), 12);
  EXPECT_EQ(w.RegistNode->SelectedIndex(), 13);
  ASSERT_EQ(w.RegistNode->Count(), 5);
  const char* captions[] = {"(A)グループＡ", "(B)グループＢ", "(C)グループＣ", "(D)グループＤ", "(E)ごみ箱"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(w.RegistNode->Item(i)->Text(), FromUtf8(captions[i]));
    EXPECT_EQ(w.RegistNode->Item(i)->GroupCode(), 'A' + i);
    EXPECT_EQ(w.RegistNode->Item(i)->ImageIndex(), 2);
  }
  EXPECT_TRUE(w.TreeView->isExpanded(w.TreeModel().IndexOf(w.RegistNode)));
  EXPECT_EQ(w.SelectedNode(), w.RegistNode);
  EXPECT_EQ(w.StatusPanel->text(), QStringLiteral("0件のデータがあります"));
  EXPECT_EQ(w.GroupEdit->count(), 5);

  // Once the file exists the program starts silently.
  Close();
  WriteDataFile(UserDataFolder(), Record("ABC12345", "h", "", "", "A  2026 1 12026 1 1 "));
  dialogs_.shown.clear();
  Open();
  EXPECT_TRUE(dialogs_.Messages().empty());
  EXPECT_EQ(window_->StatusPanel->text(), QStringLiteral("0件のデータがあります"));
}

TEST_F(MainFormTest, StoredSettingsAreAppliedAsStored) {
  WriteViewSettings("Left=10\nTop=20\nWidth=800\nHeight=600\nSortColumn=9\nSortDir=-1\nTreeWidth=200\n"
                    "IDHeight=150\nIDViewColWidth1=80\nIDViewColWidth6=0\n");
  TMainForm& w = Open();
  EXPECT_EQ(w.frameGeometry(), QRect(10, 20, 800, 600));
  EXPECT_EQ(w.TreeView->width(), 200);
  EXPECT_EQ(w.IDViewPanel->height(), 150);
  EXPECT_EQ(w.IDView->SortColumn(), 0);  // 9 is not a column
  EXPECT_EQ(w.IDView->SortDir(), -1);
  EXPECT_EQ(w.HeaderControl1->sectionSize(1), 80);
  EXPECT_EQ(w.IDView->ColWidth(1), 79);
  EXPECT_EQ(w.IDView->ColWidth(6), 0);
}

TEST_F(MainFormTest, DataLivesInTheSiblingProductsFolder) {
  UseZelvoFolder();
  WriteDataFile(ZelvoFolder(), Record("ABC12345", "first", "", "memo", "Q  2026 1 12026 1 1 "));
  TMainForm& w = Open();
  EXPECT_EQ(QString::fromStdString(w.DataFileName), ZelvoFolder() + "/Zelvo.dat");
  EXPECT_TRUE(dialogs_.Messages().empty());
  // Group Q was made by the load: it gets its node after the built-in groups.
  ASSERT_EQ(w.RegistNode->Count(), 6);
  EXPECT_EQ(w.RegistNode->Item(5)->Text(), FromUtf8("(Q)ｸﾞﾙｰﾌﾟQ"));
  EXPECT_TRUE(QFileInfo::exists(ZelvoFolder() + "/Zelvo.dat.bak"));
}

TEST_F(MainFormTest, ShutdownWritesSettingsDataAndGroups) {
  UseZelvoFolder();
  WriteDataFile(ZelvoFolder(), Record("ABC12345", "first", "", "", "A  2026 1 12026 1 1 "));
  TMainForm& w = Open();
  w.move(30, 40);
  w.resize(700, 500);
  const QRect frame = w.frameGeometry();
  EXPECT_GT(frame.width(), 700);  // the platform draws a frame around the window
  w.HeaderControl1->resizeSection(2, 77);
  const int designed = w.HeaderControl1->sectionSize(6);
  w.HeaderControl1SectionClick(2);
  w.HeaderControl1SectionClick(2);
  w.PickData().ChangeGroup("ABC12345", "B");
  Close();
  QSettings settings(ConfigFile("NewQuillet.conf"), QSettings::IniFormat);
  settings.beginGroup("View");
  EXPECT_EQ(settings.value("Left").toInt(), 30);
  EXPECT_EQ(settings.value("Top").toInt(), 40);
  EXPECT_EQ(settings.value("Width").toInt(), frame.width());
  EXPECT_EQ(settings.value("Height").toInt(), frame.height());
  EXPECT_EQ(settings.value("TreeWidth").toInt(), 121);
  EXPECT_EQ(settings.value("IDHeight").toInt(), 113);
  EXPECT_EQ(settings.value("SortColumn").toInt(), 2);
  EXPECT_EQ(settings.value("SortDir").toInt(), -1);
  EXPECT_EQ(settings.value("IDViewColWidth2").toInt(), 77);
  EXPECT_EQ(settings.value("IDViewColWidth6").toInt(), designed);
  EXPECT_FALSE(settings.contains("IDViewColWidth7"));
  EXPECT_EQ(ReadFile(ZelvoFolder() + "/Zelvo.dat"), Record("ABC12345", "first", "", "", "B  2026 1 12026 1 1 "));
  EXPECT_TRUE(ReadFile(ZelvoFolder() + "/ZelvoGP.dat").startsWith(QByteArray::fromStdString(FromUtf8("Aグループ"))));
  // And the next start reads them back.
  Open();
  EXPECT_EQ(window_->frameGeometry(), frame);  // the same outer bounds, not a frame larger
  EXPECT_EQ(window_->IDView->SortColumn(), 2);
}

TEST_F(MainFormTest, UnreadableDataFileIsReportedAndNothingIsWrittenBack) {
  UseZelvoFolder();
  // A data file that cannot be read (a folder in its place; file permissions do not stop root).
  QDir().mkpath(ZelvoFolder() + "/Zelvo.dat");
  TMainForm& w = Open();
  auto messages = dialogs_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].icon, quillet::Dialogs::Icon::Error);
  EXPECT_TRUE(messages[0].text.endsWith('.'));
  // The store is read-only: changes are refused, and the title says so.
  EXPECT_TRUE(w.windowTitle().contains(QStringLiteral("読み取り専用")));
  EXPECT_THROW(w.PickData().RegistID("XYZ00001", "new", "", "", "A", false, false, nullptr, false, nullptr), Error);
  Close();
  // The store does not try to save over what it could not read: no second error.
  EXPECT_EQ(dialogs_.Messages().size(), 1u);
  EXPECT_TRUE(QFileInfo(ZelvoFolder() + "/Zelvo.dat").isDir());
}

TEST(ErrorReport, PeriodRuleAndEncodings) {
  EXPECT_EQ(quillet::ErrorReportText("cannot open x"), QStringLiteral("cannot open x."));
  EXPECT_EQ(quillet::ErrorReportText("done."), QStringLiteral("done."));
  EXPECT_EQ(quillet::ErrorReportText("a-"), QStringLiteral("a-"));  // '-' sorts before '.'
  EXPECT_EQ(quillet::ErrorReportText(""), QString());
  EXPECT_EQ(quillet::ErrorReportText("ファイルがありません"), QStringLiteral("ファイルがありません."));
  const std::string sjis = FromUtf8("読めません");
  EXPECT_EQ(quillet::ErrorReportText(sjis.c_str()), QStringLiteral("読めません."));
}

TEST_F(MainFormTest, ErrorsEscapingCommandsAreReportedAndTheProgramGoesOn) {
  TMainForm& w = Open();
  dialogs_.shown.clear();
  // A command that fails: the store has no data folder to write a profile into.
  w.ReportError(Error("cannot write /x/Zelvo.dat: disk full"));
  ASSERT_EQ(dialogs_.Messages().size(), 1u);
  EXPECT_EQ(dialogs_.Messages()[0].text, QStringLiteral("cannot write /x/Zelvo.dat: disk full."));
  EXPECT_EQ(dialogs_.Messages()[0].caption, QStringLiteral("くいれっと"));
  EXPECT_EQ(dialogs_.Messages()[0].icon, quillet::Dialogs::Icon::Error);
}

TEST_F(MainFormTest, VersionBoxIsShownModally) {
  TMainForm& w = Open();
  QString title;
  dialogs_.modals.push_back([&](QDialog& form) {
    title = form.windowTitle();
    return int(QDialog::Accepted);
  });
  w.Version1->trigger();
  EXPECT_EQ(title, QStringLiteral("くいれっとについて"));
  EXPECT_EQ(dialogs_.unanswered, 0);
}

}  // namespace

namespace {

// Qt's own texts (standard buttons, file dialogs) speak Japanese like the rest of the program.
TEST(Translation, QtsOwnTextsAreJapanese) {
  ASSERT_TRUE(quillet::InstallJapaneseTranslation(*QCoreApplication::instance()))
      << "qtbase_ja.qm is not installed (Debian package qt6-translations-l10n)";
  QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel);
  EXPECT_TRUE(box.button(QDialogButtonBox::Yes)->text().contains(QStringLiteral("はい")));
  EXPECT_TRUE(box.button(QDialogButtonBox::No)->text().contains(QStringLiteral("いいえ")));
  EXPECT_TRUE(box.button(QDialogButtonBox::Cancel)->text().contains(QStringLiteral("キャンセル")));
}

// A data file that cannot be written is reported in Japanese, cause included.
TEST(Translation, FileErrorsAreJapanese) {
  try {
    quillet::AtomicFileWriter writer("/nonexistent-folder/Zelvo.dat");
    FAIL() << "the file was created";
  } catch (const Error& error) {
    const QString text = quillet::ErrorReportText(error.what());
    EXPECT_EQ(text, QStringLiteral("「/nonexistent-folder/Zelvo.dat」を保存できませんでした（ファイルまたはフォルダがありません）。"
                                   "元のファイルはそのままです。."));
  }
}

}  // namespace
