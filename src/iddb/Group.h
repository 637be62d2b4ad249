#pragma once
// The group table: which letters 'A'..'Z' are groups and what they are called. A–D are built in,
// E is the trash, F–Z can be added. The table lives in "ZelvoGP.dat" next to the ID data file.
//
// Texts are Shift-JIS byte strings; paths are file-system paths ('/'-joined, UTF-8 on Linux).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TGroupMgr {
 public:
  TGroupMgr();
  // Saves a changed table to the group file, unless Close() already did, the manager is
  // read-only, or an exception is unwinding (a failed command writes nothing). A failure there is
  // shown to the user; call Close() first to get it as an Error instead.
  ~TGroupMgr();
  TGroupMgr(const TGroupMgr&) = delete;
  TGroupMgr& operator=(const TGroupMgr&) = delete;

  // Group file := folder + "/ZelvoGP.dat". Reads and cleans the table, or takes the five
  // built-in groups when there is no such file, then writes the ".bak" copy (not when read-only).
  // Throws Error when the file exists but cannot be read, or the backup cannot be written.
  // With `backup` false the ".bak" copy is left to the caller (the store writes it only once
  // the data file has been read whole).
  void Load(const std::string& folder, bool backup = true);
  // Writes the table, one line per group with CR LF, atomically. An empty path does nothing.
  // Throws Error naming the file when the write fails.
  void Save(const std::string& path) const;
  // Writes the group file when the table changed since it was loaded or last written (or no
  // group file existed). Throws Error on failure. Does nothing when read-only, or when the last
  // Load could not read the group file (its groups would be lost).
  void SaveIfChanged();
  bool Changed() const { return changed_; }
  void MarkChanged() { changed_ = true; }
  // Counts the changes made to the table.
  uint64_t ChangeSerial() const { return serial_; }
  // The shutdown save: SaveIfChanged now; the destructor then writes nothing more.
  void Close();
  // While a refusal is set, AddGroup, RenameGroup and DeleteGroup throw Error with its text
  // (the store is read-only because its data file was not read whole).
  void SetRefusal(std::string text) { refusal_ = std::move(text); }

  // A read-only manager writes nothing: no backup on Load, no save on Close or destruction.
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  bool ReadOnly() const { return readOnly_; }

  // The text is not empty and its first byte is the letter of a group.
  bool IsGroup(std::string_view text) const;
  // The name of the group with that letter; empty when there is none.
  std::string GroupName(char letter) const;
  // Refused (false) for a letter outside 'A'..'Z' or already in use; otherwise appends the line,
  // cleans and sorts the table.
  bool AddGroup(char letter, const std::string& name);
  // False unless the letter is in 'A'..'Z' and its group exists.
  bool RenameGroup(char letter, const std::string& name);
  // Refused for letters outside 'A'..'Z' and for 'A'..'E'; true when the group existed.
  // The group's IDs are not touched here.
  bool DeleteGroup(char letter);
  static bool IsGroupLetter(char c) { return c >= 'A' && c <= 'Z'; }

  // The table, sorted: one line per group, the letter followed directly by the name.
  const std::vector<std::string>& Table() const { return table_; }
  int Count() const { return static_cast<int>(table_.size()); }
  const std::string& GroupFilePath() const { return groupFilePath_; }

  // Replaces the table with the lines given (as read from a group file), cleaning and sorting
  // it: blank lines go silently, lines not starting with a capital letter go with a message.
  void SetLines(std::vector<std::string> lines);

 private:
  int IndexOf(char letter) const;
  void CleanTable();

  std::string groupFilePath_;
  std::vector<std::string> table_;
  void CheckChangeable() const;

  std::string refusal_;
  bool readOnly_ = false;
  bool closed_ = false;
  bool loadFailed_ = false;
  bool changed_ = false;
  uint64_t serial_ = 0;
  int unwinding_ = 0;  // exceptions in flight when the manager was made
};
