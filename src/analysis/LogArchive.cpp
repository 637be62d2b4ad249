#include "analysis/LogArchive.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <locale.h>
#include <lzma.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <utility>

#include "common/Cp932.h"

namespace {

// libarchive converts member names into the charset of the calling thread's locale. Every call
// into it runs under a UTF-8 locale of that thread alone, so names arrive as UTF-8 whatever the
// user's locale is (under "C", names flagged UTF-8 in a ZIP would come back mangled), and the
// rest of the program is not touched.
locale_t Utf8Locale() {
  static const locale_t locale = [] {
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"})
      if (locale_t l = ::newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr))) return l;
    return static_cast<locale_t>(nullptr);
  }();
  return locale;
}

class Utf8Names {
 public:
  Utf8Names() {
    if (const locale_t l = Utf8Locale()) previous_ = ::uselocale(l);
  }
  ~Utf8Names() {
    if (previous_) ::uselocale(previous_);
  }
  Utf8Names(const Utf8Names&) = delete;
  Utf8Names& operator=(const Utf8Names&) = delete;

 private:
  locale_t previous_ = nullptr;
};

bool EndsWithNoCase(std::string_view name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  const std::string_view tail = name.substr(name.size() - suffix.size());
  return std::equal(tail.begin(), tail.end(), suffix.begin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == b;  // ASCII letters only: suffixes are ASCII
  });
}

// A member name as the program's text: names come from libarchive in UTF-8; one that is not
// (a tar written on a Shift-JIS system) is taken as the CP932 bytes it most likely is.
std::string ProgramText(const char* name) {
  if (!name) return {};
  std::string text;
  if (quillet::TryFromUtf8(name, text)) return text;
  return name;
}

}  // namespace

// The compression layer of a .tar.gz or .tar.xz, decoded here rather than by libarchive's filters,
// which drop the block they were decoding when the input breaks off (up to 64 KiB of a log just
// before the damage): this one hands out every byte it could decode, then the failure.
class DecodedInput {
 public:
  enum Kind { kGzip, kXz };
  DecodedInput(int fd, Kind kind) : fd_(fd), kind_(kind), in_(size_t{1} << 16), out_(size_t{1} << 18) {
    if (kind_ == kGzip)
      inited_ = ::inflateInit2(&z_, 15 + 16) == Z_OK;
    else
      inited_ = ::lzma_stream_decoder(&xz_, UINT64_MAX, LZMA_CONCATENATED) == LZMA_OK;
  }
  ~DecodedInput() {
    if (inited_ && kind_ == kGzip) ::inflateEnd(&z_);
    if (inited_ && kind_ == kXz) ::lzma_end(&xz_);
    ::close(fd_);
  }
  DecodedInput(const DecodedInput&) = delete;
  DecodedInput& operator=(const DecodedInput&) = delete;

  static la_ssize_t Read(archive* a, void* self, const void** buffer) {
    auto* input = static_cast<DecodedInput*>(self);
    if (!input->inited_) return Fail(a, ENOMEM, "cannot start the decoder");
    if (!input->pendingError_.empty()) return Fail(a, EILSEQ, input->pendingError_.c_str());
    if (input->done_) return 0;
    const char* problem = nullptr;
    const size_t produced = input->kind_ == kGzip ? input->Gunzip(problem) : input->Unxz(problem);
    if (input->readError_ != 0) return Fail(a, input->readError_, std::strerror(input->readError_));
    if (problem) {
      if (produced == 0) return Fail(a, EILSEQ, problem);
      input->pendingError_ = problem;  // after the bytes that came before it
    }
    *buffer = input->out_.data();
    return static_cast<la_ssize_t>(produced);
  }

 private:
  static la_ssize_t Fail(archive* a, int code, const char* why) {
    ::archive_set_error(a, code, "%s", why);
    return ARCHIVE_FATAL;
  }

  // Reads the next piece of input: its size, 0 at the end of the file, -1 on a read error.
  ssize_t Fill() {
    ssize_t n;
    do n = ::read(fd_, in_.data(), in_.size());
    while (n < 0 && errno == EINTR);
    if (n < 0) readError_ = errno;
    return n;
  }

  size_t Gunzip(const char*& problem) {
    z_.next_out = out_.data();
    z_.avail_out = static_cast<uInt>(out_.size());
    while (z_.avail_out == out_.size() && !done_ && !problem) {
      if (z_.avail_in == 0) {
        const ssize_t n = Fill();
        if (n < 0) return 0;
        if (n == 0) {
          if (inStream_)
            problem = "truncated gzip input";
          else
            done_ = true;  // the input ends between two gzip members
          break;
        }
        z_.next_in = in_.data();
        z_.avail_in = static_cast<uInt>(n);
      }
      if (!inStream_) {
        // After a finished member only another gzip member continues the data; anything else
        // (padding) ends it.
        if (z_.next_in[0] != 0x1f) {
          done_ = true;
          break;
        }
        ::inflateReset(&z_);
        inStream_ = true;
      }
      const int r = ::inflate(&z_, Z_NO_FLUSH);
      if (r == Z_STREAM_END)
        inStream_ = false;
      else if (r != Z_OK && r != Z_BUF_ERROR)
        problem = "damaged gzip data";
    }
    return out_.size() - z_.avail_out;
  }

