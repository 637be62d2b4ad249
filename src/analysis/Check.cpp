#include "analysis/Check.h"

#include <string>

#include "analysis/jstrm.h"

namespace {

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsIdShape(std::string_view t) {
  return t.size() == 8 && IsUpper(t[0]) && IsUpper(t[1]) && IsUpper(t[2]) && IsDigit(t[3]) &&
         IsDigit(t[4]) && IsDigit(t[5]) && IsDigit(t[6]) && IsDigit(t[7]);
}

bool HasHighByte(std::string_view t) {
  for (char c : t)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

}  // namespace

bool ParseWholeNumber(std::string_view text, int32_t& value) {
  if (text.empty()) return false;
  if (text[0] == '$') {
    std::string_view hex = text.substr(1);
    if (hex.empty() || hex.size() > 8) return false;
    uint32_t v = 0;
    for (char c : hex) {
      const int h = HexValue(c);
      if (h < 0) return false;
      v = (v << 4) | static_cast<uint32_t>(h);
    }
    value = static_cast<int32_t>(v);
    return true;
  }
  size_t i = 0;
  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    i = 1;
  }
  if (i >= text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return false;
    v = v * 10 + (text[i] - '0');
    if (v > 2147483648LL) return false;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  value = static_cast<int32_t>(v);
  return true;
}

bool IsNiftyID(std::string_view text) {
  if (text.size() < 8) return false;
  if (text.size() == 8) {
    // The usual case, an ID as stored: nothing to trim, and normalising would only make the
    // letters capital. Anything else takes the general path below.
    const auto letter = [](char c) { return static_cast<unsigned char>((c | 0x20) - 'a') < 26; };
    const auto digit = [](char c) { return static_cast<unsigned char>(c - '0') < 10; };
    if (letter(text[0]) & letter(text[1]) & letter(text[2]) & digit(text[3]) & digit(text[4]) &
        digit(text[5]) & digit(text[6]) & digit(text[7]))
      return true;
  }
  if (!HasHighByte(text)) {
    // Plain ASCII: normalising only upper-cases letters, so no copy is needed.
    std::string_view t = Trim(text);
    if (t.size() != 8) return false;
    for (int i = 0; i < 3; ++i) {
      const char c = t[i];
      if (!IsUpper(c) && !(c >= 'a' && c <= 'z')) return false;
    }
    for (int i = 3; i < 8; ++i)
      if (!IsDigit(t[i])) return false;
    return true;
  }
  const std::string normal = JNormalize(text);
  return IsIdShape(Trim(normal));
}

bool IsSmallNumber(std::string_view text) {
  // Normalising plain ASCII only upper-cases letters, which cannot change whether it parses
  // (hex digits are read in either case), so such text is tested as it stands.
  std::string normal;
  std::string_view t = text;
  if (HasHighByte(text)) {
    normal = JNormalize(text);
    t = normal;
  }
  t = Trim(t);
  if (t.empty() || t.size() > 3) return false;
  int32_t v;
  return ParseWholeNumber(t, v);
}

bool IsTalkChannel(std::string_view text) {
  const std::string upper = UpperAscii(text);
  std::string_view t = Trim(upper);
  if (t == "TALK") return true;
  if (t.size() > 1 && t.back() == 'S') t.remove_suffix(1);
  int32_t v;
  return ParseWholeNumber(t, v) && v >= 1 && v <= 30;
}


bool IsNumberSlow(std::string_view text) {
  int32_t v;
  return ParseWholeNumber(Trim(text), v) && v >= 0;
}
