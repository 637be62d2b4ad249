// The folder and group commands, drag and drop, and the import of other programs' ID files, run
// through the main window with scripted dialog answers.
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTreeView>

#include <QFileInfo>

#include "MainFormFixture.h"
#include "app/TreeModel.h"
#include "common/Cp932.h"
#include "controls/widgets/ListGridWidget.h"
#include "iddb/PickEngine.h"

namespace {

using quillet::FromUtf8;
using Kind = quillet::ScriptedDialogs::Kind;
using Texts = std::vector<std::string>;

class FolderTest : public MainFormTest {
 protected:
  // Groups A to E and F "友人"; ABC12345 in B, DEF00001 in A, and four IDs in F.
  TMainForm& OpenWithData() {
    UseZelvoFolder();
    WriteDataFile(ZelvoFolder(), Record("ABC12345", "alpha", "", "", "B  2026 1 12026 2 3 ") +
                                     Record("DEF00001", "delta", "", "", "A  2025 1 12025 1 1 ") +
                                     Record("FFF00001", "f1", "", "", "F  2025 1 12025 1 1 ") +
                                     Record("FFF00002", "f2", "", "", "F  2025 1 12025 1 1 ") +
                                     Record("FFF00003", "f3", "", "", "F  2025 1 12025 1 1 ") +
                                     Record("FFF00004", "f4", "", "", "F  2025 1 12025 1 1 "));
    QFile groups(ZelvoFolder() + "/ZelvoGP.dat");
    EXPECT_TRUE(groups.open(QIODevice::WriteOnly));
    groups.write(QByteArray::fromStdString(FromUtf8("Aグループ\r\nBグループＢ\r\nCグループＣ\r\nDグループＤ\r\n"
                                                    "Eごみ箱\r\nF友人\r\n")));
    groups.close();
    return Open();
  }
  // No data file: the start-up's announcement of the new data file is forgotten.
  TMainForm& OpenEmpty() {
    TMainForm& w = Open();
    dialogs_.shown.clear();
    return w;
  }
  TTreeNode* GroupNode(char letter) {
    for (int i = 0; i < window_->RegistNode->Count(); ++i)
      if (window_->RegistNode->Item(i)->GroupCode() == letter) return window_->RegistNode->Item(i);
    return nullptr;
  }
  static TTreeNode* Child(TTreeNode* parent, const std::string& text) {
    for (int i = 0; i < parent->Count(); ++i)
      if (parent->Item(i)->Text() == text) return parent->Item(i);
    return nullptr;
  }
  std::string Group(const std::string& id) {
    return window_->PickData().Select(id) ? window_->PickData().CurrentGroup() : std::string("-");
  }
  const quillet::ScriptedDialogs::Shown& Last() const { return dialogs_.shown.back(); }
  // The centre of a node's row, where a drop lands on it.
  QPoint At(TTreeNode* node) {
    window_->TreeView->expandAll();
    const QModelIndex index = window_->TreeModel().IndexOf(node);
    window_->TreeView->scrollTo(index);
    return window_->TreeView->visualRect(index).center();
  }
  void SelectAllRows() {
    window_->IDView->SetItemIndex(0);
    for (int r = 0; r < window_->IDView->RowCount(); ++r) window_->IDView->SetSelected(r, true);
  }
};

// --- folders ------------------------------------------------------------------------------------------

TEST_F(FolderTest, CreateFolderSelectsItAndStartsEditing) {
  TMainForm& w = OpenEmpty();
  TTreeNode* log = AddFolder("/logs/a.log", {});
  Select(log);
  w.Create1Click();
  TTreeNode* folder = Child(log, FromUtf8("新しいﾌｫﾙﾀﾞ"));
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(folder->ImageIndex(), 0);
  EXPECT_EQ(folder->SelectedIndex(), 1);
  ASSERT_NE(folder->IDSet(), nullptr);
  EXPECT_EQ(w.SelectedNode(), folder);
  auto* editor = w.TreeView->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(editor->isVisible());
  EXPECT_EQ(editor->text(), QStringLiteral("新しいﾌｫﾙﾀﾞ"));
  // Typing a name and confirming renames the folder.
  editor->setText(QStringLiteral("友達"));
  QTest::keyClick(editor, Qt::Key_Return);
  QCoreApplication::processEvents();  // the view commits the edit from its event queue
  EXPECT_EQ(folder->Text(), FromUtf8("友達"));

  // A second new folder without renaming the first reuses it.
  Select(log);
  w.Create1Click();
  TTreeNode* first = w.SelectedNode();
  QTest::keyClick(w.TreeView->viewport()->findChild<QLineEdit*>(), Qt::Key_Escape);
  QCoreApplication::processEvents();
  Select(log);
  w.Create1Click();
  EXPECT_EQ(w.SelectedNode(), first);
  EXPECT_EQ(log->Count(), 2);
  EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(FolderTest, DeleteFolderAsksAndTakesTheSubtree) {
  TMainForm& w = OpenEmpty();
  TTreeNode* log = AddFolder("/logs/a.log", {{"XYZ00001", "x"}});
  w.Nodes().AddChild(log, "room");
  Select(log);
  dialogs_.confirms = {false, true};
  w.Delete2Click();
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_EQ(Last().kind, Kind::Confirm);
  EXPECT_EQ(Last().text, QStringLiteral("\"/logs/a.log\"を削除してもよろしいですか？"));
  EXPECT_EQ(w.RootNode()->Count(), 2);
  w.Delete2Click();
  EXPECT_EQ(w.RootNode()->Count(), 1);  // "登録ID" only
  EXPECT_EQ(w.Nodes().TotalCount(), 2 + w.RegistNode->Count());

  // The fixed nodes are never deleted, whatever calls the command.
  Select(w.RegistNode);
  w.Delete2Click();
  Select(w.RootNode());
  w.Delete2Click();
  EXPECT_EQ(dialogs_.shown.size(), 2u);
  EXPECT_EQ(w.RootNode()->Count(), 1);
}

TEST_F(FolderTest, RenameFolderAndGroup) {
  TMainForm& w = OpenWithData();
  TTreeNode* log = AddFolder("/logs/a.log", {});
  Select(log);
  dialogs_.inputs = {QString(), QStringLiteral("整理済み")};
  w.Rename1Click();  // cancelled: nothing changes
  EXPECT_EQ(log->Text(), "/logs/a.log");
  EXPECT_EQ(Last().caption, QStringLiteral("名前の変更"));
  EXPECT_EQ(Last().text, QStringLiteral("名前を入力してください"));
  EXPECT_EQ(Last().detail, QString());
  w.Rename1Click();
  EXPECT_EQ(log->Text(), FromUtf8("整理済み"));

  // A group keeps its name when the answer is empty, with a message.
  TTreeNode* groupB = GroupNode('B');
  Select(groupB);
  dialogs_.shown.clear();
  w.Rename1Click();
  ASSERT_EQ(dialogs_.Messages().size(), 1u);
  EXPECT_EQ(dialogs_.Messages()[0].text, QStringLiteral("ｸﾞﾙｰﾌﾟ名を入力してください"));
  EXPECT_EQ(groupB->Text(), FromUtf8("(B)グループＢ"));

  dialogs_.inputs = {QStringLiteral("仕事")};
  w.Rename1Click();
  EXPECT_EQ(groupB->Text(), FromUtf8("(B)仕事"));
  EXPECT_EQ(w.PickData().GroupMgr().GroupName('B'), FromUtf8("仕事"));
  EXPECT_EQ(w.GroupEdit->itemText(1), QStringLiteral("(B)仕事"));
  EXPECT_EQ(w.ChangeGroup->actions().at(1)->text(), QStringLiteral("(&B)仕事"));
  // The editor shows the entry again with the rebuilt group box.
  EXPECT_EQ(w.IDEdit->text(), QStringLiteral("ABC12345"));
  EXPECT_EQ(w.GroupEdit->currentText(), QStringLiteral("(B)仕事"));
}

// --- groups ------------------------------------------------------------------------------------------

TEST_F(FolderTest, AddGroupFromAFullWidthAnswer) {
  TMainForm& w = OpenEmpty();
  dialogs_.inputs = {QStringLiteral(" ｆｒｉｅｎｄｓ"), QStringLiteral("友人")};
  w.AddGroup1Click();
  ASSERT_EQ(dialogs_.shown.size(), 2u);
  EXPECT_EQ(dialogs_.shown[0].caption, QStringLiteral("ｸﾞﾙｰﾌﾟの追加"));
  EXPECT_EQ(dialogs_.shown[0].text, QStringLiteral("追加するｸﾞﾙｰﾌﾟ文字を入力してください"));
  EXPECT_EQ(dialogs_.shown[1].text, QStringLiteral("ｸﾞﾙｰﾌﾟ名を入力してください。"));
  TTreeNode* node = GroupNode('F');
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->Text(), FromUtf8("(F)友人"));
  EXPECT_EQ(node->ImageIndex(), 2);
  EXPECT_EQ(node->SelectedIndex(), 3);
  EXPECT_EQ(w.SelectedNode(), node);
  EXPECT_EQ(w.GroupEdit->count(), 6);
  EXPECT_EQ(w.GroupEdit->itemText(5), QStringLiteral("(F)友人"));
  QAction* item = w.ChangeGroup->actions().at(5);
  EXPECT_EQ(item->text(), QStringLiteral("(&F)友人"));
  EXPECT_EQ(item->data().toInt(), 6);
  EXPECT_TRUE(w.DeleteGroup1->isEnabled());
}

TEST_F(FolderTest, AddGroupRefusedOrCancelled) {
  TMainForm& w = OpenEmpty();
  const int groups = w.RegistNode->Count();
  // An existing letter and a Japanese first character are refused before the name is asked.
  for (const QString& answer : {QStringLiteral("a"), QStringLiteral("日本")}) {
    dialogs_.shown.clear();
    dialogs_.inputs = {answer, QStringLiteral("never asked")};
    w.AddGroup1Click();
    ASSERT_EQ(dialogs_.shown.size(), 2u) << answer.toStdString();
    EXPECT_EQ(dialogs_.shown[1].kind, Kind::Message);
    EXPECT_EQ(dialogs_.shown[1].text, QStringLiteral("ｸﾞﾙｰﾌﾟを追加できません"));
    dialogs_.inputs.clear();
  }
  // Blank: silently nothing.
  dialogs_.shown.clear();
  dialogs_.inputs = {QStringLiteral("  ")};
  w.AddGroup1Click();
  EXPECT_EQ(dialogs_.shown.size(), 1u);
  // No name: the group goes again, with a message.
  dialogs_.shown.clear();
  dialogs_.inputs = {QStringLiteral("G")};
  w.AddGroup1Click();
  ASSERT_EQ(dialogs_.Messages().size(), 1u);
  EXPECT_EQ(dialogs_.Messages()[0].text, QStringLiteral("ｸﾞﾙｰﾌﾟの追加をｷｬﾝｾﾙしました"));
  EXPECT_FALSE(w.PickData().GroupMgr().IsGroup("G"));
  EXPECT_EQ(w.RegistNode->Count(), groups);
  EXPECT_EQ(w.GroupEdit->count(), 5);
}

TEST_F(FolderTest, DeleteGroupMovesItsEntriesToTheTrash) {
  TMainForm& w = OpenWithData();
  TTreeNode* friends = GroupNode('F');
  ASSERT_NE(friends, nullptr);
  Select(friends);
  ASSERT_EQ(w.IDView->RowCount(), 4);
  dialogs_.confirms = {true};
  w.DeleteGroup1Click();
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_EQ(Last().text, QStringLiteral("\"(F)友人\"を削除してよろしいですか？"));
  for (const char* id : {"FFF00001", "FFF00002", "FFF00003", "FFF00004"}) EXPECT_EQ(Group(id), "E") << id;
  EXPECT_EQ(GroupNode('F'), nullptr);
  EXPECT_FALSE(w.PickData().GroupMgr().IsGroup("F"));
  EXPECT_EQ(w.GroupEdit->count(), 5);
  EXPECT_EQ(w.SelectedNode(), w.RegistNode);
  EXPECT_EQ(w.StatusPanel->text(), QStringLiteral("0件のデータがあります"));
  Select(GroupNode('E'));
  EXPECT_EQ(w.IDView->RowCount(), 4);

  // Answering No, or a fixed group, changes nothing.
  Select(GroupNode('B'));
  dialogs_.shown.clear();
  w.DeleteGroup1Click();
  EXPECT_FALSE(w.DeleteGroup1->isEnabled());
  EXPECT_TRUE(dialogs_.shown.empty());
  EXPECT_NE(GroupNode('B'), nullptr);
  EXPECT_EQ(Group("ABC12345"), "B");
}

// --- drag and drop -----------------------------------------------------------------------------------

TEST_F(FolderTest, DropIDsOntoAGroupChangesOrRegisters) {
  TMainForm& w = OpenWithData();
  TTreeNode* log = AddFolder("/logs/a.log", {{"ABC12345", "seen"}, {"NEW00001", "newbie"}, {"NEW00002", "other"}});
  Select(log);
  SelectAllRows();
  ASSERT_TRUE(w.TreeViewDragOver(w.IDView));
  dialogs_.confirms = {false, true};
  TTreeNode* groupD = GroupNode('D');
  w.TreeViewDragDrop(w.IDView, At(groupD));
  EXPECT_EQ(Last().text, QStringLiteral("\"(D)グループＤ\"にグループを変更します"));
  EXPECT_EQ(Group("NEW00001"), "-");  // No: nothing registered
  w.TreeViewDragDrop(w.IDView, At(groupD));
  EXPECT_EQ(Group("ABC12345"), "D");
  EXPECT_EQ(Group("NEW00001"), "D");
  EXPECT_EQ(w.PickData().CurrentHandle(), "newbie");
  EXPECT_EQ(Group("NEW00002"), "D");
  // The list is rebuilt: all three rows now show group D.
  EXPECT_EQ(Column(3), (Texts{"D", "D", "D"}));
}

TEST_F(FolderTest, DropIDsElsewhereCopiesEachOnce) {
  TMainForm& w = OpenWithData();
  TTreeNode* from = AddFolder("/logs/a.log", {{"ABC12345", "seen"}, {"NEW00001", "newbie"}});
  TTreeNode* to = AddFolder("/logs/b.log", {{"NEW00001", "already"}});
  Select(from);
  SelectAllRows();
  dialogs_.confirms = {true, true, true};
  w.TreeViewDragDrop(w.IDView, At(to));
  EXPECT_EQ(Last().text, QStringLiteral("\"/logs/b.log\"にコピーします"));
  w.TreeViewDragDrop(w.IDView, At(to));  // repeated: nothing more
  ASSERT_EQ(to->IDSet()->Count(), 2);
  EXPECT_EQ(to->IDSet()->Objects(0)->Handle, "already");
  EXPECT_EQ(to->IDSet()->Strings(1), "ABC12345");
  EXPECT_EQ(to->IDSet()->Objects(1)->Handle, "alpha");  // the handle the list showed
  // The list still shows the source folder.
  EXPECT_EQ(w.SelectedNode(), from);
  EXPECT_EQ(w.IDView->RowCount(), 2);

  // Onto "登録ID" itself: copied into its own set, not registered.
  w.TreeViewDragDrop(w.IDView, At(w.RegistNode));
  EXPECT_EQ(Last().text, QStringLiteral("\"登録ID\"にコピーします"));
  EXPECT_EQ(w.RegistNode->IDSet()->Count(), 2);
  EXPECT_EQ(Group("NEW00001"), "-");

  // Below the last node: nothing asked.
  const size_t asked = dialogs_.shown.size();
  w.TreeViewDragDrop(w.IDView, QPoint(5, w.TreeView->viewport()->height() - 2));
  EXPECT_EQ(dialogs_.shown.size(), asked);
  EXPECT_FALSE(w.TreeViewDragOver(w.StatusPanel));
}

// A folder the user made under "登録ID" is no group: the IDs are copied into it and keep their
// group, also when its name looks like a group's caption.
TEST_F(FolderTest, DropOntoAUserFolderUnderRegisteredIDsCopies) {
  TMainForm& w = OpenWithData();
  Select(GroupNode('B'));
  ASSERT_EQ(Column(1), (Texts{"ABC12345"}));
  SelectAllRows();
  for (const std::string& name : {FromUtf8("友達"), FromUtf8("(C)偽もの")}) {
    TTreeNode* folder = w.Nodes().AddChild(w.RegistNode, name);
    folder->SetIDSet(std::make_unique<TStringListWithHash>());
    dialogs_.confirms = {true};
    w.TreeViewDragDrop(w.IDView, At(folder));
    EXPECT_EQ(Last().text, QStringLiteral("\"") + QString::fromStdString(quillet::ToUtf8(name)) +
                               QStringLiteral("\"にコピーします"));
    ASSERT_EQ(folder->IDSet()->Count(), 1);
    EXPECT_EQ(folder->IDSet()->Strings(0), "ABC12345");
    EXPECT_EQ(folder->IDSet()->Objects(0)->Handle, "alpha");
    EXPECT_EQ(Group("ABC12345"), "B");
  }
}

TEST_F(FolderTest, FolderMoveTakesItsSubtree) {
  TMainForm& w = OpenEmpty();
  TTreeNode* a = AddFolder("/logs/a.log", {{"XYZ00001", "x"}});
  TTreeNode* room = w.Nodes().AddChild(a, "room");
  room->SetIDSet(std::make_unique<TStringListWithHash>());
  TTreeNode* b = AddFolder("/logs/b.log", {});
  Select(a);
  dialogs_.confirms = {false, true};
  w.TreeViewDragDrop(w.TreeView, At(b));
  EXPECT_EQ(Last().text, QStringLiteral("\"/logs/b.log\"に移動します"));
  EXPECT_EQ(a->Parent(), w.RootNode());
  w.TreeViewDragDrop(w.TreeView, At(b));
  EXPECT_EQ(a->Parent(), b);
  EXPECT_EQ(room->Parent(), a);
  EXPECT_EQ(a->IDSet()->IndexOf("XYZ00001"), 0);

  // Onto itself, its own descendant, "登録ID" or a group: nothing asked, nothing moved.
  const size_t asked = dialogs_.shown.size();
  Select(a);
  for (TTreeNode* target : {a, room, w.RegistNode, w.RegistNode->Item(0)}) w.TreeViewDragDrop(w.TreeView, At(target));
  // The fixed nodes are not dragged.
  for (TTreeNode* dragged : {w.RegistNode, w.RootNode(), w.RegistNode->Item(0)}) {
    Select(dragged);
    w.TreeViewDragDrop(w.TreeView, At(b));
  }
  EXPECT_EQ(dialogs_.shown.size(), asked);
  EXPECT_EQ(a->Parent(), b);
  EXPECT_EQ(w.RegistNode->Parent(), w.RootNode());
}

// --- other programs' files, export, the list popup --------------------------------------------------

TEST_F(FolderTest, ConvertFilesAnOtherProgramsList) {
  TMainForm& w = OpenWithData();
  const QString path = QDir(ZelvoFolder()).filePath("picker.lst");
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("NEW00001\tnewbie\r\nABC12345\tignored\r\nbad\tline\r\nNEW00001\tagain\r\n");
  f.close();
  dialogs_.openFiles = {{path}};
  dialogs_.inputs = {QStringLiteral("ｂ")};
  w.Convert1Click();
  ASSERT_EQ(dialogs_.shown.size(), 2u);
  EXPECT_EQ(dialogs_.shown[0].kind, Kind::OpenFiles);
  EXPECT_EQ(dialogs_.shown[0].text, QString());  // one file only
  EXPECT_TRUE(dialogs_.shown[0].detail.startsWith(QStringLiteral("楓ﾁｬｯﾄ･Wisp･ぜるぼ形式(*.dat)")));
  EXPECT_EQ(dialogs_.shown[1].caption, QStringLiteral("データのインポート"));
  EXPECT_EQ(dialogs_.shown[1].text, QStringLiteral("ｲﾝﾎﾟｰﾄするｸﾞﾙｰﾌﾟ"));
  EXPECT_EQ(dialogs_.shown[1].detail, QStringLiteral("E"));

  TTreeNode* folder = Child(w.RootNode(), path.toStdString());
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(folder->ImageIndex(), 8);
  EXPECT_EQ(folder->SelectedIndex(), 9);
  EXPECT_EQ(w.SelectedNode(), folder);
  ASSERT_EQ(folder->IDSet()->Count(), 2);
  EXPECT_EQ(folder->IDSet()->Objects(0)->Handles, (Texts{"newbie", "again"}));
  EXPECT_EQ(Group("NEW00001"), "B");
  EXPECT_EQ(Group("ABC12345"), "B");
  EXPECT_EQ(w.PickData().CurrentHandle(), "alpha");  // a registered ID keeps its data
  EXPECT_EQ(w.StatusPanel->text(), QStringLiteral("2件のデータがあります"));

  // Cancelling the group question, or a file that is not there, adds nothing.
  dialogs_.openFiles = {{QDir(ZelvoFolder()).filePath("other.lst")}, {path}};
  w.Convert1Click();
  w.Convert1Click();
  EXPECT_EQ(w.RootNode()->Count(), 2);
  EXPECT_EQ(dialogs_.unanswered, 1);
}

TEST_F(FolderTest, ExportWritesTheListAsShown) {
  TMainForm& w = OpenWithData();
  TTreeNode* log = AddFolder("/logs/a.log", {{"ABC12345", "seen"}, {"NEW00001", FromUtf8("新人")}});
  Select(log);
  w.HeaderControl1SectionClick(1);  // by ID: ABC12345 first
  const QString out = QDir(ZelvoFolder()).filePath("list.txt");
  dialogs_.saveFiles = {out};
  w.Export1Click();
  const std::string expected = "ABC12345\talpha\tB\t\t2026/ 1/ 1\t2026/ 2/ 3\t\r\nNEW00001\t" + FromUtf8("新人") +
                               "\t\t\t\t\t\r\n";
  EXPECT_EQ(ReadFile(out).toStdString(), expected);
  dialogs_.saveFiles.clear();
  w.Export1Click();  // cancelled
  EXPECT_EQ(dialogs_.unanswered, 1);
  // A name typed without an extension gets ".txt"; one with an extension keeps it.
  dialogs_.saveFiles = {QDir(ZelvoFolder()).filePath("bare"), QDir(ZelvoFolder()).filePath("list.csv")};
  w.Export1Click();
  w.Export1Click();
  EXPECT_EQ(ReadFile(QDir(ZelvoFolder()).filePath("bare.txt")).toStdString(), expected);
  EXPECT_FALSE(QFileInfo::exists(QDir(ZelvoFolder()).filePath("bare")));
  EXPECT_EQ(ReadFile(QDir(ZelvoFolder()).filePath("list.csv")).toStdString(), expected);
}

TEST_F(FolderTest, CopyAndEditItemsOfTheListPopup) {
  TMainForm& w = OpenWithData();
  TTreeNode* log = AddFolder("/logs/a.log", {{"ABC12345", "seen"}, {"NEW00001", FromUtf8("新人")}});
  Select(log);
  w.HeaderControl1SectionClick(1);
  SelectAllRows();
  w.Copy1Click();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("ABC12345\talpha\nNEW00001\t新人\n"));

  w.IDView->SetItemIndex(0);
  w.CloseEditClick();
  EXPECT_FALSE(w.ShowDataView->isChecked());
  w.Edit1Click();
  EXPECT_TRUE(w.ShowDataView->isChecked());
  EXPECT_EQ(w.IDEdit->text(), QStringLiteral("ABC12345"));
}

}  // namespace
