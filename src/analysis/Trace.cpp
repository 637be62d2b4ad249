#include "analysis/Trace.h"

TTrace& TTrace::Instance() {
  static TTrace trace;
  return trace;
}

TTrace::~TTrace() { Close(); }

bool TTrace::Open(const std::string& path) {
  Close();
  file_ = std::fopen(path.c_str(), "ab");
  return file_ != nullptr;
}

void TTrace::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

void TTrace::Write(const std::string& message) {
  if (observer_) observer_(message);
  if (file_) {
    std::fwrite(message.data(), 1, message.size(), file_);
    std::fwrite("\r\n", 1, 2, file_);
  }
}

void TTrace::Printf(const char* format, int value) {
  // Only format when somebody listens; the hash tables trace on hot paths.
  if (!observer_ && !file_) return;
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, format, value);
  Write(buffer);
}