  size_t Unxz(const char*& problem) {
    xz_.next_out = out_.data();
    xz_.avail_out = out_.size();
    while (xz_.avail_out == out_.size() && !done_ && !problem) {
      if (xz_.avail_in == 0 && !inputEnded_) {
        const ssize_t n = Fill();
        if (n < 0) return 0;
        inputEnded_ = n == 0;
        xz_.next_in = in_.data();
        xz_.avail_in = static_cast<size_t>(n);
      }
      const lzma_ret r = ::lzma_code(&xz_, inputEnded_ ? LZMA_FINISH : LZMA_RUN);
      if (r == LZMA_STREAM_END)
        done_ = true;
      else if (r == LZMA_BUF_ERROR && inputEnded_)
        problem = "truncated xz input";
      else if (r != LZMA_OK && r != LZMA_BUF_ERROR)
        problem = "damaged xz data";
    }
    return out_.size() - xz_.avail_out;
  }

  int fd_;
  Kind kind_;
  z_stream z_{};
  lzma_stream xz_ = LZMA_STREAM_INIT;
  bool inited_ = false;
  bool inStream_ = true;     // gzip: inside a member
  bool inputEnded_ = false;  // xz: the file has been read to its end
  bool done_ = false;
  int readError_ = 0;
  std::string pendingError_;
  std::vector<unsigned char> in_, out_;
};

namespace {

class MemberSource final : public TLogSource {
 public:
  MemberSource(std::shared_ptr<TLogArchive> archive, const TArchiveMember& member)
      : archive_(std::move(archive)), ordinal_(member.Ordinal), size_(member.Size) {}

  ssize_t Read(char* buffer, size_t size) override {
    if (!positioned_) {
      positioned_ = true;
      if (!archive_->SeekTo(ordinal_)) {
        ErrorText = archive_->ErrorText().empty() ? "the member is no longer in the archive" : archive_->ErrorText();
        broken_ = true;
      }
    }
    if (broken_) return -1;
    const ssize_t n = archive_->ReadData(buffer, size);
    if (n < 0) ErrorText = archive_->ErrorText();
    return n;
  }
  uint64_t Size() const override { return size_; }

 private:
  std::shared_ptr<TLogArchive> archive_;
  size_t ordinal_;
  uint64_t size_;
  bool positioned_ = false;
  bool broken_ = false;
};

}  // namespace

bool IsLogName(std::string_view name) { return EndsWithNoCase(name, ".log") || EndsWithNoCase(name, ".txt"); }

bool IsArchiveName(std::string_view name) {
  static constexpr std::array<std::string_view, 9> kSuffixes = {
      ".zip", ".lzh", ".lha", ".tar", ".tar.gz", ".tgz", ".tar.bz2", ".tar.xz", ".7z"};
  for (const std::string_view suffix : kSuffixes)
    if (EndsWithNoCase(name, suffix)) return true;
  return false;
}

TLogArchive::TLogArchive(std::string path) : path_(std::move(path)) {}

TLogArchive::~TLogArchive() { Close(); }

void TLogArchive::Close() {
  if (archive_) ::archive_read_free(archive_);
  archive_ = nullptr;
  decoded_.reset();
  block_ = nullptr;
  blockLeft_ = 0;
  opened_ = false;
  atEnd_ = false;
  hasCurrent_ = false;
  nextOrdinal_ = 0;
}

void TLogArchive::Fail(const std::string& why) {
  failed_ = true;
  error_ = why.empty() ? std::string("unreadable archive") : why;
}

bool TLogArchive::Open() {
  if (opened_) return true;
  if (failed_) return false;
  Utf8Names names;
  archive_ = ::archive_read_new();
  if (!archive_) {
    Fail("out of memory");
    return false;
  }
  ::archive_read_support_filter_gzip(archive_);
  ::archive_read_support_filter_bzip2(archive_);
  ::archive_read_support_filter_xz(archive_);
  ::archive_read_support_format_zip(archive_);
  ::archive_read_support_format_lha(archive_);
  ::archive_read_support_format_tar(archive_);
  ::archive_read_support_format_7zip(archive_);
  // Names without a UTF-8 mark in ZIP, and every LZH name, are Shift-JIS (ZIP's UTF-8 flag still
  // wins over this).
  ::archive_read_set_options(archive_, "zip:hdrcharset=CP932,lha:hdrcharset=CP932");
  int opened = ARCHIVE_FATAL;
  const bool gzip = EndsWithNoCase(path_, ".tar.gz") || EndsWithNoCase(path_, ".tgz");
  if (gzip || EndsWithNoCase(path_, ".tar.xz")) {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      Fail(std::string("Failed to open '") + path_ + "': " + std::strerror(errno));
      return false;
    }
    decoded_ = std::make_unique<DecodedInput>(fd, gzip ? DecodedInput::kGzip : DecodedInput::kXz);
    opened = ::archive_read_open(archive_, decoded_.get(), nullptr, &DecodedInput::Read, nullptr);
  } else {
    opened = ::archive_read_open_filename(archive_, path_.c_str(), size_t{1} << 16);
  }
  if (opened != ARCHIVE_OK) {
    Fail(::archive_error_string(archive_) ? ::archive_error_string(archive_) : "cannot open");
    return false;
  }
  opened_ = true;
  return true;
}

