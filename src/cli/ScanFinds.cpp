// quillet scan --finds: runs the log scanner over each file and prints every find as it comes,
// one tab-separated line each, then the file's end. A trace of the scanner for batch work and
// end-to-end tests.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/LogAnalize.h"
#include "analysis/LogArchive.h"
#include "analysis/LogPaths.h"
#include "cli/Cli.h"
#include "common/Cp932.h"

namespace quillet {
namespace {

constexpr size_t kBufferSize = size_t{1} << 20;

// Collects the output in one large buffer; stdout sees it in big writes. A find is a handful of
// short fields, so the writer reserves room for a whole line and copies the fields in.
class Output {
 public:
  explicit Output(bool raw) : raw_(raw), buffer_(std::make_unique_for_overwrite<char[]>(kBufferSize)) {}
  ~Output() { Flush(); }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  bool raw() const { return raw_; }

  void Bytes(std::string_view bytes) {
    if (bytes.size() > kBufferSize - used_) {
      Flush();
      if (bytes.size() > kBufferSize) {
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        return;
      }
    }
    std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
  }
  void Char(char c) { Bytes(std::string_view(&c, 1)); }

  // A Shift-JIS text, converted to UTF-8 unless the output is raw.
  void Text(std::string_view sjis) { Bytes(raw_ ? sjis : Converted(sjis)); }

  void Number(uint64_t value) {
    char digits[24];
    char* d = digits + sizeof digits;
    do {
      *--d = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    Bytes(std::string_view(d, static_cast<size_t>(digits + sizeof digits - d)));
  }

  // CATEGORY TAB NAME TAB ID TAB HANDLE [TAB LINE] NEWLINE, all fields raw, in one copy each.
  // `line` 0: no line number column.
  void RawFind(unsigned category, std::string_view name, std::string_view id, std::string_view handle,
               uint64_t line) {
    const size_t need = 3 + name.size() + 1 + id.size() + 1 + handle.size() + 1 + 21 + 1;
    if (need > kBufferSize - used_) {
      Flush();
      if (need > kBufferSize) {  // a giant field: write it piece by piece
        Number(category);
        for (const std::string_view field : {name, id, handle}) {
          Char('\t');
          Bytes(field);
        }
        if (line != 0) {
          Char('\t');
          Number(line);
        }
        Char('\n');
        return;
      }
    }
    char* p = buffer_.get() + used_;
    if (category >= 10) *p++ = static_cast<char>('0' + category / 10 % 10);
    *p++ = static_cast<char>('0' + category % 10);
    *p++ = '\t';
    p = Put(p, name);
    *p++ = '\t';
    p = Put(p, id);
    *p++ = '\t';
    p = Put(p, handle);
    if (line != 0) {
      *p++ = '\t';
      p = PutNumber(p, line);
    }
    *p++ = '\n';
    used_ = static_cast<size_t>(p - buffer_.get());
  }

  void Flush() {
    if (used_ != 0) std::fwrite(buffer_.get(), 1, used_, stdout);
    used_ = 0;
    std::fflush(stdout);
  }

 private:
  // IDs and most handles are 8 to 16 bytes: two overlapping 8-byte moves copy them without a
  // library call.
  static char* Put(char* p, std::string_view text) {
    const size_t n = text.size();
    if (n >= 8 && n <= 16) {
      uint64_t head, tail;
      std::memcpy(&head, text.data(), 8);
      std::memcpy(&tail, text.data() + n - 8, 8);
      std::memcpy(p, &head, 8);
      std::memcpy(p + n - 8, &tail, 8);
    } else {
      std::memcpy(p, text.data(), n);
    }
    return p + n;
  }

  // The room for it is reserved by the caller (20 digits at most).
  static char* PutNumber(char* p, uint64_t value) { return std::to_chars(p, p + 20, value).ptr; }

  static bool IsAscii(std::string_view text) {
    for (const char c : text)
      if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
  }

  std::string_view Converted(std::string_view sjis) {
    if (IsAscii(sjis)) return sjis;  // ASCII reads the same in both
    if (sjis != lastSjis_) {         // the context name repeats on every find of a screen
      lastSjis_.assign(sjis);
      lastUtf8_ = ToUtf8(sjis);
    }
    return lastUtf8_;
  }

  bool raw_;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
  std::string lastSjis_, lastUtf8_;
};

class PrintingSink : public TAnalysisSink {
 public:
  // `lines`: each find ends with the number of its line.
  PrintingSink(Output& out, std::string_view path, bool lines) : out_(out), path_(path), lines_(lines) {}

