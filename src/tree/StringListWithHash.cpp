#include "tree/StringListWithHash.h"

#include <type_traits>

#include "common/Error.h"

TStringListWithHash::TStringListWithHash() = default;
TStringListWithHash::~TStringListWithHash() = default;

static_assert(std::is_standard_layout_v<TminiIDDataSet> && alignof(TminiIDDataSet) == 1,
              "a record is plain bytes, copied when its block grows");

void TStringListWithHash::Entries::clear() {
  for (size_t i = 0; i < size_; ++i) data_[i].~Entry();
  size_ = 0;
}

void TStringListWithHash::Entries::swap(Entries& other) noexcept {
  std::swap(data_, other.data_);
  std::swap(size_, other.size_);
  std::swap(capacity_, other.capacity_);
}

TminiIDDataSet* TStringListWithHash::Append(std::string_view text, TminiIDDataSet* record) {
  if (record) {
    entries_.emplace_back(std::move(*record), uint8_t{0});
    entries_.back().ID = text;
  } else {
    entries_.emplace_back(text, kNoRecord);
  }
  return &entries_.back();
}

int TStringListWithHash::Add(std::string_view text) { return AddObject(text, nullptr); }

int TStringListWithHash::AddObject(std::string_view text, std::unique_ptr<TminiIDDataSet> record) {
  Append(text, record.get());
  const int index = Count() - 1;
  Hash.Put(text, index);
  return index;
}

void TStringListWithHash::Delete(int index) {
  if (index < 0 || index >= Count())
    throw Error("リストの位置が範囲外です (" + std::to_string(index) + ")");
  const std::string_view text = Strings(index);
  // Unindex the text only when the index points here: if the same ID was added twice, the
  // index belongs to the other entry and must stay.
  if (!text.empty() && Hash.Find(text) == index) Hash.Remove(text);
  entries_[index].flags |= kBlank;
}

int TStringListWithHash::IndexOf(std::string_view text) { return Hash.Find(text); }

void TStringListWithHash::FileSighting(std::string_view id, std::string_view handle) {
  const int index = IndexOfOrAddRecord(id, [handle](TminiIDDataSet& record) { record.AddHandle(handle); });
  if (index != -1) {
    if (TminiIDDataSet* record = Objects(index)) record->AddHandle(handle);
  }
}

bool TStringListWithHash::AddIfAbsent(std::string_view id, std::string_view handle) {
  if (IndexOf(id) != -1) return false;
  IndexOfOrAddRecord(id, [handle](TminiIDDataSet& record) { record.AddHandle(handle); });
  return true;
}

void TStringListWithHash::Clear() {
  Hash.Clear();
  entries_.clear();
}

void TStringListWithHash::CompactIDSet() {
  Entries entries;
  entries.swap(entries_);
  Clear();
  // Blank entries go, and their records with them when `entries` is destroyed.
  for (Entry& entry : entries) {
    if ((entry.flags & kBlank) || entry.ID.empty()) continue;
    entries_.emplace_back(std::move(entry));
    Hash.Put(entries_.back().ID.View(), Count() - 1);
  }
}
