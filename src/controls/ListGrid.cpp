#include "controls/ListGrid.h"

#include <QLocale>
#include <type_traits>
#include <algorithm>

#include "analysis/jstrm.h"
#include "common/Cp932.h"
#include "common/QtText.h"

namespace {

const std::string kEmpty;

bool IsAsciiAlnum(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  });
}

using quillet::Unicode;

// The user's locale; without one (the C locale) the Japanese collation, the program's home. Qt's
// C-locale collator would also ignore the case-insensitivity asked for in its sort keys.
QLocale CollationLocale() {
  const QLocale user;
  if (user.language() == QLocale::C) return QLocale(QLocale::Japanese, QLocale::Japan);
  return user;
}

}  // namespace

TListGridRows::TListGridRows() : collator_(CollationLocale()) {
  collator_.setCaseSensitivity(Qt::CaseInsensitive);
}

QCollatorSortKey TListGridRows::KeyOf(std::string_view text) const {
  if (!lastKey_ || lastKeyText_ != text) {
    lastKey_.emplace(collator_.sortKey(Unicode(text)));
    lastKeyText_ = text;
  }
  return *lastKey_;
}

int TListGridRows::CompareTexts(std::string_view a, std::string_view b) const {
  if (a == b) return 0;
  return collator_.compare(Unicode(a), Unicode(b));
}

void TListGridRows::SetColCount(int count) {
  if (count > 0 && count < ColCount()) {
    cells_.resize(count);
    widths_.resize(count);
  } else if (count > ColCount()) {
    cells_.resize(count);
    widths_.resize(count, 50);
  }
}

// --- the blocked index -------------------------------------------------------------------------

void TListGridRows::UpdatePrefix() const {
  if (prefixValid_) return;
  prefix_.resize(blocks_.size());
  int sum = 0;
  for (size_t b = 0; b < blocks_.size(); ++b) {
    prefix_[b] = sum;
    sum += static_cast<int>(blocks_[b].size());
  }
  prefixValid_ = true;
}

int TListGridRows::IndexSize() const {
  if (blocks_.empty()) return 0;
  UpdatePrefix();
  return prefix_.back() + static_cast<int>(blocks_.back().size());
}

int TListGridRows::EntryAt(int position) const {
  UpdatePrefix();
  // The last block whose first position is not after `position`.
  auto it = std::upper_bound(prefix_.begin(), prefix_.end(), position);
  const size_t b = static_cast<size_t>(it - prefix_.begin()) - 1;
  return blocks_[b][position - prefix_[b]];
}

void TListGridRows::InsertEntry(int position, int storedRow) {
  prefixValid_ = false;
  if (blocks_.empty()) {
    blocks_.push_back({storedRow});
    return;
  }
  UpdatePrefix();
  size_t b;
  if (position >= IndexSize()) {
    b = blocks_.size() - 1;  // at the very end
  } else {
    auto it = std::upper_bound(prefix_.begin(), prefix_.end(), position);
    b = static_cast<size_t>(it - prefix_.begin()) - 1;
  }
  prefixValid_ = false;
  std::vector<int>& block = blocks_[b];
  block.insert(block.begin() + (position - prefix_[b]), storedRow);
  if (block.size() > 2 * kBlock) {
    std::vector<int> tail(block.begin() + kBlock, block.end());
    block.resize(kBlock);
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(tail));
  }
}

void TListGridRows::EraseEntry(int position) {
  UpdatePrefix();
  auto it = std::upper_bound(prefix_.begin(), prefix_.end(), position);
  const size_t b = static_cast<size_t>(it - prefix_.begin()) - 1;
  std::vector<int>& block = blocks_[b];
  block.erase(block.begin() + (position - prefix_[b]));
  if (block.empty()) blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(b));
  prefixValid_ = false;
}

