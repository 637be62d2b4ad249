// Logs in UTF-8, EUC-JP and ISO-2022-JP against their Shift-JIS originals; the fixtures are made
// from the sample logs with the system's iconv, so the converter is held against another one.
#include <gtest/gtest.h>

#include <QProcess>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "analysis/LogAnalize.h"
#include "analysis/LogEncoding.h"
#include "common/Cp932.h"
#include "support/Support.h"

namespace {

std::string S(const std::string& utf8) { return quillet::FromUtf8(utf8); }

using testsupport::ReadFile;

std::string Example(const char* name) { return ReadFile(std::string(QUILLET_EXAMPLES) + "/" + name); }

using testsupport::Iconv;

// EUC-JP written as ISO-2022-JP: each run of JIS X 0208 pairs between ESC $ B and ESC ( B, each
// run of half-width katakana between ESC ( I and ESC ( B, back to ASCII before every line end.
std::string EucToJis(const std::string& euc) {
  std::string out;
  enum { Ascii, Kanji, Kana } mode = Ascii;
  auto to = [&](int m, const char* esc) {
    if (mode != m) out += esc;
    mode = static_cast<decltype(mode)>(m);
  };
  for (size_t i = 0; i < euc.size(); ++i) {
    const auto c = static_cast<unsigned char>(euc[i]);
    if (c == 0x8E) {
      to(Kana, "\x1B(I");
      out += static_cast<char>(euc[++i] & 0x7F);
    } else if (c >= 0xA1) {
      to(Kanji, "\x1B$B");
      out += static_cast<char>(c & 0x7F);
      out += static_cast<char>(euc[++i] & 0x7F);
    } else {
      to(Ascii, "\x1B(B");
      out += static_cast<char>(c);
    }
  }
  to(Ascii, "\x1B(B");
  return out;
}

// A source that hands out a few bytes at a time (1 to `most`, varying), so that every sequence is
// cut somewhere; it says its size only when `sized`, and fails with "disk gone" after `failAt`
// bytes.
class TrickleSource : public TLogSource {
 public:
  explicit TrickleSource(std::string bytes, size_t most = 5, bool sized = false, size_t failAt = ~size_t{0})
      : bytes_(std::move(bytes)), most_(most), sized_(sized), failAt_(failAt) {}
  ssize_t Read(char* buffer, size_t size) override {
    if (pos_ >= failAt_) {
      ErrorText = "disk gone";
      return -1;
    }
    const size_t n = std::min({size, bytes_.size() - pos_, failAt_ - pos_, size_t{1} + (step_++ * 7919 % most_)});
    std::copy_n(bytes_.data() + pos_, n, buffer);
    pos_ += n;
    return static_cast<ssize_t>(n);
  }
  uint64_t Size() const override { return sized_ ? bytes_.size() : 0; }

