#include "common/Cp932.h"

#include <algorithm>
#include <array>
#include <memory>

#include "common/Error.h"

namespace quillet {
namespace {

#include "common/Cp932Table.inc"

constexpr unsigned kTrailFirst = 0x40, kTrailLast = 0xFC;

// Row of kCp932DoubleByte for a lead byte, or -1.
constexpr int LeadRow(unsigned lead) {
  if (lead >= 0x81 && lead <= 0x9F) return static_cast<int>(lead - 0x81);
  if (lead >= 0xE0 && lead <= 0xFC) return static_cast<int>(lead - 0xE0 + 0x1F);
  return -1;
}

struct EncodeTable {
  std::array<uint16_t, 0x10000> code{};
  EncodeTable() {
    for (unsigned b = 0x01; b < 0x80; ++b) code[b] = static_cast<uint16_t>(b);
    for (unsigned b = 0xA1; b <= 0xDF; ++b) code[0xFF61 + (b - 0xA1)] = static_cast<uint16_t>(b);
    // The lowest code of a character wins, except that the NEC-selected IBM extensions (lead
    // bytes 0xED, 0xEE) give way to the IBM ones: that is what Windows and glibc write.
    auto fill = [this](bool necSelected) {
      for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        const int row = LeadRow(lead);
        if (row < 0 || ((lead == 0xED || lead == 0xEE) != necSelected)) continue;
        for (unsigned trail = kTrailFirst; trail <= kTrailLast; ++trail) {
          const uint16_t u = kCp932DoubleByte[row][trail - kTrailFirst];
          if (u && !code[u]) code[u] = static_cast<uint16_t>(lead << 8 | trail);
        }
      }
    };
    fill(false);
    fill(true);
    // Characters glibc's CP932 also accepts, each for the code that looks like it.
    code[0x00A5] = 0x5C;    // YEN SIGN
    code[0x203E] = 0x7E;    // OVERLINE
    code[0x2014] = 0x815C;  // EM DASH
    // The JIS forms of ～ ‖ － ￠ ￡ ￢, as converters other than Windows' write them.
    code[0x301C] = 0x8160;
    code[0x2016] = 0x8161;
    code[0x2212] = 0x817C;
    code[0x00A2] = 0x8191;
    code[0x00A3] = 0x8192;
    code[0x00AC] = 0x81CA;
  }
};

const EncodeTable& Encoder() {
  static const auto table = std::make_unique<EncodeTable>();
  return *table;
}

// One character of UTF-8 at p (strict: no overlong forms, no surrogates, nothing above
// U+10FFFF). Returns its length, 0 when the bytes there are not valid UTF-8.
size_t DecodeUtf8(const unsigned char* p, size_t n, uint32_t& u) {
  const unsigned c = p[0];
  if (c < 0x80) {
    u = c;
    return 1;
  }
  size_t len;
  uint32_t min;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2, min = 0x80, u = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3, min = 0x800, u = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4, min = 0x10000, u = c & 0x07;
  } else {
    return 0;
  }
  if (n < len) return 0;
  for (size_t i = 1; i < len; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    u = u << 6 | (p[i] & 0x3F);
  }
  if (u < min || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

namespace cp932 {

uint32_t ToUnicode(unsigned code) {
  if (code < 0x80) return code;
  if (code >= 0xA1 && code <= 0xDF) return 0xFF61 + (code - 0xA1);
  if (code <= 0xFF) return kNone;
  const int row = LeadRow(code >> 8);
  const unsigned trail = code & 0xFF;
  if (row < 0 || code > 0xFFFF || trail < kTrailFirst || trail > kTrailLast) return kNone;
  const uint16_t u = kCp932DoubleByte[row][trail - kTrailFirst];
  return u ? u : kNone;
}

const uint16_t* FromUnicodeTable() { return Encoder().code.data(); }

unsigned FromJis0212(unsigned jis) {
  const auto* begin = std::begin(kJis0212ToCp932);
  const auto* end = std::end(kJis0212ToCp932);
  const auto* it = std::lower_bound(begin, end, jis, [](const uint16_t(&pair)[2], unsigned key) { return pair[0] < key; });
  return it != end && (*it)[0] == jis ? (*it)[1] : 0;
}

}  // namespace cp932

char* ToUtf8Into(std::string_view sjis, char* out) {
  const auto* p = reinterpret_cast<const unsigned char*>(sjis.data());
  const size_t n = sjis.size();
  for (size_t i = 0; i < n;) {
    const unsigned c = p[i];
    if (c < 0x80) {
      *out++ = static_cast<char>(c);
      ++i;
      continue;
    }
    uint32_t u = cp932::kNone;
    size_t len = 1;
    if (LeadRow(c) >= 0) {
      if (i + 1 < n) {
        u = cp932::ToUnicode(c << 8 | p[i + 1]);
        if (u != cp932::kNone) len = 2;
      }
    } else {
      u = cp932::ToUnicode(c);
    }
    // A byte without meaning is replaced on its own; what follows it is read afresh.
    if (u == cp932::kNone) u = 0xFFFD;
    if (u < 0x80) {
      *out++ = static_cast<char>(u);
    } else if (u < 0x800) {
      *out++ = static_cast<char>(0xC0 | u >> 6);
      *out++ = static_cast<char>(0x80 | (u & 0x3F));
    } else {
      *out++ = static_cast<char>(0xE0 | u >> 12);
      *out++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (u & 0x3F));
    }
    i += len;
  }
  return out;
}

std::string ToUtf8(std::string_view sjis) {
  std::string out(sjis.size() * kUtf8PerByte, '\0');
  out.resize(static_cast<size_t>(ToUtf8Into(sjis, out.data()) - out.data()));
  return out;
}

bool TryFromUtf8(std::string_view utf8, std::string& out) {
  out.clear();
  out.reserve(utf8.size());
  const uint16_t* table = cp932::FromUnicodeTable();
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const size_t n = utf8.size();
  for (size_t i = 0; i < n;) {
    uint32_t u = 0;
    const size_t len = DecodeUtf8(p + i, n - i, u);
    if (len == 0) return false;
    if (u >= 0xE0000 && u <= 0xE007F) {  // language tags carry no text: left out, as glibc does
      i += len;
      continue;
    }
    if (u > 0xFFFF) return false;
    const unsigned code = table[u];
    if (code == 0 && u != 0) return false;
    if (code > 0xFF) out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
    i += len;
  }
  return true;
}

std::string FromUtf8(std::string_view utf8) {
  std::string out;
  if (!TryFromUtf8(utf8, out))
    throw Error("Shift-JISで表せない文字があります: " + std::string(utf8));
  return out;
}

}  // namespace quillet
