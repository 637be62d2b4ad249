#pragma once
// Line-by-line reading and atomic writing of the ID database's text files, plus the small column
// helpers the fixed-width formats need. Paths are file-system byte strings ('/'-joined).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class QSaveFile;

namespace quillet {

// Reads lines from a file (through a large buffer of its own) or from memory. A line ends at LF;
// a CR right before the LF is dropped, a CR anywhere else is part of the text. The last line
// needs no line end. Lines of any length are read whole.
class LineReader {
 public:
  static constexpr size_t kBufferSize = 256 * 1024;

  // Opens the file; throws Error naming it when it cannot be opened.
  explicit LineReader(const std::string& path);
  // Reads from bytes the caller keeps alive: LineReader(LineReader::kMemory, bytes).
  enum MemoryTag { kMemory };
  LineReader(MemoryTag, std::string_view bytes);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line into `line` (its old content is replaced). False at the end of the input.
  // Throws Error on a read error.
  bool ReadLine(std::string& line);
  // Byte offset of the first byte not yet returned.
  uint64_t Offset() const { return bufferStart_ + pos_; }
  // Back to the first line.
  void Rewind();
  // Every byte from `offset` to the end of the input.
  std::string ReadFrom(uint64_t offset);
  const std::string& Path() const { return path_; }

 private:
  bool Fill();  // refills the buffer from the file; false at end of file

  std::string path_;
  int fd_ = -1;
  std::unique_ptr<char[]> buffer_;
  const char* data_ = nullptr;  // the bytes in view: the buffer, or the caller's memory
  size_t pos_ = 0;
  size_t end_ = 0;
  uint64_t bufferStart_ = 0;  // file offset of data_[0]
};

// What a file looked like when this program last read or wrote it; tells a change by another
// program. An absent file has exists == false.
struct FileFingerprint {
  bool exists = false;
  uint64_t size = 0;
  int64_t mtimeNs = 0;
  uint64_t checksum = 0;
};
// Writes a file through QSaveFile: the bytes go to a temporary file that replaces the old file
// only in Commit(), so a failure or a crash part-way leaves the old file as it was. Every write
// reaches the file system (and is flushed to the disk) before the rename, and its result is
// checked: a full disk fails the save instead of renaming a cut file over the old one. Errors
// are in Japanese and say that the old file is unchanged.
class AtomicFileWriter {
 public:
  // Throws Error naming the file when it cannot be created.
  explicit AtomicFileWriter(const std::string& path);
  ~AtomicFileWriter();  // without Commit() the temporary file is discarded
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Write(std::string_view bytes) {
    checksum_ = ExtendChecksum(checksum_, bytes);
    size_ += bytes.size();
    buffer_.append(bytes);
    if (buffer_.size() >= kFlushSize) Flush();
  }
  void WriteLine(std::string_view text) {  // text + CR LF
    Write(text);
    Write("\r\n");
  }
  // Throws Error naming the file when any write or the final rename failed.
  void Commit();
  // What the committed file holds: its fingerprint without reading it back.
  FileFingerprint Fingerprint() const;

  static uint64_t ExtendChecksum(uint64_t checksum, std::string_view bytes);
  static constexpr uint64_t kChecksumStart = 14695981039346656037ull;

 private:
  [[noreturn]] void Fail(int error);
  static constexpr size_t kFlushSize = 256 * 1024;
  void Flush();

  std::string path_;
  std::unique_ptr<QSaveFile> file_;
  std::string buffer_;
  uint64_t checksum_ = kChecksumStart;
  uint64_t size_ = 0;
  int64_t mtimeNs_ = 0;
};

// A system error number in Japanese, for the messages the user reads.
std::string SystemErrorText(int error);
// "「PATH」を保存できませんでした（REASON）。元のファイルはそのままです。" (UTF-8).
std::string SaveFailureText(const std::string& path, const std::string& reason);

// The file's fingerprint now (the checksum over its bytes); throws Error when it cannot be read.
FileFingerprint FingerprintOf(const std::string& path);
uint64_t Checksum(std::string_view bytes);
// Whether the file on disk is no longer what `known` describes: absent/present changed, size
// changed, or (when the modification time moved) different bytes.
bool FileChangedSince(const std::string& path, const FileFingerprint& known);

// path + ".broken-YYYYMMDD-HHMMSS" (local time now); a suffix "-2", "-3"... when taken.
std::string BrokenCopyName(const std::string& path);
// Copies a file's bytes to `target` atomically; throws Error on failure.
void CopyFileBytes(const std::string& source, const std::string& target);

// Whether something (file or folder) exists at the path.
bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
// Creates one folder level; true when it exists afterwards.
bool MakeFolder(const std::string& path);
// Creates the folder and every missing parent; true when it exists afterwards.
bool MakeFolderPath(const std::string& path);
// Reads a whole file; throws Error naming it on failure.
std::string ReadWholeFile(const std::string& path);
// The same into a buffer of its own, which is not zero-filled first (a large file is read once,
// not also cleared); `size` receives the number of bytes read.
std::unique_ptr<char[]> ReadFileBytes(const std::string& path, size_t& size);
// Writes bytes atomically; throws Error naming the file on failure.
void WriteWholeFile(const std::string& path, std::string_view bytes);
// folder + "/" + name, without doubling a separator.
std::string JoinPath(const std::string& folder, std::string_view name);
// The folder part of a path: "." when there is none, "/" for a file in the root.
std::string FolderOf(const std::string& path);
// The extension: from the last '.' of the last path component, or empty.
std::string ExtensionOf(std::string_view path);

// Bytes `position`..`position + count - 1` (1-based) of the text; what exists of them.
std::string_view Copy(std::string_view text, size_t position, size_t count = std::string::npos);
// The text left-aligned in `width` bytes; longer texts are not cut (as "%-*s").
std::string PadRight(std::string_view text, size_t width);
// The text right-aligned in `width` bytes; longer texts are not cut (as "%*s").
std::string PadLeft(std::string_view text, size_t width);

}  // namespace quillet
