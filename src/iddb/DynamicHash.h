#pragma once
// A text-keyed table of non-negative integers (in practice: user ID -> list position). It starts
// as a short list and, at the 65th key, turns into 256 buckets each holding a table one level
// deeper, which may split the same way.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TStaticHashTable;

class TDynamicHash {
 public:
  explicit TDynamicHash(int32_t level = 0);
  ~TDynamicHash();
  TDynamicHash(const TDynamicHash&) = delete;
  TDynamicHash& operator=(const TDynamicHash&) = delete;

  void Put(std::string_view key, int32_t value);
  int32_t Find(std::string_view key);  // -1 when absent
  // Find, and when that gives -1, Put(key, value), with one walk down the tables where it can;
  // returns what Find gave. The remembered key ends as after the two calls.
  int32_t FindOrPut(std::string_view key, int32_t value);
  void Remove(std::string_view key);
  void Clear();
  int32_t Count() const;
  int32_t HashOf(std::string_view key) const;

  bool IsBucketMode() const { return table_ != nullptr; }
  int32_t Level() const { return level_; }

 private:
  friend class TStaticHashTable;
  // A sub-table is one block of memory: the table, the tag row, the slots. A look-up reaches
  // its list with one hop from the bucket; growing the list moves the whole sub-table to a
  // larger block, and the bucket is pointed at the new one (so does its switch to buckets, to
  // a block without room for a list).
  static TDynamicHash* NewSubTable(int32_t level, uint32_t capacity);
  static void DeleteSubTable(TDynamicHash* sub);
  static TDynamicHash* MovedSubTable(TDynamicHash* sub, uint32_t capacity);
  void ReserveSlots(uint32_t count);  // the table a user holds: its list block grows in place
  void FreeSlots();
  uint8_t* Tags() const;  // the tag row, in front of the slots

  void ChangeStructure();
  bool RemoveKey(std::string_view key);  // returns the found mark
  // Put and Find below the remembered key: the remembered pair of the table a user holds is
  // the only one anybody can observe, so sub-tables keep none.
  void PutKey(std::string_view key, int32_t value);
  int32_t FindKey(std::string_view key) const;
  // Appends a key known to be absent from the list of `table` (folded already), splitting if
  // it must. `bucket` holds the sub-table, or is null for the table a user holds.
  static void AppendKey(TDynamicHash* table, TDynamicHash** bucket, std::string_view key, uint64_t folded,
                        uint32_t shape, int32_t value);
  int32_t ListIndexOf(std::string_view key) const;
  int32_t ListIndexOf(std::string_view key, uint64_t folded, uint32_t shape) const;  // key folded already
  bool SplitWouldSeparate() const;
  std::string KeyAt(size_t index) const;  // a list key as it was given

  bool IsLastKey(std::string_view key) const;
  void RememberKey(std::string_view key, int32_t value);
  void ForgetKey();
  std::string_view LastKey() const;

  // List mode keeps one 16-byte slot per key, in insertion order. A key of up to eight bytes
  // (every ID) lives entirely in its slot: the bytes with small letters made capital, which is
  // what the search compares, and a bit per byte to restore the small letters.
  struct Slot {
    uint64_t folded;  // the first eight bytes, single-byte letters upper-cased, zero-padded
    int32_t value;
    uint32_t shape;  // length (at most 2^24 - 1) << 8 | the small-letter bits
  };
  // The remembered key and value; every Find reads and writes them, so a key of up to 16
  // bytes is kept in place rather than in a string. Made by the first Put or Find.
  struct Remembered {
    char shortKey[16] = {};
    uint32_t length = 0;
    int32_t value = -1;
    std::string longKey;
  };

  // Bucket mode is the presence of the bucket table.
  std::unique_ptr<TStaticHashTable> table_;
  // List mode: size_ keys in a block of capacity_ slots, after a row of one tag byte per slot.
  // A sub-table's slots follow it in its own block (trailing_).
  Slot* slots_ = nullptr;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;
  int32_t level_ = 0;
  uint16_t levelFactor_ = 0;  // level mod 253, as it enters the bucket number
  bool trailing_ = false;
  // The keys as given, parallel to the slots, only once a key longer than eight bytes is in
  // the list (keys with spaces around them or double-byte characters).
  std::unique_ptr<std::vector<std::string>> keys_;
  std::unique_ptr<Remembered> last_;  // only in the table a user holds
};

// The fixed bucket array of a table in bucket mode: one sub-table per occupied bucket (a bucket
// is occupied exactly while it has a sub-table). 2 KB, so the arrays of many tables stay in
// the cache.
class TStaticHashTable {
 public:
  TStaticHashTable();
  ~TStaticHashTable();  // deletes every sub-table
  TStaticHashTable(const TStaticHashTable&) = delete;
  TStaticHashTable& operator=(const TStaticHashTable&) = delete;
  std::array<TDynamicHash*, 256> SubTables{};  // owned
  int32_t OccupiedCount = 0;
};
