#pragma once
// What a file node remembers of each log that went into it, so that the log can be read again
// as the import read it: the path, the start context, and the log's size and modification time
// at the import (to tell the user when the log has changed or gone since).
#include <cstdint>
#include <memory>
#include <string>

#include "analysis/LogAnalize.h"
#include "analysis/LogEncoding.h"
#include "analysis/LogSource.h"

struct TLogOrigin {
  std::string Path;   // a file-system path, or ARCHIVE/MEMBER for a member of an archive
  std::string Archive;  // the archive's file-system path for a member; empty for a file
  std::string Member;   // the member's name inside the archive (CP932)
  TLogEncoding Encoding = TLogEncoding::Auto;  // as the import was told to read it
  TForumData Start;   // the context the import started the log in
  uint64_t Size = 0;
  int64_t MTimeNs = 0;  // modification time, nanoseconds since the epoch
  bool Stamped = false; // size and time were taken (the log existed at the import)
};

// The origin of a log about to be imported: its path, start context, encoding and present size
// and time (of the archive, for a member of one).
TLogOrigin StampLogOrigin(const std::string& path, const TForumData& start, TLogEncoding encoding,
                          const std::string& archive = {}, const std::string& member = {});

enum class TLogChange { Same, Changed, Vanished };
// Whether the log is still as it was at the import.
TLogChange CheckLogOrigin(const TLogOrigin& origin);

// Opens a log's bytes, as they are stored, for reading it again (the scanner then reads them in
// the origin's encoding). The one place where a re-read finds the bytes of a log.
std::unique_ptr<TLogSource> OpenLogForReread(const TLogOrigin& origin, std::string& error);
