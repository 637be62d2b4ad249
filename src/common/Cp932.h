#pragma once
// Conversion between the program's Shift-JIS (Windows code page 932) texts and Unicode. Used for
// the program's own text constants and at the edges (widgets, terminal output) only.
#include <string>
#include <string_view>

namespace quillet {

// CP932 bytes to UTF-8. A byte sequence with no CP932 meaning becomes U+FFFD.
std::string ToUtf8(std::string_view sjis);

// UTF-8 to CP932. Returns false (and leaves `out` unspecified) when a character has no CP932
// form or the input is not valid UTF-8.
bool TryFromUtf8(std::string_view utf8, std::string& out);

// UTF-8 to CP932 for texts known to have a CP932 form (the program's own constants). Throws
// Error when one does not.
std::string FromUtf8(std::string_view utf8);

}  // namespace quillet

// A Shift-JIS constant spelled in UTF-8 in the source, converted once on first use.
#define SJ(utf8literal)                                                      \
  ([]() -> const std::string& {                                              \
    static const std::string converted = ::quillet::FromUtf8(utf8literal);   \
    return converted;                                                        \
  }())
