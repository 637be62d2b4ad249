#pragma once
// What every test program shares: Shift-JIS texts from UTF-8 spellings, whole-file reads and
// writes, a message interface that keeps what it is told, and a deadline wait on the event loop.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QDeadlineTimer>
#include <QTimer>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "common/Cp932.h"
#include "common/UserInterface.h"

namespace testsupport {

// The Shift-JIS bytes of a text written in UTF-8 in the test's source.
inline std::string U(std::string_view utf8) { return quillet::FromUtf8(utf8); }

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline bool Exists(const std::string& path) { return std::ifstream(path).good(); }

// The bytes converted by the system's iconv (from and to as iconv names them).
inline std::string Iconv(const std::string& bytes, const char* from, const char* to) {
  QProcess process;
  process.start(QStringLiteral("iconv"), {QStringLiteral("-f"), QString::fromLatin1(from), QStringLiteral("-t"),
                                          QString::fromLatin1(to)});
  EXPECT_TRUE(process.waitForStarted());
  process.write(bytes.data(), static_cast<qint64>(bytes.size()));
  process.closeWriteChannel();
  EXPECT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(process.exitCode(), 0) << "iconv " << from << " -> " << to;
  return process.readAllStandardOutput().toStdString();
}

// Messages and event runs of the core, with an optional action at each event run.
class CapturingUI : public quillet::UserInterface {
 public:
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  void ProcessEvents() override {
    ++events;
    if (onEvents) onEvents();
  }
  std::vector<std::string> messages;
  int events = 0;
  std::function<void()> onEvents;
};

// Runs the event loop until `done` holds or the time is up; false when the time ran out.
inline bool RunUntil(const std::function<bool()>& done, int milliseconds = 60000) {
  QDeadlineTimer deadline(milliseconds);
  QTimer tick;  // wakes the loop now and then so that `done` is checked
  tick.start(5);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

}  // namespace testsupport
