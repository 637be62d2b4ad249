// Line numbers of finds, and reading chosen lines again by the same rules.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/LogAnalize.h"
#include "analysis/LogEncoding.h"
#include "analysis/LogLines.h"

namespace {

// A PATIO GUEST listing line: exactly 56 bytes, a find in category 5.
std::string Guest(const std::string& id) {
  std::string line(56, ' ');
  line.replace(0, 8, id);
  line.replace(14, 5, "guest");
  line.replace(32, 8, "96/01/02");
  line.replace(41, 8, "12:34:56");
  return line;
}

// A conference listing line: stays a find whatever follows its columns (a lone LF included).
std::string Conference(const std::string& id) {
  std::string line(45, ' ');
  line.replace(0, 5, "00012");
  line.replace(7, 8, id);
  line.replace(16, 5, "01/02");
  line.replace(22, 5, "12:34");
  return line;
}

struct Seen {
  std::string id;
  uint64_t line;
  std::string text;  // the whole line the find was made on
  bool operator==(const Seen&) const = default;
};
void PrintTo(const Seen& s, std::ostream* os) { *os << "{" << s.id << ", " << s.line << ", " << s.text.size() << " bytes}"; }

class Sink : public TAnalysisSink {
 public:
  explicit Sink(const TLogAnalizingThread& worker) : worker_(worker) {}
  void Found(const TIDData& find, const TForumData&) override {
    seen.push_back({find.ID, find.Line, std::string(worker_.FoundLine())});
  }
  void End(const std::string&) override {}
  std::vector<Seen> seen;

 private:
  const TLogAnalizingThread& worker_;
};

class LineNumbers : public ::testing::Test {
 protected:
  std::string Write(const std::string& bytes) {
    const std::string path = dir.filePath("lines.log").toStdString();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
  }
  std::vector<Seen> Scan(const std::string& bytes, TLogEncoding encoding = TLogEncoding::ShiftJis) {
    TLogAnalizingThread worker;
    worker.Encoding = encoding;
    Sink sink(worker);
    worker.FileName = Write(bytes);
    worker.ForumData.Category = fcPatio;
    worker.NotifyWindow = &sink;
    worker.Execute();
    EXPECT_FALSE(worker.ReadFailed);
    return sink.seen;
  }
  // Lines first..last of the log as the re-reader gives them.
  std::vector<std::string> Read(const std::string& bytes, uint64_t first, uint64_t last) {
    std::string error;
    auto source = OpenLogFile(Write(bytes), error);
    EXPECT_TRUE(source) << error;
    std::vector<std::string> lines;
    if (source) {
      EXPECT_TRUE(ReadLogLines(*source, first, last, lines, error));
    }
    return lines;
  }
  QTemporaryDir dir;
};

using Lines = std::vector<std::string>;

}  // namespace

TEST_F(LineNumbers, EveryKindOfLineEndCountsOnce) {
  const std::string a = Guest("AAA00001"), b = Guest("AAA00002"), c = Guest("AAA00003"), d = Guest("AAA00004");
  // CR LF, CR alone, an empty line between CR and CR LF, and a last line without an end.
  const std::string log = a + "\r\n" + b + "\r" + c + "\r\r\n" + d;
  EXPECT_EQ(Scan(log), (std::vector<Seen>{{"AAA00001", 1, a}, {"AAA00002", 2, b}, {"AAA00003", 3, c}, {"AAA00004", 5, d}}));
  EXPECT_EQ(Read(log, 1, 9), (Lines{a, b, c, "", d}));
  EXPECT_EQ(Read(log, 4, 5), (Lines{"", d}));
  EXPECT_EQ(Read(log, 6, 8), Lines{});
  // Empty lines at the start count too; a log ending in a line end has no empty last line.
  EXPECT_EQ(Scan("\r\n\r" + a + "\r\n"), (std::vector<Seen>{{"AAA00001", 3, a}}));
  EXPECT_EQ(Read("\r\n\r" + a + "\r\n", 1, 10), (Lines{"", "", a}));
}

TEST_F(LineNumbers, LoneLineFeedStaysInItsLine) {
  const std::string first = Conference("AAA00001") + "\nsecond half";
  const std::string log = "\n\n" + Guest("AAA00000") + "\r\n" + first + "\r\n" + Conference("AAA00002") + "\n";
  // The guest line carries two LFs before it, so it is no guest line any more.
  EXPECT_EQ(Scan(log), (std::vector<Seen>{{"AAA00001", 2, first}, {"AAA00002", 3, Conference("AAA00002") + "\n"}}));
  EXPECT_EQ(Read(log, 2, 3), (Lines{first, Conference("AAA00002") + "\n"}));
}

