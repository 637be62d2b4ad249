#include "analysis/LogAnalysis.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "common/Clock.h"
#include <vector>

namespace {


// A batch of finds, kept flat so that neither side allocates per find and little memory passes
// between the threads: the IDs and handles back to back in one buffer, a small record per find,
// and each distinct context once (consecutive finds mostly share one).
struct Batch {
  struct Record {
    uint32_t idSize;
    uint32_t handleSize;
    uint32_t context;  // index into contexts
    uint64_t line;
  };
  std::string bytes;
  std::vector<Record> records;
  std::vector<TForumData> contexts;

  void swap(Batch& other) noexcept {
    bytes.swap(other.bytes);
    records.swap(other.records);
    contexts.swap(other.contexts);
  }
  bool empty() const { return records.empty(); }
  size_t size() const { return records.size(); }
  void clear() {
    bytes.clear();
    records.clear();
    contexts.clear();
  }
  void Add(const TIDData& find, const TForumData& context) {
    if (contexts.empty() || contexts.back().Category != context.Category || contexts.back().Name != context.Name)
      contexts.push_back(context);
    records.push_back(Record{static_cast<uint32_t>(find.ID.size()), static_cast<uint32_t>(find.HandleName.size()),
                             static_cast<uint32_t>(contexts.size() - 1), find.Line});
    bytes.append(find.ID).append(find.HandleName);
  }

  // Reads the finds in order into one record whose buffers are reused.
  class Reader {
   public:
    explicit Reader(const Batch& batch) : batch_(batch) {}
    const TForumData& Next(TIDData& out) {
      const Record& r = batch_.records[index_++];
      const char* bytes = batch_.bytes.data() + offset_;
      out.ID.assign(bytes, r.idSize);
      out.HandleName.assign(bytes + r.idSize, r.handleSize);
      out.Line = r.line;
      offset_ += r.idSize + r.handleSize;
      return batch_.contexts[r.context];
    }

   private:
    const Batch& batch_;
    size_t index_ = 0;
    size_t offset_ = 0;
  };
};

}  // namespace

// The hand-off between the worker and the owning thread. The worker puts a batch in and posts an
// event to the receiver; before the next batch it waits until the owning thread has handled this
// one, or until the controller withdraws (then the batch is dropped and nothing more is posted).
struct TLogAnalysis::Channel {
  std::mutex mutex;
  std::condition_variable released;
  QObject* receiver = nullptr;  // only touched under the mutex; null once withdrawn
  bool withdrawn = false;
  bool inFlight = false;        // a batch has been posted and not yet handled
  Batch batch;
  bool ended = false;           // the batch in flight closes the scan
  std::string fileName;         // the scanned path, with the closing batch

  // Written by the worker, read by the owning thread at any time.
  std::atomic<uint64_t> bytesRead{0};
  std::atomic<uint64_t> fileSize{0};
};

namespace {

class HandOffEvent final : public QEvent {
 public:
  explicit HandOffEvent(std::shared_ptr<TLogAnalysis::Channel> channel)
      : QEvent(Type()), channel(std::move(channel)) {}
  static QEvent::Type Type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  // If the receiver is gone before delivery, Qt deletes the event and with it this reference.
  const std::shared_ptr<TLogAnalysis::Channel> channel;
};

// The worker's sink: collects finds and hands them over in batches, bounded by count and by time
// since the last hand-off, so that finds in a sparse or slowly read log still show at once.
class BatchSink final : public TAnalysisSink {
 public:
  // A batch starts small and grows with the log: a full one (some 200 KB of records) for every
  // file would be mapped and unmapped again for each of ten thousand small logs.
  explicit BatchSink(std::shared_ptr<TLogAnalysis::Channel> channel) : channel_(std::move(channel)) {
    batch_.records.reserve(256);
  }

  void Found(const TIDData& find, const TForumData& context) override {
    batch_.Add(find, context);
    const size_t n = batch_.size();
    // A find after a quiet spell goes out at once; in a busy stretch they gather. The clock is
    // read at the first find of a batch and then at every 64th only.
    if (n >= TLogAnalysis::kBatchFinds || ((n == 1 || n % 64 == 0) && quillet::MonotonicMs() - lastHandOff_ >= kMaxAgeMs))
      HandOver(nullptr);
  }

  void Progress(uint64_t bytesRead, uint64_t fileSize) override {
    channel_->bytesRead.store(bytesRead, std::memory_order_relaxed);
    channel_->fileSize.store(fileSize, std::memory_order_relaxed);
    if (!batch_.empty() && quillet::MonotonicMs() - lastHandOff_ >= kMaxAgeMs) HandOver(nullptr);
  }

