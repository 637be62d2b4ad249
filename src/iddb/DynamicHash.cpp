#include "iddb/DynamicHash.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

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
TStaticHashTable::~TStaticHashTable() {
  for (TDynamicHash* sub : SubTables)
    if (sub) TDynamicHash::DeleteSubTable(sub);
}

TDynamicHash::TDynamicHash(int32_t level)
    : level_(level), levelFactor_(static_cast<uint16_t>(((level % 253) + 253) % 253)) {}

TDynamicHash::~TDynamicHash() {
  if (!trailing_) FreeSlots();
}

namespace {

constexpr uint64_t kEveryByte = 0x0101010101010101ULL;
constexpr uint64_t kEveryHighBit = 0x8080808080808080ULL;

// One byte standing for a folded key in the list's tag row, so that a search reads the row (a
// list of 64 keys has 64 bytes of tags against 1 KB of slots) and looks at a slot only where
// the byte agrees.
inline uint8_t TagOf(uint64_t word, uint32_t shape) {
  return static_cast<uint8_t>(((word ^ (shape >> 8)) * 0x9E3779B97F4A7C15ULL) >> 56);
}

// The tag row of a block of `capacity` slots, in whole words of eight tags.
constexpr size_t TagBytes(uint32_t capacity) { return (size_t{capacity} + 7) & ~size_t{7}; }

}  // namespace

uint8_t* TDynamicHash::Tags() const { return reinterpret_cast<uint8_t*>(slots_) - TagBytes(capacity_); }

void TDynamicHash::FreeSlots() {
  if (slots_ && !trailing_) std::free(Tags());
  slots_ = nullptr;
  size_ = capacity_ = 0;
}

namespace {

// Sub-tables start with room for one key: in a folder of a few hundred IDs most buckets hold
// one, and the room for three more would cost as much again as the sub-table itself.
constexpr uint32_t kFirstCapacity = 1;

// A sub-table block: the table, then its tag row and slots.
constexpr size_t kHeadBytes = (sizeof(TDynamicHash) + 7) & ~size_t{7};

}  // namespace

TDynamicHash* TDynamicHash::NewSubTable(int32_t level, uint32_t capacity) {
  const size_t bytes = kHeadBytes + TagBytes(capacity) + size_t{capacity} * sizeof(Slot);
  auto* block = static_cast<uint8_t*>(std::malloc(bytes));
  if (!block) throw std::bad_alloc();
  auto* sub = new (block) TDynamicHash(level);
  sub->trailing_ = true;
  if (capacity == 0) return sub;  // a table in bucket mode: no list
  std::memset(block + kHeadBytes, 0, TagBytes(capacity));
  sub->slots_ = reinterpret_cast<Slot*>(block + kHeadBytes + TagBytes(capacity));
  sub->capacity_ = capacity;
  return sub;
}

void TDynamicHash::DeleteSubTable(TDynamicHash* sub) {
  sub->~TDynamicHash();
  std::free(sub);
}

TDynamicHash* TDynamicHash::MovedSubTable(TDynamicHash* sub, uint32_t capacity) {
  TDynamicHash* moved = NewSubTable(sub->level_, capacity);
  // The remembered key is never kept below the table a user holds.
  moved->table_ = std::move(sub->table_);
  moved->keys_ = std::move(sub->keys_);
  if (sub->size_ != 0) {
    moved->size_ = sub->size_;
    std::memcpy(moved->Tags(), sub->Tags(), sub->size_);
    std::memcpy(moved->slots_, sub->slots_, size_t{sub->size_} * sizeof(Slot));
  }
  DeleteSubTable(sub);
  return moved;
}

void TDynamicHash::ReserveSlots(uint32_t count) {
  if (count <= capacity_) return;
  // Most lists stay short: the block starts at four slots and grows by half (the room a list
  // leaves unused counts in every folder of a large import). It holds the tag row and then the
  // slots.
  const uint32_t capacity = std::max<uint32_t>(count, capacity_ == 0 ? 4 : (capacity_ * 3 / 2 + 3) & ~3u);
  auto* block = static_cast<uint8_t*>(std::malloc(TagBytes(capacity) + size_t{capacity} * sizeof(Slot)));
  if (!block) throw std::bad_alloc();
  std::memset(block, 0, TagBytes(capacity));
  Slot* slots = reinterpret_cast<Slot*>(block + TagBytes(capacity));
  if (slots_) {
    std::memcpy(block, Tags(), size_);
    std::memcpy(slots, slots_, size_t{size_} * sizeof(Slot));
    std::free(Tags());
  }
  slots_ = slots;
  capacity_ = capacity;
}

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
  const uint32_t length = shape >> 8;
  const size_t n = size_;
  if (n == 0) return -1;
  const Slot* slots = slots_;
  const uint8_t* tags = Tags();
  const uint64_t pattern = kEveryByte * TagOf(word, shape);
  for (size_t base = 0; base < n; base += 8) {
    uint64_t row;
    std::memcpy(&row, tags + base, 8);  // within the row: it is whole words long
    const uint64_t x = row ^ pattern;
    // A high bit for each zero byte of x, that is each agreeing tag (bytes above an agreeing
    // one may be marked as well; the slot comparison sorts them out).
    uint64_t candidates = (x - kEveryByte) & ~x & kEveryHighBit;
    if (n - base < 8) candidates &= (uint64_t{1} << ((n - base) * 8)) - 1;  // tags past the end
    for (; candidates != 0; candidates &= candidates - 1) {
      const size_t i = base + (static_cast<size_t>(__builtin_ctzll(candidates)) >> 3);
      if (slots[i].folded != word || (slots[i].shape >> 8) != length) continue;
      // Equal words settle keys of up to eight bytes; longer ones need the whole comparison.
      if (length <= 8 || SameKey((*keys_)[i], key)) return static_cast<int32_t>(i);
    }
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
  TDynamicHash** bucket = nullptr;
  // Walk down the bucket levels; only the list at the bottom holds keys.
  while (table->table_) {
    const uint32_t b = BucketOf(key, table->levelFactor_);
    TStaticHashTable& buckets = *table->table_;
    TDynamicHash*& sub = buckets.SubTables[b];
    if (!sub) {
      sub = NewSubTable(table->level_ + 1, kFirstCapacity);
      ++buckets.OccupiedCount;
      TTrace::Instance().Printf("MakeSubHash(%d)", table->level_ + 1);
    }
    bucket = &sub;
    table = sub;
  }
  const Folded f = Fold(key);
  const int32_t index = table->ListIndexOf(key, f.word, f.shape);
  if (index >= 0) {
    table->slots_[index].value = value;
    return;
  }
  AppendKey(table, bucket, key, f.word, f.shape, value);
}

