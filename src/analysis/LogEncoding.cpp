#include "analysis/LogEncoding.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "common/Cp932.h"

namespace {

using Byte = unsigned char;

constexpr Byte kEsc = 0x1B, kShiftOut = 0x0E, kShiftIn = 0x0F;
constexpr char kGeta[2] = {'\x81', '\xAC'};  // 〓, for whatever has no CP932 form
constexpr size_t kChunk = size_t{1} << 16;

inline uint32_t LittleEndian(uint32_t w) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return __builtin_bswap32(w);
#else
  return w;
#endif
}

inline uint64_t LittleEndian64(uint64_t w) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return __builtin_bswap64(w);
#else
  return w;
#endif
}

inline bool HighBitIn8(const Byte* p) {
  uint64_t word;
  std::memcpy(&word, p, 8);
  return (word & 0x8080808080808080ULL) != 0;
}

// Length of the run of bytes below 0x80 from p.
inline size_t AsciiRun(const Byte* p, size_t n) {
  size_t i = 0;
  while (i + 8 <= n && !HighBitIn8(p + i)) i += 8;
  while (i < n && p[i] < 0x80) ++i;
  return i;
}

// Copies the run of bytes below 0x80 from p (at most n) to dst and returns its length. Whole
// words are stored even past the run's end: the output has room, and what follows overwrites it.
inline size_t CopyAscii(const Byte* p, size_t n, char* dst) {
  size_t i = 0;
#if defined(__SSE2__)
  while (i + 16 <= n) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), bytes);
    const auto high = static_cast<unsigned>(_mm_movemask_epi8(bytes));
    if (high) return i + static_cast<size_t>(__builtin_ctz(high));
    i += 16;
  }
#endif
  while (i + 8 <= n) {
    uint64_t word;
    std::memcpy(&word, p + i, 8);
    std::memcpy(dst + i, &word, 8);
    const uint64_t high = word & 0x8080808080808080ULL;
    if (high) return i + static_cast<size_t>(__builtin_ctzll(high) >> 3);
    i += 8;
  }
  while (i < n && p[i] < 0x80) {
    dst[i] = static_cast<char>(p[i]);
    ++i;
  }
  return i;
}

// Copies the run of bytes 0x20-0x7E from p (at most n) to dst and returns its length; stores
// past the run's end as CopyAscii does.
inline size_t CopyPrintable(const Byte* p, size_t n, char* dst) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i space = _mm_set1_epi8(0x20), del = _mm_set1_epi8(0x7F);
  while (i + 16 <= n) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), bytes);
    // Below 0x20 or from 0x80 on is below 0x20 as a signed byte.
    const __m128i stop = _mm_or_si128(_mm_cmplt_epi8(bytes, space), _mm_cmpeq_epi8(bytes, del));
    const auto hits = static_cast<unsigned>(_mm_movemask_epi8(stop));
    if (hits) return i + static_cast<size_t>(__builtin_ctz(hits));
    i += 16;
  }
#endif
  while (i < n && p[i] >= 0x20 && p[i] < 0x7F) {
    dst[i] = static_cast<char>(p[i]);
    ++i;
  }
  return i;
}

// JIS X 0208 code (row and cell bytes 0x21-0x7E) to its Shift-JIS code.
inline unsigned JisToSjis(unsigned j1, unsigned j2) {
  const unsigned s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0);
  const unsigned s2 = j2 + ((j1 & 1) ? (j2 < 0x60 ? 0x1F : 0x20) : 0x7E);
  return s1 << 8 | s2;
}

// CP932 code of every JIS X 0208 code (row and cell 1-94), 0 where CP932 has none.
const uint16_t* Jis0208Table() {
  static const auto table = [] {
    auto t = std::make_unique<uint16_t[]>(94 * 94);
    for (unsigned r = 0; r < 94; ++r)
      for (unsigned c = 0; c < 94; ++c) {
        const unsigned code = JisToSjis(0x21 + r, 0x21 + c);
        t[r * 94 + c] = quillet::cp932::Defined(code) ? static_cast<uint16_t>(code) : 0;
      }
    return t;
  }();
  return table.get();
}

// The two bytes of a double-byte CP932 code as a 16-bit word in memory order, for the fast
// paths; 0 where the fast path does not apply.
inline uint16_t InMemoryOrder(unsigned code) {
  const unsigned char bytes[2] = {static_cast<unsigned char>(code >> 8), static_cast<unsigned char>(code)};
  uint16_t word;
  std::memcpy(&word, bytes, 2);
  return word;
}

// Jis0208Table with each code as its two bytes in memory order, 0 where CP932 has none: the
// fast paths store it as it is. 17 KiB, so that it stays in the first-level cache.
const uint16_t* Jis0208Words() {
  static const auto table = [] {
    auto t = std::make_unique<uint16_t[]>(94 * 94);
    const uint16_t* jis = Jis0208Table();
    for (unsigned k = 0; k < 94 * 94; ++k) t[k] = jis[k] ? InMemoryOrder(jis[k]) : 0;
    return t;
  }();
  return table.get();
}