 private:
  std::string bytes_;
  size_t most_;
  bool sized_;
  size_t failAt_;
  size_t pos_ = 0, step_ = 0;
};

// All a source hands out, read `chunk` bytes at a time; `failed` tells how it ended.
std::string ReadAll(TLogSource& source, size_t chunk, bool* failed = nullptr) {
  std::string out;
  std::vector<char> buffer(chunk);
  ssize_t n;
  while ((n = source.Read(buffer.data(), chunk)) > 0) out.append(buffer.data(), static_cast<size_t>(n));
  if (failed) *failed = n < 0;
  return out;
}

std::string DecodeTrickled(const std::string& bytes, TLogEncoding encoding) {
  return ReadAll(*DecodeLogSource(std::make_unique<TrickleSource>(bytes), encoding), 7);
}

struct Find {
  int category;
  std::string name, id, handle;
  bool operator==(const Find&) const = default;
};

class Collect : public TAnalysisSink {
 public:
  std::vector<Find> finds;
  int ends = 0;
  void Found(const TIDData& find, const TForumData& context) override {
    finds.push_back({context.Category, context.Name, find.ID, find.HandleName});
  }
  void End(const std::string&) override { ++ends; }
};

// The finds of a log held in memory, read as `encoding` says.
std::vector<Find> Scan(const std::string& bytes, TLogEncoding encoding, bool trickle = false) {
  Collect sink;
  TLogAnalizingThread worker;
  worker.FileName = "memory.log";
  worker.Encoding = encoding;
  worker.Source = trickle ? std::make_unique<TrickleSource>(bytes) : MemoryLogSource(bytes);
  worker.NotifyWindow = &sink;
  worker.Execute();
  EXPECT_EQ(sink.ends, 1);
  EXPECT_FALSE(worker.ReadFailed);
  return sink.finds;
}

const char* const kExamples[] = {"forum.log", "patio-cb.log", "mail.log"};

// Every character of JIS X 0208 as CP932 has it (rows 1-8 and 16-84), one after another.
std::string AllJis0208() {
  std::string out;
  for (unsigned lead = 0x81; lead <= 0xEA; ++lead) {
    if ((lead > 0x84 && lead < 0x88) || (lead > 0x9F && lead < 0xE0)) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (!quillet::cp932::Defined(lead << 8 | trail)) continue;
      out += static_cast<char>(lead);
      out += static_cast<char>(trail);
      if (trail % 32 == 0) out += "\r\n";
    }
  }
  return out;
}

}  // namespace

TEST(LogEncoding, NamesOfTheCommandLine) {
  TLogEncoding e{};
  for (const auto encoding : {TLogEncoding::Auto, TLogEncoding::ShiftJis, TLogEncoding::EucJp, TLogEncoding::Jis,
                              TLogEncoding::Utf8}) {
    ASSERT_TRUE(ParseLogEncoding(LogEncodingName(encoding), e));
    EXPECT_EQ(e, encoding);
  }
  EXPECT_STREQ(LogEncodingName(TLogEncoding::EucJp), "euc-jp");
  for (const char* bad : {"", "UTF-8", "utf8", "sjis ", "shift_jis", "euc"}) EXPECT_FALSE(ParseLogEncoding(bad, e)) << bad;
}

// Each sample log converted by iconv and read back gives its original bytes, whole and trickled,
// told or detected; and the same finds.
TEST(LogEncoding, ConvertedSamplesReadBackAsTheirOriginals) {
  for (const char* name : kExamples) {
    SCOPED_TRACE(name);
    const std::string sjis = Example(name);
    const std::string utf8 = Iconv(sjis, "CP932", "UTF-8");
    const std::string euc = Iconv(sjis, "CP932", "EUC-JP-MS");
    const std::string jis = EucToJis(euc);
    const std::vector<Find> original = Scan(sjis, TLogEncoding::ShiftJis);
    ASSERT_FALSE(original.empty());
    for (const auto& [bytes, encoding] : {std::pair{utf8, TLogEncoding::Utf8}, std::pair{"\xEF\xBB\xBF" + utf8, TLogEncoding::Utf8},
                                          std::pair{euc, TLogEncoding::EucJp}, std::pair{jis, TLogEncoding::Jis},
                                          std::pair{sjis, TLogEncoding::ShiftJis}}) {
      SCOPED_TRACE(LogEncodingName(encoding));
      EXPECT_EQ(DetectLogEncoding(bytes, true), encoding);
      EXPECT_EQ(DecodeLogText(bytes, encoding), sjis);
      EXPECT_EQ(DecodeLogText(bytes, TLogEncoding::Auto), sjis);
      EXPECT_EQ(DecodeTrickled(bytes, TLogEncoding::Auto), sjis);
      EXPECT_EQ(Scan(bytes, TLogEncoding::Auto), original);
      EXPECT_EQ(Scan(bytes, encoding, true), original);
    }
  }
}

