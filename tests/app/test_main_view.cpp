// Layout, menus and view commands of the main window.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include "MainFormFixture.h"
#include "app/TreeModel.h"
#include "common/Cp932.h"
#include "controls/widgets/AlignLayout.h"
#include "controls/widgets/ListGridWidget.h"
#include "controls/widgets/Separate.h"
#include "iddb/PickEngine.h"
#include "support/Support.h"

namespace {

using quillet::FromUtf8;

TEST_F(MainFormTest, ControlsStandWhereTheDesignPutsThem) {
  TMainForm& w = Open();
  EXPECT_EQ(w.Separater1->x(), w.TreeView->width());
  EXPECT_EQ(w.Separater1->width(), 4);
  EXPECT_EQ(w.Separater1->Kind(), dkHorizontal);
  EXPECT_EQ(w.Separater2->Kind(), dkVertical);
  EXPECT_EQ(w.Separater2->y(), w.IDViewPanel->height());
  EXPECT_EQ(w.Separater2->height(), 4);
  EXPECT_EQ(w.StatusPanel->height(), 18);
  EXPECT_EQ(w.HeaderControl1->height(), 17);
  EXPECT_EQ(w.IDView->ItemHeight(), 16);
  EXPECT_EQ(w.IDView->ColCount(), 8);
  EXPECT_EQ(w.IDView->SortMode(), smManual);
  QStringList titles;
  for (int i = 0; i < 8; ++i) titles << w.HeaderControl1->model()->headerData(i, Qt::Horizontal).toString();
  EXPECT_EQ(titles, (QStringList{" ", "ID", "ﾊﾝﾄﾞﾙ", "ｸﾞﾙｰﾌﾟ", "ﾆｯｸﾈｰﾑ", "登録日時", "更新日時", "ﾒﾓ"}));

  EXPECT_EQ(w.IDEdit->geometry(), QRect(64, 32, 121, 20));
  EXPECT_EQ(w.GroupEdit->pos(), QPoint(272, 32));
  EXPECT_EQ(w.HandleEdit->geometry(), QRect(64, 56, 145, 20));
  EXPECT_EQ(w.AliasEdit->geometry(), QRect(272, 56, 137, 20));
  EXPECT_EQ(w.MemoEdit->geometry(), QRect(64, 80, 345, 20));
  EXPECT_EQ(w.AutoRegist->geometry(), QRect(16, 112, 209, 17));
  EXPECT_EQ(w.AutoRegist->text(), QStringLiteral("自動的にPage/Send送信を登録(&W)"));
  EXPECT_EQ(w.IDSearch->geometry(), QRect(0, 0, 49, 17));
  EXPECT_EQ(w.Modify->geometry(), QRect(48, 0, 49, 17));
  EXPECT_EQ(w.CloseEdit->geometry(), QRect(96, 0, 49, 17));
  EXPECT_EQ(w.IDLabel->buddy(), w.IDEdit);
  EXPECT_EQ(w.MemoLabel->text(), QStringLiteral("ﾒﾓ(&M)"));
  EXPECT_EQ(w.PageControl1->tabText(0), QStringLiteral("詳細ﾒﾓ"));
  EXPECT_EQ(w.PageControl1->tabText(1), QStringLiteral("ﾌﾟﾛﾌｨｰﾙ"));
  EXPECT_EQ(w.PageControl1->currentIndex(), 0);
  // Tab order through the editor.
  QWidget* chain[] = {w.IDEdit, w.GroupEdit, w.HandleEdit, w.AliasEdit, w.MemoEdit, w.AutoRegist, w.IDSearch};
  std::vector<QWidget*> order;
  QWidget* at = w.IDEdit;
  for (int step = 0; step < 500 && order.size() < std::size(chain); ++step, at = at->nextInFocusChain())
    if (std::find(std::begin(chain), std::end(chain), at) != std::end(chain) &&
        std::find(order.begin(), order.end(), at) == order.end())
      order.push_back(at);
  EXPECT_EQ(order, std::vector<QWidget*>(std::begin(chain), std::end(chain)));
}

// In the narrow tree a log's node shows its file name first; the whole path is in the tooltip,
// and a long name scrolls sideways rather than being cut short.
TEST_F(MainFormTest, LogNodesShowTheirFileNameFirst) {
  TMainForm& w = Open();
  const std::string path = QDir::homePath().toStdString() + "/logs/a-rather-long-folder-name/forum.log";
  TTreeNode* log = AddFolder(path, {});
  TTreeNode* room = w.Nodes().AddChild(log, FromUtf8("フォーラム(FGOLF)"));
  w.TreeView->expandAll();
  QApplication::processEvents();
  const QModelIndex index = w.TreeModel().IndexOf(log);
  EXPECT_EQ(index.data(Qt::DisplayRole).toString(),
            QStringLiteral("forum.log (~/logs/a-rather-long-folder-name)"));
  EXPECT_EQ(index.data(Qt::ToolTipRole).toString(), QString::fromStdString(path));
  EXPECT_EQ(index.data(Qt::EditRole).toString(), QString::fromStdString(path));
  EXPECT_EQ(log->Text(), path);  // the node's own text is untouched
  // Other nodes show their text as it is.
  EXPECT_EQ(w.TreeModel().IndexOf(room).data().toString(), QStringLiteral("フォーラム(FGOLF)"));
  EXPECT_EQ(w.TreeModel().IndexOf(room).data(Qt::ToolTipRole).toString(), QStringLiteral("フォーラム(FGOLF)"));
  EXPECT_EQ(w.TreeModel().IndexOf(w.RootNode()).data().toString(), QStringLiteral("NIFTY SERVE"));
  EXPECT_EQ(w.TreeView->width(), 121);
  // The column is fitted to its texts shortly after the change.
  EXPECT_TRUE(testsupport::RunUntil([&] { return w.TreeView->horizontalScrollBar()->maximum() > 0; }, 2000));
}

// Where a drop would do nothing the drag is refused, so the pointer says so before the drop.
TEST_F(MainFormTest, DragIsRefusedWhereADropWouldDoNothing) {
  TMainForm& w = Open();
  TTreeNode* log = AddFolder("/logs/a.log", {});
  TTreeNode* room = w.Nodes().AddChild(log, FromUtf8("会議室"));
  TTreeNode* other = AddFolder("/logs/b.log", {});
  EXPECT_TRUE(w.DropWouldAct(w.IDView, w.RegistNode->Item(0)));  // IDs go onto any node
  EXPECT_FALSE(w.DropWouldAct(w.IDView, nullptr));               // but not beside the nodes
  Select(log);  // a folder: onto other folders, not into itself nor among the groups
  EXPECT_TRUE(w.DropWouldAct(w.TreeView, other));
  for (TTreeNode* node : {log, room, w.RegistNode, w.RegistNode->Item(0)})
    EXPECT_FALSE(w.DropWouldAct(w.TreeView, node)) << node->Text();
  Select(w.RegistNode);  // never moved
  EXPECT_FALSE(w.DropWouldAct(w.TreeView, other));
}

TEST_F(MainFormTest, MenusCaptionsShortcutsAndFixedEnabling) {
  TMainForm& w = Open();
  EXPECT_EQ(w.ScaleTreeView->text(), QStringLiteral("ﾂﾘｰﾋﾞｭｰを拡大(&T)"));
  EXPECT_EQ(w.ScaleTreeView->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
  EXPECT_EQ(w.ShowDataView->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_W));
  EXPECT_EQ(w.New1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
  EXPECT_EQ(w.Create1->shortcut(), QKeySequence(Qt::Key_Insert));
  EXPECT_EQ(w.Collect1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_J));
  EXPECT_EQ(w.AutoRegist1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
  EXPECT_EQ(w.Collect2->text(), QStringLiteral("ｻﾌﾞﾌｫﾙﾀﾞに含まれるﾃﾞｰﾀすべてを収集(&L)"));
  EXPECT_TRUE(w.Export1->isEnabled());  // the export writes the list to a text file
  EXPECT_FALSE(w.Help1->isEnabled());
  EXPECT_TRUE(w.ChangeGroup->menuAction()->isVisible());
  QStringList groups;
  for (QAction* a : w.ChangeGroup->actions()) groups << a->text() + "=" + a->data().toString();
  EXPECT_EQ(groups, (QStringList{"(&A)グループＡ=1", "(&B)グループＢ=2", "(&C)グループＣ=3", "(&D)グループＤ=4",
                                 "(&E)ごみ箱=5"}));
  EXPECT_EQ(w.GroupEdit->itemText(4), QStringLiteral("(E)ごみ箱"));
}

TEST_F(MainFormTest, FolderCommandEnablingFollowsTheNodeKind) {
  TMainForm& w = Open();
  TTreeNode* folder = AddFolder("a.log", {});
  TTreeNode* room = w.Nodes().AddChild(folder, "room");
  room->SetIDSet(std::make_unique<TStringListWithHash>());
  ASSERT_TRUE(w.PickData().GroupMgr().AddGroup('F', "f"));
  TTreeNode* groupF = w.Nodes().AddChild(w.RegistNode, "(F)f");
  groupF->SetGroupCode('F');
  struct Expect {
    TTreeNode* node;
    bool remove, collect, deleteGroup, rename, edit;
  };
  const Expect cases[] = {
      {w.RootNode(), false, true, false, false, false},
      {w.RegistNode, false, true, false, false, false},
      {w.RegistNode->Item(0), false, false, false, true, false},  // group A is fixed
      {groupF, false, false, true, true, false},
      {folder, true, true, false, true, true},
      {room, true, false, false, true, true},
  };
  for (const Expect& c : cases) {
    Select(c.node);
    const std::string name = quillet::ToUtf8(c.node->Text());
    EXPECT_EQ(w.Delete2->isEnabled(), c.remove) << name;
    EXPECT_EQ(w.Delete3->isEnabled(), c.remove) << name;
    EXPECT_EQ(w.Collect1->isEnabled(), c.collect) << name;
    EXPECT_EQ(w.Collect2->isEnabled(), c.collect) << name;
    EXPECT_EQ(w.DeleteGroup1->isEnabled(), c.deleteGroup) << name;
    EXPECT_EQ(w.DeleteGroup2->isEnabled(), c.deleteGroup) << name;
    EXPECT_EQ(w.Rename1->isEnabled(), c.rename) << name;
    EXPECT_EQ(w.Rename2->isEnabled(), c.rename) << name;
    EXPECT_TRUE(w.Create1->isEnabled() && w.Search1->isEnabled() && w.AddGroup1->isEnabled());
    EXPECT_TRUE(w.Create2->isEnabled() && w.Search2->isEnabled() && w.AddGroup2->isEnabled() && w.New1->isEnabled());
    EXPECT_EQ(bool(w.TreeModel().flags(w.TreeModel().IndexOf(c.node)) & Qt::ItemIsEditable), c.edit) << name;
  }
}

TEST_F(MainFormTest, EnlargeCommandsRememberTheSizesBeforeTheFirst) {
  TMainForm& w = Open();
  w.ScaleTreeView->trigger();  // Ctrl+T
  EXPECT_TRUE(w.ScaleTreeView->isChecked());
  EXPECT_EQ(w.TreeView->width(), w.width() - 32);
  w.ScaleListView->trigger();  // Ctrl+L: unticks Ctrl+T, keeps the remembered sizes
  EXPECT_FALSE(w.ScaleTreeView->isChecked());
  EXPECT_TRUE(w.ScaleListView->isChecked());
  EXPECT_EQ(w.TreeView->width(), 32);
  EXPECT_EQ(w.IDViewPanel->height(), w.RightPanel->height() - 8);
  w.ScaleListView->trigger();
  EXPECT_FALSE(w.ScaleListView->isChecked());
  EXPECT_EQ(w.TreeView->width(), 121);
  EXPECT_EQ(w.IDViewPanel->height(), 113);

  w.ScaleDataView->trigger();
  EXPECT_EQ(w.TreeView->width(), 32);
  EXPECT_EQ(w.IDViewPanel->height(), 32);
  // Dragging a bar while an item is ticked: the panes stay where dragged, the tick goes.
  QTest::mousePress(w.Separater1, Qt::LeftButton, {}, QPoint(2, 10));
  QTest::mouseMove(w.Separater1, QPoint(62, 10));
  QTest::mouseRelease(w.Separater1, Qt::LeftButton, {}, QPoint(62, 10));
  EXPECT_FALSE(w.ScaleDataView->isChecked());
  EXPECT_EQ(w.TreeView->width(), 92);
  EXPECT_EQ(w.IDViewPanel->height(), 32);
  // The next enlarge remembers the dragged sizes.
  w.ScaleTreeView->trigger();
  w.ScaleTreeView->trigger();
  EXPECT_EQ(w.TreeView->width(), 92);
  EXPECT_EQ(w.IDViewPanel->height(), 32);
}

TEST_F(MainFormTest, ShowAndCloseTheEditor) {
  TMainForm& w = Open();
  // A right panel 301 high: half is 150, closed is 293.
  const int extra = 301 - w.RightPanel->height();
  w.resize(w.width(), w.height() + extra);
  ASSERT_EQ(w.RightPanel->height(), 301);
  EXPECT_TRUE(w.ShowDataView->isChecked());  // 113 < 293 after the first resize report
  w.CloseEdit->click();
  EXPECT_EQ(w.IDViewPanel->height(), 293);
  EXPECT_FALSE(w.ShowDataView->isChecked());
  w.ShowDataView->trigger();  // Ctrl+W
  EXPECT_TRUE(w.ShowDataView->isChecked());
  EXPECT_EQ(w.IDViewPanel->height(), 150);
  w.ShowDataView->trigger();
  EXPECT_FALSE(w.ShowDataView->isChecked());
  EXPECT_EQ(w.IDViewPanel->height(), 293);
  w.IDViewDblClick();
  EXPECT_EQ(w.IDViewPanel->height(), 150);
  EXPECT_TRUE(w.ShowDataView->isChecked());
  quillet::SetControlHeight(w.IDViewPanel, 100);
  w.IDViewDblClick();  // already smaller than half: stays
  EXPECT_EQ(w.IDViewPanel->height(), 100);
}

TEST_F(MainFormTest, PageControlFollowsTheEditorsSize) {
  TMainForm& w = Open();
  w.EditPanel->resize(300, 200);
  EXPECT_EQ(w.PageControl1->size(), QSize(360, 137));
  w.EditPanel->resize(500, 400);
  EXPECT_EQ(w.PageControl1->size(), QSize(480, 257));
}

TEST_F(MainFormTest, HeaderClicksSortAndReverse) {
  TMainForm& w = Open();
  TTreeNode* folder = AddFolder("f.log", {{"BBB00002", "b"}, {"CCC00003", "a"}, {"AAA00001", "c"}});
  Select(folder);
  auto click = [&](int section) {
    const int x = w.HeaderControl1->sectionViewportPosition(section) + 5;
    QTest::mouseClick(w.HeaderControl1->viewport(), Qt::LeftButton, {}, QPoint(x, 8));
  };
  click(1);
  EXPECT_EQ(w.IDView->SortColumn(), 1);
  EXPECT_EQ(Column(1), (std::vector<std::string>{"AAA00001", "BBB00002", "CCC00003"}));
  click(1);
  EXPECT_EQ(w.IDView->SortDir(), -1);
  EXPECT_EQ(Column(1), (std::vector<std::string>{"CCC00003", "BBB00002", "AAA00001"}));
  click(2);  // a new column keeps the direction
  EXPECT_EQ(w.IDView->SortColumn(), 2);
  EXPECT_EQ(Column(2), (std::vector<std::string>{"c", "b", "a"}));
  click(0);  // the marks column never sorts
  EXPECT_EQ(w.IDView->SortColumn(), 2);
  EXPECT_EQ(w.IDView->SortDir(), -1);
  // Resizing a section resizes the list's column and keeps the last one 9999 wide.
  w.HeaderControl1->resizeSection(3, 90);
  EXPECT_EQ(w.IDView->ColWidth(3), 89);
  w.HeaderControl1->resizeSection(7, 40);
  EXPECT_EQ(w.HeaderControl1->sectionSize(7), 9999);
}

TEST_F(MainFormTest, ListFollowsTheTreeSelectionByAnyKey) {
  TMainForm& w = Open();
  AddFolder("a.log", {{"AAA00001", "x"}});
  AddFolder("b.log", {{"BBB00001", "y"}, {"BBB00002", "z"}});
  w.TreeView->setFocus();
  // End selects the last visible node ("登録ID" sorts after the logs, then its groups).
  QTest::keyClick(w.TreeView, Qt::Key_Home);
  EXPECT_EQ(w.SelectedNode(), w.RootNode());
  QTest::keyClick(w.TreeView, Qt::Key_Down);
  EXPECT_EQ(w.SelectedNode()->Text(), "a.log");
  EXPECT_EQ(Column(1), std::vector<std::string>{"AAA00001"});
  QTest::keyClick(w.TreeView, Qt::Key_PageDown);
  EXPECT_NE(w.SelectedNode()->Text(), "a.log");
  EXPECT_EQ(w.StatusPanel->text(), QString::number(w.IDView->RowCount()) + QStringLiteral("件のデータがあります"));
  EXPECT_TRUE(Column(1).empty() || Column(1)[0] != "AAA00001");
  // A click on a node refreshes; a click on empty space changes nothing.
  const QModelIndex b = w.TreeModel().IndexOf(w.RootNode()->Item(1));
  QTest::mouseClick(w.TreeView->viewport(), Qt::LeftButton, {}, w.TreeView->visualRect(b).center());
  EXPECT_EQ(Column(1), (std::vector<std::string>{"BBB00002", "BBB00001"}));
  QTest::mouseClick(w.TreeView->viewport(), Qt::LeftButton, {}, QPoint(5, w.TreeView->viewport()->height() - 3));
  EXPECT_EQ(w.SelectedNode(), w.RootNode()->Item(1));
  EXPECT_EQ(w.IDView->RowCount(), 2);
}

}  // namespace

namespace {

TEST_F(MainFormTest, ShortcutsReachTheirCommands) {
  TMainForm& w = Open();
  QApplication::setActiveWindow(&w);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  w.TreeView->setFocus();
  QTest::keyClick(&w, Qt::Key_T, Qt::ControlModifier);
  EXPECT_TRUE(w.ScaleTreeView->isChecked());
  QTest::keyClick(&w, Qt::Key_T, Qt::ControlModifier);
  EXPECT_FALSE(w.ScaleTreeView->isChecked());
  EXPECT_EQ(w.TreeView->width(), 121);

  // The list's popup shortcuts work while the list has the focus: Del removes from the folder.
  TTreeNode* folder = AddFolder("f.log", {{"AAA00001", "a"}, {"BBB00002", "b"}});
  Select(folder);
  w.IDView->setFocus();
  w.IDView->SetItemIndex(0);
  QTest::keyClick(w.IDView, Qt::Key_Delete);
  EXPECT_EQ(w.IDView->RowCount(), 1);
  EXPECT_EQ(folder->IDSet()->Count(), 1);
  // Ctrl+A is the auto-registration command here, not "select all".
  AddFolder("g.log", {{"CCC00003", "c"}, {"DDD00004", "d"}});
  Select(w.RootNode()->Item(1));
  w.IDView->setFocus();
  w.IDView->SetItemIndex(1);
  QTest::keyClick(w.IDView, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(w.IDView->SelCount(), 1);
  // Ctrl+N opens an empty editor with the focus in the ID field.
  QTest::keyClick(w.IDView, Qt::Key_N, Qt::ControlModifier);
  EXPECT_TRUE(w.IDEdit->isEnabled());
  EXPECT_TRUE(w.IDEdit->hasFocus());
}

}  // namespace
