#pragma once
// Leaving by a signal (SIGTERM, SIGHUP, SIGINT) or by the end of the desktop session closes the
// main window as the user would close it, so that the shutdown save runs. A signal handler may do
// almost nothing, so it only writes the signal's number into a pipe; the window is closed from
// the event loop when the pipe becomes readable.
#include <QObject>
#include <QPointer>
#include <QWidget>

class QSocketNotifier;

namespace quillet {

class TShutdownWatcher : public QObject {
 public:
  // Installs the handlers for the life of this object (one watcher at a time); the previous
  // handlers come back with its destruction. Made before the main window, so that a signal that
  // comes while the window is being built (its start-up may ask something) is not lost.
  explicit TShutdownWatcher(QObject* parent = nullptr);
  ~TShutdownWatcher() override;
  TShutdownWatcher(const TShutdownWatcher&) = delete;
  TShutdownWatcher& operator=(const TShutdownWatcher&) = delete;

  // What a signal or the session's end does. An open modal dialog is answered with its cancel,
  // then the window is closed the normal way (a running import stops first and the window closes
  // at its end). Asked again while the window is still open, it leaves the event loops: the
  // window's destruction after the loop still saves.
  void RequestClose();
  // The window to close; a request that came before it is carried out once the event loop runs.
  void SetWindow(QWidget* window);

 private:
  void ReadSignals();
  void CloseWindow();

  QPointer<QWidget> window_;
  QSocketNotifier* notifier_ = nullptr;
  int readFd_ = -1;
  int requests_ = 0;
  bool closing_ = false;  // the window has been asked to close
};

}  // namespace quillet
