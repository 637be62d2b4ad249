#include "iddb/DynamicHash.h"

#include <algorithm>
#include <cstring>

#include "analysis/Check.h"
#include "analysis/Trace.h"
#include "analysis/jstrm.h"

namespace {

// A short table is searched linearly; the key after this many makes it switch to buckets.
constexpr size_t kListLimit = 64;

// Keys whose bytes are a permutation of each other (ABC12345, ABC54321, ...) get the same
// bucket at every level, because the bucket number is a product over the bytes. Sixty-five of
// them would make every new sub-table switch again, one level deeper each time, without end;
// a list that holds nothing else therefore stays a list, however long. A few rarer key sets
// also agree at every level (their bytes agree modulo 11 and modulo 23); tables this deep stay
// lists for their sake. Ordinary IDs never come near: a million need four levels.
constexpr int32_t kDeepestLevel = 32;

bool SameBytesInAnyOrder(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  std::string x(a), y(b);
  std::sort(x.begin(), x.end());
  std::sort(y.begin(), y.end());
  return x == y;
}

constexpr unsigned char UpperByte(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 0x20 : c; }

// The first eight bytes of a key with single-byte letters upper-cased (double-byte characters
// kept as they are), packed into one word. List search compares these words first, so it
// touches a stored key only when the words agree.
uint64_t FoldedPrefix(std::string_view key) {
  const auto* p = reinterpret_cast<const unsigned char*>(key.data());
  const size_t n = key.size();
  uint64_t word = 0;
  if (n >= 8) {
    std::memcpy(&word, p, 8);
    constexpr uint64_t kHigh = 0x8080808080808080ULL;
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    if ((word & kHigh) == 0) {
      // Only single-byte characters: mark the bytes in 'a'..'z' in their high bit and clear
      // 0x20 in those. No byte is above 0x7F, so the additions never carry into a neighbour.
      const uint64_t atLeastA = (word + kOnes * (0x80 - 'a')) & kHigh;
      const uint64_t aboveZ = (word + kOnes * (0x80 - 'z' - 1)) & kHigh;
      return word ^ ((atLeastA & ~aboveZ) >> 2);
    }
    word = 0;
  }
  unsigned char out[8] = {};
  const size_t limit = n < 8 ? n : 8;
  for (size_t i = 0; i < limit;) {
    if (IsLeadByte(p[i])) {
      out[i] = p[i];
      if (i + 1 < limit) out[i + 1] = p[i + 1];
      i += 2;
    } else {
      out[i] = UpperByte(p[i]);
      ++i;
    }
  }
  std::memcpy(&word, out, 8);
  return word;
}

// Key equality of the list mode: single-byte letters without regard to case, double-byte
// characters byte for byte (so a trail byte is never taken for a letter).
bool SameKey(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto* x = reinterpret_cast<const unsigned char*>(a.data());
  const auto* y = reinterpret_cast<const unsigned char*>(b.data());
  const size_t n = a.size();
  for (size_t i = 0; i < n;) {
    if (IsLeadByte(x[i])) {
      if (x[i] != y[i]) return false;
      if (i + 1 < n && x[i + 1] != y[i + 1]) return false;
      i += 2;
    } else {
      if (UpperByte(x[i]) != UpperByte(y[i])) return false;
      ++i;
    }
  }
  return true;
}

}  // namespace

TStaticHashTable::TStaticHashTable() = default;
TStaticHashTable::~TStaticHashTable() = default;

TDynamicHash::TDynamicHash(int32_t level)
    : level_(level), levelFactor_(static_cast<uint32_t>(((level % 253) + 253) % 253)) {}

TDynamicHash::~TDynamicHash() = default;

int32_t TDynamicHash::HashOf(std::string_view key) const {
  // h := h * (byte + level) mod 253 for every byte. Four factors are multiplied before each
  // reduction (h < 253 and each factor < 512, so the product stays below 2^44): the same
  // result with a quarter of the divisions.
  const auto* p = reinterpret_cast<const unsigned char*>(key.data());
  const size_t n = key.size();
  const uint64_t l = levelFactor_;
  uint64_t h = 1;
  size_t i = 0;
  for (; i + 4 <= n; i += 4) h = (h * (p[i] + l) * (p[i + 1] + l) * (p[i + 2] + l) * (p[i + 3] + l)) % 253;
  for (; i < n; ++i) h = (h * (p[i] + l)) % 253;
  return static_cast<int32_t>(h);
}

int32_t TDynamicHash::ListIndexOf(std::string_view key) const {
  const uint64_t folded = FoldedPrefix(key);
  const size_t n = folded_.size();
  const uint64_t* words = folded_.data();
  for (size_t i = 0; i < n; ++i) {
    if (words[i] != folded) continue;
    const std::string& stored = list_[i].first;
    // Equal words settle keys of up to eight bytes; longer ones need the whole comparison.
    if (stored.size() == key.size() && (key.size() <= 8 || SameKey(stored, key))) return static_cast<int32_t>(i);
  }
  return -1;
}