// All of JIS X 0208, by JIS code point: EUC-JP 0xA1DD is CP932 0x817C, and so on for every
// character, in every encoding.
TEST(LogEncoding, EveryJisCharacterMapsToItsCp932Code) {
  const std::string sjis = AllJis0208();
  const std::string euc = Iconv(sjis, "CP932", "EUC-JP-MS");
  EXPECT_EQ(DecodeLogText(euc, TLogEncoding::EucJp), sjis);
  EXPECT_EQ(DecodeLogText(EucToJis(euc), TLogEncoding::Jis), sjis);
  EXPECT_EQ(DecodeLogText(Iconv(sjis, "CP932", "UTF-8"), TLogEncoding::Utf8), sjis);
  EXPECT_EQ(DecodeLogText("\xA1\xDD", TLogEncoding::EucJp), "\x81\x7C");
  // The JIS forms other converters write for ～ ‖ － ￠ ￡ ￢ come back as CP932's.
  const std::string jisForms = "\xE3\x80\x9C\xE2\x80\x96\xE2\x88\x92\xC2\xA2\xC2\xA3\xC2\xAC";  // U+301C ...
  EXPECT_EQ(DecodeLogText(jisForms, TLogEncoding::Utf8), S("～‖－￠￡￢"));
  EXPECT_EQ(DecodeLogText(Iconv(jisForms, "UTF-8", "EUC-JP"), TLogEncoding::EucJp), S("～‖－￠￡￢"));
}

TEST(LogEncoding, HalfWidthKatakanaAndJisShifts) {
  const std::string kana = S("ｶﾀｶﾅ");  // B6 C0 B6 C5
  EXPECT_EQ(DecodeLogText("\x8E\xB6\x8E\xC0\x8E\xB6\x8E\xC5", TLogEncoding::EucJp), kana);
  EXPECT_EQ(DecodeLogText("\x1B(I6@6E\x1B(B", TLogEncoding::Jis), kana);
  EXPECT_EQ(DecodeLogText("\x0E" "6@6E\x0F" "A", TLogEncoding::Jis), kana + "A");  // SO/SI
  // Mixed with kanji, in runs of either length.
  for (const std::string& text : {S("ｶﾀｶﾅ漢字ｶﾅ字字"), S("漢ｶ字ﾀ漢字漢ｶﾅﾀ"), S("ｱ") + "A" + S("ｲ字")}) {
    EXPECT_EQ(DecodeLogText(quillet::ToUtf8(text), TLogEncoding::Utf8), text);
    const std::string euc = Iconv(text, "CP932", "EUC-JP-MS");
    EXPECT_EQ(DecodeLogText(euc, TLogEncoding::EucJp), text);
    EXPECT_EQ(DecodeLogText(EucToJis(euc), TLogEncoding::Jis), text);
  }
  EXPECT_EQ(DecodeLogText("\x1B(I6@\x7F" "6`", TLogEncoding::Jis), S("ｶﾀ") + "\x7F" + S("ｶ") + "\x81\xAC");
  // ESC $ @ is JIS C 6226 (read as X 0208); ESC ( J is JIS X 0201 Roman, ASCII's bytes.
  EXPECT_EQ(DecodeLogText("\x1B$@$\"\x1B(Jab", TLogEncoding::Jis), S("あ") + "ab");
  // A terminal's own escape sequences stay as they are; a line end always returns to ASCII.
  EXPECT_EQ(DecodeLogText("\x1B[0m\x1B$B$\"\r\nA", TLogEncoding::Jis), "\x1B[0m" + S("あ") + "\r\nA");
}

