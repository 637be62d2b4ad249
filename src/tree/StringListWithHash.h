#pragma once
// The ID list of one folder: an ordered list of (ID, record) entries with a hash index from ID to
// position, so that "is this ID in the folder" needs no scan.
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "iddb/DynamicHash.h"
#include "tree/ID_DB.h"

class TStringListWithHash {
 public:
  TStringListWithHash();
  ~TStringListWithHash();
  TStringListWithHash(const TStringListWithHash&) = delete;
  TStringListWithHash& operator=(const TStringListWithHash&) = delete;

  int Add(const std::string& text);
  int AddObject(const std::string& text, std::unique_ptr<TminiIDDataSet> record);
  // Blanks the entry in place: no entry moves, so the other positions stay valid.
  void Delete(int index);
  int IndexOf(std::string_view text);  // from the hash alone; -1 when absent
  // IndexOf, and when that gives -1, AddObject(text, make()) with one look into the hash.
  // Returns IndexOf's answer.
  template <class Make>
  int IndexOfOrAdd(const std::string& text, Make&& make) {
    const int index = Hash.FindOrPut(text, Count());
    if (index != -1) return index;
    try {
      entries_.emplace_back(text, make());
    } catch (...) {
      // No entry came with the index just put: take it out again.
      if (Hash.Find(text) == Count()) Hash.Remove(text);
      throw;
    }
    return -1;
  }
  // A sighting of `id` shown with `handle`: a new entry with the handle, or the handle added to
  // the entry already there. This is how finds and imported IDs are filed.
  void FileSighting(const std::string& id, const std::string& handle);
  // Adds `id` with `handle` when the ID is not in the list; an entry already there is left as it
  // is (collecting, copying by drag and drop, search results). Returns whether it was added.
  bool AddIfAbsent(const std::string& id, const std::string& handle);
  void Clear();
  // Drops blank entries and renumbers the rest, keeping their order.
  void CompactIDSet();

  int Count() const { return static_cast<int>(entries_.size()); }
  const std::string& Strings(int index) const { return entries_[index].first; }
  TminiIDDataSet* Objects(int index) const { return entries_[index].second.get(); }

  TDynamicHash Hash{0};

 private:
  std::vector<std::pair<std::string, std::unique_ptr<TminiIDDataSet>>> entries_;
};
