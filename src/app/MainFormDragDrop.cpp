// Drag and drop: IDs dragged from the list onto a folder of the tree (a group change on the
// group nodes under "登録ID", a copy anywhere else), and folders dragged within the tree.
#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>

#include "app/GuiInterface.h"
#include "app/MainForm.h"
#include "app/TreeModel.h"
#include "common/Cp932.h"
#include "common/QtText.h"
#include "controls/widgets/ListGridWidget.h"
#include "iddb/PickEngine.h"

namespace {

using quillet::Unicode;

// What a drag from the list carries: nothing but the fact; the rows are the list's selection.
constexpr const char* kIDsMime = "application/x-quillet-ids";

// What the pointer carries while IDs are dragged: the IDs themselves, a few lines of them.
QPixmap IDsPicture(const QStringList& ids, const QFont& font, const QPalette& palette) {
  constexpr int kShown = 8;
  QStringList lines = ids.mid(0, kShown);
  if (ids.size() > kShown) lines << QStringLiteral("…他%1件").arg(ids.size() - kShown);
  const QFontMetrics metrics(font);
  int width = 0;
  for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
  const int lineHeight = metrics.height();
  QPixmap picture(width + 8, lineHeight * static_cast<int>(lines.size()) + 4);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  QColor background = palette.color(QPalette::Highlight);
  background.setAlpha(200);
  painter.fillRect(picture.rect(), background);
  painter.setPen(palette.color(QPalette::HighlightedText));
  painter.setFont(font);
  for (int i = 0; i < lines.size(); ++i)
    painter.drawText(QRect(4, 2 + i * lineHeight, width, lineHeight), Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
  return picture;
}

}  // namespace

// Starts a drag when the mouse moves over the list with the button held, and lets the tree take
// drops from the list and from itself. While something is dragged over the tree, the node under
// the pointer is highlighted, the tree scrolls when the pointer rests near its top or bottom edge,
// a closed node opens when the pointer stays on it for a second, and where a drop would do nothing
// the drag is refused, so the pointer shows so.
class TMainForm::TDragDropFilter : public QObject {
 public:
  static constexpr int kScrollMargin = 16;     // pixels from the tree's top or bottom edge
  static constexpr int kScrollInterval = 60;   // ms between two scroll steps
  static constexpr int kExpandDelay = 1000;    // ms the pointer rests on a closed node

  explicit TDragDropFilter(TMainForm& form)
      : QObject(&form), form_(form), list_(form.IDView->viewport()), tree_(form.TreeView->viewport()) {
    scrollTimer_.setInterval(kScrollInterval);
    connect(&scrollTimer_, &QTimer::timeout, this, [this] { ScrollStep(); });
    expandTimer_.setSingleShot(true);
    expandTimer_.setInterval(kExpandDelay);
    connect(&expandTimer_, &QTimer::timeout, this, [this] { ExpandTarget(); });
  }

