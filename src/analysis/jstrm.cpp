#include "analysis/jstrm.h"

#include <array>
#include <memory>

#include "common/Error.h"

namespace {

// Double-byte characters that normalise to one byte; 0 means "stays double-byte".
struct DoubleByteTable {
  std::array<std::array<unsigned char, 256>, 2> map{};  // lead 0x81 and 0x82
  DoubleByteTable() {
    auto& m81 = map[0];
    auto& m82 = map[1];
    const std::pair<int, char> k81[] = {
        {0x40, ' '}, {0x43, ','}, {0x44, '.'}, {0x46, ':'}, {0x47, ';'}, {0x48, '?'},  {0x49, '!'},
        {0x4F, '^'}, {0x5E, '/'}, {0x60, '~'}, {0x62, '|'}, {0x65, '\''}, {0x66, '\''}, {0x67, '"'},
        {0x68, '"'}, {0x69, '('}, {0x6A, ')'}, {0x6D, '['}, {0x6E, ']'}, {0x6F, '{'},  {0x70, '}'},
        {0x7B, '+'}, {0x7C, '-'}, {0x81, '='}, {0x83, '<'}, {0x84, '>'}, {0x8C, '\''}, {0x8D, '"'},
        {0x8F, '\\'}, {0x90, '$'}, {0x93, '%'}, {0x94, '#'}, {0x95, '&'}, {0x96, '*'}, {0x97, '@'},
        {0xAC, '='}};
    for (auto [trail, c] : k81) m81[trail] = static_cast<unsigned char>(c);
    for (int t = 0x4F; t <= 0x58; ++t) m82[t] = static_cast<unsigned char>('0' + (t - 0x4F));
    for (int t = 0x60; t <= 0x79; ++t) m82[t] = static_cast<unsigned char>('A' + (t - 0x60));
    for (int t = 0x81; t <= 0x9A; ++t) m82[t] = static_cast<unsigned char>('A' + (t - 0x81));
  }
};

const DoubleByteTable& Table() {
  static const DoubleByteTable table;
  return table;
}

// Single-byte katakana 0xA1..0xDD: plain, voiced and semi-voiced full-width forms (0 = none).
struct KanaForms {
  uint16_t plain, voiced, semiVoiced;
};
constexpr KanaForms kKana[0xDD - 0xA1 + 1] = {
    {0x8142, 0, 0},      {0x8175, 0, 0},      {0x8176, 0, 0},      {0x8141, 0, 0},
    {0x8145, 0, 0},      {0x8392, 0, 0},      {0x8340, 0, 0},      {0x8342, 0, 0},
    {0x8344, 0, 0},      {0x8346, 0, 0},      {0x8348, 0, 0},      {0x8383, 0, 0},
    {0x8385, 0, 0},      {0x8387, 0, 0},      {0x8362, 0, 0},      {0x815B, 0, 0},
    {0x8341, 0, 0},      {0x8343, 0, 0},      {0x8345, 0x8394, 0}, {0x8347, 0, 0},
    {0x8349, 0, 0},      {0x834A, 0x834B, 0}, {0x834C, 0x834D, 0}, {0x834E, 0x834F, 0},
    {0x8350, 0x8351, 0}, {0x8352, 0x8353, 0}, {0x8354, 0x8355, 0}, {0x8356, 0x8357, 0},
    {0x8358, 0x8359, 0}, {0x835A, 0x835B, 0}, {0x835C, 0x835D, 0}, {0x835E, 0x835F, 0},
    {0x8360, 0x8361, 0}, {0x8363, 0x8364, 0}, {0x8365, 0x8366, 0}, {0x8367, 0x8368, 0},
    {0x8369, 0, 0},      {0x836A, 0, 0},      {0x836B, 0, 0},      {0x836C, 0, 0},
    {0x836D, 0, 0},      {0x836E, 0x836F, 0x8370}, {0x8371, 0x8372, 0x8373}, {0x8374, 0x8375, 0x8376},
    {0x8377, 0x8378, 0x8379}, {0x837A, 0x837B, 0x837C}, {0x837D, 0, 0}, {0x837E, 0, 0},
    {0x8380, 0, 0},      {0x8381, 0, 0},      {0x8382, 0, 0},      {0x8384, 0, 0},
    {0x8386, 0, 0},      {0x8388, 0, 0},      {0x8389, 0, 0},      {0x838A, 0, 0},
    {0x838B, 0, 0},      {0x838C, 0, 0},      {0x838D, 0, 0},      {0x838F, 0, 0},
    {0x8393, 0, 0}};

}  // namespace

