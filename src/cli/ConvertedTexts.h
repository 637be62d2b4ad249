#pragma once
// Shift-JIS texts with one converted form each (UTF-8, a JSON string), each form made once: a
// printed tree names the same handles and folder names in many folders, hundreds of thousands
// of times in a large import.
//
// An open-addressing table over a hash of the text's bytes, the texts and their forms back to
// back in one block, so that a look-up is a multiplication and one or two compares of short
// texts, with no allocation once a text is known.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

class ConvertedTexts {
 public:
  using Convert = std::string (*)(std::string_view);
  explicit ConvertedTexts(Convert convert) : convert_(convert) {}

  // The converted form of `text`, made by the conversion the first time the text is asked for.
  // The view is valid until the next call.
  std::string_view Of(std::string_view text);
  size_t size() const { return count_; }

 private:
  struct Slot {
    uint64_t hash = 0;  // 0: empty (a hash is never 0)
    uint32_t text = 0;  // offsets into bytes_
    uint32_t textSize = 0;
    uint32_t form = 0;
    uint32_t formSize = 0;
  };
  static uint64_t HashOf(std::string_view text);
  bool Holds(const Slot& slot, uint64_t hash, std::string_view text) const;
  std::string_view FormOf(const Slot& slot) const { return std::string_view(bytes_).substr(slot.form, slot.formSize); }
  void Grow();

  Convert convert_;
  std::vector<Slot> slots_;
  int shift_ = 64;  // the slot of a hash is its top (64 - shift_) bits
  size_t count_ = 0;
  std::string bytes_;
  std::string overflow_;  // a form that found no room in bytes_
  // The slot asked for last: a record's shown handle is mostly its only handle as well, the same
  // text twice running.
  size_t last_ = SIZE_MAX;
};

}  // namespace quillet
