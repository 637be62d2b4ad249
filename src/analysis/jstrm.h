#pragma once
// Helpers for Shift-JIS byte strings: the trail-byte test, a trim that knows the full-width
// space, and the normalisation that makes IDs and tokens typed in mixed widths comparable.
// Positions are 1-based byte positions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A lead byte of a double-byte character in code page 932.
constexpr bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Whether the byte at `position` (1-based) is the second byte of a double-byte character.
// Throws Error("Illegal Index") outside 1..length.
bool IsTrailByte(std::string_view text, int64_t position);

// Removes leading / trailing ASCII spaces and full-width spaces (0x81 0x40), in place.
void JTrimLeft(std::string& text);
void JTrimRight(std::string& text);
// Both ends; tabs and other control bytes stay.
std::string JTrim(std::string_view text);

// Full-width ASCII to single bytes, letters upper-cased, single-byte katakana to full-width.
std::string JNormalize(std::string_view text);

// The plain trim: removes bytes 0x00-0x20 at both ends (no full-width space). Inline: the
// scanner trims a column or two on most lines it reports.
inline std::string_view Trim(std::string_view text) {
  size_t start = 0;
  size_t end = text.size();
  while (start < end && static_cast<unsigned char>(text[start]) <= 0x20) ++start;
  while (end > start && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
  return std::string_view(text.data() + start, end - start);
}

// A copy of the text with a-z upper-cased, other bytes unchanged.
std::string UpperAscii(std::string_view text);

// Equality that ignores the case of ASCII letters.
bool SameTextAscii(std::string_view a, std::string_view b);
