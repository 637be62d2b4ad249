#include "cli/ConvertedTexts.h"

#include <cstring>
#include <functional>
#include <limits>

namespace quillet {

uint64_t ConvertedTexts::HashOf(std::string_view text) {
  const size_t n = text.size();
  uint64_t h;
  if (n <= 16) {
    // Handles and IDs: their bytes in two words, mixed.
    uint64_t a = 0, b = 0;
    std::memcpy(&a, text.data(), n < 8 ? n : 8);
    if (n > 8) std::memcpy(&b, text.data() + 8, n - 8);
    h = (a ^ 0x9E3779B97F4A7C15ULL) * 0xBF58476D1CE4E5B9ULL;
    h ^= (b + n) * 0x94D049BB133111EBULL;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ULL;
    h ^= h >> 32;
  } else {
    h = std::hash<std::string_view>{}(text) * 0x9E3779B97F4A7C15ULL;
  }
  return h | 1;  // never 0, which marks an empty slot; the slot comes from the top bits
}

bool ConvertedTexts::Holds(const Slot& slot, uint64_t hash, std::string_view text) const {
  return slot.hash == hash && slot.textSize == text.size() &&
         std::memcmp(bytes_.data() + slot.text, text.data(), text.size()) == 0;
}

std::string_view ConvertedTexts::Of(std::string_view text) {
  if (last_ != SIZE_MAX) {
    const Slot& slot = slots_[last_];
    if (slot.textSize == text.size() && std::memcmp(bytes_.data() + slot.text, text.data(), text.size()) == 0)
      return FormOf(slot);
  }
  if ((count_ + 1) * 4 > slots_.size() * 3) Grow();  // at most three quarters full
  const uint64_t hash = HashOf(text);
  const size_t mask = slots_.size() - 1;
  size_t i = static_cast<size_t>(hash >> shift_);
  for (; slots_[i].hash != 0; i = (i + 1) & mask) {
    if (Holds(slots_[i], hash, text)) {
      last_ = i;
      return FormOf(slots_[i]);
    }
  }
  const std::string form = convert_(text);
  // The offsets are 32-bit; the distinct texts of any real output stay far below that. Beyond
  // it, a text is converted every time it comes.
  if (bytes_.size() + text.size() + form.size() > std::numeric_limits<uint32_t>::max()) {
    last_ = SIZE_MAX;
    overflow_ = form;
    return overflow_;
  }
  Slot& slot = slots_[i];
  slot.hash = hash;
  slot.text = static_cast<uint32_t>(bytes_.size());
  slot.textSize = static_cast<uint32_t>(text.size());
  bytes_.append(text);
  slot.form = static_cast<uint32_t>(bytes_.size());
  slot.formSize = static_cast<uint32_t>(form.size());
  bytes_.append(form);
  ++count_;
  last_ = i;
  return FormOf(slot);
}

void ConvertedTexts::Grow() {
  const size_t size = slots_.empty() ? 1024 : slots_.size() * 2;
  std::vector<Slot> old(size);
  old.swap(slots_);
  shift_ = 64;
  for (size_t s = size; s > 1; s >>= 1) --shift_;
  const size_t mask = size - 1;
  for (const Slot& slot : old) {
    if (slot.hash == 0) continue;
    size_t i = static_cast<size_t>(slot.hash >> shift_);
    while (slots_[i].hash != 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
  last_ = SIZE_MAX;
}

}  // namespace quillet
