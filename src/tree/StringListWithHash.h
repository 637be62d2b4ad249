#pragma once
// The ID list of one folder: an ordered list of (ID, record) entries with a hash index from ID to
// position, so that "is this ID in the folder" needs no scan.
//
// The records live in the list itself, one after another (the entry's text is its record's ID),
// rather than each in a block of its own: a large import files hundreds of thousands of them.
// A record pointer from Objects stays valid until the next entry is added to the same list.
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "iddb/DynamicHash.h"
#include "tree/ID_DB.h"

class TStringListWithHash {
 public:
  TStringListWithHash();
  ~TStringListWithHash();
  TStringListWithHash(const TStringListWithHash&) = delete;
  TStringListWithHash& operator=(const TStringListWithHash&) = delete;

  int Add(std::string_view text);
  // The record is taken over (its ID becomes text); null adds an entry without a record.
  int AddObject(std::string_view text, std::unique_ptr<TminiIDDataSet> record);
  // Blanks the entry in place: no entry moves, so the other positions stay valid.
  void Delete(int index);
  int IndexOf(std::string_view text);  // from the hash alone; -1 when absent
  // IndexOf, and when that gives -1, AddObject(text, make()) with one look into the hash.
  // Returns IndexOf's answer.
  template <class Make>
  int IndexOfOrAdd(std::string_view text, Make&& make) {
    const int index = Hash.FindOrPut(text, Count());
    if (index != -1) return index;
    try {
      std::unique_ptr<TminiIDDataSet> record = make();
      Append(text, record.get());
    } catch (...) {
      // No entry came with the index just put: take it out again.
      if (Hash.Find(text) == Count()) Hash.Remove(text);
      throw;
    }
    return -1;
  }
  // The same, the new record made in place by fill(record) (a record for text, no handle yet).
  template <class Fill>
  int IndexOfOrAddRecord(std::string_view text, Fill&& fill) {
    const int index = Hash.FindOrPut(text, Count());
    if (index != -1) return index;
    TminiIDDataSet* record = Append(text, nullptr);
    entries_.back().flags = 0;
    fill(*record);
    return -1;
  }
  // A sighting of `id` shown with `handle`: a new entry with the handle, or the handle added to
  // the entry already there. This is how finds and imported IDs are filed.
  void FileSighting(std::string_view id, std::string_view handle);
  // Adds `id` with `handle` when the ID is not in the list; an entry already there is left as it
  // is (collecting, copying by drag and drop, search results). Returns whether it was added.
  bool AddIfAbsent(std::string_view id, std::string_view handle);
  void Clear();
  // Drops blank entries and renumbers the rest, keeping their order.
  void CompactIDSet();

  int Count() const { return static_cast<int>(entries_.size()); }
  std::string_view Strings(int index) const {
    return (entries_[index].flags & kBlank) ? std::string_view() : entries_[index].ID.View();
  }
  TminiIDDataSet* Objects(int index) const {
    // The list hands out its records for change, as a list of owned objects does.
    return (entries_[index].flags & kNoRecord) ? nullptr : const_cast<Entry*>(&entries_[index]);
  }

  TDynamicHash Hash{0};

 private:
  static constexpr uint8_t kBlank = 1;     // deleted: reads as empty text until CompactIDSet
  static constexpr uint8_t kNoRecord = 2;  // added without a record
  // Appends an entry for text, taking over *record when given; returns the stored record.
  TminiIDDataSet* Append(std::string_view text, TminiIDDataSet* record);

  // An entry: its record, and what the list knows of it in the byte after the record's.
  struct Entry : TminiIDDataSet {
    Entry(std::string_view text, uint8_t f) : TminiIDDataSet(text), flags(f) {}
    Entry(TminiIDDataSet&& record, uint8_t f) : TminiIDDataSet(std::move(record)), flags(f) {}
    uint8_t flags;
  };
  // The entries, one after another in one block. A record holds its texts and the pointers to
  // its heap blocks as plain bytes (moving one copies the bytes and forgets the source), so the
  // block grows by copying its bytes to a larger one, without moving entries one by one.
  class Entries {
   public:
    Entries() = default;
    ~Entries() { clear(); std::free(data_); }
    Entries(const Entries&) = delete;
    Entries& operator=(const Entries&) = delete;

    size_t size() const { return size_; }
    Entry& operator[](size_t i) { return data_[i]; }
    const Entry& operator[](size_t i) const { return data_[i]; }
    Entry& back() { return data_[size_ - 1]; }
    Entry* begin() { return data_; }
    Entry* end() { return data_ + size_; }
    template <class... Args>
    Entry& emplace_back(Args&&... args);
    // Destroys the entries; the block stays.
    void clear();
    // Takes over other's entries and block, leaving it empty.
    void swap(Entries& other) noexcept;

   private:
    Entry* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
  };
  Entries entries_;
};

template <class... Args>
TStringListWithHash::Entry& TStringListWithHash::Entries::emplace_back(Args&&... args) {
  if (size_ == capacity_) {
    // Grown by a quarter rather than doubled: the room left by the last growth is memory every
    // folder keeps, and copying the small records again costs little.
    const size_t capacity = size_ + size_ / 4 + 2;
    void* larger = std::realloc(static_cast<void*>(data_), capacity * sizeof(Entry));
    if (!larger) throw std::bad_alloc();
    data_ = static_cast<Entry*>(larger);
    capacity_ = capacity;
  }
  Entry* entry = new (data_ + size_) Entry(std::forward<Args>(args)...);
  ++size_;
  return *entry;
}
