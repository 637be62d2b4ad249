#pragma once
// The ID store: every registered ID in memory, read from and written back to the shared data file
// "Zelvo.dat" (four lines per entry: ID, handle line, memo, 20-column attribute line), with the
// per-ID profile and detailed-memo files and the group table.
//
// Texts are Shift-JIS byte strings; paths are file-system paths ('/'-joined, UTF-8 on Linux).
// Entries are only ever appended, so positions stay valid for the life of the store; an entry is
// deleted by moving it to the trash group 'E', and the next save leaves it out of the file.
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/Error.h"
#include "iddb/DynamicHash.h"
#include "iddb/Group.h"
#include "iddb/TextFile.h"

// The data file was changed by another program since this one last read or wrote it; nothing
// was written.
class TDataFileChanged : public Error {
 public:
  using Error::Error;
};

class TPickData {
 public:
  TPickData();
  // Saves what changed (see Close), unless Close() already did, the store is read-only, or an
  // exception is unwinding (a failed command writes nothing). A failure there is shown to the user.
  ~TPickData();
  TPickData(const TPickData&) = delete;
  TPickData& operator=(const TPickData&) = delete;

  // ---- the data file ----
  // Remembers the path and its folder, then reads the file. False when it does not exist: the
  // entries in memory stay, the data folder is created and the group table is loaded from it, so
  // the file comes into being at the first save. Otherwise true, also after a format error (shown
  // to the user with its line count unless SetQuietFormatError). Right after a whole read, writes
  // the ".bak" copy (not when read-only).
  // When the file could not be read whole (a format error, a read error), the store is damaged
  // (Damage()): it refuses every change, writes nothing, leaves the ".bak" alone and copies the
  // damaged file beside it as ".broken-YYYYMMDD-HHMMSS" (not when read-only).
  // Throws Error when a file cannot be read or written.
  bool Load(const std::string& path);
  // Writes every entry that is not in the trash atomically; trash entries with a profile lose
  // their profile and memo files once the file is written, unless a kept entry has the same ID.
  // An empty store writes nothing. Throws Error naming the file when the write fails (the old
  // file then stays as it was). Read-only mode does not stop an explicit Save.
  void Save(const std::string& path);
  // Writes the data file and the group file when they changed since the last load or save. When
  // the data file on disk is not what this store last read or wrote (another program wrote it),
  // writes nothing and throws TDataFileChanged, unless `overwrite`. Does nothing while read-only
  // or damaged. Throws Error when a write fails.
  void SaveChanges(bool overwrite = false);
  // Whether something is waiting for SaveChanges.
  bool Changed() const { return Writable() && (changed_ || groups_->Changed()); }
  // Counts the changes made to the entries and the groups: tells whether something changed since.
  uint64_t ChangeSerial() const { return serial_ + groups_->ChangeSerial(); }
  // Whether the data file on disk differs from what this store last read or wrote.
  bool DataFileChangedOnDisk() const;
  // The shutdown save: writes the data file and the group file (as SaveChanges, so a second
  // writer is noticed; when nothing changed here and the file changed on disk, theirs stays and
  // nothing is written). Afterwards the destructor writes nothing. Does nothing when read-only
  // or damaged.
  void Close();

  // A read-only store writes nothing by itself: no backups, no folder creation, no save at Close
  // or destruction. For looking at a data folder without touching it.
  void SetReadOnly(bool readOnly);
  bool ReadOnly() const { return readOnly_; }
  // Why the data file could not be read whole (UTF-8), or empty. While it is set every change is
  // refused with an Error saying so (RefusalText()) and nothing is written.
  const std::string& Damage() const { return damage_; }
  std::string RefusalText() const;
  // Throws Error(RefusalText()) while the store is damaged.
  void CheckWritable() const;
  // Whether the store may change and write its files: not read-only and not damaged.
  bool Writable() const { return !readOnly_ && damage_.empty(); }
  // The copy of the damaged data file made by the last Load, or empty.
  const std::string& BrokenCopy() const { return brokenCopy_; }
  // The format error of the last Load (Shift-JIS), or empty.
  const std::string& FormatError() const { return formatError_; }
  // Whether Load writes the ".bak" copy (on by default). A program that reads the file again
  // during a run keeps the copy made at start-up.
  void SetWriteBackup(bool write) { writeBackup_ = write; }
  // The format error is not shown by Load; the caller shows it (with a question of its own).
  void SetQuietFormatError(bool quiet) { quietFormatError_ = quiet; }

  // ---- changing entries (an ID that is not stored is ignored, except by RegistID) ----
  // Every change throws Error (RefusalText) while the store is damaged.
  // Registers a new ID or updates a stored one. A group that does not exist becomes "E". A
  // handle longer than 40 bytes is cut at the last whole character within 40 bytes. The
  // line lists may be null when registering a new ID. An ID that fails the ID test, or holds a
  // line feed, is refused (the file could not be read back); line feeds in the texts become spaces.
  void RegistID(const std::string& id, const std::string& handle, const std::string& alias,
                const std::string& memo, const std::string& group, bool autoRegist, bool hasMemo,
                const std::vector<std::string>* memoLines, bool hasProfile,
                const std::vector<std::string>* profileLines);
  // Column 1 := the group letter; a group that does not exist becomes 'E'.
  void ChangeGroup(const std::string& id, const std::string& group);
  void SetAutoRegist(const std::string& id, bool on);
  // Dates are text: year right-aligned in 4 columns, month and day in 2 each, never cut.
  void SetRegistDate(const std::string& id, const std::string& year, const std::string& month,
                     const std::string& day);
  void SetUpdateDate(const std::string& id, const std::string& year, const std::string& month,
                     const std::string& day);

