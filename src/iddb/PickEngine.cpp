#include "iddb/PickEngine.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <exception>
#include <unordered_set>

#include "analysis/Check.h"
#include "analysis/jstrm.h"
#include "common/Clock.h"
#include "common/Cp932.h"
#include "common/Error.h"
#include "common/UserInterface.h"
#include "iddb/TextFile.h"

using quillet::Copy;
using quillet::PadLeft;
using quillet::PadRight;

namespace {

constexpr std::string_view kProfileFolder = "Profile";
constexpr std::string_view kMemoFolder = "Memo";
constexpr size_t kAttributeLength = 20;
constexpr size_t kHandleWidth = 40;

// Today as the store writes dates: year in 4 columns, month and day right-aligned in 2.
std::string TodayText() {
  const quillet::Date today = quillet::Today();
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%4d%2d%2d", today.year, today.month, today.day);
  return buffer;
}

// A handle is at most 40 bytes in the data file: the reader splits the line there, so a longer
// one would run into the nickname. Cut after the last whole character that fits.
std::string CutHandle(const std::string& handle) {
  if (handle.size() <= kHandleWidth) return handle;
  size_t end = 0;
  while (end < handle.size()) {
    const size_t width = IsLeadByte(static_cast<unsigned char>(handle[end])) && end + 1 < handle.size() ? 2 : 1;
    if (end + width > kHandleWidth) break;
    end += width;
  }
  return handle.substr(0, end);
}

// The four texts of an entry are lines of the data file; a line feed inside one would shift
// every later record. Carriage returns are harmless (only CR LF ends a line there).
std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

std::string DateText(std::string_view year, std::string_view month, std::string_view day) {
  return PadLeft(year, 4) + "/" + PadLeft(month, 2) + "/" + PadLeft(day, 2);
}

bool IsFlag(std::string_view attribute, size_t column, char flag) {
  if (attribute.size() < column) return false;
  const char c = attribute[column - 1];
  return c == flag || c == flag - 'A' + 'a';
}

// An ID becomes part of a file name; refuse what could leave the folder.
bool UsableAsFileName(const std::string& id) {
  return !id.empty() && id.find('/') == std::string::npos && id.find('\0') == std::string::npos;
}

void ShowError(const std::exception& e) {
  std::string text;
  if (!quillet::TryFromUtf8(e.what(), text)) text = e.what();
  quillet::ui().ShowMessage(text);
}

}  // namespace

TPickData::TPickData()
    : hash_(std::make_unique<TDynamicHash>(0)),
      groups_(std::make_unique<TGroupMgr>()),
      unwinding_(std::uncaught_exceptions()) {}

TPickData::~TPickData() {
  // While an error unwinds, what the store holds may be half of a change: it is not written.
  if (closed_ || !Writable() || std::uncaught_exceptions() > unwinding_) {
    groups_->SetReadOnly(true);
    return;
  }
  try {
    Close();
  } catch (const std::exception& e) {
    ShowError(e);
  }
}

void TPickData::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  groups_->SetReadOnly(readOnly);
}

void TPickData::Close() {
  if (closed_ || !Writable()) return;
  closed_ = true;
  try {
    if (!Changed() && DataFileChangedOnDisk()) {
      groups_->SetReadOnly(true);  // nothing of ours to keep: theirs stays as they wrote it
      return;
    }
    changed_ = true;
    groups_->MarkChanged();
    SaveChanges();
  } catch (...) {
    groups_->SetReadOnly(true);
    throw;
  }
  groups_->Close();
}

std::string TPickData::RefusalText() const {
  return "データファイル「" + dataFilePath_ + "」を最後まで読めなかったため、読み取り専用で開いています（" +
         damage_ + "）。変更はできません。修復してから開き直してください。";
}

void TPickData::CheckWritable() const {
  if (!damage_.empty()) throw Error(RefusalText());
}

