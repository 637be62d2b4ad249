#pragma once
// Predicates that decide whether a column range of a screen line holds an ID, a number, a date,
// a time or a chat channel. None changes its argument.
//
// The fixed-form tests and the common case of IsNumber are inline: the log scanner applies them
// to a few columns of most lines it reads.
#include <cstdint>
#include <string_view>

#include "analysis/jstrm.h"

// A whole number: optional sign and decimal digits within the signed 32-bit range, or '$' and one
// to eight hex digits (taken as 32 bits). Nothing may follow; empty text does not parse.
bool ParseWholeNumber(std::string_view text, int32_t& value);

// Three capital letters and five digits, after JNormalize and trimming.
bool IsNiftyID(std::string_view text);
bool IsSmallNumber(std::string_view text);
bool IsTalkChannel(std::string_view text);

namespace quillet::check_detail {

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// NN?NN (5 bytes) or NN?NN?NN (8 bytes) with '?' the separator.
inline bool IsDigitPairs(std::string_view t, size_t length, char separator) {
  if (t.size() != length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (i % 3 == 2 ? t[i] != separator : !IsDigit(t[i])) return false;
  }
  return true;
}

}  // namespace quillet::check_detail

// After trimming, a whole number that is 0 or greater. IsNumber is the one to call; this is its
// general case.
bool IsNumberSlow(std::string_view text);

inline bool IsNumber(std::string_view text) {
  // The usual listing column, up to nine digits padded with blanks, is decided here: such a
  // number always fits and is never negative. Signs, hex and longer runs take the full parse.
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && static_cast<unsigned char>(text[i]) <= 0x20) ++i;
  const size_t first = i;
  while (i < n && quillet::check_detail::IsDigit(text[i])) ++i;
  const size_t digits = i - first;
  while (i < n && static_cast<unsigned char>(text[i]) <= 0x20) ++i;
  if (i == n && digits >= 1 && digits <= 9) return true;
  return IsNumberSlow(text);
}

inline bool IsDateYMD(std::string_view text) { return quillet::check_detail::IsDigitPairs(text, 8, '/'); }
inline bool IsTimeHMS(std::string_view text) { return quillet::check_detail::IsDigitPairs(text, 8, ':'); }
inline bool IsDateMD(std::string_view text) { return quillet::check_detail::IsDigitPairs(text, 5, '/'); }
inline bool IsTimeHM(std::string_view text) { return quillet::check_detail::IsDigitPairs(text, 5, ':'); }
