// Arbitrary bytes as the ID data file. Besides crashes and sanitizer reports it checks that
// nothing is lost: after a stop at a bad record the unread rest is the file's own tail and is
// written back; every entry read can be selected and is walked once; and what a save writes
// loads again without a new error and saves to exactly the same bytes.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "iddb/PickEngine.h"

using namespace fuzzsupport;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SilentUI ui;
  static quillet::ScopedUserInterface scope(&ui);
  const std::string& dir = ScratchFolder("quillet-fuzz-datafile");
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string original = dir + "/Zelvo.dat", first = dir + "/first.dat", second = dir + "/second.dat";
  Put(original, input);
  ::unlink(first.c_str());
  ::unlink(second.c_str());

  TPickData store;
  store.SetReadOnly(true);
  FUZZ_CHECK(store.Load(original));
  const std::string& rest = store.UnreadRemainder();
  FUZZ_CHECK(store.LoadStoppedEarly() == !rest.empty());
  FUZZ_CHECK(rest.size() <= input.size() && input.compare(input.size() - rest.size(), rest.size(), rest) == 0);

  int walked = 0;
  store.FindNext("");
  while (store.FindNext(" ")) {
    ++walked;
    FUZZ_CHECK(store.Select(store.CurrentID()));
  }
  FUZZ_CHECK(walked == store.EntryCount());

  store.Save(first);
  const std::string written = Get(first);
  FUZZ_CHECK(written.size() >= rest.size() && written.compare(written.size() - rest.size(), rest.size(), rest) == 0);
  if (written.empty()) return 0;

  TPickData again;
  again.SetReadOnly(true);
  again.Load(first);
  FUZZ_CHECK(again.LoadStoppedEarly() == store.LoadStoppedEarly());
  FUZZ_CHECK(again.UnreadRemainder() == rest);
  again.Save(second);
  FUZZ_CHECK(Get(second) == written);
  return 0;
}
