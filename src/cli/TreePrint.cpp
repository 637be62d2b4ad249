#include "cli/TreePrint.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "common/Cp932.h"
#include "tree/StringListWithHash.h"

namespace quillet {
namespace {

// Collects the output and writes it in large pieces.
class Output {
 public:
  explicit Output(bool raw) : raw_(raw), buffer_(std::make_unique_for_overwrite<char[]>(capacity_)) {}
  ~Output() { Flush(); }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Bytes(std::string_view bytes) {
    if (bytes.size() > capacity_ - used_) MakeRoom(bytes.size());
    std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
  }
  void Indent(int level) {
    static constexpr char kSpaces[] = "                                ";
    for (size_t n = static_cast<size_t>(level) * 2; n != 0;) {
      const size_t piece = std::min(n, sizeof kSpaces - 1);
      Bytes(std::string_view(kSpaces, piece));
      n -= piece;
    }
  }
  // A Shift-JIS text of the tree, in UTF-8 unless raw.
  void Text(std::string_view sjis) {
    if (raw_ || (ClassOf(sjis) & kNotAscii) == 0) {
      Bytes(sjis);
      return;
    }
    const size_t most = sjis.size() * kUtf8PerByte;
    if (most > capacity_ - used_) MakeRoom(most);
    used_ = static_cast<size_t>(ToUtf8Into(sjis, buffer_.get() + used_) - buffer_.get());
  }
  // A JSON string of a Shift-JIS text (always UTF-8).
  void Json(std::string_view sjis) {
    const unsigned kind = ClassOf(sjis);
    if (kind == 0) {  // most IDs and names: nothing to convert or escape
      const size_t need = sjis.size() + 2;
      if (need > capacity_ - used_) MakeRoom(need);
      char* p = buffer_.get() + used_;
      *p = '"';
      std::memcpy(p + 1, sjis.data(), sjis.size());
      p[need - 1] = '"';
      used_ += need;
    } else if ((kind & kNotAscii) == 0) {
      Bytes(JsonOfUtf8(sjis));
    } else if (sjis == lastSjis_) {  // a record's shown handle is mostly its only one as well
      Bytes(lastJson_);
    } else {
      // Converted in place; escaped afterwards only where the converted text needs it (a
      // trail byte 0x5C is no backslash).
      const size_t most = sjis.size() * kUtf8PerByte + 2;
      if (most > capacity_ - used_) MakeRoom(most);
      char* const start = buffer_.get() + used_;
      char* end = ToUtf8Into(sjis, start + 1);
      if ((ClassOf(std::string_view(start + 1, static_cast<size_t>(end - start - 1))) & kEscaped) == 0) {
        *start = '"';
        *end++ = '"';
        used_ += static_cast<size_t>(end - start);
        lastJson_.assign(start, static_cast<size_t>(end - start));
      } else {
        lastJson_ = JsonOfUtf8(std::string_view(start + 1, static_cast<size_t>(end - start - 1)));
        Bytes(lastJson_);
      }
      lastSjis_.assign(sjis);
    }
  }
  void Number(int value) {
    char digits[16];
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    Bytes(std::string_view(digits, static_cast<size_t>(end - digits)));
  }
  void Flush() {
    if (used_ != 0) std::fwrite(buffer_.get(), 1, used_, stdout);
    used_ = 0;
    std::fflush(stdout);
  }

