#pragma once
// Conversion between the program's Shift-JIS (Windows code page 932) texts and Unicode. Used for
// the program's own text constants and at the edges (widgets, terminal output), and by the log
// reader that turns logs in other encodings into CP932.
#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

// CP932 bytes to UTF-8. A byte sequence with no CP932 meaning becomes U+FFFD.
std::string ToUtf8(std::string_view sjis);
// The same, written at `out`, which has room for kUtf8PerByte bytes per byte of `sjis` (CP932
// has only characters of the BMP, and a lone byte becomes at most one character). Returns the
// end of what was written.
inline constexpr size_t kUtf8PerByte = 3;
char* ToUtf8Into(std::string_view sjis, char* out);

// UTF-8 to CP932. Returns false (and leaves `out` unspecified) when a character has no CP932
// form or the input is not valid UTF-8.
bool TryFromUtf8(std::string_view utf8, std::string& out);

// UTF-8 to CP932 for texts known to have a CP932 form (the program's own constants). Throws
// Error when one does not.
std::string FromUtf8(std::string_view utf8);

// The table behind these conversions. A CP932 code is a single byte 0x00-0xFF or lead << 8 |
// trail for a double-byte character.
namespace cp932 {
// The Unicode character of a code (BMP only in CP932), or kNone.
constexpr uint32_t kNone = 0xFFFFFFFF;
uint32_t ToUnicode(unsigned code);
// Whether a code is a character of CP932.
inline bool Defined(unsigned code) { return ToUnicode(code) != kNone; }
// CP932 code of every BMP character, 0 where there is none (U+0000 itself is code 0x00). Where
// CP932 has a character twice, the code Windows writes.
const uint16_t* FromUnicodeTable();
// CP932 code of a JIS X 0212 code (row and cell each 0x21-0x7E), 0 when CP932 lacks it.
unsigned FromJis0212(unsigned jis);
}  // namespace cp932

}  // namespace quillet

// A Shift-JIS constant spelled in UTF-8 in the source, converted once on first use.
#define SJ(utf8literal)                                                      \
  ([]() -> const std::string& {                                              \
    static const std::string converted = ::quillet::FromUtf8(utf8literal);   \
    return converted;                                                        \
  }())
