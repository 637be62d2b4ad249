// Feeds arbitrary bytes through encoding detection and conversion to CP932, in every encoding.
//
// Checks for any input: the streamed conversion (the bytes handed over in pieces whose sizes
// the input chooses) equals the conversion of the whole; Shift-JIS is read byte for byte, and
// so is anything under Auto that holds no byte above 0x7F and no JIS shift; CR, LF and 0x1A
// keep their number (a byte-order mark aside, nothing is dropped that ends a line or the text);
// what UTF-8, EUC-JP and ISO-2022-JP become is CP932 throughout (single bytes, half-width kana
// and defined double-byte characters only); and Auto ends in the encoding detection names.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "analysis/LogEncoding.h"
#include "common/Cp932.h"

namespace {

#define FUZZ_CHECK(cond)                                                             \
  do {                                                                               \
    if (!(cond)) {                                                                   \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                  \
    }                                                                                \
  } while (0)

// Hands the bytes over in pieces of 1 to 16 bytes, sizes taken from `sizes` in turn.
class PieceSource : public TLogSource {
 public:
  PieceSource(std::string_view bytes, std::string_view sizes) : bytes_(bytes), sizes_(sizes) {}
  ssize_t Read(char* buffer, size_t size) override {
    size_t want = sizes_.empty() ? 7 : 1 + static_cast<unsigned char>(sizes_[step_++ % sizes_.size()]) % 16;
    const size_t n = std::min({size, want, bytes_.size() - pos_});
    std::copy_n(bytes_.data() + pos_, n, buffer);
    pos_ += n;
    return static_cast<ssize_t>(n);
  }

 private:
  std::string_view bytes_, sizes_;
  size_t pos_ = 0, step_ = 0;
};

std::string ReadAll(TLogSource& source, size_t block) {
  std::string out;
  std::string buffer(block, '\0');
  for (ssize_t n; (n = source.Read(buffer.data(), block)) > 0;) out.append(buffer.data(), static_cast<size_t>(n));
  return out;
}

bool IsCp932Text(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) continue;
    if (i + 1 >= text.size()) return false;
    if (!quillet::cp932::Defined(unsigned{c} << 8 | static_cast<unsigned char>(text[i + 1]))) return false;
    ++i;
  }
  return true;
}

size_t Count(std::string_view text, char c) { return static_cast<size_t>(std::count(text.begin(), text.end(), c)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte: how the stream is cut; the rest is the log.
  const std::string_view sizes(reinterpret_cast<const char*>(data), std::min<size_t>(size, 1 + data[0] % 8));
  const std::string_view log(reinterpret_cast<const char*>(data) + 1, size - 1);
  const bool bom = log.substr(0, 3) == "\xEF\xBB\xBF";

  for (const TLogEncoding encoding : {TLogEncoding::Auto, TLogEncoding::ShiftJis, TLogEncoding::EucJp,
                                      TLogEncoding::Jis, TLogEncoding::Utf8}) {
    const std::string whole = DecodeLogText(log, encoding);
    auto streamed = DecodeLogSource(std::make_unique<PieceSource>(log, sizes), encoding);
    (void)streamed->AnyLineEnd();
    FUZZ_CHECK(ReadAll(*streamed, 1 + data[0] % 13) == whole);
    FUZZ_CHECK(streamed->RawBytesRead() == log.size());

    const TLogEncoding used = streamed->Encoding();
    if (encoding != TLogEncoding::Auto) FUZZ_CHECK(used == encoding);
    if (used == TLogEncoding::ShiftJis || used == TLogEncoding::Auto) FUZZ_CHECK(whole == log);
    if (used == TLogEncoding::EucJp || used == TLogEncoding::Utf8 || used == TLogEncoding::Jis) {
      const size_t dropped = used == TLogEncoding::Utf8 && bom ? 3 : 0;
      FUZZ_CHECK(Count(whole, '\r') == Count(log, '\r'));
      FUZZ_CHECK(Count(whole, '\n') == Count(log, '\n'));
      FUZZ_CHECK(Count(whole, '\x1A') == Count(log, '\x1A'));
      if (used != TLogEncoding::Jis) FUZZ_CHECK(IsCp932Text(whole));
      FUZZ_CHECK(whole.size() <= 2 * (log.size() - dropped));
    }
    if (encoding == TLogEncoding::Auto) {
      // A log that starts with a byte above 0x7F is decided from its start (up to 0x1A, where
      // the reader's evidence ends) as detection on the whole says.
      if (!log.empty() && static_cast<unsigned char>(log[0]) >= 0x80)
        FUZZ_CHECK(used == DetectLogEncoding(log.substr(0, log.find('\x1A')), true));
      const bool anyEnd = log.substr(0, kEncodingLookAhead).find('\r') == std::string_view::npos &&
                          log.substr(0, kEncodingLookAhead).find('\n') != std::string_view::npos;
      auto again = DecodeLogSource(std::make_unique<PieceSource>(log, sizes), encoding);
      FUZZ_CHECK(again->AnyLineEnd() == anyEnd);
    }
  }
  return 0;
}