// The first position whose key is not less than `key`: a new entry goes before its equals.
int TListGridRows::LowerBound(const QCollatorSortKey& key) const {
  UpdatePrefix();
  // The first block whose last key is not less than the key.
  size_t lo = 0, hi = blocks_.size();
  while (lo < hi) {
    const size_t mid = (lo + hi) / 2;
    if (keys_[blocks_[mid].back()].compare(key) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo == blocks_.size()) return IndexSize();
  const std::vector<int>& block = blocks_[lo];
  auto pos = std::partition_point(block.begin(), block.end(),
                                  [&](int row) { return keys_[row].compare(key) < 0; });
  return prefix_[lo] + static_cast<int>(pos - block.begin());
}

void TListGridRows::RebuildBlocks(const std::vector<int>& entries) {
  blocks_.clear();
  for (size_t i = 0; i < entries.size(); i += kBlock)
    blocks_.emplace_back(entries.begin() + static_cast<std::ptrdiff_t>(i),
                         entries.begin() + static_cast<std::ptrdiff_t>(std::min(entries.size(), i + kBlock)));
  prefixValid_ = false;
}

void TListGridRows::OrderIndex() {
  std::vector<int> entries;
  entries.reserve(keys_.size());
  for (const auto& block : blocks_) entries.insert(entries.end(), block.begin(), block.end());
  std::stable_sort(entries.begin(), entries.end(), [&](int a, int b) { return keys_[a].compare(keys_[b]) < 0; });
  RebuildBlocks(entries);
}

// --- rows --------------------------------------------------------------------------------------

int TListGridRows::AddRow(const std::vector<std::string>& cells) { return Append(cells); }

int TListGridRows::AddRow(std::vector<std::string>&& cells) { return Append(std::move(cells)); }

template <typename Cells>
int TListGridRows::Append(Cells&& cells) {
  const int stored = RowCount();
  for (int c = 0; c < ColCount(); ++c) {
    if (static_cast<size_t>(c) >= cells.size())
      cells_[c].emplace_back();
    else if constexpr (std::is_rvalue_reference_v<Cells&&>)
      cells_[c].push_back(std::move(cells[c]));
    else
      cells_[c].push_back(cells[c]);
  }
  const std::string& key = (sortColumn_ >= 0 && sortColumn_ < ColCount()) ? cells_[sortColumn_].back() : kEmpty;
  keys_.push_back(KeyOf(key));
  int position = stored;
  if (selfOrdering_) position = LowerBound(keys_.back());
  InsertEntry(position, stored);
  return position;
}

int TListGridRows::DataRow(int displayedRow) const {
  if (displayedRow < 0 || displayedRow >= RowCount()) return -1;
  return EntryAt(sortDir_ < 0 ? RowCount() - 1 - displayedRow : displayedRow);
}

int TListGridRows::DisplayedRowOfEntry(int entry) const { return sortDir_ < 0 ? RowCount() - 1 - entry : entry; }

int TListGridRows::PlaceholderRow(int entry) const {
  if (sortMode_ == smManual) return RowCount() - 1;
  return DisplayedRowOfEntry(entry);
}

void TListGridRows::DeleteRow(int displayedRow) {
  if (displayedRow < 0 || displayedRow >= RowCount()) return;
  const int entry = sortDir_ < 0 ? RowCount() - 1 - displayedRow : displayedRow;
  const int stored = EntryAt(entry);
  for (auto& column : cells_)
    if (static_cast<size_t>(stored) < column.size()) column.erase(column.begin() + stored);
  keys_.erase(keys_.begin() + stored);
  EraseEntry(entry);
  for (auto& block : blocks_)
    for (int& row : block)
      if (row > stored) --row;
}

void TListGridRows::ClearRows() {
  for (auto& column : cells_) column.clear();
  keys_.clear();
  blocks_.clear();
  prefixValid_ = false;
}

void TListGridRows::Sort() {
  if (sortMode_ == smManual && !selfOrdering_) OrderIndex();
}

void TListGridRows::SetSortMode(TListGridSortMode mode) {
  sortMode_ = mode;
  const bool ordering = mode == smAutomatic;
  if (ordering && !selfOrdering_) OrderIndex();
  selfOrdering_ = ordering;
}

void TListGridRows::SetSortColumn(int column) {
  if (column < 0 || column >= ColCount()) return;
  selfOrdering_ = false;
  std::vector<int> entries(keys_.size());
  for (size_t i = 0; i < keys_.size(); ++i) {
    const std::vector<std::string>& cells = cells_[column];
    keys_[i] = KeyOf(i < cells.size() ? cells[i] : kEmpty);
    entries[i] = static_cast<int>(i);
  }
  RebuildBlocks(entries);
  OrderIndex();
  selfOrdering_ = true;
  sortColumn_ = column;
}

// --- cells -------------------------------------------------------------------------------------

const std::string& TListGridRows::GetCell(int column, int displayedRow) const {
  if (column < 0 || column >= ColCount()) return kEmpty;
  const int stored = DataRow(displayedRow);
  if (stored < 0 || static_cast<size_t>(stored) >= cells_[column].size()) return kEmpty;
  return cells_[column][stored];
}

void TListGridRows::SetCell(int column, int displayedRow, std::string text) {
  if (column < 0 || column >= ColCount()) return;
  const int stored = DataRow(displayedRow);
  if (stored < 0 || static_cast<size_t>(stored) >= cells_[column].size()) return;
  cells_[column][stored] = std::move(text);
}

int TListGridRows::ColWidth(int column) const {
  return (column >= 0 && column < ColCount()) ? widths_[column] : 0;
}

void TListGridRows::SetColWidth(int column, int width) {
  if (column < 0 || column >= ColCount()) return;
  widths_[column] = std::max(0, width);
}

int TListGridRows::FindRow(int column, std::string_view text) const {
  if (column < 0 || column >= ColCount()) return -1;
  const std::vector<std::string>& cells = cells_[column];
  const bool simple = IsAsciiAlnum(text);
  int stored = -1;
  for (size_t i = 0; i < cells.size(); ++i) {
    const std::string& cell = cells[i];
    bool equal;
    if (cell == text)
      equal = true;
    else if (simple && IsAsciiAlnum(cell))
      equal = SameTextAscii(cell, text);  // the collation's answer for plain letters and digits
    else
      equal = CompareTexts(cell, text) == 0;
    if (equal) {
      stored = static_cast<int>(i);
      break;
    }
  }
  if (stored < 0) return -1;
  int entry = 0;
  for (const auto& block : blocks_)
    for (int row : block) {
      if (row == stored) return DisplayedRowOfEntry(entry);
      ++entry;
    }
  return -1;
}
