#pragma once
// Repair of a damaged data file: every record that can be read is kept exactly as it stood, the
// lines that cannot are set aside in "Zelvo.dat.rejected", and the damaged original is kept as
// "Zelvo.dat.broken-YYYYMMDD-HHMMSS".
#include <string>
#include <string_view>

namespace quillet {

struct RepairSplit {
  std::string kept;      // the records read, each its four lines with their line ends, in file order
  std::string rejected;  // every other line, with its line end, in file order
  int records = 0;
  int rejectedLines = 0;
};

// Reads records as the store does (an ID line, then three more lines). At a line that fails the
// ID test it skips forward, line by line, to the next line that passes the ID test and is
// followed by three more lines of which the last starts with a capital letter A-Z, and reads on
// from there. A last record without all its lines is rejected. kept + rejected hold every byte.
RepairSplit SplitForRepair(std::string_view bytes);

struct RepairResult {
  int records = 0;
  int rejectedLines = 0;
  bool written = false;  // false when the file needed no repair or nothing could be read
  std::string brokenCopy;
  std::string rejectedFile;
};

// Repairs the data file at `path`: when something must be rejected and at least one record was
// read, copies the original to its ".broken-…" name, adds the rejected lines to path +
// ".rejected" and replaces the file atomically with the records read. Throws Error when the file
// cannot be read or a write fails (the data file is then as it was).
RepairResult RepairDataFile(const std::string& path);

}  // namespace quillet
