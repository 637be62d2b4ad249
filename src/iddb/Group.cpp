#include "iddb/Group.h"

#include <algorithm>
#include <exception>

#include "analysis/jstrm.h"
#include "common/Cp932.h"
#include "common/Error.h"
#include "common/UserInterface.h"
#include "iddb/TextFile.h"

namespace {

constexpr std::string_view kGroupFileName = "ZelvoGP.dat";

// A line break inside a name would split the group's line in the file into two groups.
std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

char UpperByte(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Text order without regard to the case of Latin letters; otherwise bytes.
bool LessIgnoringCase(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = static_cast<unsigned char>(UpperByte(a[i]));
    const unsigned char y = static_cast<unsigned char>(UpperByte(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

void ShowError(const std::exception& e) {
  std::string text;
  if (!quillet::TryFromUtf8(e.what(), text)) text = e.what();
  quillet::ui().ShowMessage(text);
}

}  // namespace

TGroupMgr::TGroupMgr() : unwinding_(std::uncaught_exceptions()) {}

TGroupMgr::~TGroupMgr() {
  if (closed_ || readOnly_ || loadFailed_ || std::uncaught_exceptions() > unwinding_) return;
  try {
    SaveIfChanged();
  } catch (const std::exception& e) {
    ShowError(e);
  }
}

void TGroupMgr::Load(const std::string& folder, bool backup) {
  groupFilePath_ = quillet::JoinPath(folder, kGroupFileName);
  table_.clear();
  loadFailed_ = false;
  changed_ = false;
  if (quillet::PathExists(groupFilePath_)) {
    std::vector<std::string> lines;
    try {
      quillet::LineReader reader(groupFilePath_);
      std::string line;
      while (reader.ReadLine(line)) lines.push_back(line);
    } catch (...) {
      // The table is empty now; saving it at shutdown would wipe the groups in the file.
      loadFailed_ = true;
      throw;
    }
    SetLines(std::move(lines));
  } else {
    table_ = {"A" + SJ("グループＡ"), "B" + SJ("グループＢ"), "C" + SJ("グループＣ"),
              "D" + SJ("グループＤ"), "E" + SJ("ごみ箱")};
    changed_ = true;  // the file comes into being at the next save
  }
  if (!readOnly_ && backup) Save(groupFilePath_ + ".bak");
}

void TGroupMgr::Save(const std::string& path) const {
  if (path.empty()) return;
  quillet::AtomicFileWriter writer(path);
  for (const std::string& line : table_) writer.WriteLine(line);
  writer.Commit();
}

void TGroupMgr::SaveIfChanged() {
  if (readOnly_ || loadFailed_ || !changed_ || groupFilePath_.empty()) return;
  Save(groupFilePath_);
  changed_ = false;
}

void TGroupMgr::Close() {
  if (closed_ || readOnly_) return;
  closed_ = true;
  SaveIfChanged();
}

void TGroupMgr::CheckChangeable() const {
  if (!refusal_.empty()) throw Error(refusal_);
}

void TGroupMgr::SetLines(std::vector<std::string> lines) {
  table_ = lines;
  CleanTable();
  if (table_ != lines) changed_ = true;  // the cleaned table replaces the file's at the next save
}

void TGroupMgr::CleanTable() {
  for (size_t i = table_.size(); i-- > 0;) {
    if (JTrim(table_[i]).empty()) {
      table_.erase(table_.begin() + static_cast<std::ptrdiff_t>(i));
    } else if (!IsGroupLetter(table_[i][0])) {
      quillet::ui().ShowMessage(
          SJ("既定外のｸﾞﾙｰﾌﾟが登録されていますので削除します。\r"
             "該当ｸﾞﾙｰﾌﾟに属しているﾃﾞｰﾀは、すべてｸﾞﾙｰﾌﾟＥに移動されます。"));
      table_.erase(table_.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  std::stable_sort(table_.begin(), table_.end(), LessIgnoringCase);
}

int TGroupMgr::IndexOf(char letter) const {
  for (size_t i = 0; i < table_.size(); ++i)
    if (!table_[i].empty() && table_[i][0] == letter) return static_cast<int>(i);
  return -1;
}

bool TGroupMgr::IsGroup(std::string_view text) const { return !text.empty() && IndexOf(text[0]) >= 0; }

std::string TGroupMgr::GroupName(char letter) const {
  if (!IsGroupLetter(letter)) return {};
  const int i = IndexOf(letter);
  return i < 0 ? std::string() : table_[i].substr(1);
}

bool TGroupMgr::AddGroup(char letter, const std::string& name) {
  CheckChangeable();
  if (!IsGroupLetter(letter) || IndexOf(letter) >= 0) return false;
  changed_ = true;
  ++serial_;
  table_.push_back(letter + OneLine(name));
  CleanTable();
  return true;
}

bool TGroupMgr::RenameGroup(char letter, const std::string& name) {
  CheckChangeable();
  if (!IsGroupLetter(letter)) return false;
  const int i = IndexOf(letter);
  if (i < 0) return false;
  changed_ = true;
  ++serial_;
  table_[i] = letter + OneLine(name);
  return true;
}

bool TGroupMgr::DeleteGroup(char letter) {
  CheckChangeable();
  if (!IsGroupLetter(letter) || (letter >= 'A' && letter <= 'E')) return false;
  const int i = IndexOf(letter);
  if (i < 0) return false;
  changed_ = true;
  ++serial_;
  table_.erase(table_.begin() + i);
  return true;
}
