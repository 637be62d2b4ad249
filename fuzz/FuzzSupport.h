#pragma once
// Pieces shared by the ID database fuzz targets: a scratch folder in memory, silent messages,
// whole-file helpers, and a check that aborts with a reason.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/UserInterface.h"
#include "iddb/TextFile.h"

namespace fuzzsupport {

class SilentUI : public quillet::UserInterface {
 public:
  void ShowMessage(std::string_view) override { ++messages; }
  long messages = 0;
};

// A folder of its own under /dev/shm (or /tmp), made once per process.
inline const std::string& ScratchFolder(const char* name) {
  static const std::string folder = [name] {
    std::string pattern = (access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/") + std::string(name) + "-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    return pattern;
  }();
  return folder;
}

inline void Put(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
  ::close(fd);
}

inline std::string Get(const std::string& path) {
  return quillet::PathExists(path) ? quillet::ReadWholeFile(path) : std::string();
}

#define FUZZ_CHECK(condition)                                                  \
  do {                                                                         \
    if (!(condition)) {                                                        \
      std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                            \
    }                                                                          \
  } while (0)

}  // namespace fuzzsupport
