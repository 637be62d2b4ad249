#pragma once
// What a file node remembers of each log that went into it, so that the log can be read again
// as the import read it: the path, the start context, and the log's size and modification time
// at the import (to tell the user when the log has changed or gone since).
#include <cstdint>
#include <memory>
#include <string>

#include "analysis/LogAnalize.h"
#include "analysis/LogSource.h"

struct TLogOrigin {
  std::string Path;   // a file-system path
  TForumData Start;   // the context the import started the log in
  uint64_t Size = 0;
  int64_t MTimeNs = 0;  // modification time, nanoseconds since the epoch
  bool Stamped = false; // size and time were taken (the log existed at the import)
};

// The origin of a log about to be imported: its path, start context and present size and time.
TLogOrigin StampLogOrigin(const std::string& path, const TForumData& start);

enum class TLogChange { Same, Changed, Vanished };
// Whether the log is still as it was at the import.
TLogChange CheckLogOrigin(const TLogOrigin& origin);

// Opens a log for reading it again. The one place where a re-read chooses how the bytes are
// read, so that it reads them as the import did.
std::unique_ptr<TLogSource> OpenLogForReread(const TLogOrigin& origin, std::string& error);
