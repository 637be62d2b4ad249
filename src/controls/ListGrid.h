#pragma once
// The rows of the list grid without the widget: per-column cell lists, column widths and the sort
// index that decides the displayed order. Sorting or reversing the direction never moves a cell;
// only the index is reordered or read backwards.
//
// Terms: a stored row is a row's number in insertion order; a displayed row is its position on
// screen (0 = top).
#include <QCollator>
#include <QCollatorSortKey>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum TListGridSortMode { smManual, smAutomatic };

class TListGridRows {
 public:
  TListGridRows();

  int RowCount() const { return static_cast<int>(keys_.size()); }
  int ColCount() const { return static_cast<int>(cells_.size()); }
  // Adds or removes columns at the end; a new column is 50 wide and has no cells for earlier rows.
  void SetColCount(int count);

  int SortColumn() const { return sortColumn_; }
  // Rebuilds and orders the index on column c and makes it self-ordering; out of range: no change.
  void SetSortColumn(int column);
  int SortColumn2 = 0;  // kept with the grid's settings, not used by sorting
  int SortDir() const { return sortDir_; }
  void SetSortDir(int dir) { sortDir_ = dir; }  // negative: the index is read from its end
  TListGridSortMode SortMode() const { return sortMode_; }
  void SetSortMode(TListGridSortMode mode);
  bool SelfOrdering() const { return selfOrdering_; }

  // Appends a stored row; missing cells are empty. Returns the row's position in the sort index.
  int AddRow(const std::vector<std::string>& cells);
  int AddRow(std::vector<std::string>&& cells);  // takes the texts over
  void DeleteRow(int displayedRow);  // ignored out of range
  void ClearRows();
  // In manual mode, orders an index that does not order itself.
  void Sort();

  // Empty text when column or row is out of range.
  const std::string& GetCell(int column, int displayedRow) const;
  // Replaces the text; the sort key stays until the index is rebuilt.
  void SetCell(int column, int displayedRow, std::string text);
  int ColWidth(int column) const;
  void SetColWidth(int column, int width);  // negative counts as 0; out of range ignored
  // The displayed row whose cell equals the text (locale-aware, case ignored); -1 when none.
  int FindRow(int column, std::string_view text) const;

  // Stored row shown at a displayed row, and the displayed row of an index position.
  int DataRow(int displayedRow) const;
  int DisplayedRowOfEntry(int entry) const;
  // The displayed position a new row's placeholder takes when inserted at index position p.
  int PlaceholderRow(int entry) const;

  // The comparison of keys and cell texts: the Unicode forms under the user's locale, case ignored.
  int CompareTexts(std::string_view a, std::string_view b) const;

 private:
  // The index: stored-row numbers in blocks, so that an ordered insertion into a large list moves
  // only one block. Keys live by stored row in keys_.
  static constexpr size_t kBlock = 1024;
  int IndexSize() const;
  int EntryAt(int position) const;
  void InsertEntry(int position, int storedRow);
  void EraseEntry(int position);
  int LowerBound(const QCollatorSortKey& key) const;
  void OrderIndex();
  void RebuildBlocks(const std::vector<int>& entries);
  void UpdatePrefix() const;
  QCollatorSortKey KeyOf(std::string_view text) const;
  template <typename Cells>
  int Append(Cells&& cells);

  std::vector<std::vector<std::string>> cells_;  // cells_[column][storedRow]
  std::vector<int> widths_;
  std::vector<QCollatorSortKey> keys_;           // by stored row
  std::vector<std::vector<int>> blocks_;
  mutable std::vector<int> prefix_;              // entries before each block
  mutable bool prefixValid_ = false;
  int sortColumn_ = 0;
  int sortDir_ = 0;
  TListGridSortMode sortMode_ = smAutomatic;
  bool selfOrdering_ = true;
  QCollator collator_;
  // The last key made: a refill often repeats one key (the always-empty marks column).
  mutable std::string lastKeyText_;
  mutable std::optional<QCollatorSortKey> lastKey_;
};
