// Feeds arbitrary bytes to the log scanning worker as a capture log and checks its reports: every
// find is a well-formed ID with a context a find can have, and the end comes exactly once, last.
//
// The first byte chooses the start context (as the import dialog would), the rest is the log.
// When its top bit is set, the log is put behind one long neutral line so that it straddles the
// reader's block boundary at a place the byte also chooses.
// The same log is also cut into lines here, by the reading rules, and handed line by line to a
// second worker: both must report the same finds, so the block reader cannot lose, merge or split
// lines.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "analysis/Check.h"
#include "analysis/LogEncoding.h"
#include "analysis/LogAnalize.h"
#include "common/Cp932.h"

namespace {

#define FUZZ_CHECK(cond)                                                             \
  do {                                                                               \
    if (!(cond)) {                                                                   \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                  \
    }                                                                                \
  } while (0)

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

using FindRecord = std::tuple<uint8_t, std::string, std::string, std::string>;

class RecordingSink : public TAnalysisSink {
 public:
  void Found(const TIDData& find, const TForumData& context) override {
    finds_.emplace_back(context.Category, context.Name, find.ID, find.HandleName);
  }
  void End(const std::string&) override {}
  std::vector<FindRecord> finds_;
};

class CheckingSink : public RecordingSink {
 public:
  CheckingSink(std::string_view log, std::string fileName) : log_(log), fileName_(std::move(fileName)) {}

  void Found(const TIDData& find, const TForumData& context) override {
    FUZZ_CHECK(ends_ == 0);
    RecordingSink::Found(find, context);
    // The ID is eight bytes from the line as they stand: letters of either case and digits.
    const std::string& id = find.ID;
    FUZZ_CHECK(id.size() == 8);
    FUZZ_CHECK(IsAsciiLetter(id[0]) && IsAsciiLetter(id[1]) && IsAsciiLetter(id[2]));
    for (size_t i = 3; i < 8; ++i) FUZZ_CHECK(IsDigit(id[i]));
    FUZZ_CHECK(IsNiftyID(id));
    FUZZ_CHECK(log_.find(id) != std::string_view::npos);
    // A find never carries "no context" nor the PATIO entry state: every recogniser that finds
    // an ID moves to (or keeps) a listing, chat or mail state.
    const uint8_t c = context.Category;
    FUZZ_CHECK(c >= fcForum && c <= fcSentMail && c != fcPatio);
    if (c == fcCBSimulator)
      FUZZ_CHECK(context.Name == "Band A" || context.Name == "Band B" || context.Name == "Band C");
    // A mail find names its book, whatever the name was before.
    if (c == fcReceivedMail) FUZZ_CHECK(context.Name == SJ("受信簿"));
    if (c == fcSentMail) FUZZ_CHECK(context.Name == SJ("送信簿"));
    // The handle is part of the log too, unless it is the ID standing in for it.
    FUZZ_CHECK(find.HandleName == id || log_.find(find.HandleName) != std::string_view::npos);
  }

  void End(const std::string& fileName) override {
    ++ends_;
    FUZZ_CHECK(fileName == fileName_);
  }

  int ends_ = 0;

 private:
  std::string_view log_;
  std::string fileName_;
};

std::string TempPath() {
  // Memory-backed when /dev/shm exists, one file per fuzzing process.
  const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(dir) + "/quillet-fuzz-scanner-" + std::to_string(getpid()) + ".log";
}

// The log cut into lines: CR ends a line and a LF right after it belongs to that line end, a LF
// alone stays in the line, 0x1A ends the input, and bytes after the last line end form a last line.
std::vector<std::string_view> Lines(std::string_view log) {
  std::string_view rest = log.substr(0, log.find('\x1A'));
  std::vector<std::string_view> lines;
  while (!rest.empty()) {
    const size_t cr = rest.find('\r');
    if (cr == std::string_view::npos) {
      lines.push_back(rest);
      break;
    }
    lines.push_back(rest.substr(0, cr));
    rest.remove_prefix(cr + 1);
    if (!rest.empty() && rest.front() == '\n') rest.remove_prefix(1);
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const std::string path = TempPath();
  const std::string_view log(reinterpret_cast<const char*>(data) + 1, size - 1);
  const bool straddle = data[0] >= 0x80;
  std::string content;  // what the file holds
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (straddle) {
      // A line of 'x' matches nothing and changes no state; the block boundary then falls
      // `into` bytes into the log.
      const size_t into = (size_t{data[0]} * 37) % 1024;
      static const std::string filler(TLogAnalizingThread::ReadBlockSize, 'x');
      const size_t fill = TLogAnalizingThread::ReadBlockSize - into - 2;
      if (std::fwrite(filler.data(), 1, fill, f) != fill || std::fwrite("\r\n", 1, 2, f) != 2) std::abort();
      content.assign(filler.data(), fill).append("\r\n");
    }
    content.append(log);
    if (!log.empty() && std::fwrite(log.data(), 1, log.size(), f) != log.size()) std::abort();
    std::fclose(f);
  }

  // Start contexts as the import dialog gives them, plus a few the worker must survive too.
  const uint8_t start = data[0] % 13;
  const std::string startName = start == fcCBSimulator ? "Band A" : (start == 0 ? "" : "FTEST");

  TLogAnalizingThread worker;
  CheckingSink sink(log, path);
  worker.FileName = path;
  worker.NotifyWindow = &sink;
  worker.ForumData.Category = start;
  worker.ForumData.Name = startName;
  worker.Execute();
  FUZZ_CHECK(sink.ends_ == 1);
  FUZZ_CHECK(!worker.ReadFailed);

  TLogAnalizingThread byLine;
  RecordingSink lineSink;
  byLine.NotifyWindow = &lineSink;
  byLine.ForumData.Category = start;
  byLine.ForumData.Name = startName;
  const std::vector<std::string_view> lines = Lines(log);
  for (std::string_view line : lines) byLine.HandleLine(line);
  FUZZ_CHECK(sink.finds_.size() <= lines.size());
  FUZZ_CHECK(sink.finds_ == lineSink.finds_);
  FUZZ_CHECK(worker.ForumData.Category == byLine.ForumData.Category);
  FUZZ_CHECK(worker.ForumData.Name == byLine.ForumData.Name);
  FUZZ_CHECK(worker.MyID == byLine.MyID);

  // The same file with the encoding told from its content: a log that stays Shift-JIS with the
  // usual line ends gives exactly the same finds; any other gives finds of its converted text.
  TLogAnalizingThread detecting;
  RecordingSink detectingSink;
  detecting.FileName = path;
  detecting.NotifyWindow = &detectingSink;
  detecting.Encoding = TLogEncoding::Auto;
  detecting.ForumData.Category = start;
  detecting.ForumData.Name = startName;
  detecting.Execute();
  FUZZ_CHECK(!detecting.ReadFailed);
  const std::string decoded = DecodeLogText(content, TLogEncoding::Auto);
  const std::string_view head = std::string_view(content).substr(0, kEncodingLookAhead);
  const bool usualLineEnds = head.find('\r') != std::string_view::npos || head.find('\n') == std::string_view::npos;
  if (decoded == content && usualLineEnds) FUZZ_CHECK(detectingSink.finds_ == sink.finds_);
  for (const FindRecord& find : detectingSink.finds_) FUZZ_CHECK(decoded.find(std::get<2>(find)) != std::string::npos);
  return 0;
}