  // Compares pointers only: the views may be part-way through their destruction here.
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == list_) return ListEvent(event);
    if (watched == tree_) return TreeEvent(event);
    return false;
  }

 private:
  bool ListEvent(QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      pressed_ = mouse->button() == Qt::LeftButton && form_.IDView->indexAt(mouse->position().toPoint()).isValid();
      pressPos_ = mouse->position().toPoint();
    } else if (event->type() == QEvent::MouseMove && pressed_) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (!(mouse->buttons() & Qt::LeftButton)) {
        pressed_ = false;
      } else if ((mouse->position().toPoint() - pressPos_).manhattanLength() >= QApplication::startDragDistance() &&
                 form_.IDView->SelCount() > 0) {
        pressed_ = false;
        auto* drag = new QDrag(form_.IDView);
        auto* data = new QMimeData;
        data->setData(kIDsMime, QByteArray());
        drag->setMimeData(data);
        QStringList ids;
        for (int row = 0; row < form_.IDView->RowCount(); ++row)
          if (form_.IDView->Selected(row)) ids << Unicode(form_.IDView->GetCell(1, row));
        drag->setPixmap(IDsPicture(ids, form_.IDView->font(), form_.IDView->palette()));
        drag->setHotSpot(QPoint(-12, -4));  // beside the pointer, not under it
        drag->exec(Qt::CopyAction);
        form_.IDView->DragFinished();
        return true;
      }
    } else if (event->type() == QEvent::MouseButtonRelease) {
      pressed_ = false;
    }
    return false;
  }

  bool TreeEvent(QEvent* event) {
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        source_ = drag->source();
        pointer_ = drag->position().toPoint();
        Follow();
        // The entry is taken whenever the tree takes the source at all: refused there, the tree
        // would hear nothing more of this drag. Each move then says whether a drop would act.
        const bool enter = event->type() == QEvent::DragEnter;
        if (form_.TreeViewDragOver(source_) && (enter || form_.DropWouldAct(source_, target_))) {
          drag->setDropAction(Qt::CopyAction);  // never a move: the source keeps its rows
          drag->accept();
        } else {
          drag->ignore();
        }
        return true;
      }
      case QEvent::DragLeave:
        EndFeedback();
        return true;
      case QEvent::Drop: {
        EndFeedback();
        auto* drop = static_cast<QDropEvent*>(event);
        const QObject* source = drop->source();
        if (!form_.TreeViewDragOver(source)) {
          drop->ignore();
          return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // The questions are asked once the drag has ended, outside the toolkit's drag loop.
        const QPoint pos = drop->position().toPoint();
        QPointer<TMainForm> form(&form_);
        QTimer::singleShot(0, &form_, [form, source, pos] {
          if (form) form->Run([&] { form->TreeViewDragDrop(source, pos); });
        });
        return true;
      }
      default:
        return false;
    }
  }

  // The node under the pointer, as a drop there would see it (on the node itself, as for a click).
  TTreeNode* NodeAt(const QPoint& pos) const {
    const QModelIndex index = form_.TreeView->indexAt(pos);
    if (!index.isValid() || !form_.TreeView->visualRect(index).contains(pos)) return nullptr;
    return form_.treeModel_->NodeOf(index);
  }

  // The highlight, the edge scrolling and the opening delay follow the pointer.
  void Follow() {
    TTreeNode* node = NodeAt(pointer_);
    if (node != target_) {
      target_ = node;
      form_.treeModel_->SetDropTarget(node);
      expandTimer_.stop();
      const QModelIndex index = form_.treeModel_->IndexOf(node);
      if (node && node->Count() > 0 && !form_.TreeView->isExpanded(index)) expandTimer_.start();
    }
    const int height = form_.TreeView->viewport()->height();
    const bool nearEdge = pointer_.y() < kScrollMargin || pointer_.y() >= height - kScrollMargin;
    if (nearEdge && !scrollTimer_.isActive())
      scrollTimer_.start();
    else if (!nearEdge)
      scrollTimer_.stop();
  }

  void ScrollStep() {
    QScrollBar* bar = form_.TreeView->verticalScrollBar();
    const int step = pointer_.y() < kScrollMargin ? -bar->singleStep() : bar->singleStep();
    bar->setValue(bar->value() + step);
    Follow();  // the pointer rests, the nodes move under it
  }

  void ExpandTarget() {
    // The model forgets a highlighted node that is removed; then there is nothing to open.
    if (target_ && target_ == form_.treeModel_->DropTarget())
      form_.TreeView->expand(form_.treeModel_->IndexOf(target_));
  }

  void EndFeedback() {
    scrollTimer_.stop();
    expandTimer_.stop();
    target_ = nullptr;
    source_ = nullptr;
    form_.treeModel_->SetDropTarget(nullptr);
  }

  TMainForm& form_;
  const QObject* list_;
  const QObject* tree_;
  bool pressed_ = false;
  QPoint pressPos_;
  // The drag over the tree.
  const QObject* source_ = nullptr;
  QPoint pointer_;
  TTreeNode* target_ = nullptr;
  QTimer scrollTimer_;
  QTimer expandTimer_;
};

