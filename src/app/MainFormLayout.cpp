// The window's controls, their layout and the view commands: enlarging panes, showing and
// closing the editor, the column header, and the list following the tree's selection.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

#include "app/Icons.h"
#include "app/MainForm.h"
#include "app/TreeModel.h"
#include "common/Clock.h"
#include "common/Cp932.h"
#include <algorithm>
#include "controls/widgets/AlignLayout.h"
#include "controls/widgets/ListGridWidget.h"
#include "controls/widgets/Separate.h"
#include "tree/MakeTree.h"

namespace {

QLabel* EditorLabel(QWidget* parent, const QString& caption, int left, int top, QWidget* buddy) {
  auto* label = new QLabel(caption, parent);
  label->move(left, top + 3);
  label->adjustSize();
  label->setBuddy(buddy);
  return label;
}

QFrame* Panel(QWidget* parent, bool lowered) {
  auto* panel = new QFrame(parent);
  if (lowered) {
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
  }
  return panel;
}

}  // namespace

void TMainForm::BuildControls() {
  setWindowTitle(QStringLiteral("くいれっと"));
  setFont(quillet::JapaneseFont(12));
  setGeometry(218, 123, 711, 519);

  auto* client = new QWidget(this);
  setCentralWidget(client);
  auto* dock = new TAlignLayout(client);

  // The root is part of the window's design; the tree is shown through a model over the core tree.
  nodes_.AddChild(nullptr, kTopNodeText)->SetImages(imgRoot, imgRootSelected);
  treeModel_ = new TTreeModel(nodes_);
  treeModel_->CanEdit = [this](const TTreeNode*) { return treeEditable_; };
  treeModel_->OnUnencodableText = [this](const QString& text) {
    dialogs_->Message(windowTitle(),
                      QStringLiteral("「%1」にはShift-JISで表せない文字があります。名前は変わりません。").arg(text),
                      quillet::Dialogs::Icon::Warning);
  };
  TreeView = new QTreeView;
  TreeView->setModel(treeModel_);
  TreeView->setHeaderHidden(true);
  TreeView->setIndentation(19);
  TreeView->setIconSize(QSize(16, 16));
  // Every row is one line with a 16-pixel icon. Saying so spares the view measuring each row's
  // text whenever rows come in: with thousands of file nodes that measuring took seconds.
  TreeView->setUniformRowHeights(true);
  TreeView->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  TreeView->setContextMenuPolicy(Qt::CustomContextMenu);
  // Long names scroll sideways instead of being cut short; each node's tooltip shows all of it.
  // The column is fitted to its texts at most every kTreeWidthEveryMs, not at every change: the
  // view measures up to a thousand rows each time, and an import of thousands of logs adds a
  // node per log.
  TreeView->setTextElideMode(Qt::ElideNone);
  TreeView->header()->setSectionResizeMode(QHeaderView::Fixed);
  TreeView->header()->setStretchLastSection(false);
  treeWidthTimer_ = new QTimer(this);
  treeWidthTimer_->setSingleShot(true);
  connect(treeWidthTimer_, &QTimer::timeout, this, [this] {
    treeWidthAt_ = quillet::MonotonicMs();
    TreeView->resizeColumnToContents(0);
  });
  auto fitTreeWidth = [this] {
    if (treeWidthTimer_->isActive()) return;
    const int64_t since = quillet::MonotonicMs() - treeWidthAt_;
    treeWidthTimer_->start(static_cast<int>(std::clamp<int64_t>(kTreeWidthEveryMs - since, 0, kTreeWidthEveryMs)));
  };
  connect(treeModel_, &QAbstractItemModel::rowsInserted, this, fitTreeWidth);
  connect(treeModel_, &QAbstractItemModel::rowsRemoved, this, fitTreeWidth);
  connect(treeModel_, &QAbstractItemModel::rowsMoved, this, fitTreeWidth);
  connect(treeModel_, &QAbstractItemModel::dataChanged, this, fitTreeWidth);
  connect(treeModel_, &QAbstractItemModel::layoutChanged, this, fitTreeWidth);
  connect(treeModel_, &QAbstractItemModel::modelReset, this, fitTreeWidth);
  connect(TreeView, &QTreeView::expanded, this, fitTreeWidth);
  connect(TreeView, &QTreeView::collapsed, this, fitTreeWidth);
  fitTreeWidth();
  TreeView->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  TreeView->resize(121, 100);
  TreeView->viewport()->installEventFilter(this);
  dock->addWidget(TreeView, TAlign::alLeft);
  connect(TreeView, &QTreeView::clicked, this, Guarded([this] { TreeViewClick(); }));
  connect(TreeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
          Guarded([this] { TreeViewSelectionChanged(); }));
  // When the selected node goes with a deleted subtree, its neighbour (or parent) is selected and
  // listed, so that the list never goes on showing a folder that no longer exists.
  connect(treeModel_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
          [this](const QModelIndex& parent, int first, int last) { NoteReselection(parent, first, last); });
  connect(treeModel_, &QAbstractItemModel::rowsRemoved, this, [this] { Reselect(); });

  Separater1 = new TSeparater;
  dock->addWidget(Separater1, TAlign::alLeft);

  StatusPanel = new QLabel;
  StatusPanel->setFrameShape(QFrame::Panel);
  StatusPanel->setFrameShadow(QFrame::Sunken);
  StatusPanel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  StatusPanel->resize(100, 18);
  dock->addWidget(StatusPanel, TAlign::alBottom);

  RightPanel = Panel(nullptr, false);
  dock->addWidget(RightPanel, TAlign::alClient);
  auto* right = new TAlignLayout(RightPanel);

  IDViewPanel = Panel(nullptr, true);
  IDViewPanel->resize(100, 113);
  IDViewPanel->installEventFilter(this);
  right->addWidget(IDViewPanel, TAlign::alTop);
  auto* listDock = new TAlignLayout(IDViewPanel);

  HeaderControl1 = new QHeaderView(Qt::Horizontal);
  headerModel_ = new QStandardItemModel(0, 8, this);
  headerModel_->setHorizontalHeaderLabels({QStringLiteral(" "), QStringLiteral("ID"), QStringLiteral("ﾊﾝﾄﾞﾙ"),
                                           QStringLiteral("ｸﾞﾙｰﾌﾟ"), QStringLiteral("ﾆｯｸﾈｰﾑ"),
                                           QStringLiteral("登録日時"), QStringLiteral("更新日時"),
                                           QStringLiteral("ﾒﾓ")});
  HeaderControl1->setModel(headerModel_);
  HeaderControl1->setFont(quillet::JapaneseFont(12, true));
  HeaderControl1->setSectionsClickable(true);
  HeaderControl1->setSectionsMovable(false);
  HeaderControl1->setStretchLastSection(false);
  HeaderControl1->setSortIndicatorShown(false);
  HeaderControl1->setMinimumSectionSize(0);
  HeaderControl1->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int section = 0; section < 8; ++section) {
    HeaderControl1->setSectionResizeMode(section, QHeaderView::Interactive);
    HeaderControl1->resizeSection(section, 50);
  }
  HeaderControl1->resize(100, 17);
  listDock->addWidget(HeaderControl1, TAlign::alTop);
  connect(HeaderControl1, &QHeaderView::sectionResized, this, Guarded([this] { HeaderControl1SectionResize(); }));
  connect(HeaderControl1, &QHeaderView::sectionClicked, this,
          [this](int section) { Run([&] { HeaderControl1SectionClick(section); }); });

  IDView = new TListGrid;
  IDView->SetColCount(8);
  IDView->SetItemHeight(16);
  IDView->SetMultiSelect(true);
  IDView->SetSortMode(smManual);
  IDView->setFrameShape(QFrame::NoFrame);
  listDock->addWidget(IDView, TAlign::alClient);
  IDView->OnClick = [this](TListGrid*) { Run([this] { IDViewClick(); }); };
  IDView->OnDblClick = [this](TListGrid*) { Run([this] { IDViewDblClick(); }); };
  IDView->OnDrawItem = [this](TListGrid* grid, int index, const QRect& rect, QStyle::State, QPainter& canvas) {
    Run([&] { IDViewDrawItem(grid, index, rect, canvas); });
  };

  Separater2 = new TSeparater;
  right->addWidget(Separater2, TAlign::alTop);
  Separater2->SetKind(dkVertical);

  EditPanel = new QScrollArea;
  EditPanel->setWidgetResizable(false);
  EditPanel->installEventFilter(this);
  right->addWidget(EditPanel, TAlign::alClient);
  BuildEditor();

  // Both bars: 4 thick, margins 2 and 5, each bound to the pane in front of it.
  for (TSeparater* bar : {Separater1, Separater2}) {
    bar->UpperMgn = 2;
    bar->LowerMgn = 5;
    bar->SetLineWidth(4);
    bar->OnEndDrag = [this](TSeparater* sender, int pos, int cg) { Run([&] { Separater1EndDrag(sender, pos, cg); }); };
  }
  Separater1->SetReSizeCtrl(TreeView);
  Separater2->SetReSizeCtrl(IDViewPanel);
}

