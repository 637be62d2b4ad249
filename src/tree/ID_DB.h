#pragma once
// The record attached to each ID of a folder: the handles seen with it there, and the one shown.
//
// A large import files hundreds of thousands of (folder, ID) pairs, most of them seen once with
// one short handle, so the record is laid out for that, in 42 bytes: the ID (eight bytes) and a
// handle of up to 15 bytes sit in place, and a single handle needs no list of its own. Longer
// texts and further handles go to the heap.
#include <cstdint>
#include <cstring>
#include <ostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// N bytes in one of two encodings, told by the last byte: up to N-1 bytes of text in place and
// their count, or kOnHeap and a pointer (unaligned, copied in and out) to a block holding the
// length and the text. Byte arrays only, so that records pack without padding.
template <size_t N>
class TShortText {
  static_assert(N >= 9 && N <= 128);

 public:
  static constexpr uint8_t kInPlace = N - 1;
  static constexpr uint8_t kOnHeap = 0xFF;

  TShortText() { bytes_[N - 1] = 0; }
  TShortText(std::string_view text) { Encode(bytes_, text); }         // NOLINT: a string stand-in
  TShortText(const char* text) : TShortText(std::string_view(text)) {}  // NOLINT
  TShortText(const TShortText& other) { Encode(bytes_, other.View()); }
  TShortText(TShortText&& other) noexcept {
    std::memcpy(bytes_, other.bytes_, N);
    other.bytes_[N - 1] = 0;
  }
  TShortText& operator=(const TShortText& other) { return Assign(other.View()); }
  TShortText& operator=(TShortText&& other) noexcept {
    if (this != &other) {
      Release(bytes_);
      std::memcpy(bytes_, other.bytes_, N);
      other.bytes_[N - 1] = 0;
    }
    return *this;
  }
  TShortText& operator=(std::string_view text) { return Assign(text); }
  TShortText& operator=(const std::string& text) { return Assign(text); }
  TShortText& operator=(const char* text) { return Assign(text); }
  ~TShortText() { Release(bytes_); }

  std::string_view View() const { return ViewOf(bytes_); }
  operator std::string_view() const { return View(); }          // NOLINT
  operator std::string() const { return std::string(View()); }  // NOLINT
  size_t size() const { return View().size(); }
  bool empty() const { return bytes_[N - 1] == 0; }

  friend bool operator==(const TShortText& a, const TShortText& b) { return a.View() == b.View(); }
  friend bool operator==(const TShortText& a, std::string_view b) { return a.View() == b; }
  friend bool operator==(const TShortText& a, const std::string& b) { return a.View() == b; }
  friend bool operator==(const TShortText& a, const char* b) { return a.View() == b; }
  friend std::string operator+(const std::string& a, const TShortText& b) { return a + std::string(b.View()); }
  friend std::string operator+(const char* a, const TShortText& b) { return a + std::string(b.View()); }
  friend std::ostream& operator<<(std::ostream& out, const TShortText& text) {
    return out.write(text.View().data(), static_cast<std::streamsize>(text.View().size()));
  }

  // The encoding, for holders of their own N bytes (THandleList).
  static std::string_view ViewOf(const char* bytes) {
    const auto tag = static_cast<uint8_t>(bytes[N - 1]);
    if (tag != kOnHeap) return std::string_view(bytes, tag);
    const char* block = PointerIn(bytes);
    uint32_t size;
    std::memcpy(&size, block, sizeof size);
    return std::string_view(block + sizeof size, size);
  }
  static void Encode(char* bytes, std::string_view text) {
    if (text.size() <= kInPlace) {
      std::memcpy(bytes, text.data(), text.size());
      bytes[N - 1] = static_cast<char>(text.size());
      return;
    }
    const auto size = static_cast<uint32_t>(text.size());
    // Owned through these bytes, which can hold no smart pointer; Release gives it back.
    char* block = std::make_unique_for_overwrite<char[]>(sizeof size + text.size()).release();
    std::memcpy(block, &size, sizeof size);
    std::memcpy(block + sizeof size, text.data(), text.size());
    std::memcpy(bytes, &block, sizeof block);
    bytes[N - 1] = static_cast<char>(kOnHeap);
  }
  static void Release(char* bytes) {
    if (static_cast<uint8_t>(bytes[N - 1]) == kOnHeap) std::unique_ptr<char[]>(PointerIn(bytes)).reset();
  }