void TMainForm::InstallDragDrop() {
  dragDrop_ = new TDragDropFilter(*this);
  IDView->viewport()->installEventFilter(dragDrop_);
  TreeView->viewport()->installEventFilter(dragDrop_);
  TreeView->setDragEnabled(true);
  TreeView->setAcceptDrops(true);
  TreeView->viewport()->setAcceptDrops(true);
  TreeView->setDropIndicatorShown(true);
  TreeView->setDragDropMode(QAbstractItemView::DragDrop);
  TreeView->setDefaultDropAction(Qt::CopyAction);
  // Pressing on one of several selected rows keeps them selected, so that they can be dragged.
  IDView->setDragEnabled(true);
}

bool TMainForm::TreeViewDragOver(const QObject* source) const {
  return source && (source == IDView || source == TreeView);
}

// Whether a drop of `source` onto `target` would do anything, by the rules of TreeViewDragDrop:
// IDs go onto any node; a folder goes onto any node but itself, its own sub-folders and the
// registered IDs' nodes.
bool TMainForm::DropWouldAct(const QObject* source, const TTreeNode* target) const {
  if (!target || !TreeViewDragOver(source)) return false;
  if (source == IDView) return true;
  const TTreeNode* dragged = SelectedNode();
  if (!dragged || NodeType(dragged) != ntFolder || target->HasAsAncestor(dragged)) return false;
  const uint8_t kind = NodeType(target);
  return kind != ntRegisteredIDs && kind != ntGroup;
}

void TMainForm::TreeViewDragDrop(const QObject* source, const QPoint& pos) {
  if (!TreeViewDragOver(source)) return;
  const QModelIndex index = TreeView->indexAt(pos);
  // On a node means on the node itself, as for a click; beside or below the nodes does nothing.
  if (!index.isValid() || !TreeView->visualRect(index).contains(pos)) return;
  TTreeNode* target = treeModel_->NodeOf(index);
  if (!target) return;

  if (source == IDView) {
    // Only a group's own node changes the group: a folder the user made under "登録ID" names no
    // group, and taking a letter from its text would send the IDs to the trash.
    const char letter = static_cast<char>(target->GroupCode());
    const bool groupNode = target->Parent() == RegistNode && letter >= 'A' && letter <= 'Z' &&
                           PickData_->GroupMgr().IsGroup(std::string(1, letter));
    if (groupNode) {
      if (!dialogs_->Confirm(quillet::ApplicationTitle(), QStringLiteral("\"") + Unicode(target->Text()) +
                                                              QStringLiteral("\"にグループを変更します")))
        return;
      for (int row = IDView->RowCount() - 1; row >= 0; --row)
        if (IDView->Selected(row)) ChangeIDGroup(IDView->GetCell(1, row), letter, row);
      RefreshIDView();
    } else {
      if (!dialogs_->Confirm(quillet::ApplicationTitle(),
                             QStringLiteral("\"") + Unicode(target->Text()) + QStringLiteral("\"にコピーします")))
        return;
      TStringListWithHash& set = target->EnsureIDSet();
      // An ID already there is left as it is.
      for (int row = IDView->RowCount() - 1; row >= 0; --row)
        if (IDView->Selected(row)) set.AddIfAbsent(IDView->GetCell(1, row), IDView->GetCell(2, row));
      // The list keeps showing the source folder.
    }
    return;
  }

  // A folder dragged within the tree.
  TTreeNode* dragged = SelectedNode();
  if (!dragged || NodeType(dragged) != ntFolder) return;
  // Not into itself or below itself, and not among the registered IDs' fixed nodes.
  if (target->HasAsAncestor(dragged)) return;
  const uint8_t kind = NodeType(target);
  if (kind == ntRegisteredIDs || kind == ntGroup) return;
  if (!dialogs_->Confirm(quillet::ApplicationTitle(),
                         QStringLiteral("\"") + Unicode(target->Text()) + QStringLiteral("\"に移動します")))
    return;
  // The folder takes its sub-tree and every ID set along; a scan filing into it goes on filing there.
  nodes_.Move(dragged, target);
  TreeView->expand(treeModel_->IndexOf(target));
  SelectNode(dragged);
  TreeView->scrollTo(treeModel_->IndexOf(dragged));
}