// Indexed by the 16 bits of a three-byte UTF-8 sequence (U+0800-U+FFFF): the CP932 character's
// bytes in memory order, a single byte (half-width katakana) followed by 0; 0 where there is
// none and for the overlong forms below U+0800.
const uint16_t* Utf8TripleTable() {
  static const auto table = [] {
    auto t = std::make_unique<uint16_t[]>(0x10000);
    const uint16_t* codes = quillet::cp932::FromUnicodeTable();
    for (unsigned u = 0x800; u <= 0xFFFF; ++u) {
      const unsigned code = codes[u];
      t[u] = code > 0xFF ? InMemoryOrder(code) : code ? InMemoryOrder(code << 8) : 0;
    }
    return t;
  }();
  return table.get();
}

// Stores a Utf8TripleTable entry; returns the bytes it takes.
inline size_t PutEntry(char* dst, uint16_t v) {
  std::memcpy(dst, &v, 2);
  return dst[1] ? 2 : 1;
}

inline char* PutCode(char* dst, unsigned code) {
  if (code > 0xFF) *dst++ = static_cast<char>(code >> 8);
  *dst++ = static_cast<char>(code & 0xFF);
  return dst;
}

inline char* PutGeta(char* dst) {
  dst[0] = kGeta[0];
  dst[1] = kGeta[1];
  return dst + 2;
}

// The run of JIS X 0208 pairs at p whose bytes are kFirst + 0..93 (0xA1 for EUC-JP, 0x21 for
// ISO-2022-JP) and that CP932 has, two pairs a look at a time; stored through Jis0208Words,
// returns the bytes taken.
template <unsigned kFirst>
inline size_t Jis0208Run(const Byte* p, size_t n, const uint16_t* words, char*& dst) {
  size_t i = 0;
  while (i + 4 <= n) {
    const unsigned r1 = p[i] - kFirst, c1 = p[i + 1] - kFirst, r2 = p[i + 2] - kFirst, c2 = p[i + 3] - kFirst;
    if ((r1 >= 94) | (c1 >= 94) | (r2 >= 94) | (c2 >= 94)) break;
    const uint16_t v1 = words[r1 * 94 + c1], v2 = words[r2 * 94 + c2];
    if (!v1 || !v2) break;
    std::memcpy(dst, &v1, 2);
    std::memcpy(dst + 2, &v2, 2);
    dst += 4;
    i += 4;
  }
  while (i + 2 <= n) {
    const unsigned r = p[i] - kFirst, c = p[i + 1] - kFirst;
    if (r >= 94 || c >= 94) break;
    const uint16_t v = words[r * 94 + c];
    if (!v) break;
    std::memcpy(dst, &v, 2);
    dst += 2;
    i += 2;
  }
  return i;
}

// A JIS X 0208 character (row and cell bytes 0x21-0x7E) in CP932, or 〓 where CP932 has none.
inline char* PutJis0208(const uint16_t* table, char* dst, unsigned j1, unsigned j2) {
  const unsigned code = table[(j1 - 0x21) * 94 + (j2 - 0x21)];
  return code ? PutCode(dst, code) : PutGeta(dst);
}

// Length of the longest start of a UTF-8 sequence at p that is still valid (at least 1), and
// whether the whole sequence is there (`complete`, with its character in u).
size_t Utf8Prefix(const Byte* p, size_t n, uint32_t& u, bool& complete) {
  complete = false;
  const unsigned c = p[0];
  size_t len;
  Byte lo = 0x80, hi = 0xBF;  // range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2, u = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3, u = c & 0x0F;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4, u = c & 0x07;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 1;
  }
  size_t i = 1;
  for (; i < len && i < n; ++i) {
    const Byte b = p[i];
    if (i == 1 ? (b < lo || b > hi) : (b & 0xC0) != 0x80) return i;
    u = u << 6 | (b & 0x3F);
  }
  complete = i == len;
  return i;
}

// Whether a UTF-8 sequence whose valid start is `len` bytes long only lacks the bytes after the
// `left` bytes at hand.
inline bool CutOff(const Byte* p, size_t len, size_t left) {
  return len == left && p[0] >= 0xC2 && p[0] <= 0xF4;
}

// Converts bytes of one encoding to CP932. Convert takes what it can of [p, p + n) and returns
// how much it took; unless `final`, a sequence cut off at the end is left for the next call. The
// output needs room for 2 bytes per input byte.
class Converter {
 public:
  explicit Converter(TLogEncoding encoding) : encoding_(encoding) {}
  void SetEncoding(TLogEncoding encoding) { encoding_ = encoding; }

  size_t Convert(const Byte* p, size_t n, bool final, char*& dst) {
    switch (encoding_) {
      case TLogEncoding::Utf8: return Utf8(p, n, final, dst);
      case TLogEncoding::EucJp: return EucJp(p, n, final, dst);
      case TLogEncoding::Jis: return Jis(p, n, final, dst);
      default:
        std::memcpy(dst, p, n);
        dst += n;
        return n;
    }
  }

