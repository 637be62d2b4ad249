#pragma once
// What a path given to the scan commands or to the import stands for: a log file, an archive of
// logs, or a folder holding both.
#include <string>
#include <vector>

// One file a given path expands to.
struct TLogItem {
  std::string Path;      // the path as given, or the folder as given + "/" + the relative path
  bool Archive = false;  // told by the name's suffix
};

// Expands one given path, appending to `items`:
// - a folder: every regular file below it whose name ends in .log or .txt (any case) and every
//   archive, in byte order of their paths relative to the folder (so "a.log" comes before
//   "a/b.log"); symbolic links, FIFOs and other special files are skipped, and so are files and
//   folders whose names begin with a dot;
// - a name with an archive suffix: that archive;
// - anything else: that log file (whether it can be read shows when it is scanned).
// NoLog when the path is a folder without a log, Unreadable (with `why`) when it is a folder that
// cannot be read.
enum class TExpandResult { Ok, NoLog, Unreadable };
TExpandResult ExpandLogPath(const std::string& path, std::vector<TLogItem>& items, std::string& why);
