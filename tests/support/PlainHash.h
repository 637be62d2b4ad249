#pragma once
// A model of TDynamicHash for tests and fuzzing to hold the real table against.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "analysis/Check.h"
#include "analysis/jstrm.h"

namespace quillet_test {

// The table's rules written as plainly as possible: a list of (key, value) pairs that turns into
// 256 buckets of tables one level deeper at the 65th key (unless every key is a byte permutation
// of the first, or the table is 32 levels down), the ID test at level 0, the remembered key.
class PlainHash {
 public:
  explicit PlainHash(int level, std::vector<std::string>* trace) : level_(level), trace_(trace) {}

  void Put(const std::string& key, int32_t value) {
    if (level_ == 0 && !IsNiftyID(key)) return;
    PutKey(key, value);
    Remember(key, value);
  }
  int32_t Find(const std::string& key) {
    if (!key.empty() && remembered_ && key == lastKey_) return lastValue_;
    const int32_t value = FindKey(key);
    Remember(key, value);
    return value;
  }
  int32_t FindOrPut(const std::string& key, int32_t value) {
    const int32_t found = Find(key);
    if (found == -1) Put(key, value);
    return found;
  }
  void Remove(const std::string& key) {
    if (level_ == 0 && !IsNiftyID(key)) return;
    if (RemoveKey(key) && remembered_ && SameKey(key, lastKey_)) remembered_ = false;
  }
  void Clear() {
    list_.clear();
    for (auto& sub : subs_) sub.reset();
    bucketMode_ = false;
    occupied_ = 0;
    remembered_ = false;
  }
  int32_t Count() const { return bucketMode_ ? occupied_ : static_cast<int32_t>(list_.size()); }
  bool IsBucketMode() const { return bucketMode_; }

 private:
  static bool SameKey(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
      if (IsLeadByte(x)) {  // a double-byte character, byte for byte
        if (x != y || (i + 1 < a.size() && a[i + 1] != b[i + 1])) return false;
        ++i;
      } else if (std::toupper(x) != std::toupper(y)) {
        return false;
      }
    }
    return true;
  }
  int Bucket(const std::string& key) const {
    int h = 1;
    for (const char c : key) h = h * (static_cast<unsigned char>(c) + level_) % 253;
    return h;
  }
  void Remember(const std::string& key, int32_t value) {
    remembered_ = true;
    lastKey_ = key;
    lastValue_ = value;
  }
  void PutKey(const std::string& key, int32_t value) {
    if (bucketMode_) {
      std::unique_ptr<PlainHash>& sub = subs_[Bucket(key)];
      if (!sub) {
        sub = std::make_unique<PlainHash>(level_ + 1, trace_);
        ++occupied_;
        trace_->push_back("MakeSubHash(" + std::to_string(level_ + 1) + ")");
      }
      sub->PutKey(key, value);
      return;
    }
    for (auto& [k, v] : list_) {
      if (SameKey(k, key)) {
        v = value;
        return;
      }
    }
    list_.emplace_back(key, value);
    if (list_.size() <= 64 || level_ >= 32) return;
    std::string first = list_[0].first;
    std::sort(first.begin(), first.end());
    const bool allPermutations = std::all_of(list_.begin(), list_.end(), [&first](const auto& entry) {
      std::string k = entry.first;
      std::sort(k.begin(), k.end());
      return k == first;
    });
    if (allPermutations) return;
    trace_->push_back("ChangeStructure(" + std::to_string(level_) + ")");
    bucketMode_ = true;
    const auto old = std::move(list_);
    list_.clear();
    for (const auto& [k, v] : old) PutKey(k, v);
  }
  int32_t FindKey(const std::string& key) const {
    if (bucketMode_) {
      const auto& sub = subs_[Bucket(key)];
      return sub ? sub->FindKey(key) : -1;
    }
    for (const auto& [k, v] : list_)
      if (SameKey(k, key)) return v;
    return -1;
  }
  bool RemoveKey(const std::string& key) {
    if (bucketMode_) {
      std::unique_ptr<PlainHash>& sub = subs_[Bucket(key)];
      if (!sub) return false;
      sub->RemoveKey(key);
      if (sub->Count() == 0) {
        sub.reset();
        --occupied_;
      }
      return true;
    }
    for (auto it = list_.begin(); it != list_.end(); ++it) {
      if (SameKey(it->first, key)) {
        list_.erase(it);
        return true;
      }
    }
    return false;
  }

  const int level_;
  std::vector<std::string>* const trace_;
  std::vector<std::pair<std::string, int32_t>> list_;
  bool bucketMode_ = false;
  std::array<std::unique_ptr<PlainHash>, 256> subs_;
  int32_t occupied_ = 0;
  bool remembered_ = false;
  std::string lastKey_;
  int32_t lastValue_ = -1;
};

}  // namespace quillet_test