 private:
  size_t Utf8(const Byte* p, size_t n, bool final, char*& out) {
    const uint16_t* table = quillet::cp932::FromUnicodeTable();
    const uint16_t* triple = Utf8TripleTable();
    char* dst = out;
    size_t i = 0;
    while (i < n) {
      const size_t run = CopyAscii(p + i, n - i, dst);
      dst += run;
      i += run;
      // Japanese text is mostly three-byte characters in a row: one word tests the form, one
      // look-up gives the character (anything unusual goes the general way below).
      while (i + 8 <= n) {  // two at a time
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        w = LittleEndian64(w);
        if ((w & 0xC0C0F0C0C0F0ULL) != 0x8080E08080E0ULL) break;
        const uint16_t v1 = triple[(w & 0x0F) << 12 | (w & 0x3F00) >> 2 | (w & 0x3F0000) >> 16];
        const uint16_t v2 = triple[(w >> 12 & 0xF000) | (w >> 26 & 0xFC0) | (w >> 40 & 0x3F)];
        if (!v1 || !v2) break;
        dst += PutEntry(dst, v1);
        dst += PutEntry(dst, v2);
        i += 6;
      }
      while (i + 4 <= n) {
        uint32_t w;
        std::memcpy(&w, p + i, 4);
        w = LittleEndian(w);
        if ((w & 0xC0C0F0) != 0x8080E0) break;
        const uint16_t v = triple[(w & 0x0F) << 12 | (w & 0x3F00) >> 2 | (w & 0x3F0000) >> 16];
        if (!v) break;
        dst += PutEntry(dst, v);
        i += 3;
      }
      if (i == n) break;
      if (p[i] < 0x80) continue;
      uint32_t u = 0;
      bool complete = false;
      const size_t len = Utf8Prefix(p + i, n - i, u, complete);
      if (!complete) {
        if (!final && CutOff(p + i, len, n - i)) break;  // the rest comes with the next call
        dst = PutGeta(dst);  // an invalid sequence: one 〓 for its longest valid start
        i += len;
        continue;
      }
      const unsigned code = u <= 0xFFFF ? table[u] : 0;
      dst = code ? PutCode(dst, code) : PutGeta(dst);
      i += len;
    }
    out = dst;
    return i;
  }

  size_t EucJp(const Byte* p, size_t n, bool final, char*& out) {
    const uint16_t* jis = Jis0208Table();
    const uint16_t* words = Jis0208Words();
    char* dst = out;
    size_t i = 0;
    while (i < n) {
      const size_t run = CopyAscii(p + i, n - i, dst);
      dst += run;
      i += run;
      // Runs of double-byte characters, the bulk of Japanese text, one look-up a pair; and runs
      // of half-width katakana among them.
      for (size_t start = ~size_t{0}; start != i;) {
        start = i;
        i += Jis0208Run<0xA1>(p + i, n - i, words, dst);
        while (i + 2 <= n && p[i] == 0x8E && p[i + 1] >= 0xA1 && p[i + 1] <= 0xDF) {
          *dst++ = static_cast<char>(p[i + 1]);
          i += 2;
        }
      }
      if (i == n) break;
      if (p[i] < 0x80) continue;
      const Byte c = p[i];
      const size_t need = c == 0x8F ? 3 : 2;
      if (n - i < need && !final && (c == 0x8E || c == 0x8F || c >= 0xA1)) break;
      auto euc = [&](size_t k) { return i + k < n && p[i + k] >= 0xA1 && p[i + k] <= 0xFE; };
      if (c == 0x8E && i + 1 < n && p[i + 1] >= 0xA1 && p[i + 1] <= 0xDF) {
        *dst++ = static_cast<char>(p[i + 1]);  // half-width katakana
        i += 2;
      } else if (c == 0x8F && euc(1) && euc(2)) {
        const unsigned code = quillet::cp932::FromJis0212((p[i + 1] - 0x80u) << 8 | (p[i + 2] - 0x80u));
        dst = code ? PutCode(dst, code) : PutGeta(dst);
        i += 3;
      } else if (c >= 0xA1 && c <= 0xFE && euc(1)) {
        dst = PutJis0208(jis, dst, c - 0x80u, p[i + 1] - 0x80u);
        i += 2;
      } else {
        dst = PutGeta(dst);
        ++i;
      }
    }
    out = dst;
    return i;
  }

  enum class Mode { Ascii, Jis0208, Jis0212, Kana };

