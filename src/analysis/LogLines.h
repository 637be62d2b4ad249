#pragma once
// Reads chosen lines of a log again, by the scanner's reading rules: a line ends at CR, a LF
// right after the CR belongs to that end, a lone LF stays inside its line (unless the log is read
// with Unix line ends: then a lone LF ends a line too), 0x1A ends the input, and a last line
// without an end counts. Line numbers are those the scanner gives its finds.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/LogSource.h"

// Lines first..last (1-based, inclusive) of the source, in order; lines past the end of the log
// are simply not there. False when reading failed (error says why) or `stop` was set; the lines
// read until then stay in `lines`. `anyLineEnd`: the log is read with Unix line ends.
bool ReadLogLines(TLogSource& source, uint64_t first, uint64_t last, std::vector<std::string>& lines,
                  std::string& error, const std::atomic<bool>* stop = nullptr, bool anyLineEnd = false);
