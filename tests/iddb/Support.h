#pragma once
// Shared pieces of the ID database tests: a scratch folder, captured messages, a fixed date.
#include <QTemporaryDir>
#include <string>

#include "common/Clock.h"
#include "common/Cp932.h"
#include "common/UserInterface.h"
#include "support/Support.h"

namespace iddbtest {

using testsupport::CapturingUI;
using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::U;
using testsupport::WriteFile;

// One record of the data file, CR LF after each line.
inline std::string Record(const std::string& id, const std::string& handleLine, const std::string& memo,
                          const std::string& attribute) {
  return id + "\r\n" + handleLine + "\r\n" + memo + "\r\n" + attribute + "\r\n";
}

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
