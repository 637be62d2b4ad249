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

constexpr uint32_t kLongestShapeLength = 0xFFFFFF;

bool SameBytesInAnyOrder(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  std::string x(a), y(b);
  std::sort(x.begin(), x.end());
  std::sort(y.begin(), y.end());
  return x == y;
}

constexpr unsigned char UpperByte(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 0x20 : c; }

struct Folded {
  uint64_t word;   // the first eight bytes, single-byte letters upper-cased, zero-padded
  uint32_t shape;  // length << 8 | bit i set where byte i was a small letter
};

// What list search compares: a key with its single-byte letters made capital (double-byte
// characters kept as they are), the first eight bytes packed into one word.
Folded Fold(std::string_view key) {
  const auto* p = reinterpret_cast<const unsigned char*>(key.data());
  const size_t n = key.size();
  const uint32_t length = static_cast<uint32_t>(std::min<size_t>(n, kLongestShapeLength));
  uint64_t word = 0;
  if (n >= 8) {
    std::memcpy(&word, p, 8);
    constexpr uint64_t kHigh = 0x8080808080808080ULL;
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    if ((word & kHigh) == 0) {
      // Only single-byte characters: mark the bytes in 'a'..'z' in their high bit. No byte
      // is above 0x7F, so the additions never carry into a neighbour.
      const uint64_t atLeastA = (word + kOnes * (0x80 - 'a')) & kHigh;
      const uint64_t aboveZ = (word + kOnes * (0x80 - 'z' - 1)) & kHigh;
      const uint64_t small = atLeastA & ~aboveZ;
      // Gathers the eight marks into bits 0..7 (bit i for byte i).
      const uint32_t bits = static_cast<uint32_t>(((small >> 7) * 0x0102040810204080ULL) >> 56);
      return {word ^ (small >> 2), length << 8 | bits};
    }
    word = 0;
  }
  unsigned char out[8] = {};
  uint32_t bits = 0;
  const size_t limit = n < 8 ? n : 8;
  for (size_t i = 0; i < limit;) {
    if (IsLeadByte(p[i])) {
      out[i] = p[i];
      if (i + 1 < limit) out[i + 1] = p[i + 1];
      i += 2;
    } else {
      out[i] = UpperByte(p[i]);
      if (out[i] != p[i]) bits |= 1u << i;
      ++i;
    }
  }
  std::memcpy(&word, out, 8);
  return {word, length << 8 | bits};
}