void TMainForm::BuildEditor() {
  EditContent = new QWidget;
  EditPanel->setWidget(EditContent);
  QWidget* e = EditContent;

  IDEdit = new QLineEdit(e);
  IDEdit->setGeometry(64, 32, 121, 20);
  IDEdit->setEnabled(false);
  GroupEdit = new QComboBox(e);
  GroupEdit->setEditable(false);
  GroupEdit->setGeometry(272, 32, 137, 20);
  HandleEdit = new QLineEdit(e);
  HandleEdit->setGeometry(64, 56, 145, 20);
  AliasEdit = new QLineEdit(e);
  AliasEdit->setGeometry(272, 56, 137, 20);
  MemoEdit = new QLineEdit(e);
  MemoEdit->setGeometry(64, 80, 345, 20);
  AutoRegist = new QCheckBox(QStringLiteral("自動的にPage/Send送信を登録(&W)"), e);
  AutoRegist->setGeometry(16, 112, 209, 17);

  IDLabel = EditorLabel(e, QStringLiteral("ID(&I)"), 8, 32, IDEdit);
  GroupLabel = EditorLabel(e, QStringLiteral("ｸﾞﾙｰﾌﾟ(&G)"), 216, 32, GroupEdit);
  HandleLabel = EditorLabel(e, QStringLiteral("ﾊﾝﾄﾞﾙ(&H)"), 8, 56, HandleEdit);
  AliasLabel = EditorLabel(e, QStringLiteral("ﾆｯｸﾈｰﾑ(&N)"), 216, 56, AliasEdit);
  MemoLabel = EditorLabel(e, QStringLiteral("ﾒﾓ(&M)"), 8, 80, MemoEdit);

  ButtonPanel = new QFrame(e);
  ButtonPanel->setGeometry(0, 0, 409, 17);
  auto button = [&](const QString& caption, int left) {
    auto* b = new QPushButton(caption, ButtonPanel);
    b->setFlat(true);
    b->setGeometry(left, 0, 49, 17);
    return b;
  };
  IDSearch = button(QStringLiteral("ID検索"), 0);
  Modify = button(QStringLiteral("更新"), 48);
  CloseEdit = button(QStringLiteral("閉じる"), 96);
  IDSearch->setEnabled(false);
  Modify->setEnabled(false);

  PageControl1 = new QTabWidget(e);
  PageControl1->setGeometry(8, 136, 401, 193);
  TabSheet2 = new QWidget;
  TabSheet1 = new QWidget;
  Memo2Edit = new QPlainTextEdit(TabSheet2);
  ProfileEdit = new QPlainTextEdit(TabSheet1);
  for (auto [sheet, edit] : {std::pair{TabSheet2, Memo2Edit}, std::pair{TabSheet1, ProfileEdit}}) {
    auto* fill = new TAlignLayout(sheet);
    fill->addWidget(edit, TAlign::alClient);
  }
  PageControl1->addTab(TabSheet2, QStringLiteral("詳細ﾒﾓ"));
  PageControl1->addTab(TabSheet1, QStringLiteral("ﾌﾟﾛﾌｨｰﾙ"));
  PageControl1->setCurrentIndex(0);
  e->resize(409, 329);

  QWidget::setTabOrder(IDEdit, GroupEdit);
  QWidget::setTabOrder(GroupEdit, HandleEdit);
  QWidget::setTabOrder(HandleEdit, AliasEdit);
  QWidget::setTabOrder(AliasEdit, MemoEdit);
  QWidget::setTabOrder(MemoEdit, AutoRegist);
  QWidget::setTabOrder(AutoRegist, IDSearch);
  QWidget::setTabOrder(IDSearch, Modify);
  QWidget::setTabOrder(Modify, CloseEdit);
  QWidget::setTabOrder(CloseEdit, PageControl1);

  auto changed = Guarded([this] { GroupEditChange(); });
  connect(IDEdit, &QLineEdit::textChanged, this, Guarded([this] { IDEditChange(); }));
  connect(GroupEdit, &QComboBox::currentIndexChanged, this, changed);
  for (QLineEdit* edit : {HandleEdit, AliasEdit, MemoEdit}) connect(edit, &QLineEdit::textChanged, this, changed);
  connect(AutoRegist, &QCheckBox::toggled, this, changed);
  connect(Memo2Edit, &QPlainTextEdit::textChanged, this, changed);
  connect(ProfileEdit, &QPlainTextEdit::textChanged, this, changed);
  // The data file holds at most 40 bytes of a handle: the field takes no more, and says so.
  HandleEdit->setToolTip(QStringLiteral("ﾊﾝﾄﾞﾙは40ﾊﾞｲﾄ(全角20文字)までです"));
  connect(HandleEdit, &QLineEdit::textEdited, this, [this](const QString& text) {
    std::string sjis;
    if (!quillet::TryFromUtf8(text.toStdString(), sjis) || sjis.size() <= 40) return;
    QString cut = text;
    while (!cut.isEmpty() && (!quillet::TryFromUtf8(cut.toStdString(), sjis) || sjis.size() > 40)) cut.chop(1);
    const int cursor = std::min<int>(HandleEdit->cursorPosition(), cut.size());
    HandleEdit->setText(cut);
    HandleEdit->setCursorPosition(cursor);
    StatusPanel->setText(QStringLiteral("ﾊﾝﾄﾞﾙは40ﾊﾞｲﾄ(全角20文字)までです。それを超える部分は入力できません"));
  });
  connect(IDSearch, &QPushButton::clicked, this, Guarded([this] { IDSearchClick(); }));
  connect(Modify, &QPushButton::clicked, this, Guarded([this] { ModifyClick(); }));
  connect(CloseEdit, &QPushButton::clicked, this, Guarded([this] { CloseEditClick(); }));
}

