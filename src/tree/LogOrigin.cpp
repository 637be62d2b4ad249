#include "tree/LogOrigin.h"

#include <sys/stat.h>

namespace {

bool Stat(const std::string& path, uint64_t& size, int64_t& mtimeNs) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size = static_cast<uint64_t>(st.st_size);
  mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

}  // namespace

TLogOrigin StampLogOrigin(const std::string& path, const TForumData& start) {
  TLogOrigin origin;
  origin.Path = path;
  origin.Start = start;
  origin.Stamped = Stat(path, origin.Size, origin.MTimeNs);
  return origin;
}

TLogChange CheckLogOrigin(const TLogOrigin& origin) {
  uint64_t size = 0;
  int64_t mtime = 0;
  if (!Stat(origin.Path, size, mtime)) return TLogChange::Vanished;
  if (!origin.Stamped || size != origin.Size || mtime != origin.MTimeNs) return TLogChange::Changed;
  return TLogChange::Same;
}

std::unique_ptr<TLogSource> OpenLogForReread(const TLogOrigin& origin, std::string& error) {
  return OpenLogFile(origin.Path, error);
}