  // ---- the current entry ----
  // Found: the current entry becomes that entry (its ID the text given). Not found: the current
  // entry is cleared (empty texts, attribute lines a single space) and the result is false.
  bool Select(const std::string& id);
  // "" rewinds (false); " " walks every entry once in store order; other text finds the next
  // entry whose ID, handle line or memo holds it, ignoring case and width.
  bool FindNext(const std::string& text);

  std::string CurrentID() const { return current_.id; }
  std::string CurrentHandle() const;  // bytes 1-40 of the handle line, trimmed
  std::string CurrentAlias() const;   // bytes 41.. of the handle line, trimmed
  std::string CurrentMemo() const { return current_.memo; }
  std::string CurrentGroup() const;   // the group letter, or "E" when it is not a group
  bool IsAutoRegist() const;
  bool HasProfile() const;
  bool HasMemo() const;
  std::string RegistDateText() const;  // "YYYY/MM/DD" from columns 4-11
  std::string UpdateDateText() const;  // from columns 12-19 of the load-time snapshot

  // ---- profile and detailed-memo files (data folder + "/Profile/" or "/Memo/" + ID + ".txt") --
  // Fill the list from the current entry's file and bring the stored flag up to date.
  void LoadProfileFile(std::vector<std::string>& lines);
  void LoadMemoFile(std::vector<std::string>& lines);
  // Write the lines (CR LF each), creating the subfolder when needed; throws Error on failure.
  void SaveProfileFile(const std::string& id, const std::vector<std::string>& lines);
  void SaveMemoFile(const std::string& id, const std::vector<std::string>& lines);
  // Delete the file if it exists; a failure is ignored.
  void DeleteProfileFile(const std::string& id);
  void DeleteMemoFile(const std::string& id);

  // ---- the rest ----
  TGroupMgr& GroupMgr() { return *groups_; }
  const TGroupMgr& GroupMgr() const { return *groups_; }
  const std::string& DataFolder() const { return dataFolder_; }
  const std::string& DataFilePath() const { return dataFilePath_; }
  int EntryCount() const { return static_cast<int>(entries_.size()); }
  // Whether the last Load stopped at a format error (the unread rest is kept, see Load).
  bool LoadStoppedEarly() const { return loadStoppedEarly_; }
  // The bytes from the faulty record to the end of the file, kept after a format error.
  const std::string& UnreadRemainder() const { return unreadRemainder_; }

  // The file names the store uses for an ID.
  std::string ProfileFilePath(const std::string& id) const;
  std::string MemoFilePath(const std::string& id) const;

 private:
  // A text of an entry: bytes in the loaded file's buffer or in a string owned by the store.
  // Either way the bytes never move while the store holds them, and may be changed in place.
  struct Slice {
    char* data = nullptr;
    size_t size = 0;
    std::string_view View() const { return {data, size}; }
  };
  struct Entry {
    Slice id, handleLine, memo, attribute;
    std::array<char, 20> snapshot;  // the attribute line as loaded or registered
  };
  struct Current {
    std::string id, handleLine, memo, attribute, snapshot;
  };

  int PositionOf(std::string_view id);
  void SetDamage(const std::string& reason);
  // The end offset in the loaded bytes of an entry whose four lines stand there as Save writes
  // them (line ends included), with `start` set to its first byte; 0 otherwise.
  size_t RecordInPlace(const Entry& e, size_t& start) const;
  Slice Own(std::string text);
  void Replace(Slice& slice, std::string text);  // in place when the length stays
  void SelectEntry(int position);
  void ResetForLoad();
  void LoadTextFile(const std::string& path, std::vector<std::string>& lines, size_t flagColumn,
                    char flag);
  void SaveTextFile(const std::string& folder, const std::string& id,
                    const std::vector<std::string>& lines, std::string_view folderMessage);

  std::unique_ptr<TDynamicHash> hash_;
  std::vector<Entry> entries_;
  std::unique_ptr<char[]> loaded_;  // the data file as read; entries point into it
  size_t loadedSize_ = 0;
  std::deque<std::string> owned_;  // texts made since (a deque never moves its elements)
  Current current_;
  int32_t cursor_ = 0;
  std::string dataFilePath_;
  std::string dataFolder_;
  std::unique_ptr<TGroupMgr> groups_;
  std::string unreadRemainder_;
  bool loadStoppedEarly_ = false;
  bool readOnly_ = false;
  bool closed_ = false;
  bool changed_ = false;
  uint64_t serial_ = 0;
  bool quietFormatError_ = false;
  bool writeBackup_ = true;
  std::string damage_;
  std::string brokenCopy_;
  std::string formatError_;
  quillet::FileFingerprint known_;  // the data file as last read or written here
  int unwinding_ = 0;               // exceptions in flight when the store was made
};
