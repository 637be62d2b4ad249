// Arbitrary bytes as another program's ID file, in the layout QUILLET_FUZZ_LAYOUT ('A'..'F'):
// the input gets the extension and the start of a first line that choose that layout. Checks
// that the layout is the one meant, that every record handed on has a valid ID, and that what
// the import registers is saved as a data file that loads again without a format error.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "analysis/Check.h"
#include "iddb/ImportOther.h"
#include "iddb/PickEngine.h"
#include "tree/StringListWithHash.h"

using namespace fuzzsupport;

namespace {

struct Shape {
  const char* extension;
  const char* prefix;  // makes the first line choose the layout
};

constexpr Shape ShapeOf(char layout) {
  switch (layout) {
    case 'A': return {".dat", "IDVer"};
    case 'B': return {".dat", "ABC12345\r\n"};
    case 'C': return {".dat", "#"};
    case 'D': return {".lst", "ABC12345\t"};
    case 'E': return {".lst", "#"};
    default: return {".idb", ""};
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SilentUI ui;
  static quillet::ScopedUserInterface scope(&ui);
  constexpr char kLayout = QUILLET_FUZZ_LAYOUT;
  constexpr Shape shape = ShapeOf(kLayout);
  const std::string& dir = ScratchFolder("quillet-fuzz-import");
  const std::string bytes = shape.prefix + std::string(reinterpret_cast<const char*>(data), size);

  TPickData store;
  store.SetReadOnly(true);
  store.Load(dir + "/Zelvo.dat");  // no such file: the built-in groups
  TStringListWithHash folder;
  int records = 0;
  quillet::LineReader reader(quillet::LineReader::kMemory, bytes);
  const TImportLayout layout = ReadImportRecords(shape.extension, reader, "A", [&](const TImportRecord& r) {
    FUZZ_CHECK(IsNiftyID(r.ID));
    if (kLayout != 'B') FUZZ_CHECK(r.Group == "A");
    ++records;
    ImportRecord(store, r);
    folder.FileSighting(r.ID, r.Handle);
  });
  FUZZ_CHECK(layout == static_cast<TImportLayout>(kLayout));
  FUZZ_CHECK(store.EntryCount() <= records && folder.Count() <= records);
  if (records > 0) FUZZ_CHECK(folder.Count() > 0);

  const std::string saved = dir + "/saved.dat";
  ::unlink(saved.c_str());
  store.Save(saved);
  if (!quillet::PathExists(saved)) return 0;
  TPickData again;
  again.SetReadOnly(true);
  again.Load(saved);
  FUZZ_CHECK(!again.LoadStoppedEarly());
  return 0;
}
