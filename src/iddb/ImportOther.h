#pragma once
// Import of other programs' ID lists (".dat", ".lst", ".idb"): reading the six layouts and
// registering the IDs the store does not know yet. Each record used is handed back to the caller,
// who files it into a folder; the folder tree and the dialogs are the callers' business.
#include <functional>
#include <string>
#include <string_view>

#include "iddb/TextFile.h"

class TPickData;

// The layouts, named by letter; lyNone for a file whose extension is none of the three.
enum TImportLayout : char {
  lyNone = 0,
  lyA = 'A',  // ".dat", first line starts "IDVer": 147-byte records on the first line
  lyB = 'B',  // ".dat", first line an ID: four-line records as in the ID data file
  lyC = 'C',  // ".dat", otherwise: 74-byte records on the first line
  lyD = 'D',  // ".lst", first line an ID and a tab: one tab-separated record per line
  lyE = 'E',  // ".lst", otherwise: 96-byte records on the first line
  lyF = 'F',  // ".idb": a header line, then one fixed record per line
};

// One record of an imported file. Dates are text, as in the source.
struct TImportRecord {
  std::string ID;
  std::string Handle;
  std::string Alias;
  std::string Memo;
  std::string Group;  // the group text given to RegistID
  bool AutoRegist = false;
  bool HasProfile = false;
  bool HasMemo = false;
  bool HasRegistDate = false;
  bool HasUpdateDate = false;
  std::string RegistYear, RegistMonth, RegistDay;
  std::string UpdateYear, UpdateMonth, UpdateDay;
};

// The layout of a file with this extension (compared exactly, case included) and first line.
TImportLayout ChooseImportLayout(std::string_view extension, std::string_view firstLine);

// Reads every record of the input in the file's layout and hands each one whose ID passes the ID
// test to `onRecord`, in file order. `group` is the group text for the layouts that carry none.
// Returns the layout used. Throws Error on a read error.
TImportLayout ReadImportRecords(std::string_view extension, quillet::LineReader& reader,
                                const std::string& group,
                                const std::function<void(const TImportRecord&)>& onRecord);

// The whole file side of the import: reads the file, registers each ID the store does not know
// (with the record's dates where the layout has them), and hands each record used to `onRecord`
// (may be empty), in file order, for the caller to file. Returns the number of records used.
// Throws Error when the file cannot be read.
int ImportOtherFile(TPickData& store, const std::string& path, const std::string& group,
                    const std::function<void(const TImportRecord&)>& onRecord);

// What one record does to the store: registers the ID when the store does not know it (with the
// record's dates where it has them).
void ImportRecord(TPickData& store, const TImportRecord& record);

// The answer to the group prompt made into a group text: normalised, trimmed, first character.
// Empty when nothing is left (the import then does not run).
std::string ImportGroupFromAnswer(std::string_view answer);

// Two-character year to four: after the pivot the 1900s, up to and including it the 2000s.
std::string ExpandYear(std::string_view year, std::string_view pivot);
