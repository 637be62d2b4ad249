#include "analysis/LogLines.h"

#include <cstring>
#include <memory>

bool ReadLogLines(TLogSource& source, uint64_t first, uint64_t last, std::vector<std::string>& lines,
                  std::string& error, const std::atomic<bool>* stop, bool anyLineEnd) {
  if (first == 0) first = 1;
  if (last < first) return true;
  constexpr size_t kBlock = size_t{1} << 16;
  const auto block = std::make_unique_for_overwrite<char[]>(kBlock);
  uint64_t number = 1;  // the line the next byte belongs to
  bool skipLF = false;  // the last block ended in CR
  bool pending = false; // bytes of line `number` have been seen (a last line without an end)
  std::string current;  // line `number` while it is a wanted one
  for (;;) {
    if (stop && stop->load(std::memory_order_relaxed)) return false;
    const ssize_t n = source.Read(block.get(), kBlock);
    if (n < 0) {
      error = source.ErrorText;
      return false;
    }
    if (n == 0) break;
    const char* p = block.get();
    const char* end = p + n;
    if (skipLF) {
      if (*p == '\n') ++p;
      skipLF = false;
    }
    bool atEnd = false;
    if (const void* eot = std::memchr(p, '\x1A', static_cast<size_t>(end - p))) {
      end = static_cast<const char*>(eot);
      atEnd = true;
    }
    while (p < end) {
      const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(end - p)));
      if (anyLineEnd) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>((cr ? cr : end) - p)));
        if (lf) cr = lf;
      }
      const char* stopAt = cr ? cr : end;
      if (number >= first) current.append(p, static_cast<size_t>(stopAt - p));
      if (!cr) {
        pending = true;
        break;
      }
      if (number >= first) lines.push_back(std::move(current));
      current.clear();
      pending = false;
      if (++number > last) return true;
      p = cr + 1;
      if (*cr == '\n') continue;  // a LF that ends a line by itself has no pair
      if (p < end) {
        if (*p == '\n') ++p;
      } else if (!atEnd) {
        skipLF = true;
      }
    }
    if (atEnd) break;
  }
  if (pending && number >= first) lines.push_back(std::move(current));
  return true;
}