TEST_F(LineNumbers, EndOfTextByteEndsTheCount) {
  const std::string a = Guest("AAA00001"), b = Guest("AAA00002");
  const std::string log = a + "\r\n" + b + "\x1A\r\n" + Guest("AAA00003") + "\r\n";
  EXPECT_EQ(Scan(log), (std::vector<Seen>{{"AAA00001", 1, a}, {"AAA00002", 2, b}}));
  EXPECT_EQ(Read(log, 1, 5), (Lines{a, b}));
  EXPECT_EQ(Read(a + "\r\n\x1A", 1, 5), Lines{a});
}

TEST_F(LineNumbers, LongLinesAndBlockBoundaries) {
  const size_t block = TLogAnalizingThread::ReadBlockSize;
  const std::string a = Guest("AAA00001"), b = Guest("AAA00002"), c = Guest("AAA00003");
  const std::string huge(6u << 20, 'z');  // a line of several megabytes
  // A CR as the last byte of a block with its LF first in the next, a find line straddling a
  // block boundary, then the huge line.
  std::string log = std::string(block - 1, 'x') + "\r\n" + a + "\r\n";
  log += std::string(block - 30, 'y') + "\r\n" + b + "\r\n" + huge + "\r\n" + c;
  EXPECT_EQ(Scan(log), (std::vector<Seen>{{"AAA00001", 2, a}, {"AAA00002", 4, b}, {"AAA00003", 6, c}}));
  EXPECT_EQ(Read(log, 4, 6), (Lines{b, huge, c}));
}

TEST_F(LineNumbers, ReReadAgreesWithTheScannerAtEveryOffset) {
  // Line ends of every kind at every offset of a block boundary: the re-reader must name the
  // same line for every find as the scanner does.
  const char* const ends[] = {"\r\n", "\r", "\r\r\n", "\n\r"};
  std::string log;
  for (int round = 0; log.size() < TLogAnalizingThread::ReadBlockSize + 8192; ++round)
    for (size_t filler = 0; filler <= 140; ++filler)
      log += std::string(filler, 'x') + ends[(filler + round) % 4] + Guest("AAA" + std::to_string(10000 + filler)) +
             ends[filler % 4];
  const std::vector<Seen> seen = Scan(log);
  ASSERT_GT(seen.size(), 500u);
  std::string error;
  for (const Seen& s : seen) {
    if (s.line % 7 != 0 && &s != &seen.back()) continue;  // a sample keeps the test quick
    auto source = OpenLogFile(dir.filePath("lines.log").toStdString(), error);
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLogLines(*source, s.line, s.line, lines, error));
    ASSERT_EQ(lines, Lines{s.text}) << "line " << s.line;
  }
}

// A log converted to Unix line ends: the scanner reads it with LF ends, and so does the re-reader.
TEST_F(LineNumbers, ReReadWithUnixLineEndsAgreesWithTheScanner) {
  std::string log;
  for (int round = 0; log.size() < TLogAnalizingThread::ReadBlockSize + 8192; ++round)
    for (size_t filler = 0; filler <= 140; ++filler)
      log += std::string(filler, 'x') + (filler % 3 ? "\n" : "\n\n") + Guest("AAA" + std::to_string(10000 + filler)) + "\n";
  const std::vector<Seen> seen = Scan(log, TLogEncoding::Auto);
  ASSERT_GT(seen.size(), 500u);
  std::string error;
  for (const Seen& s : seen) {
    if (s.line % 7 != 0 && &s != &seen.back()) continue;
    auto source = OpenLogFile(dir.filePath("lines.log").toStdString(), error);
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLogLines(*source, s.line, s.line, lines, error, nullptr, true));
    ASSERT_EQ(lines, Lines{s.text}) << "line " << s.line;
  }
}

TEST_F(LineNumbers, ReReadStopsWhenAsked) {
  std::atomic<bool> stop{true};
  std::string error;
  auto source = OpenLogFile(Write(Guest("AAA00001") + "\r\n"), error);
  std::vector<std::string> lines;
  EXPECT_FALSE(ReadLogLines(*source, 1, 1, lines, error, &stop));
  EXPECT_TRUE(lines.empty());
}