  size_t Jis(const Byte* p, size_t n, bool final, char*& out) {
    const uint16_t* jis = Jis0208Table();
    const uint16_t* words = Jis0208Words();
    char* dst = out;
    size_t i = 0;
    while (i < n) {
      if (mode_ == Mode::Jis0208 && !shifted_) {
        // The bulk of a kanji run: pairs of 0x21-0x7E.
        i += Jis0208Run<0x21>(p + i, n - i, words, dst);
        if (i == n) break;
      }
      const Byte c = p[i];
      if (c == kEsc) {
        const size_t len = Designation(p + i, n - i);
        if (len == 0 && !final && n - i < 6) break;  // may be a designation cut off
        if (len > 0) {
          i += len;
          continue;
        }
        *dst++ = static_cast<char>(c);  // some other escape (a terminal's): kept as it is
        ++i;
        continue;
      }
      if (c == kShiftOut || c == kShiftIn) {
        shifted_ = c == kShiftOut;
        ++i;
        continue;
      }
      if (c == '\r' || c == '\n') {
        // A line must end in ASCII; a missing shift back garbles no more than its own line.
        mode_ = Mode::Ascii;
        shifted_ = false;
        *dst++ = static_cast<char>(c);
        ++i;
        continue;
      }
      if (c >= 0x80) {
        // 8-bit katakana as some JIS writers put them; nothing else belongs here.
        if (c >= 0xA1 && c <= 0xDF)
          *dst++ = static_cast<char>(c);
        else
          dst = PutGeta(dst);
        ++i;
        continue;
      }
      if (c < 0x21 || c == 0x7F) {
        *dst++ = static_cast<char>(c);
        ++i;
        continue;
      }
      if (shifted_ || mode_ == Mode::Kana) {
        if (c <= 0x5F) {
          size_t j = i;
          while (j < n && p[j] >= 0x21 && p[j] <= 0x5F) *dst++ = static_cast<char>(p[j++] + 0x80);
          i = j;
          continue;
        }
        if (c <= 0x5F)
          *dst++ = static_cast<char>(c + 0x80);
        else
          dst = PutGeta(dst);
        ++i;
      } else if (mode_ == Mode::Ascii) {
        const size_t run = 1 + CopyPrintable(p + i + 1, n - i - 1, dst + 1);
        *dst = static_cast<char>(c);
        dst += run;
        i += run;
      } else {
        if (i + 1 == n && !final) break;
        const Byte c2 = i + 1 < n ? p[i + 1] : 0;
        if (c2 < 0x21 || c2 > 0x7E) {
          dst = PutGeta(dst);
          ++i;
          continue;
        }
        if (mode_ == Mode::Jis0208) {
          dst = PutJis0208(jis, dst, c, c2);
        } else {
          const unsigned code = quillet::cp932::FromJis0212(unsigned{c} << 8 | c2);
          dst = code ? PutCode(dst, code) : PutGeta(dst);
        }
        i += 2;
      }
    }
    out = dst;
    return i;
  }

  // The length of the designation at p (which starts with ESC) after setting its mode, or 0.
  size_t Designation(const Byte* p, size_t n) {
    if (n < 3) return 0;
    if (p[1] == '(') {
      if (p[2] == 'B' || p[2] == 'J' || p[2] == 'H') return mode_ = Mode::Ascii, 3;
      if (p[2] == 'I') return mode_ = Mode::Kana, 3;
    } else if (p[1] == '$') {
      if (p[2] == 'B' || p[2] == '@') return mode_ = Mode::Jis0208, 3;
      if (p[2] == '(' && n >= 4) {
        if (p[3] == 'B' || p[3] == '@') return mode_ = Mode::Jis0208, 4;
        if (p[3] == 'D') return mode_ = Mode::Jis0212, 4;
      }
    } else if (p[1] == '&' && n >= 6 && p[2] == '@' && p[3] == kEsc && p[4] == '$' && p[5] == 'B') {
      return mode_ = Mode::Jis0208, 6;  // JIS X 0208-1990
    }
    return 0;
  }

  TLogEncoding encoding_;
  Mode mode_ = Mode::Ascii;
  bool shifted_ = false;
};

// ---------------------------------------------------------------------------------------------
// Detection

bool IsJisDesignation(std::string_view s, size_t i) {
  // ESC $ B, ESC $ @, ESC $ ( B/D, ESC ( I: a shift that only ISO-2022-JP text makes.
  if (i + 2 >= s.size()) return false;
  if (s[i + 1] == '$') return s[i + 2] == 'B' || s[i + 2] == '@' || (s[i + 2] == '(' && i + 3 < s.size());
  return s[i + 1] == '(' && s[i + 2] == 'I';
}

// Whether the bytes are UTF-8 throughout (a sequence cut off by the end of the sample counts as
// valid) and hold a character of three or more bytes, as Japanese text always does.
bool LooksUtf8(const Byte* p, size_t n) {
  size_t longForms = 0;
  for (size_t i = 0; i < n;) {
    i += AsciiRun(p + i, n - i);
    if (i == n) break;
    uint32_t u = 0;
    bool complete = false;
    const size_t len = Utf8Prefix(p + i, n - i, u, complete);
    if (!complete && !CutOff(p + i, len, n - i)) return false;
    if (len >= 3) ++longForms;
    i += len;
  }
  return longForms > 0;
}

