// The main menu, the two popup menus, the enabling of the folder commands, and the commands that
// only open something.
#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QTreeView>

#include "app/MainForm.h"
#include "app/TreeModel.h"
#include "app/Version.h"
#include "controls/widgets/ListGridWidget.h"

namespace {

QAction* Item(QMenu* menu, const QString& caption, const QKeySequence& shortcut = {}) {
  QAction* action = menu->addAction(caption);
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  return action;
}

}  // namespace

void TMainForm::BuildMenus() {
  QMenuBar* bar = menuBar();
  FileMenu = bar->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
  Import1 = Item(FileMenu, QStringLiteral("ﾛｸﾞからのｲﾝﾎﾟｰﾄ(&I)"));
  ImportFolder1 = Item(FileMenu, QStringLiteral("ﾌｫﾙﾀﾞからのｲﾝﾎﾟｰﾄ(&D)"));
  Convert1 = Item(FileMenu, QStringLiteral("他ｿﾌﾄからのｲﾝﾎﾟｰﾄ(&C)"));
  Export1 = Item(FileMenu, QStringLiteral("ﾃｷｽﾄﾌｧｲﾙへのｴｸｽﾎﾟｰﾄ(&E)"));
  Export1->setEnabled(false);
  FileMenu->addSeparator();
  Exit1 = Item(FileMenu, QStringLiteral("終了(&X)"));

  ViewMenu = bar->addMenu(QStringLiteral("表示(&V)"));
  ScaleTreeView = Item(ViewMenu, QStringLiteral("ﾂﾘｰﾋﾞｭｰを拡大(&T)"), QKeySequence(Qt::CTRL | Qt::Key_T));
  ScaleListView = Item(ViewMenu, QStringLiteral("ﾘｽﾄﾋﾞｭｰを拡大(&L)"), QKeySequence(Qt::CTRL | Qt::Key_L));
  ScaleDataView = Item(ViewMenu, QStringLiteral("ﾃﾞｰﾀﾋﾞｭｰを拡大(&D)"), QKeySequence(Qt::CTRL | Qt::Key_D));
  ShowDataView = Item(ViewMenu, QStringLiteral("ﾃﾞｰﾀﾋﾞｭｰを表示(&W)"), QKeySequence(Qt::CTRL | Qt::Key_W));

  FolderMenu = bar->addMenu(QStringLiteral("ﾌｫﾙﾀﾞ(&O)"));
  Create2 = Item(FolderMenu, QStringLiteral("作成(&M)"));
  Delete3 = Item(FolderMenu, QStringLiteral("削除(&D)"));
  Rename2 = Item(FolderMenu, QStringLiteral("名前を変更(&R)"));

  DataMenu = bar->addMenu(QStringLiteral("ﾃﾞｰﾀ(&D)"));
  New1 = Item(DataMenu, QStringLiteral("新規登録(&N)"), QKeySequence(Qt::CTRL | Qt::Key_N));
  Search2 = Item(DataMenu, QStringLiteral("検索(&F)"));
  AddGroup2 = Item(DataMenu, QStringLiteral("ｸﾞﾙｰﾌﾟの追加(&A)"));
  DeleteGroup2 = Item(DataMenu, QStringLiteral("ｸﾞﾙｰﾌﾟの削除(&D)"));
  Collect2 = Item(DataMenu, QStringLiteral("ｻﾌﾞﾌｫﾙﾀﾞに含まれるﾃﾞｰﾀすべてを収集(&L)"));

  OtherMenu = bar->addMenu(QStringLiteral("その他(&O)"));
  Help1 = Item(OtherMenu, QStringLiteral("ﾍﾙﾌﾟ(&H)"));
  Help1->setEnabled(false);
  Version1 = Item(OtherMenu, QStringLiteral("ﾊﾞｰｼﾞｮﾝ(&V)"));

  // The tree's popup; its shortcuts work while the tree has the focus.
  PopupMenu2 = new QMenu(this);
  Create1 = Item(PopupMenu2, QStringLiteral("ﾌｫﾙﾀﾞを作成(&N)"), QKeySequence(Qt::Key_Insert));
  Delete2 = Item(PopupMenu2, QStringLiteral("ﾌｫﾙﾀﾞを削除(&D)"), QKeySequence(Qt::Key_Delete));
  AddGroup1 = Item(PopupMenu2, QStringLiteral("ｸﾞﾙｰﾌﾟを追加(&A)"), QKeySequence(Qt::CTRL | Qt::Key_I));
  DeleteGroup1 = Item(PopupMenu2, QStringLiteral("ｸﾞﾙｰﾌﾟを削除(&D)"), QKeySequence(Qt::CTRL | Qt::Key_K));
  Rename1 = Item(PopupMenu2, QStringLiteral("名前を変更(&R)"), QKeySequence(Qt::CTRL | Qt::Key_R));
  PopupMenu2->addSeparator();
  Search1 = Item(PopupMenu2, QStringLiteral("ﾌｫﾙﾀﾞ内を検索(&S)"), QKeySequence(Qt::CTRL | Qt::Key_S));
  Collect1 = Item(PopupMenu2, QStringLiteral("ｻﾌﾞﾌｫﾙﾀﾞに含まれるﾃﾞｰﾀすべてを収集(&L)"), QKeySequence(Qt::CTRL | Qt::Key_J));
  for (QAction* a : PopupMenu2->actions()) {
    a->setEnabled(false);  // until the first list refresh
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    TreeView->addAction(a);
  }
  connect(TreeView, &QTreeView::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu2->popup(TreeView->viewport()->mapToGlobal(pos)); });

  // The list's popup.
  PopupMenu1 = new QMenu(this);
  ChangeGroup = PopupMenu1->addMenu(QStringLiteral("グループの変更(&G)"));
  ChangeGroup->menuAction()->setVisible(false);  // shown by the first group menu rebuild
  Copy1 = Item(PopupMenu1, QStringLiteral("コピー(&C)"));
  SearchLog1 = Item(PopupMenu1, QStringLiteral("ログからの検索(&S)"));
  Delete1 = Item(PopupMenu1, QStringLiteral("削除(&D)"), QKeySequence(Qt::Key_Delete));
  Delete1->setData(100);
  Edit1 = Item(PopupMenu1, QStringLiteral("データの編集(&E)"), QKeySequence(Qt::CTRL | Qt::Key_E));
  Edit1->setData(101);
  AutoRegist1 = Item(PopupMenu1, QStringLiteral("PAGE/SENDの自動登録(&A)"), QKeySequence(Qt::CTRL | Qt::Key_A));
  AutoRegist1->setData(102);
  AutoRegist1->setCheckable(true);
  for (QAction* a : {Delete1, Edit1, AutoRegist1}) {
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    IDView->addAction(a);
    connect(a, &QAction::triggered, this, [this, a] { Run([&] { MenuClick(a); }); });
  }
  IDView->PopupMenu = PopupMenu1;
  connect(PopupMenu1, &QMenu::aboutToShow, this, Guarded([this] { PopupMenu1Popup(); }));

  // Tick items: the handlers tick and untick themselves, as the commands' rules say.
  for (QAction* a : {ScaleTreeView, ScaleListView, ScaleDataView, ShowDataView}) a->setCheckable(true);
  auto tick = [this](QAction* action, void (TMainForm::*handler)()) {
    connect(action, &QAction::triggered, this, [this, action, handler](bool checked) {
      action->setChecked(!checked);  // undo the toolkit's own toggle
      Run([&] { (this->*handler)(); });
    });
  };
  tick(ScaleTreeView, &TMainForm::ScaleTreeViewClick);
  tick(ScaleListView, &TMainForm::ScaleListViewClick);
  tick(ScaleDataView, &TMainForm::ScaleDataViewClick);
  tick(ShowDataView, &TMainForm::ShowDataViewClick);

  auto command = [this](QAction* action, void (TMainForm::*handler)()) {
    connect(action, &QAction::triggered, this, [this, handler] { Run([&] { (this->*handler)(); }); });
  };
  command(Import1, &TMainForm::Import1Click);
  command(ImportFolder1, &TMainForm::ImportFolder1Click);
  command(Convert1, &TMainForm::Convert1Click);
  command(Exit1, &TMainForm::Exit1Click);
  command(Create1, &TMainForm::Create1Click);
  command(Create2, &TMainForm::Create1Click);
  command(Delete2, &TMainForm::Delete2Click);
  command(Delete3, &TMainForm::Delete2Click);
  command(Rename1, &TMainForm::Rename1Click);
  command(Rename2, &TMainForm::Rename1Click);
  command(New1, &TMainForm::New1Click);
  command(Search1, &TMainForm::Search1Click);
  command(Search2, &TMainForm::Search1Click);
  command(AddGroup1, &TMainForm::AddGroup1Click);
  command(AddGroup2, &TMainForm::AddGroup1Click);
  command(DeleteGroup1, &TMainForm::DeleteGroup1Click);
  command(DeleteGroup2, &TMainForm::DeleteGroup1Click);
  command(Collect1, &TMainForm::Collect1Click);
  command(Collect2, &TMainForm::Collect1Click);
  command(Version1, &TMainForm::Version1Click);
}

uint8_t TMainForm::NodeType(const TTreeNode* node) const {
  return TCheckNodeType(RootNode(), RegistNode).NodeType(node);
}

// Set by every list refresh from the kind of the selected node.
void TMainForm::SetFolderCommandEnabling() {
  const TTreeNode* node = SelectedNode();
  if (!node) return;
  const uint8_t kind = NodeType(node);
  Create1->setEnabled(true);
  Delete2->setEnabled(kind == ntFolder);
  Delete3->setEnabled(Delete2->isEnabled());
  Collect1->setEnabled(kind != ntGroup && node->Count() > 0);
  Collect2->setEnabled(Collect1->isEnabled());
  Search1->setEnabled(true);
  AddGroup1->setEnabled(true);
  DeleteGroup1->setEnabled(kind == ntGroup && !IsFixedGroup(static_cast<char>(node->GroupCode())));
  DeleteGroup2->setEnabled(DeleteGroup1->isEnabled());
  Rename1->setEnabled(kind == ntGroup || kind == ntFolder);
  Rename2->setEnabled(Rename1->isEnabled());
}

void TMainForm::Version1Click() {
  TVersionForm form(this);
  dialogs_->Modal(form);
}
