#include "tree/StringListWithHash.h"

#include "common/Error.h"

TStringListWithHash::TStringListWithHash() = default;
TStringListWithHash::~TStringListWithHash() = default;

TminiIDDataSet* TStringListWithHash::Append(std::string_view text, TminiIDDataSet* record) {
  // Grown by half rather than doubled: most folders stay small, and the slack of the last
  // growth is memory every folder keeps.
  if (records_.size() == records_.capacity()) {
    const size_t more = records_.size() / 2 + 2;
    records_.reserve(records_.size() + more);
    flags_.reserve(records_.size() + more);
  }
  if (record) {
    records_.push_back(std::move(*record));
    records_.back().ID = text;
  } else {
    records_.emplace_back(text);
  }
  flags_.push_back(record ? 0 : kNoRecord);
  return &records_.back();
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
    throw Error("List index out of bounds (" + std::to_string(index) + ")");
  const std::string_view text = Strings(index);
  // Unindex the text only when the index points here: if the same ID was added twice, the
  // index belongs to the other entry and must stay.
  if (!text.empty() && Hash.Find(text) == index) Hash.Remove(text);
  flags_[index] |= kBlank;
}

int TStringListWithHash::IndexOf(std::string_view text) { return Hash.Find(text); }

void TStringListWithHash::Clear() {
  Hash.Clear();
  records_.clear();
  flags_.clear();
}

void TStringListWithHash::CompactIDSet() {
  std::vector<TminiIDDataSet> records = std::move(records_);
  std::vector<uint8_t> flags = std::move(flags_);
  Clear();
  records_.reserve(records.size());
  flags_.reserve(records.size());
  // Blank entries go, and their records with them when `records` is destroyed.
  for (size_t i = 0; i < records.size(); ++i) {
    if ((flags[i] & kBlank) || records[i].ID.empty()) continue;
    records_.push_back(std::move(records[i]));
    flags_.push_back(flags[i]);
    Hash.Put(records_.back().ID.View(), Count() - 1);
  }
}