// Whether the bytes are EUC-JP throughout and read like Japanese in it: some hiragana or
// katakana among the pairs, as any Japanese text has. Shift-JIS text rarely passes the first
// test (its common lead bytes 0x81-0x9F are not EUC-JP); half-width katakana, which can, seldom
// fall into kana pairs (only where ､ or ･ would lead a pair).
bool LooksEucJp(const Byte* p, size_t n) {
  size_t pairs = 0, kana = 0;
  for (size_t i = 0; i < n;) {
    i += AsciiRun(p + i, n - i);
    if (i == n) break;
    const Byte c = p[i];
    const size_t need = c == 0x8F ? 3 : 2;
    if (i + need > n) break;  // cut off by the end of the sample
    auto euc = [&](size_t k) { return p[i + k] >= 0xA1 && p[i + k] <= 0xFE; };
    if (c == 0x8E) {
      if (p[i + 1] < 0xA1 || p[i + 1] > 0xDF) return false;
    } else if (c == 0x8F) {
      if (!euc(1) || !euc(2)) return false;
    } else if (c >= 0xA1 && c <= 0xFE && euc(1)) {
      ++pairs;
      if (c == 0xA4 || c == 0xA5) ++kana;
    } else {
      return false;
    }
    i += need;
  }
  return kana >= 2 && kana * 8 >= pairs;
}

}  // namespace

bool ParseLogEncoding(std::string_view name, TLogEncoding& out) {
  static constexpr std::pair<std::string_view, TLogEncoding> kNames[] = {
      {"auto", TLogEncoding::Auto}, {"sjis", TLogEncoding::ShiftJis}, {"euc-jp", TLogEncoding::EucJp},
      {"jis", TLogEncoding::Jis},   {"utf-8", TLogEncoding::Utf8},
  };
  for (const auto& [text, encoding] : kNames) {
    if (name == text) {
      out = encoding;
      return true;
    }
  }
  return false;
}

const char* LogEncodingName(TLogEncoding encoding) {
  switch (encoding) {
    case TLogEncoding::Auto: return "auto";
    case TLogEncoding::ShiftJis: return "sjis";
    case TLogEncoding::EucJp: return "euc-jp";
    case TLogEncoding::Jis: return "jis";
    case TLogEncoding::Utf8: return "utf-8";
  }
  return "auto";
}

TLogEncoding DetectLogEncoding(std::string_view sample, bool atFileStart) {
  if (atFileStart && sample.substr(0, 3) == "\xEF\xBB\xBF") return TLogEncoding::Utf8;
  const auto* p = reinterpret_cast<const Byte*>(sample.data());
  const size_t n = sample.size();
  bool high = false, jis = false;
  for (size_t i = 0; i < n && !high; ++i) {
    if (p[i] >= 0x80) high = true;
    else if (p[i] == kEsc && !jis) jis = IsJisDesignation(sample, i);
  }
  if (!high) return jis ? TLogEncoding::Jis : TLogEncoding::Auto;
  if (LooksUtf8(p, n)) return TLogEncoding::Utf8;
  if (LooksEucJp(p, n)) return TLogEncoding::EucJp;
  return TLogEncoding::ShiftJis;
}

namespace {

// Raw bytes read ahead of the conversion; grows without clearing what it will read into.
class RawBuffer {
 public:
  size_t size() const { return size_; }
  const char* data() const { return data_.get(); }
  operator std::string_view() const { return {data_.get(), size_}; }
  // Drops the first k bytes.
  void Drop(size_t k) {
    if (k < size_) std::memmove(data_.get(), data_.get() + k, size_ - k);
    size_ = k < size_ ? size_ - k : 0;
  }
  // Room for `extra` more bytes at the end; Commit says how many were put there.
  char* Grow(size_t extra) {
    if (size_ + extra > capacity_) {
      const size_t capacity = std::max(size_ + extra, 2 * capacity_);
      auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
      if (size_) std::memcpy(bigger.get(), data_.get(), size_);
      data_ = std::move(bigger);
      capacity_ = capacity;
    }
    return data_.get() + size_;
  }
  void Commit(size_t n) { size_ += n; }

 private:
  std::unique_ptr<char[]> data_;
  size_t size_ = 0, capacity_ = 0;
};

// A block of the pipeline that converts a large log on a thread of its own: the reader fills
// raw blocks from the source and scans the converted ones; the converting thread turns each raw
// block into one converted block.
struct AheadBlock {
  std::unique_ptr<char[]> data;
  size_t size = 0;
  bool last = false;    // nothing follows
  bool failed = false;  // the source failed after what this block holds
};

// What Convert leaves of a block (a sequence cut off at its end: at most 5 bytes, a JIS
// designation) goes before the next block's bytes, into room kept free there.
constexpr size_t kAheadCarryRoom = 16;
constexpr size_t kAheadRawSize = size_t{128} << 10;
constexpr size_t kAheadOutSize = 2 * (kAheadRawSize + kAheadCarryRoom) + 16;
constexpr size_t kAheadBlocks = 4;

class DecodingSource final : public TDecodingSource {
 public:
  DecodingSource(std::unique_ptr<TLogSource> raw, TLogEncoding encoding)
      : raw_(std::move(raw)), requested_(encoding), active_(encoding), converter_(encoding) {}

  ~DecodingSource() override {
    if (!ahead_.joinable()) return;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopAhead_ = true;
    }
    changed_.notify_all();
    ahead_.join();
  }