  void End(const std::string& fileName) override {
    if (ended) return;  // the end is reported once, whatever the worker does
    ended = true;
    HandOver(&fileName);
  }

  bool ended = false;

 private:
  static constexpr int64_t kMaxAgeMs = TLogAnalysis::kBatchMilliseconds;

  // Posts the batch (and, with a file name, the end) once the batch before it has been handled,
  // and goes back to scanning: the owning thread files one batch while the next one fills, and
  // never more than one is in flight, so the finds still arrive in log order.
  void HandOver(const std::string* endOf) {
    std::unique_lock lock(channel_->mutex);
    channel_->released.wait(lock, [this] { return !channel_->inFlight || channel_->withdrawn; });
    if (channel_->withdrawn) {
      batch_.clear();
      return;
    }
    // The owning thread leaves an emptied batch in the channel; swapping keeps both capacities.
    channel_->batch.swap(batch_);
    batch_.clear();
    channel_->ended = endOf != nullptr;
    if (endOf) channel_->fileName = *endOf;
    channel_->inFlight = true;
    QCoreApplication::postEvent(channel_->receiver, new HandOffEvent(channel_));
    lastHandOff_ = quillet::MonotonicMs();
  }

  std::shared_ptr<TLogAnalysis::Channel> channel_;
  Batch batch_;
  int64_t lastHandOff_ = quillet::MonotonicMs();
};

}  // namespace

struct TLogAnalysis::Run {
  explicit Run(std::shared_ptr<Channel> ch) : channel(std::move(ch)), sink(channel) {}
  std::shared_ptr<Channel> channel;
  BatchSink sink;
  TLogAnalizingThread worker;
  // Set by Stop or by a failing OnFound, on the owning thread: from then on no find is handed
  // to OnFound, not even those of a batch already posted; only the end still follows.
  bool stopped = false;
  std::exception_ptr failure;  // what OnFound threw
};

struct TLogAnalysis::Guard {
  bool destroyed = false;
};

// The thread the scans run on, one after another: started with the first scan and kept, since an
// import of a hundred thousand small logs would otherwise start and join as many threads.
class TLogAnalysis::WorkerThread {
 public:
  ~WorkerThread() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  // Runs the scan of `run` (the thread is idle: Wait has returned since the last Start).
  void Start(Run* run) {
    {
      std::lock_guard lock(mutex_);
      job_ = run;
    }
    if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
    changed_.notify_all();
  }

  // Returns once the scan started last is over and its Run is no longer touched.
  void Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return job_ == nullptr; });
  }

 private:
  void Loop() {
    for (;;) {
      Run* run = nullptr;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return job_ != nullptr || quit_; });
        if (!job_) return;
        run = job_;
      }
      try {
        run->worker.Execute();
      } catch (...) {
        // A scan that fails still ends once: the import goes on from its end.
      }
      if (!run->sink.ended) run->sink.End(run->worker.FileName);
      {
        std::lock_guard lock(mutex_);
        job_ = nullptr;
      }
      changed_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  Run* job_ = nullptr;  // the scan to run or running
  bool quit_ = false;
  std::thread thread_;
};

class TLogAnalysis::Receiver final : public QObject {
 public:
  explicit Receiver(TLogAnalysis* owner) : owner_(owner) {}

  bool event(QEvent* e) override {
    if (e->type() != HandOffEvent::Type()) return QObject::event(e);
    // The controller may be destroyed, and this receiver with it, inside Deliver: touch nothing
    // of this object afterwards.
    owner_->Deliver(static_cast<HandOffEvent*>(e)->channel);
    return true;
  }

 private:
  TLogAnalysis* const owner_;
};

namespace {

// Withdraws the receiver from the worker (a worker waiting in a hand-off is released and drops
// its batch; nothing more is posted) and asks it to stop at the next line.
void Withdraw(TLogAnalysis::Run& run) {
  {
    std::lock_guard lock(run.channel->mutex);
    run.channel->withdrawn = true;
    run.channel->receiver = nullptr;
  }
  run.channel->released.notify_all();
  run.worker.Terminated.store(true);
}

}  // namespace

void TLogAnalysis::StopAndWait(Run& run) {
  Withdraw(run);
  thread_->Wait();
}

TLogAnalysis::TLogAnalysis()
    : receiver_(std::make_unique<Receiver>(this)),
      thread_(std::make_unique<WorkerThread>()),
      guard_(std::make_shared<Guard>()) {}

TLogAnalysis::~TLogAnalysis() {
  guard_->destroyed = true;
  // Withdraw before the receiver goes, so the worker posts nothing more to it; events still
  // queued for the receiver are deleted with it, unhandled.
  if (running_) Withdraw(*running_);
  receiver_.reset();
  if (running_) StopAndWait(*running_);
}

