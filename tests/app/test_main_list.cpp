// The ID list, the data editor and the list's popup commands.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "MainFormFixture.h"
#include "app/TreeModel.h"
#include "common/Cp932.h"
#include "controls/widgets/ListGridWidget.h"
#include "iddb/PickEngine.h"
#include "tree/MakeTree.h"

namespace {

using quillet::FromUtf8;
using Texts = std::vector<std::string>;

class ListTest : public MainFormTest {
 protected:
  // ABC12345 in B with nickname and memo; DEF00001 in A with every mark; GHI00002 in a group letter
  // that cannot exist ('1'), so it counts as trash.
  TMainForm& OpenWithData() {
    UseZelvoFolder();
    WriteDataFile(ZelvoFolder(), Record("ABC12345", "alpha", "nick", "memo", "B  2026 1 12026 2 3 ") +
                                     Record("DEF00001", "delta", "", "", "AAP2025 1 12025 1 1M") +
                                     Record("GHI00002", "gamma", "", "", "1  2025 1 12025 1 1 "));
    QDir().mkpath(ZelvoFolder() + "/Profile");
    QDir().mkpath(ZelvoFolder() + "/Memo");
    for (const char* sub : {"/Profile/DEF00001.txt", "/Memo/DEF00001.txt"}) {
      QFile f(ZelvoFolder() + sub);
      EXPECT_TRUE(f.open(QIODevice::WriteOnly));
      f.write("text\r\n");
    }
    return Open();
  }
  TTreeNode* GroupNode(char letter) {
    for (int i = 0; i < window_->RegistNode->Count(); ++i)
      if (window_->RegistNode->Item(i)->GroupCode() == letter) return window_->RegistNode->Item(i);
    return nullptr;
  }
  void SelectRows(std::initializer_list<int> rows) {
    window_->IDView->SetItemIndex(*rows.begin());
    for (int r : rows) window_->IDView->SetSelected(r, true);
    window_->IDViewClick();
  }
  int RowOf(const std::string& id) { return window_->IDView->FindRow(1, id); }
};

TEST_F(ListTest, FolderShowsRegisteredAndUnregisteredIDs) {
  TMainForm& w = OpenWithData();
  TTreeNode* folder = AddFolder("f.log", {{"ABC12345", "seen"}, {"XYZ00001", "one"}, {"QQQ00002", "two"}});
  Select(folder);
  ASSERT_EQ(w.IDView->RowCount(), 3);
  EXPECT_EQ(w.StatusPanel->text(), QStringLiteral("3件のデータがあります"));
  const int registered = RowOf("ABC12345");
  ASSERT_GE(registered, 0);
  EXPECT_EQ(w.IDView->GetCell(2, registered), "alpha");  // the store's handle, not the folder's
  EXPECT_EQ(w.IDView->GetCell(3, registered), "B");
  EXPECT_EQ(w.IDView->GetCell(4, registered), "nick");
  EXPECT_EQ(w.IDView->GetCell(5, registered), "2026/ 1/ 1");
  EXPECT_EQ(w.IDView->GetCell(6, registered), "2026/ 2/ 3");
  EXPECT_EQ(w.IDView->GetCell(7, registered), "memo");
  const int other = RowOf("XYZ00001");
  EXPECT_EQ(w.IDView->GetCell(2, other), "one");
  for (int c : {0, 3, 4, 5, 6, 7}) EXPECT_EQ(w.IDView->GetCell(c, other), "") << c;
  // Equal (empty) keys in the marks column: the newest row first.
  EXPECT_EQ(Column(1), (Texts{"QQQ00002", "XYZ00001", "ABC12345"}));
  EXPECT_EQ(w.IDView->ItemIndex(), 0);
}

TEST_F(ListTest, GroupNodesListTheirEntriesAndTrashTakesUnknownLetters) {
  TMainForm& w = OpenWithData();
  Select(GroupNode('B'));
  EXPECT_EQ(Column(1), Texts{"ABC12345"});
  Select(GroupNode('E'));
  EXPECT_EQ(Column(1), Texts{"GHI00002"});
  EXPECT_EQ(w.IDView->GetCell(3, 0), "E");
  Select(GroupNode('C'));
  EXPECT_EQ(w.IDView->RowCount(), 0);
  EXPECT_EQ(w.StatusPanel->text(), QStringLiteral("0件のデータがあります"));
}

TEST_F(ListTest, MarksAreDrawnAsColouredDots) {
  TMainForm& w = OpenWithData();
  Select(GroupNode('A'));
  ASSERT_EQ(Column(1), Texts{"DEF00001"});
  QImage image(200, 16, QImage::Format_ARGB32);
  image.fill(Qt::white);
  {
    QPainter p(&image);
    w.IDView->DrawRow(p, QRect(0, 0, 200, 16), 0, QStyle::State_Enabled);
  }
  EXPECT_EQ(image.pixelColor(2, 2), QColor(255, 0, 0));
  EXPECT_EQ(image.pixelColor(7, 2), QColor(0, 255, 255));
  EXPECT_EQ(image.pixelColor(12, 2), QColor(0, 255, 0));
  // An entry without marks has none.
  Select(GroupNode('B'));
  image.fill(Qt::white);
  {
    QPainter p(&image);
    w.IDView->DrawRow(p, QRect(0, 0, 200, 16), 0, QStyle::State_Enabled);
  }
  for (int x : {2, 7, 12}) EXPECT_EQ(image.pixelColor(x, 2), QColor(Qt::white)) << x;
}

TEST_F(ListTest, EditorForOneAndForTwoRows) {
  TMainForm& w = OpenWithData();
  TTreeNode* folder = AddFolder("f.log", {{"ABC12345", "seen"}, {"DEF00001", "d"}, {"XYZ00001", "one"}});
  Select(folder);
  SelectRows({RowOf("DEF00001")});
  EXPECT_EQ(w.IDEdit->text(), QStringLiteral("DEF00001"));
  EXPECT_EQ(w.GroupEdit->currentText(), QStringLiteral("(A)グループＡ"));
  EXPECT_EQ(w.HandleEdit->text(), QStringLiteral("delta"));
  EXPECT_TRUE(w.AutoRegist->isChecked());
  EXPECT_EQ(w.ProfileEdit->toPlainText(), QStringLiteral("text"));
  EXPECT_EQ(w.Memo2Edit->toPlainText(), QStringLiteral("text"));
  EXPECT_TRUE(w.IDEdit->isEnabled());
  EXPECT_TRUE(w.IDSearch->isEnabled());
  EXPECT_FALSE(w.Modify->isEnabled());  // until a field changes
  w.AliasEdit->setText(QStringLiteral("changed"));
  EXPECT_TRUE(w.Modify->isEnabled());

  // Two rows: the editor is off, the buttons stay, the focused row's handle shows.
  SelectRows({RowOf("XYZ00001"), RowOf("ABC12345")});
  EXPECT_EQ(w.IDView->SelCount(), 2);
  EXPECT_FALSE(w.IDEdit->isEnabled());
  EXPECT_FALSE(w.HandleEdit->isEnabled());
  EXPECT_FALSE(w.PageControl1->isEnabled());
  EXPECT_TRUE(w.ButtonPanel->isEnabled());
  EXPECT_EQ(w.IDEdit->text(), QString());
  EXPECT_EQ(w.HandleEdit->text(), QStringLiteral("one"));
  EXPECT_EQ(w.GroupEdit->currentIndex(), -1);
  EXPECT_FALSE(w.AutoRegist->isChecked());

  // One unregistered row: the fields stay usable, with its handle, for registering it.
  SelectRows({RowOf("XYZ00001")});
  EXPECT_TRUE(w.HandleEdit->isEnabled());
  EXPECT_EQ(w.HandleEdit->text(), QStringLiteral("one"));
  EXPECT_EQ(w.IDEdit->text(), QString());
}

// A click on the row already selected is a click too: the editor shows the row's data again and
// "更新" waits for the next change.
TEST_F(ListTest, ClickOnTheSelectedRowResetsTheEditor) {
  TMainForm& w = OpenWithData();
  TTreeNode* folder = AddFolder("f.log", {{"ABC12345", "seen"}, {"DEF00001", "d"}});
  Select(folder);
  const int row = RowOf("ABC12345");
  QTest::mouseClick(w.IDView->viewport(), Qt::LeftButton, {}, w.IDView->ItemRect(row).center());
  ASSERT_EQ(w.IDEdit->text(), QStringLiteral("ABC12345"));
  w.HandleEdit->setText(QStringLiteral("typed"));
  ASSERT_TRUE(w.Modify->isEnabled());
  QTest::mouseClick(w.IDView->viewport(), Qt::LeftButton, {}, w.IDView->ItemRect(row).center());
  EXPECT_FALSE(w.Modify->isEnabled());
  EXPECT_EQ(w.HandleEdit->text(), QStringLiteral("alpha"));
}

// A profile that cannot be read leaves nothing of the ID shown before in the editor, where
// "更新" would have written it onto this ID.
TEST_F(ListTest, UnreadableProfileEmptiesTheEditor) {
  TMainForm& w = OpenWithData();
  // A socket where the profile should be: it exists, but no one (not even root) can open it.
  const QByteArray path = (ZelvoFolder() + "/Profile/ABC12345.txt").toLocal8Bit();
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(static_cast<size_t>(path.size()), sizeof(address.sun_path));
  std::memcpy(address.sun_path, path.constData(), path.size());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  TTreeNode* folder = AddFolder("f.log", {{"ABC12345", "seen"}, {"DEF00001", "d"}});
  Select(folder);
  SelectRows({RowOf("DEF00001")});
  ASSERT_EQ(w.Memo2Edit->toPlainText(), QStringLiteral("text"));
  dialogs_.shown.clear();
  w.IDView->SetItemIndex(RowOf("ABC12345"));
  w.IDView->OnClick(w.IDView);  // as the list raises it
  ::close(sock);
  ASSERT_EQ(dialogs_.Messages().size(), 1u);
  EXPECT_EQ(dialogs_.Messages()[0].icon, quillet::Dialogs::Icon::Error);
  EXPECT_TRUE(dialogs_.Messages()[0].text.contains(QStringLiteral("を開けません")));
  EXPECT_EQ(w.IDEdit->text(), QString());
  EXPECT_EQ(w.HandleEdit->text(), QString());
  EXPECT_EQ(w.Memo2Edit->toPlainText(), QString());
  EXPECT_EQ(w.ProfileEdit->toPlainText(), QString());
  EXPECT_FALSE(w.AutoRegist->isChecked());
  EXPECT_FALSE(w.Modify->isEnabled());
}

TEST_F(ListTest, UpdateOfSomethingThatIsNoIDSaysWhy) {
  TMainForm& w = OpenWithData();
  w.New1Click();
  w.IDEdit->setText(QStringLiteral("AB123"));
  dialogs_.shown.clear();
  w.ModifyClick();
  ASSERT_EQ(dialogs_.Messages().size(), 1u);
  EXPECT_TRUE(dialogs_.Messages()[0].text.contains(QStringLiteral("AB123")));
  EXPECT_TRUE(dialogs_.Messages()[0].text.contains(QStringLiteral("IDではありません")));
  EXPECT_FALSE(w.PickData().Select("AB123"));
}

TEST_F(ListTest, GroupBoxFindsTheEntrysGroupAmongGaps) {
  TMainForm& w = OpenWithData();
  ASSERT_TRUE(w.PickData().GroupMgr().AddGroup('H', FromUtf8("友人")));
  w.RebuildGroupMenus();
  w.PickData().ChangeGroup("ABC12345", "H");
  w.ShowIDData("ABC12345");
  EXPECT_EQ(w.GroupEdit->currentIndex(), 5);
  EXPECT_EQ(w.GroupEdit->currentText(), QStringLiteral("(H)友人"));
}

TEST_F(ListTest, IDSearchNormalisesWhatWasTyped) {
  TMainForm& w = OpenWithData();
  w.New1Click();
  w.IDEdit->setText(QStringLiteral("vzz12345"));
  EXPECT_TRUE(w.IDSearch->isEnabled());
  w.HandleEdit->setText(QStringLiteral("typed"));
  w.IDSearch->click();
  EXPECT_EQ(w.IDEdit->text(), QStringLiteral("VZZ12345"));
  EXPECT_EQ(w.HandleEdit->text(), QStringLiteral("typed"));  // not stored: the fields stay
  w.IDEdit->setText(QStringLiteral("ａｂｃ１２３４５"));
  w.IDSearch->click();
  EXPECT_EQ(w.IDEdit->text(), QStringLiteral("ABC12345"));
  EXPECT_EQ(w.HandleEdit->text(), QStringLiteral("alpha"));
  w.IDEdit->setText(QStringLiteral("abc1234"));
  EXPECT_FALSE(w.IDSearch->isEnabled());
  EXPECT_FALSE(w.Modify->isEnabled());
}

TEST_F(ListTest, RegisterANewIDWithProfileAndMemo) {
  TMainForm& w = OpenWithData();
  w.New1Click();
  EXPECT_EQ(w.GroupEdit->currentIndex(), 4);  // E while A to E exist
  EXPECT_TRUE(w.IDEdit->isEnabled());
  w.IDEdit->setText(QStringLiteral("new00001"));
  w.GroupEdit->setCurrentIndex(1);
  w.HandleEdit->setText(QStringLiteral("ハンドル"));
  w.AliasEdit->setText(QStringLiteral("あだ名"));
  w.MemoEdit->setText(QStringLiteral("一行"));
  w.Memo2Edit->setPlainText(QStringLiteral("memo 1\nmemo 2\n"));
  w.ProfileEdit->setPlainText(QStringLiteral("profile"));
  w.AutoRegist->setChecked(true);
  ASSERT_TRUE(w.Modify->isEnabled());
  w.Modify->click();
  EXPECT_EQ(w.IDEdit->text(), QStringLiteral("NEW00001"));
  TPickData& store = w.PickData();
  ASSERT_TRUE(store.Select("NEW00001"));
  EXPECT_EQ(store.CurrentHandle(), FromUtf8("ハンドル"));
  EXPECT_EQ(store.CurrentAlias(), FromUtf8("あだ名"));
  EXPECT_EQ(store.CurrentMemo(), FromUtf8("一行"));
  EXPECT_EQ(store.CurrentGroup(), "B");
  EXPECT_TRUE(store.IsAutoRegist());
  EXPECT_EQ(store.RegistDateText(), "2026/ 3/ 4");
  EXPECT_EQ(ReadFile(ZelvoFolder() + "/Memo/NEW00001.txt"), QByteArray("memo 1\r\nmemo 2\r\n"));
  EXPECT_EQ(ReadFile(ZelvoFolder() + "/Profile/NEW00001.txt"), QByteArray("profile\r\n"));
  // It shows in its group at the next refresh.
  Select(GroupNode('B'));
  EXPECT_GE(RowOf("NEW00001"), 0);
  Close();
  EXPECT_TRUE(ReadFile(ZelvoFolder() + "/Zelvo.dat").contains("NEW00001\r\n"));
}

TEST_F(ListTest, UpdateRewritesTheRowAndEmptyTextsDeleteTheFiles) {
  TMainForm& w = OpenWithData();
  TTreeNode* folder = AddFolder("f.log", {{"DEF00001", "d"}, {"XYZ00001", "one"}});
  Select(folder);
  SelectRows({RowOf("DEF00001")});
  w.HandleEdit->setText(QStringLiteral("new handle"));
  w.GroupEdit->setCurrentIndex(2);
  w.ProfileEdit->clear();
  w.Modify->click();
  const int row = RowOf("DEF00001");
  EXPECT_EQ(w.IDView->GetCell(2, row), "new handle");
  EXPECT_EQ(w.IDView->GetCell(3, row), "C");
  EXPECT_EQ(w.IDView->GetCell(5, row), "2025/ 1/ 1");  // dates are not rewritten
  EXPECT_FALSE(QFile::exists(ZelvoFolder() + "/Profile/DEF00001.txt"));
  EXPECT_TRUE(QFile::exists(ZelvoFolder() + "/Memo/DEF00001.txt"));

  // On a group list, an ID that leaves the group leaves the list.
  Select(GroupNode('B'));
  SelectRows({RowOf("ABC12345")});
  w.GroupEdit->setCurrentIndex(0);
  w.Modify->click();
  EXPECT_EQ(RowOf("ABC12345"), -1);
  EXPECT_EQ(w.IDView->RowCount(), 0);
}

TEST_F(ListTest, TextWithoutAShiftJisFormIsRefused) {
  TMainForm& w = OpenWithData();
  Select(GroupNode('B'));
  SelectRows({RowOf("ABC12345")});
  dialogs_.shown.clear();
  w.HandleEdit->setText(QStringLiteral("smile 😀"));
  w.Modify->click();
  ASSERT_EQ(dialogs_.Messages().size(), 1u);
  EXPECT_TRUE(dialogs_.Messages()[0].text.contains(QStringLiteral("ﾊﾝﾄﾞﾙ")));
  ASSERT_TRUE(w.PickData().Select("ABC12345"));
  EXPECT_EQ(w.PickData().CurrentHandle(), "alpha");
  EXPECT_EQ(w.IDView->GetCell(2, RowOf("ABC12345")), "alpha");
}

TEST_F(ListTest, PopupEnablingForOneAndTwoRows) {
  TMainForm& w = OpenWithData();
  TTreeNode* folder = AddFolder("f.log", {{"DEF00001", "d"}, {"XYZ00001", "one"}});
  Select(folder);
  SelectRows({RowOf("DEF00001")});
  w.PopupMenu1Popup();
  EXPECT_TRUE(w.Edit1->isEnabled());
  EXPECT_TRUE(w.Copy1->isEnabled());
  EXPECT_TRUE(w.Delete1->isEnabled());
  EXPECT_TRUE(w.AutoRegist1->isEnabled());
  EXPECT_TRUE(w.AutoRegist1->isChecked());
  SelectRows({RowOf("XYZ00001"), RowOf("DEF00001")});
  w.PopupMenu1Popup();
  EXPECT_FALSE(w.Edit1->isEnabled());
  EXPECT_FALSE(w.Copy1->isEnabled());
  EXPECT_FALSE(w.SearchLog1->isEnabled());
  EXPECT_TRUE(w.ChangeGroup->menuAction()->isEnabled());
  EXPECT_FALSE(w.AutoRegist1->isEnabled());  // the focused row is not registered
  // Under "登録ID" nothing is removed from a folder.
  Select(GroupNode('A'));
  SelectRows({0});
  w.PopupMenu1Popup();
  EXPECT_FALSE(w.Delete1->isEnabled());
}

TEST_F(ListTest, MovingIDsIntoGroups) {
  TMainForm& w = OpenWithData();
  TTreeNode* folder = AddFolder("f.log", {{"ABC12345", "seen"}, {"XYZ00001", "one"}});
  Select(folder);
  SelectRows({RowOf("ABC12345"), RowOf("XYZ00001")});
  w.ChangeGroup->actions()[3]->trigger();  // (&D)
  TPickData& store = w.PickData();
  ASSERT_TRUE(store.Select("XYZ00001"));  // registered with the folder's handle
  EXPECT_EQ(store.CurrentHandle(), "one");
  EXPECT_EQ(store.CurrentGroup(), "D");
  ASSERT_TRUE(store.Select("ABC12345"));
  EXPECT_EQ(store.CurrentGroup(), "D");
  EXPECT_EQ(w.IDView->GetCell(3, RowOf("ABC12345")), "D");
  EXPECT_EQ(w.IDView->GetCell(3, RowOf("XYZ00001")), "D");

  // From the list of group D into D: nothing leaves; into B: they leave the list.
  Select(GroupNode('D'));
  ASSERT_EQ(w.IDView->RowCount(), 2);
  SelectRows({0, 1});
  w.ChangeGroup->actions()[3]->trigger();
  EXPECT_EQ(w.IDView->RowCount(), 2);
  SelectRows({0});
  w.ChangeGroup->actions()[1]->trigger();
  EXPECT_EQ(w.IDView->RowCount(), 1);
}

TEST_F(ListTest, RemovingIDsFromAFolder) {
  TMainForm& w = OpenWithData();
  TTreeNode* folder =
      AddFolder("f.log", {{"AAA00001", "a"}, {"BBB00002", "b"}, {"CCC00003", "c"}, {"DDD00004", "d"}});
  Select(folder);
  SelectRows({RowOf("BBB00002"), RowOf("DDD00004")});
  w.Delete1->trigger();
  EXPECT_EQ(w.IDView->RowCount(), 2);
  TStringListWithHash* set = folder->IDSet();
  ASSERT_EQ(set->Count(), 2);
  EXPECT_EQ(set->Strings(0), "AAA00001");
  EXPECT_EQ(set->Strings(1), "CCC00003");
  EXPECT_EQ(set->IndexOf("CCC00003"), 1);
  Select(w.RootNode());
  Select(folder);
  EXPECT_EQ(Column(1), (Texts{"CCC00003", "AAA00001"}));
  EXPECT_EQ(Column(2), (Texts{"c", "a"}));
  // A removed ID stays registered; in a group list nothing is removed.
  Select(GroupNode('A'));
  SelectRows({0});
  w.Delete1->trigger();
  EXPECT_EQ(w.IDView->RowCount(), 1);
}

TEST_F(ListTest, SwitchingAutoRegistration) {
  TMainForm& w = OpenWithData();
  Select(GroupNode('B'));
  SelectRows({0});
  w.PopupMenu1Popup();
  EXPECT_FALSE(w.AutoRegist1->isChecked());
  w.AutoRegist1->trigger();
  ASSERT_TRUE(w.PickData().Select("ABC12345"));
  EXPECT_TRUE(w.PickData().IsAutoRegist());
  w.PopupMenu1Popup();
  EXPECT_TRUE(w.AutoRegist1->isChecked());
  w.AutoRegist1->trigger();
  ASSERT_TRUE(w.PickData().Select("ABC12345"));
  EXPECT_FALSE(w.PickData().IsAutoRegist());
}

}  // namespace

