// Drag and drop: IDs dragged from the list onto a folder of the tree (a group change on the
// group nodes under "登録ID", a copy anywhere else), and folders dragged within the tree.
#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
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

}  // namespace

// Starts a drag when the mouse moves over the list with the button held, and lets the tree take
// drops from the list and from itself.
class TMainForm::TDragDropFilter : public QObject {
 public:
  explicit TDragDropFilter(TMainForm& form)
      : QObject(&form), form_(form), list_(form.IDView->viewport()), tree_(form.TreeView->viewport()) {}

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
        drag->exec(Qt::CopyAction);
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
        if (form_.TreeViewDragOver(drag->source())) {
          drag->setDropAction(Qt::CopyAction);  // never a move: the source keeps its rows
          drag->accept();
        } else {
          drag->ignore();
        }
        return true;
      }
      case QEvent::Drop: {
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

  TMainForm& form_;
  const QObject* list_;
  const QObject* tree_;
  bool pressed_ = false;
  QPoint pressPos_;
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
      if (!target->IDSet()) target->SetIDSet(std::make_unique<TStringListWithHash>());
      TStringListWithHash& set = *target->IDSet();
      for (int row = IDView->RowCount() - 1; row >= 0; --row) {
        if (!IDView->Selected(row)) continue;
        const std::string id = IDView->GetCell(1, row);
        if (set.IndexOf(id) != -1) continue;  // already there: left as it is
        auto record = std::make_unique<TminiIDDataSet>(id);
        record->AddHandle(IDView->GetCell(2, row));
        set.AddObject(id, std::move(record));
      }
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