void TDynamicHash::AppendKey(TDynamicHash* table, TDynamicHash** bucket, std::string_view key, uint64_t folded,
                             uint32_t shape, int32_t value) {
  if (key.size() > 8 && !table->keys_) {
    // The first long key: from now on every key is kept as given as well.
    auto keys = std::make_unique<std::vector<std::string>>();
    for (size_t i = 0; i < table->size_; ++i) keys->push_back(table->KeyAt(i));
    table->keys_ = std::move(keys);
  }
  if (table->size_ == table->capacity_) {
    if (bucket)
      table = *bucket = MovedSubTable(table, table->capacity_ * 2);
    else
      table->ReserveSlots(table->size_ + 1);
  }
  if (table->keys_) table->keys_->emplace_back(key);
  table->Tags()[table->size_] = TagOf(folded, shape);
  table->slots_[table->size_++] = Slot{folded, value, shape};
  if (table->size_ > kListLimit && table->SplitWouldSeparate()) {
    table->ChangeStructure();
    // A sub-table's list lay in its own block: move the table to a block without that room.
    if (bucket) *bucket = MovedSubTable(table, 0);
  }
}

bool TDynamicHash::SplitWouldSeparate() const {
  if (level_ >= kDeepestLevel) return false;
  // A list grows beyond the limit only while all its keys are permutations of one another,
  // so beyond the first check only the newest key needs a look.
  const std::string first = KeyAt(0);
  const size_t n = size_;
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
  TDynamicHash** bucket = nullptr;
  while (table->table_) {
    TDynamicHash*& sub = table->table_->SubTables[BucketOf(key, table->levelFactor_)];
    if (!sub) break;
    bucket = &sub;
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
    AppendKey(table, bucket, key, f.word, f.shape, value);
  RememberKey(key, value);
  return -1;
}

int32_t TDynamicHash::FindKey(std::string_view key) const {
  const TDynamicHash* table = this;
  while (table->table_) {
    const TDynamicHash* sub = table->table_->SubTables[BucketOf(key, table->levelFactor_)];
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
    std::memmove(slots_ + index, slots_ + index + 1, (size_ - index - 1) * sizeof(Slot));
    uint8_t* tags = Tags();
    std::memmove(tags + index, tags + index + 1, size_ - index - 1);
    tags[--size_] = 0;
    if (keys_) keys_->erase(keys_->begin() + index);
    return true;
  }
  TDynamicHash*& sub = table_->SubTables[HashOf(key)];
  if (!sub) return false;
  // An occupied bucket counts as found whether or not the key itself was in it.
  sub->RemoveKey(key);
  if (sub->Count() == 0) {
    DeleteSubTable(std::exchange(sub, nullptr));
    --table_->OccupiedCount;
  }
  return true;
}

void TDynamicHash::Clear() {
  table_.reset();
  FreeSlots();
  keys_.reset();
  ForgetKey();
}

int32_t TDynamicHash::Count() const {
  return table_ ? table_->OccupiedCount : static_cast<int32_t>(size_);
}

void TDynamicHash::ChangeStructure() {
  TTrace::Instance().Printf("ChangeStructure(%d)", level_);
  // The list is taken out whole, so its memory goes when this ends, not only its entries: a
  // table stays in bucket mode for good.
  // A sub-table's list lies in the sub-table's own block: whoever holds the sub-table moves it
  // to a smaller one afterwards.
  const std::unique_ptr<uint8_t, decltype(&std::free)> block(trailing_ ? nullptr : Tags(), &std::free);
  const Slot* const slots = std::exchange(slots_, nullptr);
  const size_t count = std::exchange(size_, 0);
  capacity_ = 0;
  const std::unique_ptr<std::vector<std::string>> keys = std::move(keys_);
  table_ = std::make_unique<TStaticHashTable>();
  for (size_t i = 0; i < count; ++i) {
    if (keys) {
      PutKey((*keys)[i], slots[i].value);
    } else {
      char bytes[8];
      const Slot& slot = slots[i];
      PutKey(std::string_view(bytes, UnfoldTo(bytes, slot.folded, slot.shape)), slot.value);
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