  void Found(const TIDData& find, const TForumData& context) override {
    if (out_.raw() && context.Category < 100) {
      out_.RawFind(context.Category, context.Name, find.ID, find.HandleName, lines_ ? find.Line : 0);
      return;
    }
    out_.Number(context.Category);
    out_.Char('\t');
    out_.Text(context.Name);
    out_.Char('\t');
    out_.Text(find.ID);
    out_.Char('\t');
    out_.Text(find.HandleName);
    if (lines_) {
      out_.Char('\t');
      out_.Number(find.Line);
    }
    out_.Char('\n');
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
  bool lines_;
};

int Usage(const char* problem, const std::string& detail = {}) {
  std::fprintf(stderr, "quillet scan --finds: %s%s\n", problem, detail.c_str());
  PrintUsage(stderr);
  return kUsageError;
}

}  // namespace

int ScanFindsCommand(const std::vector<std::string>& args) {
  ScanArguments parsed;
  const std::string problem = ParseScanArguments(args, {"--finds", "--lines"}, parsed);
  if (!problem.empty()) return Usage(problem.c_str());
  const bool raw = parsed.raw;
  const bool finds = parsed.Has("--finds");
  const bool lines = parsed.Has("--lines");
  const TForumData& start = parsed.start;
  const std::vector<std::string>& files = parsed.files;
  if (!finds) return Usage("--finds missing");
  if (files.empty()) return Usage("no log file given");

  int status = 0;
  Output out(raw);
  // Scans one log from the start context; its end line names it by `path`.
  auto scan = [&](const std::string& path, std::unique_ptr<TLogSource> source) {
    PrintingSink sink(out, path, lines);
    TLogAnalizingThread worker;
    worker.FileName = path;
    worker.Source = std::move(source);
    worker.ForumData = start;
    worker.Encoding = parsed.encoding;
    worker.NotifyWindow = &sink;
    worker.Execute();
    return std::make_pair(!worker.ReadFailed, worker.ErrorText);
  };
  auto complain = [&](const char* format, const std::string& path, const std::string& why = {}) {
    out.Flush();  // the finds so far come before the message
    std::fprintf(stderr, format, path.c_str(), why.c_str());
    status = 1;
  };
  for (const std::string& given : files) {
    std::vector<TLogItem> items;
    std::string why;
    switch (ExpandLogPath(given, items, why)) {
      case TExpandResult::NoLog:
        complain("quillet scan: no log in %s%s\n", given);
        continue;
      case TExpandResult::Unreadable:
        complain("quillet scan: cannot read %s: %s\n", given, why);
        continue;
      case TExpandResult::Ok:
        break;
    }
    for (const TLogItem& item : items) {
      if (!item.Archive) {
        const auto [read, error] = scan(item.Path, nullptr);
        if (!read) complain("quillet scan: cannot read %s: %s\n", item.Path, error);
        continue;
      }
      // Members are streamed one after another from one pass over the archive.
      const auto archive = std::make_shared<TLogArchive>(item.Path);
      TArchiveMember member;
      bool any = false;
      while (archive->NextLog(member)) {
        any = true;
        const std::string path = item.Path + "/" + (raw ? member.Name : ToUtf8(member.Name));
        const auto [read, error] = scan(path, OpenArchiveMember(archive, member));
        // A break in the archive is told once, below, naming the archive.
        if (!read && !archive->Failed()) complain("quillet scan: cannot read %s: %s\n", path, error);
      }
      if (archive->Failed())
        complain("quillet scan: cannot read %s: %s\n", item.Path, archive->ErrorText());
      else if (!any)
        complain("quillet scan: no log in %s%s\n", item.Path);
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
