// Feeds arbitrary bytes to the log scanning worker as a capture log and checks its reports: every
// find is a well-formed ID with a context a find can have, and the end comes exactly once, last.
//
// The first byte chooses the start context (as the import dialog would), the rest is the log.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "analysis/Check.h"
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

class CheckingSink : public TAnalysisSink {
 public:
  CheckingSink(std::string_view log, std::string fileName) : log_(log), fileName_(std::move(fileName)) {}

  void Found(const TIDData& find, const TForumData& context) override {
    FUZZ_CHECK(ends_ == 0);
    ++finds_;
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

  size_t finds_ = 0;
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

// Lines the reader can make of the log: CR ends a line, 0x1A ends the input.
size_t MaxLines(std::string_view log) {
  const size_t stop = log.find('\x1A');
  const std::string_view read = log.substr(0, stop);
  size_t lines = 1;
  for (char c : read) lines += c == '\r';
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const std::string path = TempPath();
  const std::string_view log(reinterpret_cast<const char*>(data) + 1, size - 1);
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (!log.empty() && std::fwrite(log.data(), 1, log.size(), f) != log.size()) std::abort();
    std::fclose(f);
  }

  TLogAnalizingThread worker;
  CheckingSink sink(log, path);
  worker.FileName = path;
  worker.NotifyWindow = &sink;
  // Start contexts as the import dialog gives them, plus a few the worker must survive too.
  const uint8_t start = data[0] % 13;
  worker.ForumData.Category = start;
  worker.ForumData.Name = start == fcCBSimulator ? "Band A" : (start == 0 ? "" : "FTEST");
  worker.Execute();

  FUZZ_CHECK(sink.ends_ == 1);
  FUZZ_CHECK(sink.finds_ <= MaxLines(log));
  return 0;
}
