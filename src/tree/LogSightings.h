#pragma once
// The sightings of one ID in the logs behind a folder: the logs are read again with the scanner,
// on a thread of their own, and every find of the ID whose context puts it into the folder is
// kept with its line number and the whole line. The owner takes the sightings as they come.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tree/LogOrigin.h"
#include "tree/TreeNodes.h"

// One log to read, and which of its finds count.
struct TSightingFile {
  TLogOrigin Origin;
  bool AnyContext = true;  // every filed context counts; otherwise only the folder below
  std::string First;       // the folder's text under the file node
  std::string Second;      // the room's text under First; empty for First itself
};

// The logs behind `selected` and the contexts that count: for a file node, its logs and every
// context; for a folder the scanner files into (a forum, PATIO, room, ...), the logs of its file
// node and that folder's own context; for anything else ("登録ID", groups, user folders, search
// results, the top node) every log of every file node of the tree, every context.
std::vector<TSightingFile> PlanSightings(const TTreeNode* selected, const TTreeNodes& nodes);

// The folder path under the file node that a find of this context is filed into ("" when it is
// not filed), its levels joined by "/".
std::string SightingPlace(const TForumData& context);

struct TSighting {
  uint32_t File = 0;   // index into the planned files
  uint64_t Line = 0;   // 1-based line number
  std::string Place;   // SightingPlace of the find
  std::string Handle;  // as the line shows it
  std::string Text;    // the whole line, as read
};

// What became of a planned log.
enum class TSightingNote { None, Changed, Vanished, Unreadable };

class TSightingSearch {
 public:
  TSightingSearch(std::string id, std::vector<TSightingFile> files);
  // Stops the reading and waits for it.
  ~TSightingSearch();
  TSightingSearch(const TSightingSearch&) = delete;
  TSightingSearch& operator=(const TSightingSearch&) = delete;

  // Called on the reading thread when sightings are ready to be taken (at most every few
  // milliseconds) and when the reading is over; set before Start. The owner then calls Take.
  std::function<void()> OnReady;

  void Start();
  // Asks the reading to stop at the next line; Finished() follows soon.
  void Stop();

  // Moves up to `max` sightings found so far, in log order, to the end of `out`.
  void Take(std::vector<TSighting>& out, size_t max);
  // All logs have been read (or the reading stopped) and every sighting has been taken.
  bool Finished() const;
  bool Stopped() const { return stop_.load(); }

  const std::string& ID() const { return id_; }
  const std::vector<TSightingFile>& Files() const { return files_; }
  // The note of each planned log so far (None for a log not reached yet).
  std::vector<TSightingNote> Notes() const;
  // The log being read (index) and how far: for a progress display.
  void Progress(size_t& file, uint64_t& bytesRead, uint64_t& fileSize) const;

  struct Sink;

 private:
  void Body();

  const std::string id_;
  const std::vector<TSightingFile> files_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  std::atomic<size_t> file_{0};
  std::atomic<uint64_t> bytesRead_{0}, fileSize_{0};
  mutable std::mutex mutex_;
  std::vector<TSighting> pending_;   // found, not taken yet
  size_t taken_ = 0;                 // of pending_, already taken
  std::vector<TSightingNote> notes_;
  TLogAnalizingThread* worker_ = nullptr;  // the scanner at work, under mutex_
  std::thread thread_;
};