 private:
  // Large enough that writing costs nothing beside the rest, small enough not to count in the
  // memory of an import that files hundreds of thousands of IDs.
  static constexpr size_t kFlushAt = size_t{1} << 18;
  // What a text holds beside plain printable ASCII: bytes a JSON string escapes, bytes above
  // 0x7F (a Shift-JIS text to convert).
  static constexpr unsigned kEscaped = 1, kNotAscii = 2;
  // Eight bytes at a time: a byte above 0x7F, below 0x20, a quote or a backslash in the word.
  static unsigned ClassOfWord(uint64_t w) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;
    const auto anyZero = [](uint64_t x) { return ((x - kOnes) & ~x & kHigh) != 0; };
    unsigned kind = (w & kHigh) ? kNotAscii : 0;
    if (((w - kOnes * 0x20) & ~w & kHigh) != 0 || anyZero(w ^ (kOnes * '"')) || anyZero(w ^ (kOnes * '\\')))
      kind |= kEscaped;
    return kind;
  }
  static unsigned ClassOf(std::string_view text) {
    unsigned kind = 0;
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
      uint64_t w;
      std::memcpy(&w, text.data() + i, 8);
      kind |= ClassOfWord(w);
    }
    if (i < text.size()) {
      uint64_t w = 0x4141414141414141ULL;  // "AAAAAAAA" behind the last bytes
      std::memcpy(&w, text.data() + i, text.size() - i);
      kind |= ClassOfWord(w);
    }
    return kind;
  }
  // A UTF-8 text as a JSON string.
  static std::string JsonOfUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 8);
    out.push_back('"');
    size_t plain = 0;  // start of the run of bytes that need no escape
    for (size_t i = 0; i < utf8.size(); ++i) {
      const auto u = static_cast<unsigned char>(utf8[i]);
      if (u >= 0x20 && u != '"' && u != '\\') continue;
      out.append(utf8, plain, i - plain);
      plain = i + 1;
      if (u == '"' || u == '\\') {
        out.push_back('\\');
        out.push_back(static_cast<char>(u));
      } else {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", u);
        out.append(escape);
      }
    }
    out.append(utf8, plain, utf8.size() - plain);
    out.push_back('"');
    return out;
  }
  // Written out when full; a text larger than the buffer makes it larger, to go in one piece.
  void MakeRoom(size_t size) {
    Flush();
    if (size <= capacity_) return;
    buffer_ = std::make_unique_for_overwrite<char[]>(size);
    capacity_ = size;
  }

  bool raw_;
  size_t capacity_ = kFlushAt;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
  std::string lastSjis_, lastJson_;  // the text converted last, and its JSON string
};

void PrintText(Output& out, const TTreeNode* node, int level) {
  out.Indent(level);
  out.Text(node->Text());
  out.Bytes("\n");
  if (const TStringListWithHash* set = node->IDSet()) {
    for (int i = 0; i < set->Count(); ++i) {
      const std::string_view id = set->Strings(i);
      if (id.empty()) continue;
      const TminiIDDataSet* record = set->Objects(i);
      out.Indent(level + 1);
      out.Text(id);
      out.Bytes("  ");
      out.Text(record ? record->Handle.View() : std::string_view());
      out.Bytes("\n");
    }
  }
  for (int i = 0; i < node->Count(); ++i) PrintText(out, node->Item(i), level + 1);
}

void PrintJson(Output& out, const TTreeNode* node) {
  out.Bytes("{\"text\": ");
  out.Json(node->Text());
  out.Bytes(", \"image\": ");
  out.Number(node->ImageIndex());
  out.Bytes(", \"selectedImage\": ");
  out.Number(node->SelectedIndex());
  out.Bytes(", \"ids\": [");
  bool first = true;
  if (const TStringListWithHash* set = node->IDSet()) {
    for (int i = 0; i < set->Count(); ++i) {
      const std::string_view id = set->Strings(i);
      if (id.empty()) continue;
      const TminiIDDataSet* record = set->Objects(i);
      out.Bytes(first ? "{\"id\": " : ", {\"id\": ");
      first = false;
      out.Json(id);
      out.Bytes(", \"handle\": ");
      out.Json(record ? record->Handle.View() : std::string_view());
      out.Bytes(", \"handles\": [");
      if (record) {
        for (size_t h = 0; h < record->Handles.size(); ++h) {
          if (h) out.Bytes(", ");
          out.Json(record->Handles[h]);
        }
      }
      out.Bytes("]}");
    }
  }
  out.Bytes("], \"children\": [");
  for (int i = 0; i < node->Count(); ++i) {
    if (i) out.Bytes(", ");
    PrintJson(out, node->Item(i));
  }
  out.Bytes("]}");
}

}  // namespace

void PrintTree(const TTreeNode* root, bool json, bool raw) {
  Output out(raw && !json);
  if (!root) return;
  if (json) {
    PrintJson(out, root);
    out.Bytes("\n");
  } else {
    PrintText(out, root, 0);
  }
}

}  // namespace quillet