// What has no CP932 form, or is no character at all, becomes 〓; CR, LF and 0x1A pass; nothing
// stops the reading.
TEST(LogEncoding, UnmappableAndInvalidBecomeGeta) {
  const std::string geta = "\x81\xAC";
  EXPECT_EQ(DecodeLogText("A\xF0\x9F\x98\x80" "B\xC3\xA9\r\n", TLogEncoding::Utf8), "A" + geta + "B" + geta + "\r\n");
  EXPECT_EQ(DecodeLogText("\xE3\x81" "A\x80\xFF\x1A" "C", TLogEncoding::Utf8), geta + "A" + geta + geta + "\x1A" "C");
  EXPECT_EQ(DecodeLogText("\xE3\x81", TLogEncoding::Utf8), geta);  // cut off at the end
  EXPECT_EQ(DecodeLogText("\xED\xA0\x80", TLogEncoding::Utf8), geta + geta + geta);  // a surrogate
  EXPECT_EQ(DecodeLogText("\xA4" "A\xA9\xA1\x8E\x20\n", TLogEncoding::EucJp), geta + "A" + geta + geta + " \n");
  EXPECT_EQ(DecodeLogText("\x8F\xB0\xA1", TLogEncoding::EucJp), geta);  // JIS X 0212 with no CP932 form
  EXPECT_EQ(DecodeLogText("\x8F\xB0\xA9", TLogEncoding::EucJp), "\xFA\x68");  // one that CP932 has
  EXPECT_EQ(DecodeLogText("\x1B$B$\"$\r\x1B$B\x80", TLogEncoding::Jis), S("あ") + geta + "\r" + geta);
  EXPECT_EQ(DecodeLogText("\x1B$B)!\x1B(B", TLogEncoding::Jis), geta);  // row 9: nothing there
}

TEST(LogEncoding, ByteOrderMarkIsDropped) {
  EXPECT_EQ(DecodeLogText("\xEF\xBB\xBF" "ABC", TLogEncoding::Auto), "ABC");
  EXPECT_EQ(DecodeLogText("\xEF\xBB\xBF" "ABC", TLogEncoding::Utf8), "ABC");
  EXPECT_EQ(DecodeLogText("\xEF\xBB\xBF", TLogEncoding::Utf8), "");
  EXPECT_EQ(DecodeTrickled("\xEF\xBB\xBF" "ABC", TLogEncoding::Utf8), "ABC");  // a mark that comes in pieces
  // Only at the start of the file; Shift-JIS keeps every byte.
  EXPECT_EQ(DecodeLogText("A\xEF\xBB\xBF", TLogEncoding::Utf8), "A\x81\xAC");
  EXPECT_EQ(DecodeLogText("\xEF\xBB\xBF" "A", TLogEncoding::ShiftJis), "\xEF\xBB\xBF" "A");
  // The first line starts after it: a heading in column 1 is still recognised.
  const std::string heading = quillet::ToUtf8(S("＜ゴルフ＞ FGOLF ゴルフ愛好会フォーラム"));
  EXPECT_EQ(DecodeLogText("\xEF\xBB\xBF" + heading, TLogEncoding::Auto), S("＜ゴルフ＞ FGOLF ゴルフ愛好会フォーラム"));
}

TEST(LogEncoding, DetectionOnShortAndAmbiguousText) {
  EXPECT_EQ(DetectLogEncoding("", true), TLogEncoding::Auto);
  EXPECT_EQ(DetectLogEncoding("plain ASCII\r\n\x1B[0m", true), TLogEncoding::Auto);
  EXPECT_EQ(DetectLogEncoding("A\x1B$B$\"\x1B(B", true), TLogEncoding::Jis);
  EXPECT_EQ(DetectLogEncoding("\x1B(I6", true), TLogEncoding::Jis);
  EXPECT_EQ(DetectLogEncoding(quillet::ToUtf8(S("ゴルフ")), true), TLogEncoding::Utf8);
  EXPECT_EQ(DetectLogEncoding("\xE3\x81\x82\xE3\x81", true), TLogEncoding::Utf8);  // cut off by the sample's end
  EXPECT_EQ(DetectLogEncoding("\xE3\x81", true), TLogEncoding::ShiftJis);
  // Too little to tell, or readable as Shift-JIS as well: Shift-JIS.
  EXPECT_EQ(DetectLogEncoding("\xC3\xB1", true), TLogEncoding::ShiftJis);        // ﾃｱ or ñ
  EXPECT_EQ(DetectLogEncoding("\xB0\xA1\xB0\xA2", true), TLogEncoding::ShiftJis);  // ｰ｡ｰ｢ or 亜唖
  EXPECT_EQ(DetectLogEncoding(S("ｱｲｳｴｵ ｶｷｸｹ ｻｼ"), true), TLogEncoding::ShiftJis);
  EXPECT_EQ(DetectLogEncoding("\xA4\xA2\xA4\xA4", true), TLogEncoding::EucJp);  // あい
  EXPECT_EQ(DetectLogEncoding(Iconv(S("山田太郎さんの会議室"), "CP932", "EUC-JP"), true), TLogEncoding::EucJp);
  EXPECT_EQ(DetectLogEncoding(S("ゴルフ愛好会"), true), TLogEncoding::ShiftJis);
  EXPECT_EQ(DetectLogEncoding("\x82", true), TLogEncoding::ShiftJis);
  // A byte-order mark counts only at the start of a file.
  EXPECT_EQ(DetectLogEncoding("\xEF\xBB\xBF", true), TLogEncoding::Utf8);
}