bool TLogArchive::Next(TArchiveMember& member, bool logsOnly) {
  if (!Open() || atEnd_) return false;
  Utf8Names names;
  block_ = nullptr;
  blockLeft_ = 0;
  for (int retries = 0;;) {
    archive_entry* entry = nullptr;
    const int r = ::archive_read_next_header(archive_, &entry);
    if (r == ARCHIVE_EOF) {
      atEnd_ = true;
      hasCurrent_ = false;
      return false;
    }
    if (r == ARCHIVE_RETRY && ++retries < 100) continue;
    if (r == ARCHIVE_FATAL || r == ARCHIVE_RETRY) {
      hasCurrent_ = false;
      Fail(::archive_error_string(archive_) ? ::archive_error_string(archive_) : "damaged archive");
      return false;
    }
    hasCurrent_ = true;
    current_ = nextOrdinal_++;
    if (r == ARCHIVE_FAILED) continue;  // this entry cannot be read; the next one may
    // Links carry no bytes of their own; archives inside are not opened.
    const bool regular = ::archive_entry_filetype(entry) == AE_IFREG && !::archive_entry_hardlink(entry);
    const char* name = ::archive_entry_pathname(entry);
    if (!name) name = ::archive_entry_pathname_utf8(entry);
    if (logsOnly && (!regular || !name || !IsLogName(name))) continue;
    member.Name = ProgramText(name);
    member.Size = ::archive_entry_size_is_set(entry) && ::archive_entry_size(entry) > 0
                      ? static_cast<uint64_t>(::archive_entry_size(entry))
                      : 0;
    member.Ordinal = current_;
    return true;
  }
}

bool TLogArchive::NextLog(TArchiveMember& member) { return Next(member, true); }

bool TLogArchive::SeekTo(size_t ordinal) {
  if (failed_) return false;
  if (hasCurrent_ && current_ == ordinal) return true;
  if (opened_ && nextOrdinal_ > ordinal) Close();  // already past it: from the start again
  TArchiveMember skipped;
  while (Next(skipped, false))
    if (current_ == ordinal) return true;
  return false;
}

ssize_t TLogArchive::ReadData(char* buffer, size_t size) {
  if (!opened_ || !hasCurrent_ || failed_) return failed_ ? -1 : 0;
  // Block by block: archive_read_data would drop the bytes of a block that ends in damage, and
  // those are the last lines of a member cut short.
  Utf8Names names;
  for (int retries = 0; blockLeft_ == 0;) {
    const void* block = nullptr;
    size_t length = 0;
    la_int64_t offset = 0;
    const int r = ::archive_read_data_block(archive_, &block, &length, &offset);
    if (r == ARCHIVE_EOF) return 0;
    if (r == ARCHIVE_OK || r == ARCHIVE_WARN) {
      block_ = static_cast<const char*>(block);
      blockLeft_ = length;
      continue;
    }
    if (r == ARCHIVE_RETRY && ++retries < 100) continue;
    const char* why = ::archive_error_string(archive_);
    if (r == ARCHIVE_FATAL || r == ARCHIVE_RETRY) {
      Fail(why ? why : "damaged archive");
    } else {
      error_ = why ? why : "unreadable member";  // this member only; the next may be read
    }
    return -1;
  }
  const size_t n = std::min(size, blockLeft_);
  std::memcpy(buffer, block_, n);
  block_ += n;
  blockLeft_ -= n;
  return static_cast<ssize_t>(n);
}

std::unique_ptr<TLogSource> OpenArchiveMember(std::shared_ptr<TLogArchive> archive, const TArchiveMember& member) {
  return std::make_unique<MemberSource>(std::move(archive), member);
}

TListResult ListArchiveLogs(const std::string& path, std::vector<TArchiveMember>& members, std::string& why) {
  TLogArchive archive(path);
  TArchiveMember member;
  const size_t before = members.size();
  while (archive.NextLog(member)) members.push_back(member);
  if (archive.Failed()) {
    why = archive.ErrorText();
    return TListResult::Unreadable;
  }
  return members.size() == before ? TListResult::NoLog : TListResult::Ok;
}
