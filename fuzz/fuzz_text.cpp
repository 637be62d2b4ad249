// Feeds arbitrary bytes to the Shift-JIS text helpers and the token recognisers and checks what
// must hold for any input: no crash, no out-of-range access, and the properties below.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/Check.h"
#include "analysis/jstrm.h"
#include "common/Error.h"

namespace {

#define FUZZ_CHECK(cond)                                                             \
  do {                                                                               \
    if (!(cond)) {                                                                   \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                  \
    }                                                                                \
  } while (0)

unsigned char At(std::string_view s, size_t i) { return static_cast<unsigned char>(s[i]); }

// Trail-byte positions found by walking forward from the start, pairing each lead byte with the
// byte after it: the independent reading of the text the backward test must agree with.
std::vector<bool> TrailBytesForward(std::string_view s) {
  std::vector<bool> trail(s.size(), false);
  for (size_t i = 0; i < s.size();) {
    if (IsLeadByte(At(s, i)) && i + 1 < s.size()) {
      trail[i + 1] = true;
      i += 2;
    } else {
      i += 1;
    }
  }
  return trail;
}

// The normalised text read character by character: outside double-byte characters there is no
// lower-case letter and no single-byte kana left.
void CheckNormalForm(std::string_view n) {
  for (size_t i = 0; i < n.size();) {
    const unsigned char b = At(n, i);
    if (IsLeadByte(b) && i + 1 < n.size()) {
      i += 2;
      continue;
    }
    FUZZ_CHECK(!(b >= 'a' && b <= 'z'));
    FUZZ_CHECK(!(b >= 0xA1 && b <= 0xDD));
    // A lead byte stands alone only as the very last byte.
    FUZZ_CHECK(!IsLeadByte(b) || i + 1 == n.size());
    i += 1;
  }
}

bool OnlySpaces(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    if (s[i] == ' ') {
      i += 1;
    } else if (i + 1 < s.size() && At(s, i) == 0x81 && At(s, i + 1) == 0x40) {
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

// A second reading of the whole-number rules, on 64-bit arithmetic and std::from_chars.
bool ReferenceParse(std::string_view t, int32_t& value) {
  if (t.empty()) return false;
  if (t[0] == '$') {
    const std::string_view hex = t.substr(1);
    if (hex.empty() || hex.size() > 8) return false;
    uint32_t v = 0;
    const auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), v, 16);
    if (ec != std::errc() || end != hex.data() + hex.size()) return false;
    // from_chars would accept a sign of its own; the text must be hex digits only.
    for (char c : hex)
      if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
    value = static_cast<int32_t>(v);
    return true;
  }
  std::string_view digits = t;
  bool negative = false;
  if (t[0] == '+' || t[0] == '-') {
    negative = t[0] == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) return false;
  for (char c : digits)
    if (c < '0' || c > '9') return false;
  size_t first = digits.find_first_not_of('0');
  if (first == std::string_view::npos) {
    value = 0;
    return true;
  }
  digits.remove_prefix(first);
  if (digits.size() > 10) return false;
  int64_t v = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), v);
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int32_t>(v);
  return true;
}

bool IdShape(std::string_view t) {
  if (t.size() != 8) return false;
  for (size_t i = 0; i < 3; ++i)
    if (t[i] < 'A' || t[i] > 'Z') return false;
  for (size_t i = 3; i < 8; ++i)
    if (t[i] < '0' || t[i] > '9') return false;
  return true;
}

void CheckText(std::string_view s) {
  // IsTrailByte at every position agrees with the forward reading; outside the text it throws.
  const std::vector<bool> trail = TrailBytesForward(s);
  for (size_t p = 1; p <= s.size(); ++p) FUZZ_CHECK(IsTrailByte(s, static_cast<int64_t>(p)) == trail[p - 1]);
  for (int64_t bad : {int64_t{0}, static_cast<int64_t>(s.size()) + 1}) {
    bool thrown = false;
    try {
      IsTrailByte(s, bad);
    } catch (const Error&) {
      thrown = true;
    }
    FUZZ_CHECK(thrown);
  }

  // JNormalize: the normal form, bounded growth, a fixed point, and plain upper-casing on ASCII.
  const std::string n = JNormalize(s);
  CheckNormalForm(n);
  FUZZ_CHECK(n.size() <= 2 * s.size());
  FUZZ_CHECK(JNormalize(n) == n);
  bool ascii = true;
  for (char c : s) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) FUZZ_CHECK(n == UpperAscii(s));

  // JTrim: the text with only ASCII and full-width spaces cut off at both ends; trimming again
  // changes nothing.
  const std::string t = JTrim(s);
  size_t left = 0;
  while (left < s.size() && (s[left] == ' ' || (left + 1 < s.size() && At(s, left) == 0x81 && At(s, left + 1) == 0x40)))
    left += s[left] == ' ' ? 1 : 2;
  if (t.empty()) {
    FUZZ_CHECK(OnlySpaces(s));
  } else {
    FUZZ_CHECK(s.substr(left, t.size()) == t);
    FUZZ_CHECK(OnlySpaces(s.substr(left + t.size())));
  }
  FUZZ_CHECK(JTrim(t) == t);

  // The plain trim leaves no byte up to 0x20 at either end.
  const std::string_view plain = Trim(s);
  FUZZ_CHECK(plain.empty() || (At(plain, 0) > 0x20 && At(plain, plain.size() - 1) > 0x20));

  // The whole-number parse agrees with the reference reading, value included.
  int32_t got = 0, want = 0;
  const bool parsed = ParseWholeNumber(s, got);
  FUZZ_CHECK(parsed == ReferenceParse(s, want));
  if (parsed) FUZZ_CHECK(got == want);

  // The ID test, whatever shortcut it takes, means the normalised and trimmed text is an ID.
  FUZZ_CHECK(IsNiftyID(s) == (s.size() >= 8 && IdShape(Trim(n))));
  if (IsNumber(s)) FUZZ_CHECK(ReferenceParse(Trim(s), want) && want >= 0);
  if (IsSmallNumber(s)) FUZZ_CHECK(Trim(n).size() >= 1 && Trim(n).size() <= 3);
  (void)IsTalkChannel(s);
  if (IsDateYMD(s) || IsTimeHMS(s)) FUZZ_CHECK(s.size() == 8);
  if (IsDateMD(s) || IsTimeHM(s)) FUZZ_CHECK(s.size() == 5);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view s(reinterpret_cast<const char*>(data), size);
  CheckText(s);
  // The recognisers mostly see short column slices: try the fixed widths the scanner cuts too.
  for (size_t width : {size_t{5}, size_t{8}}) {
    if (size >= width) {
      (void)IsDateMD(s.substr(0, width));
      (void)IsTimeHMS(s.substr(size - width));
      FUZZ_CHECK(IsNiftyID(s.substr(0, width)) == (width == 8 && IdShape(Trim(JNormalize(s.substr(0, 8))))));
    }
  }
  return 0;
}