// --- sizes ------------------------------------------------------------------------------------

void TMainForm::SetTreeWidth(int width) { quillet::SetControlWidth(TreeView, width); }

void TMainForm::SetListPaneHeight(int height) {
  quillet::SetControlHeight(IDViewPanel, height);
  IDViewPanelResize();
}

// --- enlarge commands -------------------------------------------------------------------------

void TMainForm::ApplyScale(QAction* command) {
  QAction* commands[] = {ScaleTreeView, ScaleListView, ScaleDataView};
  command->setChecked(!command->isChecked());
  QWidget* focus = command == ScaleTreeView ? static_cast<QWidget*>(TreeView)
                   : command == ScaleListView ? static_cast<QWidget*>(IDView)
                                              : static_cast<QWidget*>(EditPanel);
  if (command->isChecked()) {
    bool otherTicked = false;
    for (QAction* other : commands)
      if (other != command && other->isChecked()) otherTicked = true;
    if (otherTicked) {
      // Keep the sizes remembered before the first enlarge.
      for (QAction* other : commands)
        if (other != command) other->setChecked(false);
    } else {
      SavedTreeWidth = TreeView->width();
      SavedIDHeight = IDViewPanel->height();
    }
    if (command == ScaleTreeView) {
      SetTreeWidth(width() - 32);
    } else if (command == ScaleListView) {
      SetTreeWidth(32);
      SetListPaneHeight(RightPanel->height() - 8);
    } else {
      SetTreeWidth(32);
      SetListPaneHeight(32);
    }
  } else {
    SetListPaneHeight(SavedIDHeight);
    SetTreeWidth(SavedTreeWidth);
  }
  focus->setFocus();
}