  ssize_t Read(char* buffer, size_t size) override {
    if (ahead_.joinable()) return ReadAhead(buffer, size);
    LookAhead();
    for (;;) {
      if (outPos_ < out_.size()) {
        const size_t n = std::min(size, out_.size() - outPos_);
        std::memcpy(buffer, out_.data() + outPos_, n);
        outPos_ += n;
        return static_cast<ssize_t>(n);
      }
      if (Pending() == 0 && active_ == TLogEncoding::ShiftJis && !rawEnd_ && !failed_) {
        // Nothing to convert: straight from the source.
        const ssize_t n = raw_->Read(buffer, size);
        if (n < 0) {
          ErrorText = raw_->ErrorText;
          failed_ = true;
        }
        if (n == 0) rawEnd_ = true;
        if (n > 0) rawRead_.fetch_add(static_cast<uint64_t>(n), std::memory_order_relaxed);
        atStart_ = false;
        if (n != 0) return n;
        continue;
      }
      if (Pending() < 16) Fill(Pending() + 1);  // one read more, whatever it brings
      const size_t n = Pending();
      if (n == 0) return failed_ ? -1 : 0;
      if (active_ == TLogEncoding::Auto) {
        out_.clear();
        outPos_ = 0;
        Undecided();
        continue;
      }
      if (atStart_) {
        atStart_ = false;
        if (active_ == TLogEncoding::Utf8) {
          Fill(3);  // a byte-order mark may come in pieces
          if (std::string_view(in_).substr(inPos_, 3) == "\xEF\xBB\xBF") inPos_ += 3;  // no part of the first line
        }
        continue;
      }
      if (active_ != TLogEncoding::Auto && active_ != TLogEncoding::ShiftJis && raw_->Size() >= kConvertAheadFrom) {
        StartAhead();
        return ReadAhead(buffer, size);
      }
      // Converted straight into the caller's buffer when it has room for the worst case (two
      // bytes for each byte taken); a small one gets its bytes through out_.
      const bool direct = size >= 64;
      const size_t take = direct ? std::min(n, (size - 16) / 2) : n;
      if (!direct) {
        out_.resize(2 * take + 16);
        outPos_ = 0;
      }
      char* const begin = direct ? buffer : out_.data();
      char* dst = begin;
      const bool final = (rawEnd_ || failed_) && take == n;
      const size_t used = converter_.Convert(In(), take, final, dst);
      inPos_ += used;
      const size_t made = static_cast<size_t>(dst - begin);
      if (!direct) {
        out_.resize(made);
        continue;
      }
      if (made > 0) return static_cast<ssize_t>(made);
      if (used == 0 && !rawEnd_ && !failed_) Fill(n + 1);  // only a cut-off sequence: read on
    }
  }

  uint64_t Size() const override { return raw_->Size(); }
  bool AnyLineEnd() override {
    LookAhead();
    return anyLineEnd_;
  }
  TLogEncoding Encoding() const override { return active_; }
  uint64_t RawBytesRead() const override { return rawRead_.load(std::memory_order_relaxed); }

 private:
  // From here on the converting thread alone uses the converter; the reader keeps reading the
  // raw source (libarchive's readers stay on one thread) and scanning.
  void StartAhead() {
    for (size_t k = 0; k < kAheadBlocks; ++k) {
      AheadBlock raw, out;
      raw.data = std::make_unique_for_overwrite<char[]>(kAheadCarryRoom + kAheadRawSize);
      out.data = std::make_unique_for_overwrite<char[]>(kAheadOutSize);
      rawFree_.push_back(std::move(raw));
      outFree_.push_back(std::move(out));
    }
    ahead_ = std::thread([this] { ConvertAhead(); });
  }

