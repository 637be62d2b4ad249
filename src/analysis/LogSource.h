#pragma once
// Where the scanner reads a log's bytes from: a file on disk today, and any other stream of a
// log's bytes (a converted text, a member of an archive) through the same interface.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class TLogSource {
 public:
  virtual ~TLogSource() = default;
  // Reads up to `size` bytes into `buffer`: the count, 0 at the end, -1 when reading failed
  // (ErrorText then says why).
  virtual ssize_t Read(char* buffer, size_t size) = 0;
  // The bytes the whole log is expected to hand out, for progress displays; 0 when unknown.
  virtual uint64_t Size() const { return 0; }

  std::string ErrorText;
};

// Opens a log file for reading byte for byte. Returns nullptr and sets `error` when it cannot be
// opened.
std::unique_ptr<TLogSource> OpenLogFile(const std::string& path, std::string& error);

// Every source a log is scanned from passes through here once, after it is opened and before the
// scanner reads it: the one place where its bytes may be turned into the scanner's text (for now
// they are taken as they are).
std::unique_ptr<TLogSource> PrepareLogSource(std::unique_ptr<TLogSource> raw);