void TDynamicHash::Put(std::string_view key, int32_t value) {
  // Only the table a user holds tests its keys; sub-tables receive keys that passed already.
  if (level_ == 0 && !IsNiftyID(key)) return;
  PutKey(key, value);
  lastKey_.assign(key);
  lastValue_ = value;
}

void TDynamicHash::PutKey(std::string_view key, int32_t value) {
  TDynamicHash* table = this;
  // Walk down the bucket levels; only the list at the bottom holds keys.
  while (table->mode_ == 1) {
    const int32_t b = table->HashOf(key);
    TStaticHashTable& buckets = *table->table_;
    if (buckets.BucketKeys[b].empty()) {
      buckets.BucketKeys[b].assign(key);
      ++buckets.OccupiedCount;
    }
    std::unique_ptr<TDynamicHash>& sub = buckets.SubTables[b];
    if (!sub) {
      sub = std::make_unique<TDynamicHash>(table->level_ + 1);
      TTrace::Instance().Printf("MakeSubHash(%d)", table->level_ + 1);
    }
    table = sub.get();
  }
  const int32_t index = table->ListIndexOf(key);
  if (index >= 0) {
    table->list_[index].second = value;
    return;
  }
  table->list_.emplace_back(std::string(key), value);
  table->folded_.push_back(FoldedPrefix(key));
  if (table->list_.size() > kListLimit && table->SplitWouldSeparate()) table->ChangeStructure();
}

bool TDynamicHash::SplitWouldSeparate() const {
  if (level_ >= kDeepestLevel) return false;
  // A list grows beyond the limit only while all its keys are permutations of one another,
  // so beyond the first check only the newest key needs a look.
  const std::string& first = list_.front().first;
  const size_t from = list_.size() == kListLimit + 1 ? 1 : list_.size() - 1;
  for (size_t i = from; i < list_.size(); ++i)
    if (!SameBytesInAnyOrder(first, list_[i].first)) return true;
  return false;
}

int32_t TDynamicHash::Find(std::string_view key) {
  if (!key.empty() && key == lastKey_) return lastValue_;
  const int32_t value = FindKey(key);
  lastKey_.assign(key);
  lastValue_ = value;
  return value;
}

int32_t TDynamicHash::FindKey(std::string_view key) const {
  const TDynamicHash* table = this;
  while (table->mode_ == 1) {
    const TDynamicHash* sub = table->table_->SubTables[table->HashOf(key)].get();
    if (!sub) return -1;
    table = sub;
  }
  const int32_t index = table->ListIndexOf(key);
  return index < 0 ? -1 : table->list_[index].second;
}

void TDynamicHash::Remove(std::string_view key) {
  if (level_ == 0 && !IsNiftyID(key)) return;
  // A list removes a key that differs from the given one in letter case, so the remembered
  // key is forgotten under the same comparison; forgetting too often costs only a search.
  if (RemoveKey(key) && SameKey(key, lastKey_)) {
    lastKey_.clear();
    lastValue_ = -1;
  }
}

bool TDynamicHash::RemoveKey(std::string_view key) {
  if (mode_ == 0) {
    const int32_t index = ListIndexOf(key);
    if (index < 0) return false;
    list_.erase(list_.begin() + index);
    folded_.erase(folded_.begin() + index);
    return true;
  }
  const int32_t b = HashOf(key);
  std::unique_ptr<TDynamicHash>& sub = table_->SubTables[b];
  if (!sub) return false;
  // An occupied bucket counts as found whether or not the key itself was in it.
  sub->RemoveKey(key);
  if (sub->Count() == 0) {
    sub.reset();
    table_->BucketKeys[b].clear();
    --table_->OccupiedCount;
  }
  return true;
}

void TDynamicHash::Clear() {
  table_.reset();
  list_.clear();
  folded_.clear();
  mode_ = 0;
  lastKey_.clear();
  lastValue_ = -1;
}

int32_t TDynamicHash::Count() const {
  return mode_ == 0 ? static_cast<int32_t>(list_.size()) : table_->OccupiedCount;
}

void TDynamicHash::ChangeStructure() {
  TTrace::Instance().Printf("ChangeStructure(%d)", level_);
  table_ = std::make_unique<TStaticHashTable>();
  mode_ = 1;
  // Release the list's memory, not only its entries: a table stays in bucket mode for good.
  std::vector<std::pair<std::string, int32_t>> keys = std::move(list_);
  list_ = {};
  folded_ = {};
  for (const auto& [key, value] : keys) PutKey(key, value);
}
