#pragma once
// Logs kept in other encodings than the service's Shift-JIS: UTF-8 (with or without a byte-order
// mark), EUC-JP and ISO-2022-JP are converted to CP932 while they are read, so that every column
// rule of the scanner applies unchanged. Shift-JIS itself is handed on byte for byte.
//
// With TLogEncoding::Auto each log's encoding is decided from its content; Shift-JIS wins
// whenever the evidence is not decisive. Auto also notices a log converted to Unix line ends (LF
// but no CR in its first MiB), which is then read with LF, CR and CR LF each ending a line.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "analysis/LogSource.h"

enum class TLogEncoding { Auto, ShiftJis, EucJp, Jis, Utf8 };

// The names of the command line and the settings: "auto", "sjis", "euc-jp", "jis", "utf-8".
// Returns false for any other name.
bool ParseLogEncoding(std::string_view name, TLogEncoding& out);
const char* LogEncodingName(TLogEncoding encoding);

// What the bytes of a log say about its encoding. Auto while they hold no evidence (plain ASCII
// without JIS shifts); otherwise the encoding, ShiftJis when the evidence is not decisive.
// `atFileStart`: the sample is the start of the file, so a byte-order mark counts.
TLogEncoding DetectLogEncoding(std::string_view sample, bool atFileStart);

// A log's bytes converted to CP932 on the way through.
class TDecodingSource : public TLogSource {
 public:
  // Whether a line ends at LF, CR and CR LF alike (true only under Auto, for a log whose first
  // MiB holds LF but no CR); otherwise lines end at CR as always. Call before the first Read: it
  // reads ahead the first MiB.
  virtual bool AnyLineEnd() = 0;
  // The encoding being read: the one asked for, or what Auto has decided (Auto while the log has
  // been plain ASCII so far).
  virtual TLogEncoding Encoding() const = 0;
  // Bytes taken from the underlying source so far (progress against Size(), which is the
  // underlying source's size).
  virtual uint64_t RawBytesRead() const = 0;
};

// How far Auto looks ahead: for the line ends at the start of a log, and from the first byte
// that is not plain ASCII for its encoding. Memory stays within about twice this.
constexpr size_t kEncodingLookAhead = size_t{1} << 20;

// A log at least this large (by its source's Size()) in an encoding that needs converting is
// converted on a thread of its own, a few blocks ahead of the reader: the conversion then costs
// the reader no time where a core is free. Smaller logs are converted as they are read.
constexpr uint64_t kConvertAheadFrom = uint64_t{4} << 20;

// Wraps any source of a log's raw bytes (a file, an archive member) into one that hands out CP932.
std::unique_ptr<TDecodingSource> DecodeLogSource(std::unique_ptr<TLogSource> raw, TLogEncoding encoding);

// A log held in memory, as a source.
std::unique_ptr<TLogSource> MemoryLogSource(std::string bytes);

// A whole text converted as a log would be (for tests and tools).
std::string DecodeLogText(std::string_view bytes, TLogEncoding encoding);
