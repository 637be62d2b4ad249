#pragma once
// Shared pieces of the ID database tests: a scratch folder, captured messages, a fixed date.
#include <QTemporaryDir>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/Cp932.h"
#include "common/UserInterface.h"

namespace iddbtest {

class CapturingUI : public quillet::UserInterface {
 public:
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  void ProcessEvents() override { ++events; }
  std::vector<std::string> messages;
  int events = 0;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline bool Exists(const std::string& path) { return std::ifstream(path).good(); }

// One record of the data file, CR LF after each line.
inline std::string Record(const std::string& id, const std::string& handleLine, const std::string& memo,
                          const std::string& attribute) {
  return id + "\r\n" + handleLine + "\r\n" + memo + "\r\n" + attribute + "\r\n";
}

inline std::string U(const char* utf8) { return quillet::FromUtf8(utf8); }

// A scratch data folder, messages captured, today fixed at 5 March 2024 (" 3 5" in the file).
class Fixture {
 public:
  Fixture() : scope_(&ui) { quillet::SetTodayForTesting({2024, 3, 5}); }
  ~Fixture() { quillet::SetTodayForTesting({0, 0, 0}); }
  std::string Folder() const { return dir_.path().toStdString(); }
  std::string Path(const std::string& name) const { return Folder() + "/" + name; }
  std::string DataFile() const { return Path("Zelvo.dat"); }

  CapturingUI ui;

 private:
  QTemporaryDir dir_;
  quillet::ScopedUserInterface scope_;
};

}  // namespace iddbtest