  void ConvertAhead() {
    char carry[kAheadCarryRoom];
    size_t carried = 0;
    for (;;) {
      AheadBlock raw, out;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return stopAhead_ || (!rawFull_.empty() && !outFree_.empty()); });
        if (stopAhead_) return;
        raw = std::move(rawFull_.front());
        rawFull_.erase(rawFull_.begin());
        out = std::move(outFree_.back());
        outFree_.pop_back();
      }
      // The bytes left of the block before, then this block's.
      char* const start = raw.data.get() + kAheadCarryRoom - carried;
      std::memcpy(start, carry, carried);
      const size_t n = carried + raw.size;
      char* dst = out.data.get();
      const size_t used = converter_.Convert(reinterpret_cast<const Byte*>(start), n, raw.last, dst);
      carried = std::min(n - used, kAheadCarryRoom);  // never more than 5
      std::memcpy(carry, start + used, carried);
      out.size = static_cast<size_t>(dst - out.data.get());
      out.last = raw.last;
      out.failed = raw.failed;
      const bool last = raw.last;
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        rawFree_.push_back(std::move(raw));
        outFull_.push_back(std::move(out));
      }
      changed_.notify_all();
      if (last) return;
    }
  }

  // Raw bytes for the converting thread: what was read ahead and not converted yet, then the
  // source's. Returns -1 when the source fails.
  ssize_t ReadRaw(char* buffer, size_t size) {
    if (const size_t n = std::min(size, Pending()); n > 0) {
      std::memcpy(buffer, In(), n);
      inPos_ += n;
      return static_cast<ssize_t>(n);
    }
    if (failed_) return -1;
    if (rawEnd_) return 0;
    const ssize_t n = raw_->Read(buffer, size);
    if (n < 0) {
      ErrorText = raw_->ErrorText;
      failed_ = true;
    } else if (n == 0) {
      rawEnd_ = true;
    } else {
      rawRead_.fetch_add(static_cast<uint64_t>(n), std::memory_order_relaxed);
    }
    return n;
  }

  ssize_t ReadAhead(char* buffer, size_t size) {
    for (;;) {
      if (currentPos_ < current_.size) {
        const size_t n = std::min(size, current_.size - currentPos_);
        std::memcpy(buffer, current_.data.get() + currentPos_, n);
        currentPos_ += n;
        return static_cast<ssize_t>(n);
      }
      if (current_.last) return current_.failed ? -1 : 0;
      // Every free raw block filled first, so that the converting thread never waits for the
      // reader's scan; then the next converted block.
      std::unique_lock<std::mutex> lock(mutex_);
      if (current_.data) {
        outFree_.push_back(std::move(current_));
        changed_.notify_all();
      }
      while (!rawSent_ && !rawFree_.empty()) {
        AheadBlock raw = std::move(rawFree_.back());
        rawFree_.pop_back();
        lock.unlock();
        const ssize_t n = ReadRaw(raw.data.get() + kAheadCarryRoom, kAheadRawSize);
        raw.size = n > 0 ? static_cast<size_t>(n) : 0;
        raw.last = n <= 0;
        raw.failed = n < 0;
        rawSent_ = raw.last;
        lock.lock();
        rawFull_.push_back(std::move(raw));
        changed_.notify_all();
      }
      changed_.wait(lock, [this] { return !outFull_.empty(); });
      current_ = std::move(outFull_.front());
      outFull_.erase(outFull_.begin());
      currentPos_ = 0;
    }
  }

  size_t Pending() const { return in_.size() - inPos_; }
  const Byte* In() const { return reinterpret_cast<const Byte*>(in_.data()) + inPos_; }

  // Reads until `want` unconverted bytes are at hand or the source is done, or `enough` says
  // that what is at hand settles the question it was read for (a log still being written must
  // not wait for a MiB to show its first lines).
  void Fill(size_t want, bool (DecodingSource::*enough)() = nullptr) {
    if (inPos_ > 0) {
      in_.Drop(inPos_);
      inPos_ = 0;
    }
    while (in_.size() < want && !rawEnd_ && !failed_) {
      const size_t chunk = kChunk;  // memory grows with what the source really has
      const ssize_t n = raw_->Read(in_.Grow(chunk), chunk);
      if (n > 0) in_.Commit(static_cast<size_t>(n));
      if (n < 0) {
        ErrorText = raw_->ErrorText;
        failed_ = true;
      } else if (n == 0) {
        rawEnd_ = true;
      } else {
        rawRead_.fetch_add(static_cast<uint64_t>(n), std::memory_order_relaxed);
        if (enough && (this->*enough)()) break;
      }
    }
  }

  // A CR among the first MiB: the line ends are the usual ones.
  bool SeenCR() {
    const size_t end = std::min(in_.size(), kEncodingLookAhead);
    if (scanned_ < end && std::memchr(in_.data() + scanned_, '\r', end - scanned_)) return true;
    scanned_ = end;
    return false;
  }

  // Bytes that are neither UTF-8 nor EUC-JP: Shift-JIS for sure. The end of the text (0x1A)
  // ends the evidence too.
  bool EvidenceDone() {
    const size_t end = std::min(in_.size(), kEncodingLookAhead);
    if (scanned_ < end && std::memchr(in_.data() + scanned_, '\x1A', end - scanned_)) return true;
    scanned_ = end;
    const auto* p = reinterpret_cast<const Byte*>(in_.data());
    while (!bad8_ && pos8_ < end) {
      pos8_ += AsciiRun(p + pos8_, end - pos8_);
      if (pos8_ == end) break;
      uint32_t u = 0;
      bool complete = false;
      const size_t len = Utf8Prefix(p + pos8_, end - pos8_, u, complete);
      if (complete) pos8_ += len;
      else if (CutOff(p + pos8_, len, end - pos8_)) break;
      else bad8_ = true;
    }
    while (!badEuc_ && posEuc_ < end) {
      posEuc_ += AsciiRun(p + posEuc_, end - posEuc_);
      if (posEuc_ == end) break;
      const Byte c = p[posEuc_];
      const size_t need = c == 0x8F ? 3 : 2;
      if (posEuc_ + need > end) break;
      auto euc = [&](size_t k) { return p[posEuc_ + k] >= 0xA1 && p[posEuc_ + k] <= 0xFE; };
      const bool valid = c == 0x8E ? (p[posEuc_ + 1] >= 0xA1 && p[posEuc_ + 1] <= 0xDF)
                                   : (c == 0x8F || (c >= 0xA1 && c <= 0xFE)) && euc(1) && (need == 2 || euc(2));
      if (valid) posEuc_ += need;
      else badEuc_ = true;
    }
    return bad8_ && badEuc_;
  }

  void LookAhead() {
    if (lookedAhead_) return;
    lookedAhead_ = true;
    if (requested_ != TLogEncoding::Auto) return;
    scanned_ = 0;
    Fill(kEncodingLookAhead, &DecodingSource::SeenCR);
    const std::string_view head(in_.data(), std::min(in_.size(), kEncodingLookAhead));
    anyLineEnd_ = head.find('\r') == std::string_view::npos && head.find('\n') != std::string_view::npos;
  }

  // Plain ASCII passes as it is until the first byte that may tell the encoding; from there the
  // next MiB decides.
  void Undecided() {
    const Byte* p = In();
    const size_t n = Pending();
    const std::string_view text(reinterpret_cast<const char*>(p), n);
    const size_t run = AsciiRun(p, n);
    size_t k = run;
    for (size_t esc = text.find('\x1B'); esc < run; esc = text.find('\x1B', esc + 1)) {
      if (IsJisDesignation(text, esc) || (esc + 3 >= n && !rawEnd_ && !failed_)) {
        k = esc;
        break;
      }
    }
    if (k > 0) {
      out_.assign(reinterpret_cast<const char*>(p), k);
      inPos_ += k;
      atStart_ = false;
      return;
    }
    Fill(0);  // the evidence starts at the start of in_
    scanned_ = pos8_ = posEuc_ = 0;
    bad8_ = badEuc_ = false;
    Fill(kEncodingLookAhead, &DecodingSource::EvidenceDone);
    std::string_view sample(in_.data(), std::min(in_.size(), kEncodingLookAhead));
    if (const size_t eot = sample.find('\x1A'); eot != std::string_view::npos) sample = sample.substr(0, eot);
    const TLogEncoding decided = DetectLogEncoding(sample, atStart_);
    if (decided == TLogEncoding::Auto) {
      // An escape of no JIS shift (a terminal's): passed on, still undecided.
      out_.assign(1, in_.data()[0]);
      ++inPos_;
      atStart_ = false;
      return;
    }
    active_ = decided;
    converter_.SetEncoding(decided);
  }

  std::unique_ptr<TLogSource> raw_;
  const TLogEncoding requested_;
  TLogEncoding active_;
  Converter converter_;
  RawBuffer in_;  // raw bytes; those from inPos_ on are not converted yet
  size_t inPos_ = 0;
  std::string out_;  // converted bytes; those from outPos_ on are not handed out yet
  size_t outPos_ = 0;
  std::atomic<uint64_t> rawRead_{0};
  bool rawEnd_ = false, failed_ = false;
  bool lookedAhead_ = false, anyLineEnd_ = false;
  bool atStart_ = true;  // nothing of the file handed out yet
  // How far the look-ahead has looked (SeenCR, EvidenceDone), and where UTF-8 and EUC-JP
  // validity have been checked up to.
  size_t scanned_ = 0, pos8_ = 0, posEuc_ = 0;
  bool bad8_ = false, badEuc_ = false;
  // Converting ahead (StartAhead): the thread, the blocks it fills and those the reader hands back.
  std::thread ahead_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<AheadBlock> rawFull_, rawFree_, outFull_, outFree_;  // full ones in order
  bool stopAhead_ = false;
  bool rawSent_ = false;  // the last raw block has gone to the converting thread
  AheadBlock current_;  // the block being read
  size_t currentPos_ = 0;
};

