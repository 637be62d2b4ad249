#include "controls/widgets/ListGridWidget.h"

#include <QAbstractItemDelegate>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>

#include "common/Cp932.h"

void TListGridPlaceholders::Insert(int row) {
  beginInsertRows({}, row, row);
  ++count_;
  endInsertRows();
}

void TListGridPlaceholders::Remove(int row) {
  beginRemoveRows({}, row, row);
  --count_;
  endRemoveRows();
}

void TListGridPlaceholders::Reset(int count) {
  beginResetModel();
  count_ = count;
  endResetModel();
}

namespace {

class TListGridDelegate : public QAbstractItemDelegate {
 public:
  explicit TListGridDelegate(TListGrid* grid) : QAbstractItemDelegate(grid), grid_(grid) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    grid_->DrawRow(*painter, option.rect, index.row(), option.state);
  }
  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    return {1, grid_->ItemHeight()};
  }

 private:
  TListGrid* grid_;
};

}  // namespace

TListGrid::TListGrid(QWidget* parent) : QListView(parent), model_(new TListGridPlaceholders(this)) {
  setModel(model_);
  setItemDelegate(new TListGridDelegate(this));
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  viewport()->setMouseTracking(true);
  auto touched = [this] { selectionTouched_ = true; };
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, touched);
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this, touched);
}

TListGrid::~TListGrid() = default;

void TListGrid::Repaint() {
  if (updateCount_ == 0) viewport()->update();
}

void TListGrid::SetColCount(int count) {
  rows_.SetColCount(count);
  Repaint();
}

void TListGrid::SetSortColumn(int column) {
  rows_.SetSortColumn(column);
  Repaint();
}

void TListGrid::SetSortDir(int dir) {
  rows_.SetSortDir(dir);
  Repaint();
}

int TListGrid::VisibleRowCount() const { return itemHeight_ > 0 ? viewport()->height() / itemHeight_ : 0; }

int TListGrid::AddRow(const std::vector<std::string>& cells) { return AddRow(std::vector<std::string>(cells)); }

int TListGrid::AddRow(std::vector<std::string>&& cells) {
  const int entry = rows_.AddRow(std::move(cells));
  if (updateCount_ > 0)
    structureChanged_ = true;
  else
    model_->Insert(rows_.PlaceholderRow(entry));
  return entry;
}

void TListGrid::DeleteRow(int displayedRow) {
  if (displayedRow < 0 || displayedRow >= rows_.RowCount()) return;
  rows_.DeleteRow(displayedRow);
  if (updateCount_ > 0)
    structureChanged_ = true;
  else
    model_->Remove(displayedRow);
}

void TListGrid::ClearRows() {
  rows_.ClearRows();
  if (updateCount_ > 0)
    structureChanged_ = true;
  else
    model_->Reset(0);
}

void TListGrid::SetCell(int column, int displayedRow, std::string text) {
  rows_.SetCell(column, displayedRow, std::move(text));
}

void TListGrid::SetColWidth(int column, int width) {
  if (column < 0 || column >= rows_.ColCount()) return;
  rows_.SetColWidth(column, width);
  Repaint();
}

// Redrawing stops; rows added or removed meanwhile reach the view in one go at the end.
void TListGrid::BeginUpdate() {
  if (updateCount_++ == 0) setUpdatesEnabled(false);
}

void TListGrid::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ > 0) return;
  if (structureChanged_) {
    structureChanged_ = false;
    model_->Reset(rows_.RowCount());
  }
  setUpdatesEnabled(true);
  viewport()->update();
}

void TListGrid::Sort() { rows_.Sort(); }

void TListGrid::SetItemHeight(int height) {
  itemHeight_ = height;
  doItemsLayout();
}

int TListGrid::SelCount() const { return static_cast<int>(selectionModel()->selectedRows().size()); }

bool TListGrid::Selected(int row) const { return selectionModel()->isRowSelected(row, {}); }

