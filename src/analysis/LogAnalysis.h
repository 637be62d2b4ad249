#pragma once
// The GUI-side end of the log analysis. TLogAnalysis runs one scanning worker per log, one after
// another on a thread of its own, and turns the worker's notifications into callbacks that run
// on the thread that owns the controller (the GUI thread), in log order, the end always last.
//
// Finds travel from the worker in ordered batches: the worker hands a batch over and scans on into
// the next one, which it hands over only once the owning thread has handled every find of the
// one before. So there is never more than one batch in flight, the worker is never more than two
// batches ahead of what the callbacks have seen, and scanning and filing share the time of a
// machine with two cores. One blocking hand-off per find would cost more than the scan itself on
// a large log.
//
// The owning thread must run a Qt event loop (QCoreApplication::exec, a QEventLoop, or
// processEvents) for the notifications to arrive.
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "analysis/LogAnalize.h"

class QObject;

class TLogAnalysis {
 public:
  // Callbacks, each a function bound to an object of the caller's choice; each may be unset.
  // The records handed to OnFound live only for the call: a callee that keeps them copies them.
  using TFoundEvent = std::function<void(TLogAnalysis* sender, const TIDData& find, const TForumData& context)>;
  using TTextEvent = std::function<void(TLogAnalysis* sender, const std::string& text)>;
  using TEndEvent = std::function<void(TLogAnalysis* sender, const std::string& fileName)>;

  // One notification as the owning thread handles it (message number and its parameters).
  struct TMessage {
    int Msg = 0;                           // WM_ANALYSIS_TEXT, _FOUND or _END
    const TIDData* Find = nullptr;         // WM_ANALYSIS_FOUND
    const TForumData* Context = nullptr;   // WM_ANALYSIS_FOUND
    const std::string* Text = nullptr;     // WM_ANALYSIS_TEXT: the text; WM_ANALYSIS_END: the path
  };

  TLogAnalysis();
  // Withdraws the receiver first (nothing is delivered after that and a worker waiting in a
  // hand-off is released), then stops the running worker and waits for it.
  ~TLogAnalysis();
  TLogAnalysis(const TLogAnalysis&) = delete;
  TLogAnalysis& operator=(const TLogAnalysis&) = delete;

  TFoundEvent OnFound;
  TTextEvent OnText;
  TEndEvent OnEnd;

  // How the logs of the scans started from now on are read.
  TLogEncoding Encoding = TLogEncoding::Auto;

  // Starts scanning fileName from the start context. Returns false, and nothing follows, when no
  // file of that name exists or a scan is still running; otherwise OnEnd is sure to follow.
  // With a source, the bytes come from it and fileName only names the log (for OnEnd): nothing
  // is looked up on disk.
  bool Analyze(const std::string& fileName, const TForumData& start, std::unique_ptr<TLogSource> source = nullptr);

  // Handles one notification on the owning thread: 1034 goes to OnText, 1035 to OnFound, 1036
  // forgets the running worker and then calls OnEnd (which may start the next file).
  void WndProc(const TMessage& message);

  // The worker started last, until its end has been handled; nullptr otherwise.
  const TLogAnalizingThread* Worker() const;
  bool Running() const { return Worker() != nullptr; }

  // Asks the running worker to stop; the scan ends at the next line and its end still arrives.
  // No find reaches OnFound after Stop returns: called from OnFound, the finds after the current
  // one are dropped; called between batches, so is a batch the worker has already handed over.
  void Stop();

  // Progress of the running scan: bytes of the log read so far and its size. False when idle.
  bool Progress(uint64_t& bytesRead, uint64_t& fileSize) const;

  // Whether the scan that ended last could not open or read its log, and why (for OnEnd).
  bool LastReadFailed() const { return lastReadFailed_; }
  const std::string& LastReadError() const { return lastReadError_; }
  // What OnFound threw during the scan that ended last, or null. Such a failure stops the scan
  // (the rest of its finds are dropped) and the end still arrives; the controller reports nothing
  // itself, so that OnEnd's owner reports it once.
  std::exception_ptr LastFailure() const { return lastFailure_; }

  // Finds per hand-off at most, and the time after the last hand-off from which a find is handed
  // over at once. A hand-off costs two thread switches and finds the receiver's caches cold, so
  // fewer, larger batches file faster; but three batches are alive at once (one filling, one
  // handed over, one being filed), and on a fast scan the count closes them: 8,192 finds keep
  // them at about 350 KB each; larger ones filed no faster in the benchmarks.
  static constexpr std::size_t kBatchFinds = 8192;
  static constexpr int kBatchMilliseconds = 5;

  struct Channel;  // the hand-off between worker and owning thread
  struct Run;      // one worker and its thread

 private:
  class Receiver;
  friend class Receiver;
  class WorkerThread;
  struct Guard;

  void Deliver(const std::shared_ptr<Channel>& channel);
  void ForgetWorker();
  void StopAndWait(Run& run);

  std::unique_ptr<QObject> receiver_;
  std::unique_ptr<Run> running_;
  std::unique_ptr<WorkerThread> thread_;  // declared after running_: it goes first
  // Shared with the handlers on the stack, so that they notice a destruction from a callback.
  std::shared_ptr<Guard> guard_;
  bool lastReadFailed_ = false;
  std::string lastReadError_;
  std::exception_ptr lastFailure_;
};
