#include "analysis/LogPaths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "analysis/LogArchive.h"

namespace {

// Walks the folder open at `fd` (taken over), collecting the relative paths of logs and archives.
// A subfolder that cannot be read is passed over: it never stops the rest.
void Walk(int fd, const std::string& prefix, std::vector<std::string>& found) {
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return;
  }
  while (const dirent* entry = ::readdir(dir)) {
    const char* name = entry->d_name;
    if (name[0] == '.') continue;  // ".", ".." and hidden names
    unsigned char type = entry->d_type;
    if (type == DT_UNKNOWN) {
      struct stat st {};
      if (::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_LNK;
    }
    if (type == DT_DIR) {
      const int sub = ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub >= 0) Walk(sub, prefix + name + "/", found);
    } else if (type == DT_REG && (IsLogName(name) || IsArchiveName(name))) {
      found.push_back(prefix + name);
    }
  }
  ::closedir(dir);
}

}  // namespace

TExpandResult ExpandLogPath(const std::string& path, std::vector<TLogItem>& items, std::string& why) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    items.push_back(TLogItem{path, IsArchiveName(path)});
    return TExpandResult::Ok;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    why = std::strerror(errno);
    return TExpandResult::Unreadable;
  }
  std::vector<std::string> found;
  Walk(fd, std::string(), found);
  if (found.empty()) return TExpandResult::NoLog;
  // Byte order of the relative paths (std::string compares as unsigned bytes).
  std::sort(found.begin(), found.end());
  // One "/" between the folder and the relative path, however the folder was written.
  std::string folder = path;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder == "/") folder.clear();
  items.reserve(items.size() + found.size());
  for (std::string& relative : found) {
    const bool archive = IsArchiveName(relative);
    items.push_back(TLogItem{folder + "/" + relative, archive});
  }
  return TExpandResult::Ok;
}
