// Arbitrary bytes as the group file. Checks that the cleaned table holds only lines that start
// with a capital letter, is sorted, answers IsGroup and GroupName consistently, and that saving
// it and loading the result gives the same table.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <sys/stat.h>

#include "FuzzSupport.h"
#include "iddb/Group.h"

using namespace fuzzsupport;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SilentUI ui;
  static quillet::ScopedUserInterface scope(&ui);
  const std::string& dir = ScratchFolder("quillet-fuzz-groupfile");
  const std::string copyDir = dir + "/copy";
  ::mkdir(copyDir.c_str(), 0700);
  Put(dir + "/ZelvoGP.dat", std::string_view(reinterpret_cast<const char*>(data), size));

  TGroupMgr groups;
  groups.SetReadOnly(true);
  groups.Load(dir);
  const auto& table = groups.Table();
  for (const std::string& line : table) {
    FUZZ_CHECK(!line.empty() && TGroupMgr::IsGroupLetter(line[0]));
    FUZZ_CHECK(line.find('\n') == std::string::npos);
  }
  for (size_t i = 1; i < table.size(); ++i) FUZZ_CHECK(table[i - 1][0] <= table[i][0]);
  for (int c = 0; c < 256; ++c) {
    const char letter = static_cast<char>(c);
    const bool present = std::any_of(table.begin(), table.end(), [&](const std::string& l) { return l[0] == letter; });
    FUZZ_CHECK(groups.IsGroup(std::string(1, letter)) == present);
    if (!present) FUZZ_CHECK(groups.GroupName(letter).empty());
  }

  groups.Save(copyDir + "/ZelvoGP.dat");
  TGroupMgr again;
  again.SetReadOnly(true);
  again.Load(copyDir);
  FUZZ_CHECK(again.Table() == table);
  return 0;
}