// Shift-JIS with broken double-byte sequences, control bytes and bytes CP932 does not define
// reads byte for byte under Auto, with the same finds as told.
TEST(LogEncoding, BrokenShiftJisIsReadAsItStands) {
  std::string log = Example("forum.log");
  log.insert(log.find("\r\n") + 2, std::string("\x82\r\n\x81\x20\x80\xA0\xFD\xFE\xFF\x00\x07\x1B$B\r\n", 17));
  log += "\x85\x40\r\nXY\x9F";
  EXPECT_EQ(DecodeLogText(log, TLogEncoding::Auto), log);
  EXPECT_EQ(DecodeTrickled(log, TLogEncoding::Auto), log);
  EXPECT_EQ(Scan(log, TLogEncoding::Auto), Scan(log, TLogEncoding::ShiftJis));
  // Half-width katakana only: EUC-JP would take these bytes too, but Shift-JIS stays.
  const std::string kana = S("ｺﾝﾆﾁﾊ ﾐﾅｻﾝ\r\nｵｹﾞﾝｷﾃﾞｽｶ\r\n");
  EXPECT_EQ(DecodeLogText(kana, TLogEncoding::Auto), kana);
}

// Plain ASCII for more than the first MiB does not hide the encoding of what follows.
TEST(LogEncoding, DetectedAfterALongAsciiStart) {
  std::string ascii;
  while (ascii.size() < kEncodingLookAhead + 300000) ascii += "ABC00001 plain line of the top menu\r\n";
  const std::string sjis = Example("forum.log");
  for (const auto& [tail, encoding] : {std::pair{Iconv(sjis, "CP932", "UTF-8"), TLogEncoding::Utf8},
                                       std::pair{Iconv(sjis, "CP932", "EUC-JP-MS"), TLogEncoding::EucJp},
                                       std::pair{EucToJis(Iconv(sjis, "CP932", "EUC-JP-MS")), TLogEncoding::Jis}}) {
    SCOPED_TRACE(LogEncodingName(encoding));
    auto source = DecodeLogSource(MemoryLogSource(ascii + tail), TLogEncoding::Auto);
    EXPECT_FALSE(source->AnyLineEnd());
    std::string out;
    char buffer[1 << 16];
    for (ssize_t n; (n = source->Read(buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(n));
    EXPECT_EQ(source->Encoding(), encoding);
    EXPECT_TRUE(out == ascii + sjis);
    EXPECT_EQ(Scan(ascii + tail, TLogEncoding::Auto), Scan(ascii + sjis, TLogEncoding::ShiftJis));
  }
}

// A log converted to Unix line ends gives its finds again under Auto; told Shift-JIS, or with a
// CR anywhere in its first MiB, it is read as always (LF alone ends no line).
TEST(LogEncoding, UnixLineEnds) {
  const std::string dos = Example("forum.log");
  std::string unix;
  std::remove_copy(dos.begin(), dos.end(), std::back_inserter(unix), '\r');
  const std::vector<Find> original = Scan(dos, TLogEncoding::Auto);
  ASSERT_FALSE(original.empty());
  EXPECT_EQ(Scan(unix, TLogEncoding::Auto), original);
  EXPECT_EQ(Scan(unix, TLogEncoding::Auto, true), original);
  EXPECT_EQ(Scan(Iconv(unix, "CP932", "UTF-8"), TLogEncoding::Auto), original);
  EXPECT_TRUE(Scan(unix, TLogEncoding::ShiftJis).empty());
  EXPECT_TRUE(Scan(unix, TLogEncoding::Utf8).empty());
  EXPECT_TRUE(Scan("\r" + unix, TLogEncoding::Auto).empty());

  // Decided from the first MiB: a CR after it is a line end too, and CR LF is one line end (the
  // PATIO prompt must stay the previous line of the answer).
  std::string padding;
  while (padding.size() < kEncodingLookAhead) padding += "NIFTY SERVE     TOP\n";
  const std::string patio =
      S("ID (改行のみ：自分のパティオ)") + "\r\n" + S("：ABC00001") + "\r\n" + Example("patio-cb.log").substr(0, 0);
  const std::string line = std::string(56 - 0, ' ');
  std::string guest = "DEF00002      " + S("山好き") + std::string(10, ' ') + "  96/01/02 12:34:56       ";
  guest.resize(56, ' ');
  const std::vector<Find> finds = Scan(padding + patio + guest + "\r" + guest + "\n", TLogEncoding::Auto);
  ASSERT_EQ(finds.size(), 2u);
  EXPECT_EQ(finds[0], (Find{fcPatioGuest, "ABC00001", "DEF00002", S("山好き")}));
  EXPECT_EQ(finds[1], finds[0]);
}

// A log large enough to be converted on a thread of its own reads back as its original however
// its source cuts it; a source failing midway hands on what came before and then its error; a
// reader that stops early is not kept waiting.
TEST(LogEncoding, LargeLogsConvertAheadOfTheReader) {
  std::string sjis;
  for (size_t k = 0; sjis.size() < kConvertAheadFrom + (size_t{1} << 20); ++k)
    sjis += Example(kExamples[k % 3]) + std::string(k % 7, 'x') + "\r\n";
  const std::string euc = Iconv(sjis, "CP932", "EUC-JP-MS");
  for (const auto& [bytes, encoding] : {std::pair{Iconv(sjis, "CP932", "UTF-8"), TLogEncoding::Utf8},
                                        std::pair{euc, TLogEncoding::EucJp}, std::pair{EucToJis(euc), TLogEncoding::Jis}}) {
    SCOPED_TRACE(LogEncodingName(encoding));
    for (const TLogEncoding asked : {encoding, TLogEncoding::Auto}) {
      auto source = DecodeLogSource(std::make_unique<TrickleSource>(bytes, 70000, true), asked);
      EXPECT_TRUE(ReadAll(*source, 65536) == sjis);
      EXPECT_EQ(source->RawBytesRead(), bytes.size());
      EXPECT_EQ(source->Encoding(), encoding);
    }
    // A few bytes a block: every sequence cut, for the start of the log.
    auto trickled = DecodeLogSource(std::make_unique<TrickleSource>(bytes, 3, true), encoding);
    std::string start;
    char piece[5];
    while (start.size() < 20000) start.append(piece, static_cast<size_t>(trickled->Read(piece, sizeof piece)));
    EXPECT_EQ(start, sjis.substr(0, start.size()));
    trickled.reset();

    const size_t failAt = bytes.size() - 1000;
    auto failing = DecodeLogSource(std::make_unique<TrickleSource>(bytes, 70000, true, failAt), encoding);
    bool failed = false;
    const std::string before = ReadAll(*failing, 4096, &failed);
    EXPECT_TRUE(failed);
    EXPECT_EQ(failing->ErrorText, "disk gone");
    EXPECT_TRUE(before == DecodeLogText(bytes.substr(0, failAt), encoding));

    auto stopped = DecodeLogSource(MemoryLogSource(bytes), encoding);
    char first[100];
    EXPECT_EQ(stopped->Read(first, sizeof first), static_cast<ssize_t>(sizeof first));
    stopped.reset();  // with the converting thread still busy
  }
}