bool TLogAnalysis::Analyze(const std::string& fileName, const TForumData& start, std::unique_ptr<TLogSource> source) {
  if (!source) {
    std::error_code error;
    const auto status = std::filesystem::status(std::filesystem::path(fileName), error);
    if (error || !std::filesystem::exists(status) || std::filesystem::is_directory(status)) return false;
  }
  if (running_) return false;  // one scan at a time

  auto channel = std::make_shared<Channel>();
  channel->receiver = receiver_.get();
  auto run = std::make_unique<Run>(channel);
  run->worker.FileName = fileName;
  run->worker.Source = std::move(source);
  run->worker.ForumData = start;
  run->worker.Encoding = Encoding;
  run->worker.NotifyWindow = &run->sink;
  thread_->Start(run.get());
  running_ = std::move(run);
  return true;
}

void TLogAnalysis::Deliver(const std::shared_ptr<Channel>& channel) {
  Run* const run = running_.get();
  if (!run || run->channel != channel) {
    // Not from the running worker (it has been forgotten): drop it, and never leave a sender
    // waiting.
    {
      std::lock_guard lock(channel->mutex);
      channel->inFlight = false;
      channel->batch.clear();
    }
    channel->released.notify_all();
    return;
  }
  Batch finds;
  bool ended = false;
  std::string fileName;
  {
    std::lock_guard lock(channel->mutex);
    finds.swap(channel->batch);
    ended = channel->ended;
    if (ended) fileName = std::move(channel->fileName);
  }

  const std::shared_ptr<Guard> guard = guard_;
  // The callback is taken once per batch: a copy, so that a callback that destroys the controller
  // does not destroy itself while it runs.
  const TFoundEvent onFound = OnFound;
  Batch::Reader reader(finds);
  TIDData find;
  try {
    for (size_t i = 0; onFound && i < finds.size(); ++i) {
      if (run->stopped) break;
      const TForumData& context = reader.Next(find);
      onFound(this, find, context);
      if (guard->destroyed) return;       // the controller went inside the callback
      if (running_.get() != run) return;  // the worker was forgotten meanwhile
    }
  } catch (...) {
    // A failing handler must not leave the worker waiting: the scan stops here, the worker is
    // released below, and the failure travels with the end (LastFailure) for the owner to report.
    if (guard->destroyed || running_.get() != run) throw;
    run->stopped = true;
    run->worker.Terminated.store(true);
    if (!run->failure) run->failure = std::current_exception();
  }

  if (!ended) {
    finds.clear();
    {
      std::lock_guard lock(channel->mutex);
      channel->batch.swap(finds);
      channel->inFlight = false;
    }
    channel->released.notify_one();
    return;
  }
  TMessage end;
  end.Msg = WM_ANALYSIS_END;
  end.Text = &fileName;
  WndProc(end);
}

void TLogAnalysis::WndProc(const TMessage& message) {
  switch (message.Msg) {
    case WM_ANALYSIS_TEXT: {
      // Copies, so that a callback that destroys the controller does not destroy itself.
      const TTextEvent onText = OnText;
      if (onText && message.Text) onText(this, *message.Text);
      break;
    }
    case WM_ANALYSIS_FOUND: {
      const TFoundEvent onFound = OnFound;
      if (onFound && message.Find && message.Context) onFound(this, *message.Find, *message.Context);
      break;
    }
    case WM_ANALYSIS_END: {
      const std::string fileName = message.Text ? *message.Text : std::string();
      ForgetWorker();  // before OnEnd, which may start the next file
      const TEndEvent onEnd = OnEnd;
      if (onEnd) onEnd(this, fileName);
      break;
    }
    default:
      break;
  }
}

void TLogAnalysis::ForgetWorker() {
  std::unique_ptr<Run> run = std::move(running_);
  if (!run) return;
  // After its end the worker only returns; out of order, this also stops it.
  StopAndWait(*run);
  lastReadFailed_ = run->worker.ReadFailed;
  lastReadError_ = run->worker.ErrorText;
  lastFailure_ = run->failure;
}

const TLogAnalizingThread* TLogAnalysis::Worker() const { return running_ ? &running_->worker : nullptr; }

void TLogAnalysis::Stop() {
  if (!running_) return;
  running_->worker.Terminated.store(true);
  running_->stopped = true;
}

bool TLogAnalysis::Progress(uint64_t& bytesRead, uint64_t& fileSize) const {
  if (!running_) {
    bytesRead = fileSize = 0;
    return false;
  }
  bytesRead = running_->channel->bytesRead.load(std::memory_order_relaxed);
  fileSize = running_->channel->fileSize.load(std::memory_order_relaxed);
  return true;
}