class MemorySource final : public TLogSource {
 public:
  explicit MemorySource(std::string bytes) : bytes_(std::move(bytes)) {}
  ssize_t Read(char* buffer, size_t size) override {
    const size_t n = std::min(size, bytes_.size() - pos_);
    std::memcpy(buffer, bytes_.data() + pos_, n);
    pos_ += n;
    return static_cast<ssize_t>(n);
  }
  uint64_t Size() const override { return bytes_.size(); }

 private:
  std::string bytes_;
  size_t pos_ = 0;
};

}  // namespace

std::unique_ptr<TDecodingSource> DecodeLogSource(std::unique_ptr<TLogSource> raw, TLogEncoding encoding) {
  return std::make_unique<DecodingSource>(std::move(raw), encoding);
}

std::unique_ptr<TLogSource> MemoryLogSource(std::string bytes) { return std::make_unique<MemorySource>(std::move(bytes)); }

std::string DecodeLogText(std::string_view bytes, TLogEncoding encoding) {
  auto source = DecodeLogSource(MemoryLogSource(std::string(bytes)), encoding);
  std::string out;
  char buffer[4096];
  for (;;) {
    const ssize_t n = source->Read(buffer, sizeof buffer);
    if (n <= 0) break;
    out.append(buffer, static_cast<size_t>(n));
  }
  return out;
}
