#pragma once
// The log scanning worker: reads one capture log, follows which screen of the service each line
// belongs to, and reports every ID found with the context in force at its line, then the end.
//
// The worker's body (Execute) runs on whatever thread calls it: the analysis controller runs it
// on a thread of its own, the headless trace and the tests run it directly. Its notifications go
// to a TAnalysisSink, in log order, the end always last and exactly once.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "analysis/LogEncoding.h"
#include "analysis/LogSource.h"

// Message numbers of the worker's notifications (first user message number 1024 + 10, 11, 12).
constexpr int WM_USER = 1024;
constexpr int WM_ANALYSIS_TEXT = WM_USER + 10;   // 1034: reserved, never sent
constexpr int WM_ANALYSIS_FOUND = WM_USER + 11;  // 1035: one find
constexpr int WM_ANALYSIS_END = WM_USER + 12;    // 1036: end of the log

// Kinds of screen; the worker's state and the filing key of a find.
enum : uint8_t {
  fcNone = 0,
  fcForum = 1,
  fcLibrary = 2,
  fcConference = 3,
  fcRealTime = 4,
  fcPatio = 5,
  fcPatioConference = 6,
  fcPatioGuest = 7,
  fcCBSimulator = 8,
  fcReceivedMail = 9,
  fcSentMail = 10,
};

// One find: the ID as it stands in the line and the handle shown beside it.
struct TIDData {
  std::string ID;
  std::string HandleName;
  uint64_t Line = 0;  // 1-based number of the log line the find was made on
};

// The scanning context: kind of screen and its name (forum heading, PATIO ID, CB band, mail book).
struct TForumData {
  uint8_t Category = fcNone;
  std::string Name;
};

// Receives the worker's notifications, on the worker's thread, in log order.
class TAnalysisSink {
 public:
  virtual ~TAnalysisSink() = default;
  // WM_ANALYSIS_FOUND: the find and the context including the change made on its line.
  virtual void Found(const TIDData& find, const TForumData& context) = 0;
  // WM_ANALYSIS_END: always last, exactly once per Execute.
  virtual void End(const std::string& fileName) = 0;
  // Bytes of the log consumed so far, reported now and then (for progress displays).
  virtual void Progress(uint64_t /*bytesRead*/, uint64_t /*fileSize*/) {}
};

class TLogAnalizingThread {
 public:
  TForumData ForumData;                  // the current context; set to the start context
  std::string FileName;                  // the log; set by the starter
  // Where the bytes come from; when unset, Execute opens FileName. Execute takes it over.
  std::unique_ptr<TLogSource> Source;
  TAnalysisSink* NotifyWindow = nullptr;  // where notifications go; set by the starter
  // How the log's bytes are read: byte for byte as Shift-JIS unless the starter says otherwise
  // (Auto: decided from the content, with LF-only line ends noticed).
  TLogEncoding Encoding = TLogEncoding::ShiftJis;
  std::atomic<bool> Terminated{false};   // checked before each line
  // The number of the line being handled (1-based; 0 before the first). Counted by the reading
  // rules: every line end counts, empty lines too, and a last line without an end.
  uint64_t LineNumber = 0;

  // The thread body: scans FileName from ForumData, then reports the end.
  void Execute();

  // The log is read in blocks of this size; lines are any length regardless.
  static constexpr size_t ReadBlockSize = size_t{1} << 16;

  // The recognisers, public so that tests can try them one line at a time. An ID recogniser
  // fills `find` or leaves its ID empty; a context recogniser reports a match and changes
  // ForumData or MyID itself.
  void CheckChatLine(std::string_view line, TIDData& find) const;
  void CheckLibraryLine(std::string_view line, TIDData& find) const;
  void CheckMemberLine(std::string_view line, TIDData& find) const;
  void CheckGuestLine(std::string_view line, TIDData& find) const;
  void CheckConferenceLine(std::string_view line, TIDData& find) const;
  void CheckSentMailLine(std::string_view line, TIDData& find) const;
  void CheckReceivedMailLine(std::string_view line, TIDData& find) const;
  bool CheckPatioEntry(std::string_view line);
  bool CheckCBBand(std::string_view line);
  bool CheckForumHeader(std::string_view line);
  bool CheckRealTimeStart(std::string_view line);
  bool CheckMenuReset(std::string_view line);
  bool CheckUserIDPrompt(std::string_view line);
  bool CheckContext(std::string_view line);

  // Handles one line as Execute does (the count, the find, the state change, the notification,
  // PrevLine).
  void HandleLine(std::string_view line);

  // The whole line a find was made on; valid only inside TAnalysisSink::Found.
  std::string_view FoundLine() const { return foundLine_; }

  std::string PrevLine;  // the line read just before the current one
  std::string MyID;      // the user's own ID, seen at the log-in prompt

  // Set by Execute when the log could not be opened or reading it failed; ErrorText then says
  // why. The scan still ends normally (finds so far stand, the end is still reported).
  bool ReadFailed = false;
  std::string ErrorText;

 private:
  // Everything HandleLine does except remembering the line in PrevLine; Execute keeps PrevLine
  // itself so that it can swap buffers instead of copying a long line.
  void HandleLineBody(std::string_view line);
  // HandleLineBody for a line that may hold an ID: the ID recognisers of the current category,
  // the find and its notification, or else the context chain.
  void FindOnLine(std::string_view line);

  // While Execute runs, the previous line usually still sits in the read buffer; it is copied
  // into PrevLine only when something reads PrevLine or the buffer is about to be refilled.
  void SettlePrevLine();

  std::string_view foundLine_;
  TIDData find_;  // reused for every line so that the hot path does not allocate
  std::unique_ptr<char[]> block_;  // the read buffer while Execute runs
  std::string_view pendingPrev_;   // the previous line in block_, not yet copied
  bool prevPending_ = false;
};