void TMainForm::ScaleTreeViewClick() { ApplyScale(ScaleTreeView); }
void TMainForm::ScaleListViewClick() { ApplyScale(ScaleListView); }
void TMainForm::ScaleDataViewClick() { ApplyScale(ScaleDataView); }

void TMainForm::Separater1EndDrag(TSeparater*, int, int) {
  ScaleTreeView->setChecked(false);
  ScaleListView->setChecked(false);
  ScaleDataView->setChecked(false);
}

// --- the editor's visibility --------------------------------------------------------------------

void TMainForm::ShowDataViewClick() {
  ShowDataView->setChecked(!ShowDataView->isChecked());
  if (ShowDataView->isChecked()) {
    SetListPaneHeight(RightPanel->height() / 2);
    EditPanel->setFocus();
  } else {
    SetListPaneHeight(RightPanel->height() - 8);
    IDView->setFocus();
  }
}

void TMainForm::CloseEditClick() {
  SetListPaneHeight(RightPanel->height() - 8);
  ShowDataView->setChecked(false);
  IDView->setFocus();
}

void TMainForm::IDViewDblClick() {
  const int half = RightPanel->height() / 2;
  if (half < IDViewPanel->height()) SetListPaneHeight(half);
  ShowDataView->setChecked(true);
  EditPanel->setFocus();
}

