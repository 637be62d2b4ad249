#pragma once
// The process-wide trace sink. Messages are written, one per line, to a text file only while one
// is open; tests may watch them through an observer. Tracing never changes behaviour.
#include <cstdio>
#include <functional>
#include <string>

class TTrace {
 public:
  static TTrace& Instance();

  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }
  void Write(const std::string& message);
  // Writes printf-style, e.g. Printf("MakeSubHash(%d)", level).
  void Printf(const char* format, int value);
  // Sees every message (tests); an empty function removes the observer.
  void SetObserver(std::function<void(const std::string&)> observer) { observer_ = std::move(observer); }

  ~TTrace();

 private:
  TTrace() = default;
  std::FILE* file_ = nullptr;
  std::function<void(const std::string&)> observer_;
};
