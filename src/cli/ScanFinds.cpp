// quillet scan --finds: runs the log scanner over each file and prints every find as it comes,
// one tab-separated line each, then the file's end. A trace of the scanner for batch work and
// end-to-end tests.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/LogAnalize.h"
#include "cli/Cli.h"
#include "common/Cp932.h"

namespace quillet {
namespace {

constexpr size_t kFlushAt = size_t{1} << 20;

// Collects the output in one large buffer; stdout sees it in big writes.
class Output {
 public:
  explicit Output(bool raw) : raw_(raw) { buffer_.reserve(kFlushAt + 4096); }
  ~Output() { Flush(); }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Bytes(std::string_view bytes) { buffer_.append(bytes); }
  void Char(char c) { buffer_.push_back(c); }

  // A Shift-JIS text, converted to UTF-8 unless the output is raw.
  void Text(std::string_view sjis) {
    if (raw_ || IsAscii(sjis)) {
      buffer_.append(sjis);  // ASCII reads the same in both
    } else if (sjis == lastSjis_) {
      buffer_.append(lastUtf8_);  // the context name repeats on every find of a screen
    } else {
      lastSjis_.assign(sjis);
      lastUtf8_ = ToUtf8(sjis);
      buffer_.append(lastUtf8_);
    }
  }

  void Number(unsigned value) {
    char digits[12];
    char* d = digits + sizeof digits;
    do {
      *--d = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    buffer_.append(d, static_cast<size_t>(digits + sizeof digits - d));
  }

  void MaybeFlush() {
    if (buffer_.size() >= kFlushAt) Flush();
  }

  void Flush() {
    if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
    buffer_.clear();
    std::fflush(stdout);
  }

 private:
  static bool IsAscii(std::string_view text) {
    for (const char c : text)
      if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
  }

  bool raw_;
  std::string buffer_;
  std::string lastSjis_, lastUtf8_;
};

class PrintingSink : public TAnalysisSink {
 public:
  PrintingSink(Output& out, std::string_view path) : out_(out), path_(path) {}

  void Found(const TIDData& find, const TForumData& context) override {
    out_.Number(context.Category);
    out_.Char('\t');
    out_.Text(context.Name);
    out_.Char('\t');
    out_.Text(find.ID);
    out_.Char('\t');
    out_.Text(find.HandleName);
    out_.Char('\n');
    out_.MaybeFlush();
  }

  void End(const std::string&) override {
    // The path as the user gave it, not converted: it names a file of this system.
    out_.Bytes("end\t");
    out_.Bytes(path_);
    out_.Char('\n');
  }

 private:
  Output& out_;
  std::string_view path_;
};

int Usage(const char* problem, const std::string& detail = {}) {
  std::fprintf(stderr, "quillet scan --finds: %s%s\n", problem, detail.c_str());
  PrintUsage(stderr);
  return kUsageError;
}

// CATEGORY[:NAME]: a decimal category 0..10 and an optional name in UTF-8.
bool ParseStart(const std::string& text, TForumData& start) {
  const size_t colon = text.find(':');
  const std::string number = text.substr(0, colon);
  if (number.empty() || number.size() > 2) return false;
  unsigned value = 0;
  for (const char c : number) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > fcSentMail) return false;
  start.Category = static_cast<uint8_t>(value);
  start.Name.clear();
  if (colon != std::string::npos) return TryFromUtf8(text.substr(colon + 1), start.Name);
  return true;
}

}  // namespace

int ScanFindsCommand(const std::vector<std::string>& args) {
  bool raw = false;
  bool finds = false;
  TForumData start;
  std::vector<std::string> files;
  bool optionsDone = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsDone || arg.empty() || arg[0] != '-' || arg == "-") {
      files.push_back(arg);
    } else if (arg == "--") {
      optionsDone = true;
    } else if (arg == "--finds") {
      finds = true;
    } else if (arg == "--raw") {
      raw = true;
    } else if (arg == "--start" || arg.rfind("--start=", 0) == 0) {
      std::string value;
      if (arg == "--start") {
        if (i + 1 >= args.size()) return Usage("--start needs CATEGORY[:NAME]");
        value = args[++i];
      } else {
        value = arg.substr(std::strlen("--start="));
      }
      if (!ParseStart(value, start))
        return Usage("bad start context (CATEGORY 0-10, NAME in CP932 characters): ", value);
    } else {
      return Usage("unknown option ", arg);
    }
  }
  if (!finds) return Usage("--finds missing");
  if (files.empty()) return Usage("no log file given");

  int status = 0;
  Output out(raw);
  for (const std::string& path : files) {
    PrintingSink sink(out, path);
    TLogAnalizingThread worker;
    worker.FileName = path;
    worker.ForumData = start;
    worker.NotifyWindow = &sink;
    worker.Execute();
    if (worker.ReadFailed) {
      out.Flush();  // the finds so far come before the message
      std::fprintf(stderr, "quillet scan: cannot read %s: %s\n", path.c_str(), worker.ErrorText.c_str());
      status = 1;
    }
  }
  out.Flush();
  if (std::ferror(stdout)) {
    std::fprintf(stderr, "quillet scan: error writing the output\n");
    return 1;
  }
  return status;
}

}  // namespace quillet
