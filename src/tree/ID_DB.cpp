#include "tree/ID_DB.h"

#include <memory>
#include <ostream>

#include "analysis/Check.h"
#include "analysis/jstrm.h"

// ---- THandleList ----

void THandleList::Release() {
  if (Tag() == kMany)
    std::unique_ptr<TList>(Many()).reset();
  else if (Tag() != kEmpty)
    TCompactText::Release(bytes_);
}

THandleList& THandleList::operator=(const THandleList& other) {
  if (this == &other) return *this;
  THandleList copy;
  if (other.Tag() == kMany) {
    TList* list = std::make_unique<TList>(*other.Many()).release();
    std::memcpy(copy.bytes_, &list, sizeof list);
    copy.bytes_[15] = static_cast<char>(kMany);
  } else if (other.Tag() != kEmpty) {
    TCompactText::Encode(copy.bytes_, other[0]);
  }
  return *this = std::move(copy);
}

THandleList& THandleList::operator=(THandleList&& other) noexcept {
  if (this == &other) return *this;
  Release();
  std::memcpy(bytes_, other.bytes_, sizeof bytes_);
  other.bytes_[15] = static_cast<char>(kEmpty);
  return *this;
}

void THandleList::push_back(std::string_view handle) {
  if (Tag() == kEmpty) {
    TCompactText::Encode(bytes_, handle);
    return;
  }
  TCompactText added(handle);  // first: the handle may be one of ours
  if (Tag() == kMany) {
    Many()->push_back(std::move(added));
    return;
  }
  // The second handle: the first moves into a list of its own.
  auto list = std::make_unique<TList>();
  list->reserve(2);
  list->emplace_back(TCompactText::ViewOf(bytes_));
  list->push_back(std::move(added));
  TCompactText::Release(bytes_);
  TList* many = list.release();
  std::memcpy(bytes_, &many, sizeof many);
  bytes_[15] = static_cast<char>(kMany);
}

std::vector<std::string> THandleList::Texts() const {
  std::vector<std::string> texts;
  for (size_t i = 0; i < size(); ++i) texts.emplace_back((*this)[i]);
  return texts;
}

std::ostream& operator<<(std::ostream& out, const THandleList& list) {
  out << '{';
  for (size_t i = 0; i < list.size(); ++i) out << (i ? ", \"" : "\"") << list[i] << '"';
  return out << '}';
}

// ---- TminiIDDataSet ----

namespace {

// One character of a handle, with the case of a Latin letter folded: single-byte a-z to A-Z,
// full-width ａ-ｚ (0x8281-0x829A) to Ａ-Ｚ (0x8260-0x8279). Widths stay apart.
unsigned FoldedChar(const unsigned char* p, size_t n, size_t i, size_t& width) {
  if (IsLeadByte(p[i]) && i + 1 < n) {
    width = 2;
    unsigned trail = p[i + 1];
    if (p[i] == 0x82 && trail >= 0x81 && trail <= 0x9A) trail -= 0x21;
    return (static_cast<unsigned>(p[i]) << 8) | trail;
  }
  width = 1;
  const unsigned c = p[i];
  return (c >= 'a' && c <= 'z') ? c - 0x20 : c;
}

}  // namespace

bool SameHandle(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a == b) return true;  // the usual case: the handle as seen before
  const auto* x = reinterpret_cast<const unsigned char*>(a.data());
  const auto* y = reinterpret_cast<const unsigned char*>(b.data());
  const size_t n = a.size();
  // Equal characters so far have equal widths, so both texts stay on character boundaries.
  for (size_t i = 0; i < n;) {
    size_t wx = 0, wy = 0;
    if (FoldedChar(x, n, i, wx) != FoldedChar(y, n, i, wy) || wx != wy) return false;
    i += wx;
  }
  return true;
}

bool TminiIDDataSet::AddHandle(std::string_view handle) {
  // The usual sighting repeats the shown handle. The shown handle always has its like in
  // Handles, and taking it again as the shown one would change nothing, so the list (a
  // separate block of memory, cold on a large import) needs no look.
  if (!Handles.empty() && handle == Handle.View()) return false;
  // The shown handle is the first one seen, unless that was only the ID again: then every
  // later sighting may replace it, until a real handle has been shown.
  if (Handles.empty() || HandleIsID) {
    Handle = handle;
    HandleIsID = IsNiftyID(handle);
  }
  for (size_t i = 0; i < Handles.size(); ++i)
    if (SameHandle(Handles[i], handle)) return false;
  Handles.push_back(handle);
  return true;
}