void TMainForm::IDViewPanelResize() {
  if (ShowDataView) ShowDataView->setChecked(IDViewPanel->height() < RightPanel->height() - 8);
}

void TMainForm::EditPanelResize() {
  const int wider = std::max(0, EditPanel->width() - 380);
  const int taller = std::max(0, EditPanel->height() - 280);
  PageControl1->resize(360 + wider, 137 + taller);
  // The scroll box's contents reach to the page control's corner; the button bar spans them.
  const QRect pages = PageControl1->geometry();
  EditContent->resize(std::max(409, pages.right() + 1), std::max(pages.bottom() + 1, 100));
  ButtonPanel->resize(EditContent->width(), ButtonPanel->height());
}

// Panels report their resizes here, as the toolkit's resize events of those controls.
bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize) {
    if (watched == IDViewPanel) Run([this] { IDViewPanelResize(); });
    if (watched == EditPanel) Run([this] { EditPanelResize(); });
  } else if (event->type() == QEvent::MouseButtonPress && TreeView && watched == TreeView->viewport()) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    Run([&] { TreeViewMouseDown(mouse->position().toPoint()); });
  }
  return QMainWindow::eventFilter(watched, event);
}

// --- column header ------------------------------------------------------------------------------

void TMainForm::HeaderControl1SectionResize() {
  const int last = HeaderControl1->count() - 1;
  if (HeaderControl1->sectionSize(last) != 9999) {
    const QSignalBlocker quiet(HeaderControl1);
    HeaderControl1->resizeSection(last, 9999);
  }
  for (int column = 0; column < 8; ++column) IDView->SetColWidth(column, HeaderControl1->sectionSize(column) - 1);
}

void TMainForm::HeaderControl1SectionClick(int section) {
  if (section == 0 && !section0Clickable_) return;
  IDView->BeginUpdate();
  if (section == IDView->SortColumn())
    IDView->SetSortDir(-IDView->SortDir());
  else
    IDView->SetSortColumn(section);
  IDView->EndUpdate();
}

// --- the list follows the tree --------------------------------------------------------------------

TTreeNode* TMainForm::SelectedNode() const {
  return (TreeView && treeModel_) ? treeModel_->NodeOf(TreeView->currentIndex()) : nullptr;
}

void TMainForm::SelectNode(TTreeNode* node) {
  followSelection_ = false;
  TreeView->setCurrentIndex(treeModel_->IndexOf(node));
  followSelection_ = true;
}

void TMainForm::TreeViewMouseDown(const QPoint& pos) {
  const QModelIndex index = TreeView->indexAt(pos);
  // On a node means on its icon or label, not on the expand button or the empty part of the row.
  ClickOnItem = index.isValid() && TreeView->visualRect(index).contains(pos);
  refreshedSincePress_ = false;
}

void TMainForm::TreeViewClick() {
  if (ClickOnItem && !refreshedSincePress_) RefreshIDView();
  ClickOnItem = false;
}

// Any change of the selected node, by click or by any key, shows that node's IDs: the list and
// its commands must never act on one folder while another is selected.
void TMainForm::TreeViewSelectionChanged() {
  if (!followSelection_ || destroyed_) return;
  RefreshIDView();
  refreshedSincePress_ = true;
}

void TMainForm::NoteReselection(const QModelIndex& parent, int first, int last) {
  if (destroyed_) return;
  for (QModelIndex at = TreeView->currentIndex(); at.isValid(); at = at.parent()) {
    if (at.parent() != parent || at.row() < first || at.row() > last) continue;
    TTreeNode* parentNode = treeModel_->NodeOf(parent);
    const int count = treeModel_->rowCount(parent);
    TTreeNode* next = nullptr;
    if (last + 1 < count)
      next = treeModel_->NodeOf(treeModel_->index(last + 1, 0, parent));
    else if (first > 0)
      next = treeModel_->NodeOf(treeModel_->index(first - 1, 0, parent));
    reselect_ = next ? next : parentNode;
    return;
  }
}

void TMainForm::Reselect() {
  TTreeNode* node = reselect_;
  reselect_ = nullptr;
  if (node && !destroyed_ && SelectedNode() != node)
    Run([&] { TreeView->setCurrentIndex(treeModel_->IndexOf(node)); });
}