void TPickData::SetDamage(const std::string& reason) {
  damage_ = reason;
  groups_->SetRefusal(RefusalText());
  // The damaged file is kept as it is beside the good backup, which stays untouched.
  if (readOnly_ || !quillet::PathExists(dataFilePath_)) return;
  try {
    const std::string copy = quillet::BrokenCopyName(dataFilePath_);
    quillet::CopyFileBytes(dataFilePath_, copy);
    brokenCopy_ = copy;
  } catch (const std::exception&) {
    // Unreadable: the file itself stays, since nothing is written over it.
  }
}

bool TPickData::DataFileChangedOnDisk() const {
  return !dataFilePath_.empty() && quillet::FileChangedSince(dataFilePath_, known_);
}

namespace {

// Holds an exclusive lock on a folder while it lives, so that two processes of this program do
// not both find the data file unchanged and then write it one after the other.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder) : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
};

}  // namespace

void TPickData::SaveChanges(bool overwrite) {
  if (!Writable() || dataFilePath_.empty() || !Changed()) return;
  const FolderLock lock(dataFolder_);
  if (!overwrite && DataFileChangedOnDisk())
    throw TDataFileChanged("データファイル「" + dataFilePath_ +
                           "」はこのプログラムが読み込んだ後にほかのプログラムによって書き換えられました。"
                           "上書きしないよう、何も保存していません。");
  if (changed_) {
    Save(dataFilePath_);
    changed_ = false;
  }
  groups_->SaveIfChanged();
}

// ---- the data file ----

TPickData::Slice TPickData::Own(std::string text) {
  owned_.push_back(std::move(text));
  std::string& stored = owned_.back();
  return Slice{stored.data(), stored.size()};
}

void TPickData::Replace(Slice& slice, std::string text) {
  if (text.size() == slice.size)
    std::copy(text.begin(), text.end(), slice.data);
  else
    slice = Own(std::move(text));
}

void TPickData::ResetForLoad() {
  hash_->Clear();
  entries_.clear();
  owned_.clear();
  loaded_.reset();
  loadedSize_ = 0;
  unreadRemainder_.clear();
  loadStoppedEarly_ = false;
  cursor_ = 0;
  current_ = Current{};
}

namespace {

// Splits the loaded bytes into lines in place: a line ends at LF, a CR before the LF is not
// part of it.
class LineSplitter {
 public:
  LineSplitter(char* bytes, size_t size) : data_(bytes), size_(size) {}
  size_t Offset() const { return pos_; }
  bool Next(char*& line, size_t& length) {
    if (pos_ >= size_) return false;
    line = data_ + pos_;
    const void* lf = std::memchr(line, '\n', size_ - pos_);
    length = lf ? static_cast<size_t>(static_cast<char*>(const_cast<void*>(lf)) - line) : size_ - pos_;
    pos_ += length + (lf ? 1 : 0);
    if (lf && length > 0 && line[length - 1] == '\r') --length;
    return true;
  }