namespace {

TEST_F(ListTest, DeletingTheShownFolderMovesTheListToTheNewSelection) {
  TMainForm& w = OpenWithData();
  TTreeNode* a = AddFolder("a.log", {{"AAA00001", "a"}});
  TTreeNode* room = w.Nodes().AddChild(a, "room");
  room->SetIDSet(std::make_unique<TStringListWithHash>());
  room->IDSet()->Add("RRR00001");
  AddFolder("b.log", {{"BBB00001", "b"}, {"BBB00002", "b2"}});
  w.TreeView->expandAll();
  Select(room);
  ASSERT_EQ(Column(1), Texts{"RRR00001"});
  w.TreeMgr().DeleteNode(a);
  ASSERT_NE(w.SelectedNode(), nullptr);
  // The next sibling of the deleted subtree is selected and listed.
  EXPECT_EQ(w.SelectedNode()->Text(), "b.log");
  EXPECT_EQ(Column(1), (Texts{"BBB00002", "BBB00001"}));
  // The last child going selects its previous sibling, an only child its parent.
  TTreeNode* b = w.SelectedNode();
  TTreeNode* only = w.Nodes().AddChild(b, "only");
  w.TreeView->expandAll();
  Select(only);
  w.TreeMgr().DeleteNode(only);
  EXPECT_EQ(w.SelectedNode(), b);
  EXPECT_EQ(w.IDView->RowCount(), 2);
}

}  // namespace
