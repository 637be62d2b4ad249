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

class TDynamicHash;

// The fixed bucket array of a table in bucket mode.
class TStaticHashTable {
 public:
  TStaticHashTable();
  ~TStaticHashTable();
  std::array<std::string, 256> BucketKeys;                 // non-empty = occupied
  std::array<std::unique_ptr<TDynamicHash>, 256> SubTables;  // one per occupied bucket
  int32_t OccupiedCount = 0;
};

class TDynamicHash {
 public:
  explicit TDynamicHash(int32_t level = 0);
  ~TDynamicHash();
  TDynamicHash(const TDynamicHash&) = delete;
  TDynamicHash& operator=(const TDynamicHash&) = delete;

  void Put(std::string_view key, int32_t value);
  int32_t Find(std::string_view key);  // -1 when absent
  void Remove(std::string_view key);
  void Clear();
  int32_t Count() const;
  int32_t HashOf(std::string_view key) const;

  bool IsBucketMode() const { return mode_ == 1; }
  int32_t Level() const { return level_; }

 private:
  void ChangeStructure();
  bool RemoveKey(std::string_view key);  // returns the found mark
  // Put and Find below the remembered key: the remembered pair of the table a user holds is
  // the only one anybody can observe, so sub-tables keep none.
  void PutKey(std::string_view key, int32_t value);
  int32_t FindKey(std::string_view key) const;
  int32_t ListIndexOf(std::string_view key) const;
  bool SplitWouldSeparate() const;

  std::unique_ptr<TStaticHashTable> table_;
  std::vector<std::pair<std::string, int32_t>> list_;
  std::vector<uint64_t> folded_;  // per list entry: its first eight bytes, letters upper-cased
  uint8_t mode_ = 0;
  int32_t level_ = 0;
  uint32_t levelFactor_ = 0;  // level mod 253, as it enters the bucket number
  std::string lastKey_;
  int32_t lastValue_ = -1;
};