bool IsTrailByte(std::string_view text, int64_t position) {
  if (position < 1 || position > static_cast<int64_t>(text.size())) throw Error("Illegal Index");
  if (position == 1) return false;
  int64_t run = 0;
  for (int64_t i = position - 2; i >= 0 && IsLeadByte(static_cast<unsigned char>(text[i])); --i) ++run;
  return (run % 2) == 1;
}

void JTrimLeft(std::string& text) {
  size_t start = 0;
  while (start < text.size()) {
    if (text[start] == ' ') {
      start += 1;
    } else if (start + 1 < text.size() && static_cast<unsigned char>(text[start]) == 0x81 &&
               text[start + 1] == 0x40) {
      start += 2;
    } else {
      break;
    }
  }
  text.erase(0, start);
}

void JTrimRight(std::string& text) {
  while (!text.empty()) {
    const size_t n = text.size();
    if (IsTrailByte(text, static_cast<int64_t>(n))) {
      if (static_cast<unsigned char>(text[n - 2]) == 0x81 && text[n - 1] == 0x40)
        text.resize(n - 2);
      else
        break;
    } else if (text[n - 1] == ' ') {
      text.resize(n - 1);
    } else {
      break;
    }
  }
}

std::string JTrim(std::string_view text) {
  std::string result(text);
  if (result.empty()) return result;
  JTrimLeft(result);
  JTrimRight(result);
  return result;
}

std::string JNormalize(std::string_view text) {
  const DoubleByteTable& table = Table();
  const size_t n = text.size();
  // One working buffer large enough for the longest result (every byte a kana: two bytes each).
  std::unique_ptr<char[]> buffer(new char[n * 2 + 4]);
  char* out = buffer.get();
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = 0;
  while (i < n) {
    const unsigned char b = s[i];
    if (IsLeadByte(b)) {
      if (i + 1 >= n) {  // a lone lead byte at the end stays
        *out++ = static_cast<char>(b);
        ++i;
        continue;
      }
      const unsigned char t = s[i + 1];
      unsigned char single = 0;
      if (b == 0x81) single = table.map[0][t];
      else if (b == 0x82) single = table.map[1][t];
      if (single != 0) {
        *out++ = static_cast<char>(single);
      } else {
        *out++ = static_cast<char>(b);
        *out++ = static_cast<char>(t);
      }
      i += 2;
    } else if (b >= 0xA1 && b <= 0xDD) {
      const KanaForms& k = kKana[b - 0xA1];
      uint16_t code = k.plain;
      size_t used = 1;
      if (i + 1 < n && (s[i + 1] == 0xDE || s[i + 1] == 0xDF)) {
        const uint16_t marked = s[i + 1] == 0xDE ? k.voiced : k.semiVoiced;
        if (marked != 0) code = marked;
        used = 2;  // the mark is consumed either way
      }
      *out++ = static_cast<char>(code >> 8);
      *out++ = static_cast<char>(code & 0xFF);
      i += used;
    } else if (b >= 'a' && b <= 'z') {
      *out++ = static_cast<char>(b - 'a' + 'A');
      ++i;
    } else {
      *out++ = static_cast<char>(b);
      ++i;
    }
  }
  return std::string(buffer.get(), out - buffer.get());
}

std::string UpperAscii(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return result;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}
