#pragma once
// The record attached to each ID of a folder: the handles seen with it there, and the one shown.
//
// A large import files hundreds of thousands of (folder, ID) pairs, most of them seen once with
// one short handle, so the record is laid out for that: a text of up to 15 bytes (every ID, most
// handles) sits in place, and a single handle of up to 15 bytes needs no list of its own.
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

// A text in 16 bytes: up to 15 bytes in place, a longer one on the heap. The last byte tells
// which: the length in place, or kOnHeap (then a pointer and a 32-bit length come first).
class TCompactText {
 public:
  TCompactText() { bytes_[15] = 0; }
  TCompactText(std::string_view text) { Set(text); }                        // NOLINT: a string stand-in
  TCompactText(const char* text) : TCompactText(std::string_view(text)) {}  // NOLINT
  TCompactText(const TCompactText& other) : TCompactText(other.View()) {}
  TCompactText(TCompactText&& other) noexcept {
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    other.bytes_[15] = 0;
  }
  TCompactText& operator=(const TCompactText& other) { return Assign(other.View()); }
  TCompactText& operator=(TCompactText&& other) noexcept;
  TCompactText& operator=(std::string_view text) { return Assign(text); }
  TCompactText& operator=(const std::string& text) { return Assign(text); }
  TCompactText& operator=(const char* text) { return Assign(text); }
  ~TCompactText() { Free(); }

  std::string_view View() const {
    if (Tag() != kOnHeap) return std::string_view(bytes_, Tag());
    const char* data;
    uint32_t size;
    std::memcpy(&data, bytes_, sizeof data);
    std::memcpy(&size, bytes_ + sizeof data, sizeof size);
    return std::string_view(data, size);
  }
  operator std::string_view() const { return View(); }          // NOLINT
  operator std::string() const { return std::string(View()); }  // NOLINT
  size_t size() const { return View().size(); }
  bool empty() const { return Tag() == 0; }

  friend bool operator==(const TCompactText& a, const TCompactText& b) { return a.View() == b.View(); }
  friend bool operator==(const TCompactText& a, std::string_view b) { return a.View() == b; }
  friend bool operator==(const TCompactText& a, const std::string& b) { return a.View() == b; }
  friend bool operator==(const TCompactText& a, const char* b) { return a.View() == b; }
  friend std::string operator+(const std::string& a, const TCompactText& b) { return a + std::string(b.View()); }
  friend std::string operator+(const char* a, const TCompactText& b) { return a + std::string(b.View()); }
  friend std::ostream& operator<<(std::ostream& out, const TCompactText& text);

 private:
  static constexpr uint8_t kInPlace = 15;
  static constexpr uint8_t kOnHeap = 0xFF;
  uint8_t Tag() const { return static_cast<uint8_t>(bytes_[15]); }
  TCompactText& Assign(std::string_view text);
  void Set(std::string_view text);
  void Free();
  char bytes_[16];
};
static_assert(sizeof(TCompactText) == 16);

// The distinct handles of a record in order of first sighting, in 24 bytes: a single handle (the
// usual record) in place, two or more in a list on the heap.
class THandleList {
 public:
  THandleList() = default;
  THandleList(const THandleList& other) { *this = other; }
  THandleList(THandleList&& other) noexcept : one_(std::move(other.one_)), many_(other.many_) {
    other.many_ = nullptr;
  }
  THandleList& operator=(const THandleList& other);
  THandleList& operator=(THandleList&& other) noexcept;
  ~THandleList() { Free(); }

  size_t size() const { return !many_ ? 0 : many_ == One() ? 1 : many_->size(); }
  bool empty() const { return !many_; }
  std::string_view operator[](size_t index) const { return many_ == One() ? one_.View() : (*many_)[index].View(); }
  void push_back(std::string_view handle);
  void clear() {
    Free();
    one_ = std::string_view();
  }
  std::vector<std::string> Texts() const;

  friend bool operator==(const THandleList& a, const THandleList& b) { return a.Texts() == b.Texts(); }
  friend bool operator==(const THandleList& a, const std::vector<std::string>& b) { return a.Texts() == b; }
  friend std::ostream& operator<<(std::ostream& out, const THandleList& list);

 private:
  // Marks a list whose one handle is one_; never read through.
  static std::vector<TCompactText>* One() { return &oneMark_; }
  static inline std::vector<TCompactText> oneMark_;
  void Free();
  TCompactText one_;
  std::vector<TCompactText>* many_ = nullptr;  // null: no handle; One(); or the owned list
};

class TminiIDDataSet {
 public:
  explicit TminiIDDataSet(std::string_view id) : ID(id) {}

  TCompactText ID;
  TCompactText Handle;      // the handle shown in the folder's list
  THandleList Handles;      // distinct handles in order of first sighting
  bool HandleIsID = false;  // Handle is ID-shaped, so a later handle may replace it

  // Records a handle seen with the ID; true when it was new to Handles.
  bool AddHandle(std::string_view handle);
};

// Handle equality: Latin letters (single-byte and full-width) without regard to case, everything
// else byte for byte; widths are not folded.
bool SameHandle(std::string_view a, std::string_view b);