void TListGrid::SetSelected(int row, bool selected) {
  if (row < 0 || row >= model_->Count()) return;
  selectionModel()->select(model_->index(row),
                           selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

int TListGrid::ItemIndex() const {
  const QModelIndex current = currentIndex();
  return current.isValid() ? current.row() : -1;
}

void TListGrid::SetItemIndex(int row) {
  if (row < 0 || row >= model_->Count()) {
    selectionModel()->clear();
    return;
  }
  selectionModel()->setCurrentIndex(model_->index(row), QItemSelectionModel::ClearAndSelect);
}

QRect TListGrid::ItemRect(int row) const { return visualRect(model_->index(row)); }

// Each column's text keeps kCellPadding pixels clear on both sides, so that neighbouring cells
// never run into each other; columns of width 0 take no room.
void TListGrid::DrawRow(QPainter& painter, const QRect& rect, int row, QStyle::State state) {
  const bool selected = state & QStyle::State_Selected;
  painter.save();
  painter.fillRect(rect, palette().brush(selected ? QPalette::Highlight : QPalette::Base));
  painter.setPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
  painter.setFont(font());
  int x = 0;
  for (int c = 0; c < rows_.ColCount(); ++c) {
    const int w = rows_.ColWidth(c);
    if (w <= 0) continue;
    const int left = rect.left() + x + kCellPadding;
    const int right = rect.left() + x + w - kCellPadding;
    const std::string& cell = rows_.GetCell(c, row);
    if (!cell.empty() && right > left) {
      const QRect clip(QPoint(left, rect.top()), QPoint(right - 1, rect.bottom()));
      painter.setClipRect(clip);
      painter.drawText(QRect(left, rect.top() + 1, right - left, rect.height() - 1),
                       Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                       QString::fromStdString(quillet::ToUtf8(cell)));
    }
    x += w + 1;
  }
  painter.restore();
  if (OnDrawItem) {
    painter.save();
    OnDrawItem(this, row, rect, state, painter);
    painter.restore();
  }
}

// --- input: the click event follows every change of the selection the user makes -------------

void TListGrid::ClickIfChanged() {
  if (selectionTouched_ && OnClick) OnClick(this);
  selectionTouched_ = false;
}

void TListGrid::DragFinished() {
  setState(NoState);
  staleRelease_ = true;
}

void TListGrid::mousePressEvent(QMouseEvent* event) {
  staleRelease_ = false;
  if (event->button() == Qt::RightButton) {
    setFocus(Qt::MouseFocusReason);
    event->accept();  // the selection rule runs at the release
    return;
  }
  selectionTouched_ = false;
  QListView::mousePressEvent(event);
  clickedSincePress_ = selectionTouched_ && OnClick;
  ClickIfChanged();
}

void TListGrid::mouseMoveEvent(QMouseEvent* event) {
  lastMoveModifiers_ = event->modifiers();
  lastMoveButtons_ = event->buttons();
  if (event->buttons() & Qt::RightButton) return;
  selectionTouched_ = false;
  QListView::mouseMoveEvent(event);
  ClickIfChanged();
}

void TListGrid::mouseReleaseEvent(QMouseEvent* event) {
  if (staleRelease_) {
    staleRelease_ = false;
    event->accept();
    return;
  }
  if (event->button() == Qt::RightButton) {
    RightButtonUp(event->position().toPoint());
    event->accept();
    return;
  }
  selectionTouched_ = false;
  QListView::mouseReleaseEvent(event);
  if (selectionTouched_) clickedSincePress_ = true;
  ClickIfChanged();
  // A click on a row that leaves the selection as it was is still a click: the owner's editor
  // goes back to what the row holds.
  if (event->button() == Qt::LeftButton && !clickedSincePress_ && OnClick &&
      indexAt(event->position().toPoint()).isValid())
    OnClick(this);
  clickedSincePress_ = false;
}

void TListGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  selectionTouched_ = false;
  QListView::mouseDoubleClickEvent(event);
  ClickIfChanged();
  if (event->button() == Qt::LeftButton && OnDblClick) OnDblClick(this);
}

void TListGrid::keyPressEvent(QKeyEvent* event) {
  selectionTouched_ = false;
  QListView::keyPressEvent(event);
  ClickIfChanged();
}

// A right click on a row outside the selection makes it the only selected row (unless a modifier
// key was held), so that the popup menu acts on what was clicked; inside a selection it keeps it.
void TListGrid::RightButtonUp(const QPoint& pos) {
  if (pos != QPoint(0, 0)) {
    const QModelIndex index = indexAt(pos);
    if (index.isValid()) {
      if (!Selected(index.row())) {
        const bool plain = lastMoveModifiers_ == Qt::NoModifier &&
                           (lastMoveButtons_ == Qt::NoButton || lastMoveButtons_ == Qt::RightButton);
        if (plain) selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::Select);
      }
      selectionTouched_ = false;
      if (OnClick) OnClick(this);
    }
  }
  if (PopupMenu) PopupMenu->popup(viewport()->mapToGlobal(pos));
}

void TListGrid::contextMenuEvent(QContextMenuEvent* event) {
  // Mouse-raised menus open at the right button's release; the menu key opens it at the focus.
  if (event->reason() == QContextMenuEvent::Mouse) return;
  if (PopupMenu) {
    const int row = ItemIndex();
    const QPoint at = row >= 0 ? ItemRect(row).bottomLeft() : QPoint(0, 0);
    PopupMenu->popup(viewport()->mapToGlobal(at));
  }
}
