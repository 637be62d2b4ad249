#include "tree/StringListWithHash.h"

#include "common/Error.h"

TStringListWithHash::TStringListWithHash() = default;
TStringListWithHash::~TStringListWithHash() = default;

int TStringListWithHash::Add(const std::string& text) { return AddObject(text, nullptr); }

int TStringListWithHash::AddObject(const std::string& text, std::unique_ptr<TminiIDDataSet> record) {
  entries_.emplace_back(text, std::move(record));
  const int index = Count() - 1;
  Hash.Put(text, index);
  return index;
}

void TStringListWithHash::Delete(int index) {
  if (index < 0 || index >= Count())
    throw Error("リストの位置が範囲外です (" + std::to_string(index) + ")");
  std::string& text = entries_[index].first;
  // Unindex the text only when the index points here: if the same ID was added twice, the
  // index belongs to the other entry and must stay.
  if (!text.empty() && Hash.Find(text) == index) Hash.Remove(text);
  text.clear();
}

int TStringListWithHash::IndexOf(std::string_view text) { return Hash.Find(text); }

void TStringListWithHash::Clear() {
  Hash.Clear();
  entries_.clear();
}

void TStringListWithHash::CompactIDSet() {
  std::vector<std::pair<std::string, std::unique_ptr<TminiIDDataSet>>> old = std::move(entries_);
  Clear();
  entries_.reserve(old.size());
  // Blank entries go, and their records with them when `old` is destroyed.
  for (auto& [text, record] : old)
    if (!text.empty()) AddObject(text, std::move(record));
}