 private:
  char* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace

bool TPickData::Load(const std::string& path) {
  dataFilePath_ = path;
  dataFolder_ = quillet::FolderOf(path);
  damage_.clear();
  brokenCopy_.clear();
  formatError_.clear();
  groups_->SetRefusal("");
  closed_ = false;
  if (!quillet::PathExists(path)) {
    // No data file yet: take the group table of the folder so that IDs registered during the run
    // get real groups, and make sure the file can be written at shutdown.
    if (!readOnly_ && !quillet::MakeFolderPath(dataFolder_))
      throw Error("データフォルダ「" + dataFolder_ + "」を作成できません");
    known_ = quillet::FileFingerprint{};
    changed_ = false;
    groups_->Load(dataFolder_, writeBackup_);
    return false;
  }

  ResetForLoad();
  changed_ = false;
  struct stat before {};
  try {
    groups_->Load(dataFolder_, false);
    ::stat(path.c_str(), &before);
    loaded_ = quillet::ReadFileBytes(path, loadedSize_);
  } catch (const std::exception& e) {
    // Until the file has been read, a save would replace it with less than it holds.
    SetDamage(e.what());
    throw;
  }
  known_.exists = true;
  known_.size = static_cast<uint64_t>(before.st_size);
  known_.mtimeNs = static_cast<int64_t>(before.st_mtim.tv_sec) * 1000000000 + before.st_mtim.tv_nsec;
  known_.checksum = quillet::Checksum(std::string_view(loaded_.get(), loadedSize_));
  entries_.reserve(std::min<size_t>(loadedSize_ / 96 + 16, size_t{1} << 20));

  const std::string today = TodayText();
  LineSplitter lines(loaded_.get(), loadedSize_);
  int lineCount = 0;
  size_t recordStart = 0;
  std::string failure;
  for (;;) {
    recordStart = lines.Offset();
    Entry entry;
    if (!lines.Next(entry.id.data, entry.id.size)) break;
    ++lineCount;
    if (!IsNiftyID(entry.id.View())) {
      failure = SJ("データファイル(ID)の形式が正しくありません。(") + std::to_string(lineCount) + ")";
      break;
    }
    for (Slice* line : {&entry.handleLine, &entry.memo, &entry.attribute}) {
      if (!lines.Next(line->data, line->size)) {
        failure = SJ("データファイルの形式が正しくありません。(") + std::to_string(lineCount) + ")";
        break;
      }
      ++lineCount;
    }
    if (!failure.empty()) break;

    Slice& attribute = entry.attribute;
    if (attribute.size >= kAttributeLength)
      attribute.size = kAttributeLength;  // later columns are dropped
    else
      attribute = Own(PadRight(attribute.View(), kAttributeLength));
    if (!groups_->IsGroup(attribute.View()))
      groups_->AddGroup(attribute.data[0], SJ("ｸﾞﾙｰﾌﾟ") + attribute.data[0]);
    if (Trim(attribute.View().substr(3, 8)).empty()) std::copy(today.begin(), today.end(), attribute.data + 3);
    std::copy_n(attribute.data, kAttributeLength, entry.snapshot.begin());

    hash_->Put(entry.id.View(), static_cast<int32_t>(entries_.size()));
    entries_.push_back(entry);
  }

  if (!failure.empty()) {
    // The records after the faulty one are not in memory: registering one of them again would
    // make a second record, and any save would lose them. The store stays read-only.
    unreadRemainder_.assign(loaded_.get() + recordStart, loadedSize_ - recordStart);
    loadStoppedEarly_ = true;
    formatError_ = failure;
    SetDamage(quillet::ToUtf8(failure));
    if (!quietFormatError_) quillet::ui().ShowMessage(failure);
    return true;
  }

  if (!readOnly_ && writeBackup_) {
    Save(path + ".bak");
    groups_->Save(groups_->GroupFilePath() + ".bak");
  }
  return true;
}

size_t TPickData::RecordInPlace(const Entry& e, size_t& start) const {
  // The ID is compared as a number: an owned text is a separate allocation, not part of the
  // loaded bytes.
  const char* const base = loaded_.get();
  const size_t size = loadedSize_;
  const auto id = reinterpret_cast<uintptr_t>(e.id.data) - reinterpret_cast<uintptr_t>(base);
  if (id >= size) return 0;
  // The four texts must follow each other there, each followed by CR LF; those bytes are then
  // exactly the four lines Save would write.
  size_t at = id;
  for (const Slice* line : {&e.id, &e.handleLine, &e.memo, &e.attribute}) {
    if (line->data != base + at || size - at < line->size + 2) return 0;
    at += line->size;
    if (base[at] != '\r' || base[at + 1] != '\n') return 0;
    at += 2;
  }
  start = id;
  return at;
}

void TPickData::Save(const std::string& path) {
  if (entries_.empty()) return;

  std::array<bool, 256> writable{};
  for (int c = 'A'; c <= 'Z'; ++c)
    writable[c] = c != 'E' && groups_->IsGroup(std::string(1, static_cast<char>(c)));

  std::vector<size_t> dropped;
  quillet::AtomicFileWriter writer(path);
  // Records still in the loaded bytes exactly as they are written are copied a run at a time.
  size_t runStart = 0;
  size_t runEnd = 0;
  const auto flushRun = [&] {
    if (runEnd > runStart) writer.Write(std::string_view(loaded_.get() + runStart, runEnd - runStart));
    runStart = runEnd = 0;
  };
  for (size_t i = 0; i < entries_.size(); ++i) {
    quillet::ui().ProcessEvents();
    const Entry& e = entries_[i];
    if (e.attribute.size > 0 && writable[static_cast<unsigned char>(e.attribute.data[0])]) {
      size_t start = 0;
      const size_t end = RecordInPlace(e, start);
      if (end != 0) {
        if (start != runEnd || runEnd == 0) {
          flushRun();
          runStart = start;
        }
        runEnd = end;
        continue;
      }
      flushRun();
      writer.WriteLine(e.id.View());
      writer.WriteLine(e.handleLine.View());
      writer.WriteLine(e.memo.View());
      writer.WriteLine(e.attribute.View());
    } else {
      flushRun();
      if (e.attribute.size >= 3 && e.attribute.data[2] == 'P') dropped.push_back(i);
    }
  }
  flushRun();
  writer.Commit();
  if (path == dataFilePath_) known_ = writer.Fingerprint();

  std::unordered_set<std::string_view> keptIds;
  // Only once the file no longer lists them do the dropped entries lose their files; an ID that
  // a kept entry also has (two records of one ID) keeps them, since they are that entry's too.
  for (size_t i : dropped) {
    const std::string_view id = entries_[i].id.View();
    if (keptIds.empty())
      for (const Entry& e : entries_)
        if (e.attribute.size > 0 && writable[static_cast<unsigned char>(e.attribute.data[0])])
          keptIds.insert(e.id.View());
    if (keptIds.count(id)) continue;
    DeleteProfileFile(std::string(id));
    DeleteMemoFile(std::string(id));
  }
}

// ---- changing entries ----

int TPickData::PositionOf(std::string_view id) {
  const int32_t p = hash_->Find(id);
  return (p >= 0 && static_cast<size_t>(p) < entries_.size()) ? p : -1;
}

void TPickData::RegistID(const std::string& id, const std::string& handle, const std::string& alias,
                         const std::string& memo, const std::string& group, bool autoRegist,
                         bool hasMemo, const std::vector<std::string>* memoLines, bool hasProfile,
                         const std::vector<std::string>* profileLines) {
  CheckWritable();
  // An entry the data file could not read back would stop every later load at that record.
  if (!IsNiftyID(id) || id.find('\n') != std::string::npos) return;
  changed_ = true;
  ++serial_;

  const char letter = groups_->IsGroup(group) ? group[0] : 'E';
  const std::string flags{letter, autoRegist ? 'A' : ' ', hasProfile ? 'P' : ' '};
  const char memoFlag = hasMemo ? 'M' : ' ';
  std::string handleLine = OneLine(PadRight(CutHandle(handle), kHandleWidth) + alias);
  const bool writeMemo = hasMemo && memoLines && !memoLines->empty();
  const bool writeProfile = hasProfile && profileLines && !profileLines->empty();

  const int p = PositionOf(id);
  if (p < 0) {
    const std::string today = TodayText();
    Entry entry;
    entry.id = Own(id);
    entry.handleLine = Own(std::move(handleLine));
    entry.memo = Own(OneLine(memo));
    entry.attribute = Own(flags + today + today + memoFlag);
    std::copy_n(entry.attribute.data, kAttributeLength, entry.snapshot.begin());
    // Indexed before the files are written, so a failing file write cannot leave an entry that
    // no lookup finds.
    hash_->Put(id, static_cast<int32_t>(entries_.size()));
    entries_.push_back(entry);
    if (writeMemo) SaveMemoFile(id, *memoLines);
    if (writeProfile) SaveProfileFile(id, *profileLines);
    return;
  }

  Entry& entry = entries_[p];
  entry.handleLine = Own(std::move(handleLine));
  entry.memo = Own(OneLine(memo));
  Replace(entry.attribute, flags + PadRight(Copy(entry.attribute.View(), 4, 16), 16) + memoFlag);
  if (writeMemo)
    SaveMemoFile(id, *memoLines);
  else
    DeleteMemoFile(id);
  if (writeProfile)
    SaveProfileFile(id, *profileLines);
  else
    DeleteProfileFile(id);
}

void TPickData::ChangeGroup(const std::string& id, const std::string& group) {
  CheckWritable();
  const int p = PositionOf(id);
  if (p < 0) return;
  changed_ = true;
  ++serial_;
  entries_[p].attribute.data[0] = groups_->IsGroup(group) ? group[0] : 'E';
}

void TPickData::SetAutoRegist(const std::string& id, bool on) {
  CheckWritable();
  const int p = PositionOf(id);
  if (p < 0) return;
  changed_ = true;
  ++serial_;
  entries_[p].attribute.data[1] = on ? 'A' : ' ';
}

void TPickData::SetRegistDate(const std::string& id, const std::string& year,
                              const std::string& month, const std::string& day) {
  CheckWritable();
  const int p = PositionOf(id);
  if (p < 0) return;
  changed_ = true;
  ++serial_;
  Slice& attribute = entries_[p].attribute;
  const std::string_view old = attribute.View();
  Replace(attribute, PadRight(Copy(old, 1, 3), 3) + PadLeft(year, 4) + PadLeft(month, 2) +
                         PadLeft(day, 2) + std::string(Copy(old, 12)));
}

void TPickData::SetUpdateDate(const std::string& id, const std::string& year,
                              const std::string& month, const std::string& day) {
  CheckWritable();
  const int p = PositionOf(id);
  if (p < 0) return;
  changed_ = true;
  ++serial_;
  Slice& attribute = entries_[p].attribute;
  const std::string_view old = attribute.View();
  Replace(attribute, PadRight(Copy(old, 1, 11), 11) + PadLeft(year, 4) + PadLeft(month, 2) +
                         PadLeft(day, 2) + std::string(Copy(old, 20)));
}

// ---- the current entry ----

void TPickData::SelectEntry(int position) {
  const Entry& e = entries_[position];
  current_.id.assign(e.id.View());
  current_.handleLine.assign(e.handleLine.View());
  current_.memo.assign(e.memo.View());
  current_.attribute.assign(e.attribute.View());
  current_.snapshot.assign(e.snapshot.data(), e.snapshot.size());
}

bool TPickData::Select(const std::string& id) {
  const int p = PositionOf(id);
  if (p < 0) {
    current_ = Current{"", "", "", " ", " "};
    return false;
  }
  SelectEntry(p);
  current_.id = id;
  return true;
}

bool TPickData::FindNext(const std::string& text) {
  if (text.empty()) {
    current_ = Current{};
    cursor_ = 0;
    return false;
  }
  const int32_t count = EntryCount();
  if (text == " " && cursor_ < count) {
    SelectEntry(cursor_++);
    return true;
  }
  const std::string key = JNormalize(text);
  while (cursor_ < count) {
    const int32_t i = cursor_++;
    const Entry& e = entries_[i];
    if (e.id.View().find(key) != std::string_view::npos ||
        JNormalize(e.handleLine.View()).find(key) != std::string::npos ||
        JNormalize(e.memo.View()).find(key) != std::string::npos) {
      SelectEntry(i);
      return true;
    }
  }
  return false;
}

std::string TPickData::CurrentHandle() const {
  return std::string(Trim(Copy(current_.handleLine, 1, kHandleWidth)));
}

std::string TPickData::CurrentAlias() const {
  return std::string(Trim(Copy(current_.handleLine, kHandleWidth + 1)));
}

std::string TPickData::CurrentGroup() const {
  if (groups_->IsGroup(current_.attribute)) return current_.attribute.substr(0, 1);
  return "E";
}

bool TPickData::IsAutoRegist() const { return IsFlag(current_.attribute, 2, 'A'); }
bool TPickData::HasProfile() const { return IsFlag(current_.attribute, 3, 'P'); }
bool TPickData::HasMemo() const { return IsFlag(current_.attribute, 20, 'M'); }

std::string TPickData::RegistDateText() const {
  const std::string& a = current_.attribute;
  return DateText(Copy(a, 4, 4), Copy(a, 8, 2), Copy(a, 10, 2));
}

std::string TPickData::UpdateDateText() const {
  const std::string& a = current_.snapshot;
  return DateText(Copy(a, 12, 4), Copy(a, 16, 2), Copy(a, 18, 2));
}

// ---- profile and detailed-memo files ----

std::string TPickData::ProfileFilePath(const std::string& id) const {
  return quillet::JoinPath(quillet::JoinPath(dataFolder_, kProfileFolder), quillet::ToUtf8(id) + ".txt");
}

std::string TPickData::MemoFilePath(const std::string& id) const {
  return quillet::JoinPath(quillet::JoinPath(dataFolder_, kMemoFolder), quillet::ToUtf8(id) + ".txt");
}

void TPickData::LoadTextFile(const std::string& path, std::vector<std::string>& lines,
                             size_t flagColumn, char flag) {
  const int p = PositionOf(current_.id);
  const bool exists = quillet::PathExists(path) && !quillet::IsDirectory(path);
  if (exists) {
    quillet::LineReader reader(path);
    std::string line;
    while (reader.ReadLine(line)) lines.push_back(line);
  }
  if (p >= 0) {
    Slice& attribute = entries_[p].attribute;
    if (attribute.size < kAttributeLength) attribute = Own(PadRight(attribute.View(), kAttributeLength));
    const char now = exists ? flag : ' ';
    if (attribute.data[flagColumn - 1] != now && damage_.empty()) {
      attribute.data[flagColumn - 1] = now;
      changed_ = true;
      ++serial_;
    }
  }
}

void TPickData::LoadProfileFile(std::vector<std::string>& lines) {
  lines.clear();
  if (!UsableAsFileName(current_.id) || dataFolder_.empty()) return;
  LoadTextFile(ProfileFilePath(current_.id), lines, 3, 'P');
}

void TPickData::LoadMemoFile(std::vector<std::string>& lines) {
  lines.clear();
  if (!UsableAsFileName(current_.id) || dataFolder_.empty()) return;
  LoadTextFile(MemoFilePath(current_.id), lines, 20, 'M');
}

void TPickData::SaveTextFile(const std::string& folder, const std::string& id,
                             const std::vector<std::string>& lines, std::string_view folderMessage) {
  CheckWritable();
  if (dataFolder_.empty()) throw Error("データフォルダが決まっていません。先にデータファイルを読み込んでください");
  if (!UsableAsFileName(id)) throw Error("ID " + quillet::ToUtf8(id) + " からファイル名を作れません");
  const std::string path = quillet::JoinPath(folder, quillet::ToUtf8(id) + ".txt");
  if (!quillet::MakeFolder(folder)) quillet::ui().ShowMessage(folderMessage);
  quillet::AtomicFileWriter writer(path);
  for (const std::string& line : lines) writer.WriteLine(line);
  writer.Commit();
}

void TPickData::SaveProfileFile(const std::string& id, const std::vector<std::string>& lines) {
  SaveTextFile(quillet::JoinPath(dataFolder_, kProfileFolder), id, lines,
               SJ("プロフィール用のフォルダの作成に失敗しました。"));
}

void TPickData::SaveMemoFile(const std::string& id, const std::vector<std::string>& lines) {
  SaveTextFile(quillet::JoinPath(dataFolder_, kMemoFolder), id, lines,
               SJ("メモ用のフォルダの作成に失敗しました。"));
}

void TPickData::DeleteProfileFile(const std::string& id) {
  CheckWritable();
  if (!UsableAsFileName(id) || dataFolder_.empty()) return;
  ::unlink(ProfileFilePath(id).c_str());
}

void TPickData::DeleteMemoFile(const std::string& id) {
  CheckWritable();
  if (!UsableAsFileName(id) || dataFolder_.empty()) return;
  ::unlink(MemoFilePath(id).c_str());
}
