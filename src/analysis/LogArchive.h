#pragma once
// Archives of logs (ZIP, LZH, tar and its compressed forms, 7z), read with libarchive and never
// extracted to disk: a member's bytes are streamed to the scanner as they are decompressed, so
// memory stays bounded by the scanner's longest line, not by the member.
//
// Member names are texts of the program (CP932). LZH names and ZIP names without the UTF-8 flag
// are CP932 in the archive; ZIP names with the flag, tar and 7z names are UTF-8. The result never
// depends on the locale the program runs in.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/LogSource.h"

struct archive;
class DecodedInput;

// One member of an archive that holds a log.
struct TArchiveMember {
  std::string Name;    // its path inside the archive, CP932
  uint64_t Size = 0;   // bytes once decompressed; 0 when the archive does not tell
  size_t Ordinal = 0;  // its place among all entries of the archive, from 0
};

// A reading position in one archive: moves forward from member to member. Used by one thread at
// a time (the member sources hand it from thread to thread, never concurrently).
class TLogArchive {
 public:
  explicit TLogArchive(std::string path);
  ~TLogArchive();
  TLogArchive(const TLogArchive&) = delete;
  TLogArchive& operator=(const TLogArchive&) = delete;

  const std::string& Path() const { return path_; }

  // Moves to the next regular member whose name ends in .log or .txt. False at the end of the
  // archive, or when it cannot be opened or is damaged (Failed() then; ErrorText says why).
  bool NextLog(TArchiveMember& member);
  // Moves to the member with this ordinal (reopening the archive only when already past it).
  bool SeekTo(size_t ordinal);
  // Reads the current member's bytes: the count, 0 at its end, -1 when reading failed (Failed()
  // tells whether the archive as a whole is now unreadable, ErrorText says why).
  ssize_t ReadData(char* buffer, size_t size);

  // The archive could not be opened or broke off (truncated, corrupt): nothing more can be read.
  bool Failed() const { return failed_; }
  const std::string& ErrorText() const { return error_; }

 private:
  bool Open();
  void Close();
  bool Next(TArchiveMember& member, bool logsOnly);
  void Fail(const std::string& why);

  std::string path_;
  archive* archive_ = nullptr;
  std::unique_ptr<DecodedInput> decoded_;  // the compression layer of a .tar.gz or .tar.xz
  bool opened_ = false;
  bool atEnd_ = false;
  bool failed_ = false;
  bool hasCurrent_ = false;
  size_t current_ = 0;  // ordinal of the current entry, when hasCurrent_
  size_t nextOrdinal_ = 0;
  const char* block_ = nullptr;  // what is left of the block libarchive handed out last
  size_t blockLeft_ = 0;
  std::string error_;
};

// Whether a file or member name is that of a log: it ends in .log or .txt, in any letter case.
bool IsLogName(std::string_view name);
// Whether a file name is that of an archive this program reads, told by its suffix (any case).
bool IsArchiveName(std::string_view name);

// A source over one member of an archive: seeks the archive to the member on the first read (on
// the reading thread), then hands out its bytes. Shares the archive with the sources of its other
// members; they must be read one after another.
std::unique_ptr<TLogSource> OpenArchiveMember(std::shared_ptr<TLogArchive> archive, const TArchiveMember& member);

// Appends the log members of an archive in stored order (reading it through once). NoLog when it
// holds none; Unreadable, with `why`, when it cannot be opened or breaks off (the members before
// the break, the one cut short included, are still appended).
enum class TListResult { Ok, NoLog, Unreadable };
TListResult ListArchiveLogs(const std::string& path, std::vector<TArchiveMember>& members, std::string& why);
