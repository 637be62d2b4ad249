#include "analysis/LogSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

class FileSource final : public TLogSource {
 public:
  FileSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
  ~FileSource() override { ::close(fd_); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  ssize_t Read(char* buffer, size_t size) override {
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, size);
      if (n >= 0) return n;
      if (errno != EINTR) {
        ErrorText = std::strerror(errno);
        return -1;
      }
    }
  }
  uint64_t Size() const override { return size_; }

 private:
  int fd_;
  uint64_t size_;
};

}  // namespace

std::unique_ptr<TLogSource> OpenLogFile(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    error = std::strerror(errno);
    return nullptr;
  }
  uint64_t size = 0;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size > 0) size = static_cast<uint64_t>(st.st_size);
  return std::make_unique<FileSource>(fd, size);
}

std::unique_ptr<TLogSource> PrepareLogSource(std::unique_ptr<TLogSource> raw) { return raw; }
