#include "iddb/Repair.h"

#include <vector>

#include "analysis/Check.h"
#include "common/Error.h"
#include "iddb/TextFile.h"

namespace quillet {
namespace {

struct Line {
  std::string_view raw;   // with its line end
  std::string_view text;  // without (a CR before the LF is not part of it)
};

std::vector<Line> SplitLines(std::string_view bytes) {
  std::vector<Line> lines;
  size_t at = 0;
  while (at < bytes.size()) {
    const size_t lf = bytes.find('\n', at);
    const size_t end = lf == std::string_view::npos ? bytes.size() : lf + 1;
    Line line{bytes.substr(at, end - at), bytes.substr(at, end - at)};
    if (lf != std::string_view::npos) {
      line.text.remove_suffix(1);
      if (!line.text.empty() && line.text.back() == '\r') line.text.remove_suffix(1);
    }
    lines.push_back(line);
    at = end;
  }
  return lines;
}

bool IsAttributeStart(std::string_view text) { return !text.empty() && text[0] >= 'A' && text[0] <= 'Z'; }

}  // namespace

RepairSplit SplitForRepair(std::string_view bytes) {
  const std::vector<Line> lines = SplitLines(bytes);
  RepairSplit split;
  const auto reject = [&](size_t i) {
    split.rejected.append(lines[i].raw);
    ++split.rejectedLines;
  };
  // A place to read on from after a bad record: an ID and three more lines, the last an
  // attribute line.
  const auto resumesAt = [&](size_t i) {
    return IsNiftyID(lines[i].text) && i + 3 < lines.size() && IsAttributeStart(lines[i + 3].text);
  };
  size_t i = 0;
  while (i < lines.size()) {
    if (!IsNiftyID(lines[i].text)) {
      reject(i++);
      while (i < lines.size() && !resumesAt(i)) reject(i++);
      continue;
    }
    if (i + 3 >= lines.size()) {  // the last record lacks lines
      while (i < lines.size()) reject(i++);
      break;
    }
    for (size_t k = 0; k < 4; ++k) split.kept.append(lines[i + k].raw);
    ++split.records;
    i += 4;
  }
  return split;
}

RepairResult RepairDataFile(const std::string& path) {
  if (!PathExists(path)) throw Error("データファイル「" + path + "」がありません");
  const std::string bytes = ReadWholeFile(path);
  const RepairSplit split = SplitForRepair(bytes);
  RepairResult result;
  result.records = split.records;
  result.rejectedLines = split.rejectedLines;
  if (split.rejectedLines == 0 || split.records == 0) return result;

  // The original first, then the rejected lines: only then is the file replaced.
  result.brokenCopy = BrokenCopyName(path);
  WriteWholeFile(result.brokenCopy, bytes);
  result.rejectedFile = path + ".rejected";
  // Lines set aside by an earlier repair stay in front.
  const std::string earlier = PathExists(result.rejectedFile) ? ReadWholeFile(result.rejectedFile) : std::string();
  WriteWholeFile(result.rejectedFile, earlier + split.rejected);
  WriteWholeFile(path, split.kept);
  result.written = true;
  return result;
}

}  // namespace quillet
