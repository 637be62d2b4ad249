#include "iddb/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

#include "common/Error.h"

namespace quillet {
namespace {

std::string SystemError(int error = errno) { return SystemErrorText(error); }

// Qt wants a QString; refuse a path that would not come back as the same bytes, rather than
// write somewhere else.
QString ToQtPath(const std::string& path) {
  const QString name = QFile::decodeName(QByteArray::fromRawData(path.data(), static_cast<qsizetype>(path.size())));
  const QByteArray back = QFile::encodeName(name);
  if (back.size() != static_cast<qsizetype>(path.size()) ||
      std::memcmp(back.constData(), path.data(), path.size()) != 0)
    throw Error("ファイル名 " + path + " はこのファイルシステムの文字コードで表せないため使えません");
  return name;
}

}  // namespace

// ---- LineReader ----

LineReader::LineReader(const std::string& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw Error(path + " を開けません: " + SystemError());
  buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
  data_ = buffer_.get();
}

LineReader::LineReader(MemoryTag, std::string_view bytes) : data_(bytes.data()), end_(bytes.size()) {}

LineReader::~LineReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool LineReader::Fill() {
  if (fd_ < 0) return false;
  bufferStart_ += end_;
  pos_ = 0;
  end_ = 0;
  for (;;) {
    const ssize_t n = ::read(fd_, buffer_.get(), kBufferSize);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw Error(path_ + " を読み込めません: " + SystemError());
    }
    end_ = static_cast<size_t>(n);
    return n > 0;
  }
}

bool LineReader::ReadLine(std::string& line) {
  line.clear();
  bool any = false;
  for (;;) {
    if (pos_ >= end_ && !Fill()) return any;
    any = true;
    const char* start = data_ + pos_;
    const size_t available = end_ - pos_;
    const void* found = std::memchr(start, '\n', available);
    if (found) {
      const size_t length = static_cast<const char*>(found) - start;
      line.append(start, length);
      pos_ += length + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    line.append(start, available);
    pos_ = end_;
  }
}

void LineReader::Rewind() {
  if (fd_ < 0) {
    pos_ = 0;
    return;
  }
  if (::lseek(fd_, 0, SEEK_SET) < 0) throw Error(path_ + " を読み込めません: " + SystemError());
  bufferStart_ = 0;
  pos_ = 0;
  end_ = 0;
}

std::string LineReader::ReadFrom(uint64_t offset) {
  if (fd_ < 0) {
    if (offset >= end_) return {};
    return std::string(data_ + offset, end_ - offset);
  }
  std::string result;
  auto chunk = std::make_unique_for_overwrite<char[]>(kBufferSize);
  for (uint64_t at = offset;;) {
    const ssize_t n = ::pread(fd_, chunk.get(), kBufferSize, static_cast<off_t>(at));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw Error(path_ + " を読み込めません: " + SystemError());
    }
    if (n == 0) break;
    result.append(chunk.get(), static_cast<size_t>(n));
    at += static_cast<uint64_t>(n);
  }
  return result;
}

// ---- AtomicFileWriter ----

AtomicFileWriter::AtomicFileWriter(const std::string& path)
    : path_(path), file_(std::make_unique<QSaveFile>(ToQtPath(path))) {
  errno = 0;
  // Unbuffered: every byte is handed to the system by our own checked writes below, never by a
  // buffer Qt empties at commit without reporting its failure.
  if (!file_->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    const int error = errno;
    throw Error(SaveFailureText(path, error ? SystemErrorText(error) : file_->errorString().toStdString()));
  }
  buffer_.reserve(kFlushSize + 4096);
}

AtomicFileWriter::~AtomicFileWriter() {
  if (file_ && file_->isOpen()) file_->cancelWriting();
}

uint64_t AtomicFileWriter::ExtendChecksum(uint64_t checksum, std::string_view bytes) {
  for (const char c : bytes) {
    checksum ^= static_cast<unsigned char>(c);
    checksum *= 1099511628211ull;
  }
  return checksum;
}

void AtomicFileWriter::Fail(int error) {
  file_->cancelWriting();
  throw Error(SaveFailureText(path_, SystemErrorText(error)));
}

void AtomicFileWriter::Flush() {
  const int fd = file_->handle();
  size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(fd, buffer_.data() + done, buffer_.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
    }
    if (n == 0) Fail(ENOSPC);
    done += static_cast<size_t>(n);
  }
  buffer_.clear();
}

void AtomicFileWriter::Commit() {
  Flush();
  // A file system may only report that it is full when the data goes to the disk.
  if (::fsync(file_->handle()) != 0 && errno != EINVAL && errno != EROFS) Fail(errno);
  // The time our bytes were written, read before the rename: a later writer cannot slip in.
  struct stat st;
  if (::fstat(file_->handle(), &st) == 0)
    mtimeNs_ = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  errno = 0;
  if (!file_->commit()) {
    const int error = errno;
    throw Error(SaveFailureText(path_, error ? SystemErrorText(error) : file_->errorString().toStdString()));
  }
}