 private:
  static char* PointerIn(const char* bytes) {
    char* block;
    std::memcpy(&block, bytes, sizeof block);
    return block;
  }
  TShortText& Assign(std::string_view text) {
    if (text == View()) return *this;
    TShortText copy(text);  // first: the text may be this one's own
    return *this = std::move(copy);
  }
  char bytes_[N];
};

using TCompactText = TShortText<16>;
using TIDText = TShortText<9>;  // an ID (eight bytes) in place
static_assert(sizeof(TCompactText) == 16 && alignof(TCompactText) == 1);
static_assert(sizeof(TIDText) == 9);

// The distinct handles of a record in order of first sighting, in 16 bytes: a single handle is
// kept as a TCompactText (in place up to 15 bytes); two or more in a list on the heap.
class THandleList {
 public:
  THandleList() { bytes_[15] = static_cast<char>(kEmpty); }
  THandleList(const THandleList& other) : THandleList() { *this = other; }
  THandleList(THandleList&& other) noexcept {
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    other.bytes_[15] = static_cast<char>(kEmpty);
  }
  THandleList& operator=(const THandleList& other);
  THandleList& operator=(THandleList&& other) noexcept;
  ~THandleList() { Release(); }

  size_t size() const { return Tag() == kEmpty ? 0 : Tag() == kMany ? Many()->size() : 1; }
  bool empty() const { return Tag() == kEmpty; }
  std::string_view operator[](size_t index) const {
    return Tag() == kMany ? (*Many())[index].View() : TCompactText::ViewOf(bytes_);
  }
  void push_back(std::string_view handle);
  void clear() {
    Release();
    bytes_[15] = static_cast<char>(kEmpty);
  }
  std::vector<std::string> Texts() const;

  friend bool operator==(const THandleList& a, const THandleList& b) { return a.Texts() == b.Texts(); }
  friend bool operator==(const THandleList& a, const std::vector<std::string>& b) { return a.Texts() == b; }
  friend std::ostream& operator<<(std::ostream& out, const THandleList& list);

 private:
  // Beside the two encodings of one text: no handle, and a pointer to the list of all.
  static constexpr uint8_t kEmpty = 0xFD;
  static constexpr uint8_t kMany = 0xFE;
  static_assert(TCompactText::kInPlace < kEmpty && TCompactText::kOnHeap != kEmpty && TCompactText::kOnHeap != kMany);
  using TList = std::vector<TCompactText>;
  uint8_t Tag() const { return static_cast<uint8_t>(bytes_[15]); }
  TList* Many() const {
    TList* list;
    std::memcpy(&list, bytes_, sizeof list);
    return list;
  }
  void Release();
  char bytes_[16];
};
static_assert(sizeof(THandleList) == 16);

class TminiIDDataSet {
 public:
  explicit TminiIDDataSet(std::string_view id) : ID(id) {}

  TIDText ID;
  TCompactText Handle;      // the handle shown in the folder's list
  THandleList Handles;      // distinct handles in order of first sighting
  bool HandleIsID = false;  // Handle is ID-shaped, so a later handle may replace it

  // Records a handle seen with the ID; true when it was new to Handles.
  bool AddHandle(std::string_view handle);
};
static_assert(sizeof(TminiIDDataSet) == 42);

// Handle equality: Latin letters (single-byte and full-width) without regard to case, everything
// else byte for byte; widths are not folded.
bool SameHandle(std::string_view a, std::string_view b);
