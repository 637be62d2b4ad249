#pragma once
// TListGrid: the owner-drawn multi-column list. The rows, cells and sort order live in
// TListGridRows (core); the widget is a list whose items are empty placeholders (so that the view
// keeps the selection per displayed row), draws each row's cells at their column positions, calls
// OnDrawItem after its own drawing, and applies the right-button selection rule before its popup
// menu opens.
#include <QAbstractListModel>
#include <QListView>
#include <QStyle>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "controls/ListGrid.h"

class QMenu;
class TListGrid;

class TListGridPlaceholders : public QAbstractListModel {
 public:
  using QAbstractListModel::QAbstractListModel;
  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : count_; }
  QVariant data(const QModelIndex&, int) const override { return {}; }
  // Rows can be dragged: a press on a selected row and a move keep the whole selection for the drag.
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    return QAbstractListModel::flags(index) | (index.isValid() ? Qt::ItemIsDragEnabled : Qt::NoItemFlags);
  }
  void Insert(int row);
  void Remove(int row);
  void Reset(int count);
  int Count() const { return count_; }

 private:
  int count_ = 0;
};

class TListGrid : public QListView {
  Q_OBJECT
 public:
  using TDrawItemEvent = std::function<void(TListGrid* grid, int index, const QRect& rect,
                                            QStyle::State state, QPainter& canvas)>;
  using TNotifyEvent = std::function<void(TListGrid* sender)>;

  explicit TListGrid(QWidget* parent = nullptr);
  ~TListGrid() override;

  // Properties of the grid.
  int RowCount() const { return rows_.RowCount(); }
  int ColCount() const { return rows_.ColCount(); }
  void SetColCount(int count);
  int SortColumn() const { return rows_.SortColumn(); }
  void SetSortColumn(int column);
  int SortColumn2() const { return rows_.SortColumn2; }
  void SetSortColumn2(int column) { rows_.SortColumn2 = column; }
  // One of the grid's published properties (the whole rows that fit); the window does not ask for it.
  int VisibleRowCount() const;
  int SortDir() const { return rows_.SortDir(); }
  void SetSortDir(int dir);
  TListGridSortMode SortMode() const { return rows_.SortMode(); }
  void SetSortMode(TListGridSortMode mode) { rows_.SetSortMode(mode); }

  // Operations.
  int AddRow(const std::vector<std::string>& cells);
  int AddRow(std::vector<std::string>&& cells);
  void DeleteRow(int displayedRow);
  void ClearRows();
  std::string GetCell(int column, int displayedRow) const { return rows_.GetCell(column, displayedRow); }
  void SetCell(int column, int displayedRow, std::string text);
  int ColWidth(int column) const { return rows_.ColWidth(column); }
  void SetColWidth(int column, int width);
  int FindRow(int column, std::string_view text) const { return rows_.FindRow(column, text); }
  void BeginUpdate();
  void EndUpdate();
  void Sort();
  const TListGridRows& Rows() const { return rows_; }

  // The list's own selection.
  void SetMultiSelect(bool on) {
    setSelectionMode(on ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
  }
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int height);
  int SelCount() const;
  bool Selected(int row) const;
  void SetSelected(int row, bool selected);
  int ItemIndex() const;            // the focused row, -1 when none
  void SetItemIndex(int row);       // focuses and selects that row only
  QRect ItemRect(int row) const;    // in viewport coordinates

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TDrawItemEvent OnDrawItem;
  QMenu* PopupMenu = nullptr;

  // Tells the list that a drag it started has ended: the release that ended the drag may still
  // reach the list afterwards, and must not turn the dragged selection into a click on one row.
  void DragFinished();

  // Pixels kept clear at each side of a cell's text.
  static constexpr int kCellPadding = 2;

  // Draws one displayed row (used by the view's delegate and by tests that render a row).
  void DrawRow(QPainter& painter, const QRect& rect, int row, QStyle::State state);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void Repaint();
  void ClickIfChanged();
  void RightButtonUp(const QPoint& pos);

  TListGridRows rows_;
  TListGridPlaceholders* model_;
  int itemHeight_ = 16;
  int updateCount_ = 0;
  bool structureChanged_ = false;  // rows added or removed while updates were suspended
  bool selectionTouched_ = false;
  bool clickedSincePress_ = false;  // the current left click has already raised OnClick
  bool staleRelease_ = false;       // a drag ended; its release, if it comes, is no click
  Qt::KeyboardModifiers lastMoveModifiers_;
  Qt::MouseButtons lastMoveButtons_;
};