FileFingerprint AtomicFileWriter::Fingerprint() const {
  FileFingerprint f;
  f.exists = true;
  f.size = size_;
  f.mtimeNs = mtimeNs_;
  f.checksum = checksum_;
  return f;
}

// ---- messages, fingerprints, copies ----

// Why a file operation failed, in the user's words; rare causes keep the system's text.
std::string SystemErrorText(int error) {
  switch (error) {
    case ENOENT: return "ファイルまたはフォルダがありません";
    case EACCES:
    case EPERM: return "アクセスが許可されていません";
    case EISDIR: return "フォルダです";
    case ENOTDIR: return "途中の名前がフォルダではありません";
    case ENOSPC: return "ディスクに空きがありません";
    case EDQUOT: return "ディスクの割り当てを超えました";
    case EROFS: return "書き込みのできない場所です";
    case EIO: return "入出力エラーが起きました";
    case ENAMETOOLONG: return "名前が長すぎます";
    case EMFILE:
    case ENFILE: return "開いているファイルが多すぎます";
    case EFBIG: return "ファイルが大きすぎます";
    default: return std::string("エラー ") + std::to_string(error) + " (" + std::strerror(error) + ")";
  }
}


std::string SaveFailureText(const std::string& path, const std::string& reason) {
  return "「" + path + "」を保存できませんでした（" + reason + "）。元のファイルはそのままです。";
}

uint64_t Checksum(std::string_view bytes) {
  return AtomicFileWriter::ExtendChecksum(AtomicFileWriter::kChecksumStart, bytes);
}

FileFingerprint FingerprintOf(const std::string& path) {
  FileFingerprint f;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return f;
  size_t size = 0;
  const std::unique_ptr<char[]> bytes = ReadFileBytes(path, size);
  f.exists = true;
  f.size = size;
  f.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  f.checksum = Checksum(std::string_view(bytes.get(), size));
  return f;
}

bool FileChangedSince(const std::string& path, const FileFingerprint& known) {
  struct stat st;
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists != known.exists) return true;
  if (!exists) return false;
  if (static_cast<uint64_t>(st.st_size) != known.size) return true;
  const int64_t mtime = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  if (mtime == known.mtimeNs) return false;
  // Touched, perhaps rewritten with the same length: the bytes decide.
  return FingerprintOf(path).checksum != known.checksum;
}

std::string BrokenCopyName(const std::string& path) {
  const std::string base =
      path + ".broken-" + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
  std::string name = base;
  for (int n = 2; PathExists(name); ++n) name = base + "-" + std::to_string(n);
  return name;
}

void CopyFileBytes(const std::string& source, const std::string& target) {
  WriteWholeFile(target, ReadWholeFile(source));
}

// ---- small file-system helpers ----

bool PathExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolder(const std::string& path) {
  if (IsDirectory(path)) return true;
  ::mkdir(path.c_str(), 0777);
  return IsDirectory(path);
}

bool MakeFolderPath(const std::string& path) {
  if (IsDirectory(path)) return true;
  QDir().mkpath(ToQtPath(path));
  return IsDirectory(path);
}

std::string ReadWholeFile(const std::string& path) {
  size_t size = 0;
  const std::unique_ptr<char[]> bytes = ReadFileBytes(path, size);
  return std::string(bytes.get(), size);
}

std::unique_ptr<char[]> ReadFileBytes(const std::string& path, size_t& size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw Error(path + " を開けません: " + SystemError());
  struct stat st;
  // One byte more than the size, so that the read that finds the end needs no growth.
  size_t capacity = (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) ? static_cast<size_t>(st.st_size) + 1 : 65536;
  auto bytes = std::make_unique_for_overwrite<char[]>(capacity);
  size_t used = 0;
  for (;;) {
    if (used == capacity) {  // the file grew, or is no regular file
      auto larger = std::make_unique_for_overwrite<char[]>(capacity * 2);
      std::memcpy(larger.get(), bytes.get(), used);
      bytes = std::move(larger);
      capacity *= 2;
    }
    const ssize_t n = ::read(fd, bytes.get() + used, capacity - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      const std::string reason = SystemError();
      ::close(fd);
      throw Error(path + " を読み込めません: " + reason);
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  ::close(fd);
  size = used;
  return bytes;
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  AtomicFileWriter writer(path);
  writer.Write(bytes);
  writer.Commit();
}

std::string JoinPath(const std::string& folder, std::string_view name) {
  std::string result = folder;
  if (result.empty() || result.back() != '/') result += '/';
  result.append(name);
  return result;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string ExtensionOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  return std::string(name.substr(dot));
}

std::string_view Copy(std::string_view text, size_t position, size_t count) {
  if (position < 1 || position > text.size()) return {};
  return text.substr(position - 1, count);
}

std::string PadRight(std::string_view text, size_t width) {
  std::string result(text);
  if (result.size() < width) result.append(width - result.size(), ' ');
  return result;
}

std::string PadLeft(std::string_view text, size_t width) {
  if (text.size() >= width) return std::string(text);
  std::string result(width - text.size(), ' ');
  result.append(text);
  return result;
}

}  // namespace quillet