// A key of up to eight bytes back from its folded form, into `out`; returns its length.
size_t UnfoldTo(char (&out)[8], uint64_t word, uint32_t shape) {
  const size_t n = shape >> 8;
  unsigned char bytes[8];
  std::memcpy(bytes, &word, 8);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>(shape & (1u << i) ? bytes[i] | 0x20 : bytes[i]);
  return n;
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

// Equality of two texts of the same length of at most 16 bytes, without a library call.
bool SameShortBytes(const char* a, const char* b, size_t n) {
  if (n >= 8) {
    uint64_t a1, b1, a2, b2;
    std::memcpy(&a1, a, 8);
    std::memcpy(&b1, b, 8);
    std::memcpy(&a2, a + n - 8, 8);
    std::memcpy(&b2, b + n - 8, 8);
    return a1 == b1 && a2 == b2;
  }
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

}  // namespace

TStaticHashTable::TStaticHashTable() = default;
TStaticHashTable::~TStaticHashTable() = default;

TDynamicHash::TDynamicHash(int32_t level)
    : levelFactor_(static_cast<uint32_t>(((level % 253) + 253) % 253)), level_(level) {}

TDynamicHash::~TDynamicHash() = default;

namespace {

// h := h * (byte + level) mod 253 for every byte, starting from 1. Products of four factors
// are formed before each reduction (h < 253 and each factor < 512, so the product stays below
// 2^44): the same result with a quarter of the divisions, and the multiplications of a group
// do not wait for each other.
inline uint32_t BucketOf(std::string_view key, uint64_t l) {
  const auto* p = reinterpret_cast<const unsigned char*>(key.data());
  const size_t n = key.size();
  if (n == 8) {  // every ID: the two halves are reduced side by side
    const uint64_t a = ((p[0] + l) * (p[1] + l)) * ((p[2] + l) * (p[3] + l));
    const uint64_t b = ((p[4] + l) * (p[5] + l)) * ((p[6] + l) * (p[7] + l));
    return static_cast<uint32_t>(((a % 253) * (b % 253)) % 253);
  }
  uint64_t h = 1;
  size_t i = 0;
  for (; i + 4 <= n; i += 4) h = (h * (((p[i] + l) * (p[i + 1] + l)) * ((p[i + 2] + l) * (p[i + 3] + l)))) % 253;
  for (; i < n; ++i) h = (h * (p[i] + l)) % 253;
  return static_cast<uint32_t>(h);
}

}  // namespace

int32_t TDynamicHash::HashOf(std::string_view key) const {
  return static_cast<int32_t>(BucketOf(key, levelFactor_));
}

std::string TDynamicHash::KeyAt(size_t index) const {
  if (keys_) return (*keys_)[index];
  char bytes[8];
  return std::string(bytes, UnfoldTo(bytes, slots_[index].folded, slots_[index].shape));
}

int32_t TDynamicHash::ListIndexOf(std::string_view key) const {
  const Folded f = Fold(key);
  return ListIndexOf(key, f.word, f.shape);
}

int32_t TDynamicHash::ListIndexOf(std::string_view key, uint64_t word, uint32_t shape) const {
  const Folded f{word, shape};
  const uint32_t length = f.shape >> 8;
  const Slot* slots = slots_.data();
  const size_t n = slots_.size();
  for (size_t i = 0; i < n; ++i) {
    if (slots[i].folded != f.word || (slots[i].shape >> 8) != length) continue;
    // Equal words settle keys of up to eight bytes; longer ones need the whole comparison.
    if (length <= 8 || SameKey((*keys_)[i], key)) return static_cast<int32_t>(i);
  }
  return -1;
}

void TDynamicHash::Put(std::string_view key, int32_t value) {
  // Only the table a user holds tests its keys; sub-tables receive keys that passed already.
  if (level_ == 0 && !IsNiftyID(key)) return;
  PutKey(key, value);
  RememberKey(key, value);
}

void TDynamicHash::PutKey(std::string_view key, int32_t value) {
  TDynamicHash* table = this;
  // Walk down the bucket levels; only the list at the bottom holds keys.
  while (table->table_) {
    const uint32_t b = BucketOf(key, table->levelFactor_);
    TStaticHashTable& buckets = *table->table_;
    std::unique_ptr<TDynamicHash>& sub = buckets.SubTables[b];
    if (!sub) {
      // A bucket key is set exactly when its sub-table exists, so an occupied bucket needs no
      // look at its key: on a large table that look is a cache miss per level.
      if (buckets.BucketKeys[b].empty()) {
        buckets.BucketKeys[b].assign(key);
        ++buckets.OccupiedCount;
      }
      sub = std::make_unique<TDynamicHash>(table->level_ + 1);
      TTrace::Instance().Printf("MakeSubHash(%d)", table->level_ + 1);
    }
    table = sub.get();
  }
  const Folded f = Fold(key);
  const int32_t index = table->ListIndexOf(key, f.word, f.shape);
  if (index >= 0) {
    table->slots_[index].value = value;
    return;
  }
  table->AppendKey(key, f.word, f.shape, value);
}

void TDynamicHash::AppendKey(std::string_view key, uint64_t folded, uint32_t shape, int32_t value) {
  if (key.size() > 8 && !keys_) {
    // The first long key: from now on every key is kept as given as well.
    auto keys = std::make_unique<std::vector<std::string>>();
    for (size_t i = 0; i < slots_.size(); ++i) keys->push_back(KeyAt(i));
    keys_ = std::move(keys);
  }
  slots_.push_back({folded, value, shape});
  if (keys_) keys_->emplace_back(key);
  if (slots_.size() > kListLimit && SplitWouldSeparate()) ChangeStructure();
}

bool TDynamicHash::SplitWouldSeparate() const {
  if (level_ >= kDeepestLevel) return false;
  // A list grows beyond the limit only while all its keys are permutations of one another,
  // so beyond the first check only the newest key needs a look.
  const std::string first = KeyAt(0);
  const size_t n = slots_.size();
  for (size_t i = n == kListLimit + 1 ? 1 : n - 1; i < n; ++i)
    if (!SameBytesInAnyOrder(first, KeyAt(i))) return true;
  return false;
}

int32_t TDynamicHash::Find(std::string_view key) {
  if (!key.empty() && IsLastKey(key)) return last_->value;
  const int32_t value = FindKey(key);
  RememberKey(key, value);
  return value;
}

int32_t TDynamicHash::FindOrPut(std::string_view key, int32_t value) {
  if (!key.empty() && IsLastKey(key)) {
    const int32_t known = last_->value;
    if (known == -1) Put(key, value);
    return known;
  }
  // Down to the list that holds the key, or to the bucket that has no table yet.
  TDynamicHash* table = this;
  while (table->table_) {
    TDynamicHash* sub = table->table_->SubTables[BucketOf(key, table->levelFactor_)].get();
    if (!sub) break;
    table = sub;
  }
  Folded f{};
  if (!table->table_) {
    f = Fold(key);
    const int32_t index = table->ListIndexOf(key, f.word, f.shape);
    if (index >= 0) {
      const int32_t known = table->slots_[index].value;
      RememberKey(key, known);
      if (known == -1) Put(key, value);
      return known;
    }
  }
  // Absent: what Put does, without searching again.
  if (level_ == 0 && !IsNiftyID(key)) {
    RememberKey(key, -1);
    return -1;
  }
  if (table->table_)
    table->PutKey(key, value);  // a new sub-table below this one
  else
    table->AppendKey(key, f.word, f.shape, value);
  RememberKey(key, value);
  return -1;
}

int32_t TDynamicHash::FindKey(std::string_view key) const {
  const TDynamicHash* table = this;
  while (table->table_) {
    const TDynamicHash* sub = table->table_->SubTables[BucketOf(key, table->levelFactor_)].get();
    if (!sub) return -1;
    table = sub;
  }
  const int32_t index = table->ListIndexOf(key);
  return index < 0 ? -1 : table->slots_[index].value;
}

void TDynamicHash::Remove(std::string_view key) {
  if (level_ == 0 && !IsNiftyID(key)) return;
  // A list removes a key that differs from the given one in letter case, so the remembered
  // key is forgotten under the same comparison; forgetting too often costs only a search.
  if (RemoveKey(key) && SameKey(key, LastKey())) ForgetKey();
}

bool TDynamicHash::RemoveKey(std::string_view key) {
  if (!table_) {
    const int32_t index = ListIndexOf(key);
    if (index < 0) return false;
    slots_.erase(slots_.begin() + index);
    if (keys_) keys_->erase(keys_->begin() + index);
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
  slots_.clear();
  keys_.reset();
  ForgetKey();
}

int32_t TDynamicHash::Count() const {
  return table_ ? table_->OccupiedCount : static_cast<int32_t>(slots_.size());
}

void TDynamicHash::ChangeStructure() {
  TTrace::Instance().Printf("ChangeStructure(%d)", level_);
  // The list is taken out whole, so its memory goes when this ends, not only its entries: a
  // table stays in bucket mode for good.
  const std::vector<Slot> slots = std::exchange(slots_, {});
  const std::unique_ptr<std::vector<std::string>> keys = std::move(keys_);
  table_ = std::make_unique<TStaticHashTable>();
  for (size_t i = 0; i < slots.size(); ++i) {
    if (keys) {
      PutKey((*keys)[i], slots[i].value);
    } else {
      char bytes[8];
      PutKey(std::string_view(bytes, UnfoldTo(bytes, slots[i].folded, slots[i].shape)), slots[i].value);
    }
  }
}

bool TDynamicHash::IsLastKey(std::string_view key) const {
  if (!last_ || key.size() != last_->length) return false;
  if (key.size() > sizeof last_->shortKey) return key == last_->longKey;
  return SameShortBytes(key.data(), last_->shortKey, key.size());
}

void TDynamicHash::RememberKey(std::string_view key, int32_t value) {
  if (!last_) last_ = std::make_unique<Remembered>();
  Remembered& r = *last_;
  r.value = value;
  r.length = static_cast<uint32_t>(key.size());
  if (key.size() > sizeof r.shortKey) {
    r.longKey.assign(key);
    return;
  }
  const char* k = key.data();
  const size_t n = key.size();
  if (n >= 8) {
    // Two overlapping words cover 8..16 bytes.
    std::memcpy(r.shortKey, k, 8);
    std::memcpy(r.shortKey + n - 8, k + n - 8, 8);
  } else {
    for (size_t i = 0; i < n; ++i) r.shortKey[i] = k[i];
  }
}

void TDynamicHash::ForgetKey() {
  if (!last_) return;
  last_->length = 0;
  last_->value = -1;
  last_->longKey.clear();
}

std::string_view TDynamicHash::LastKey() const {
  if (!last_) return {};
  if (last_->length > sizeof last_->shortKey) return last_->longKey;
  return std::string_view(last_->shortKey, last_->length);
}
