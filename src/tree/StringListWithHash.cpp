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

void TStringListWithHash::FileSighting(const std::string& id, const std::string& handle) {
  const int index = IndexOfOrAdd(id, [&] {
    auto record = std::make_unique<TminiIDDataSet>(id);
    record->AddHandle(handle);
    return record;
  });
  if (index != -1) {
    if (TminiIDDataSet* record = Objects(index)) record->AddHandle(handle);
  }
}

bool TStringListWithHash::AddIfAbsent(const std::string& id, const std::string& handle) {
  if (IndexOf(id) != -1) return false;
  auto record = std::make_unique<TminiIDDataSet>(id);
  record->AddHandle(handle);
  AddObject(id, std::move(record));
  return true;
}

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
