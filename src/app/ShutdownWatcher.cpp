#include "app/ShutdownWatcher.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <array>
#include <cerrno>
#include <csignal>
#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

namespace quillet {

namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGHUP, SIGINT};

// The pipe's write end for the handler; -1 while no watcher exists.
volatile sig_atomic_t signalFd = -1;
std::array<struct sigaction, kSignals.size()> previous{};

// Only async-signal-safe calls here: one write that never blocks (a full pipe already holds a
// pending request), with errno kept for the code that was interrupted.
extern "C" void OnShutdownSignal(int signal) {
  const int savedErrno = errno;
  const unsigned char byte = static_cast<unsigned char>(signal);
  if (signalFd >= 0) {
    const ssize_t written = write(signalFd, &byte, 1);
    static_cast<void>(written);
  }
  errno = savedErrno;
}

}  // namespace

TShutdownWatcher::TShutdownWatcher(QObject* parent) : QObject(parent) {
  if (signalFd >= 0) throw std::logic_error("a shutdown watcher already exists");
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("cannot create the signal pipe");
  readFd_ = fds[0];
  signalFd = fds[1];
  notifier_ = new QSocketNotifier(readFd_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { ReadSignals(); });

  struct sigaction action {};
  action.sa_handler = OnShutdownSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // interrupted reads and writes elsewhere go on
  for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &previous[i]);
}

TShutdownWatcher::~TShutdownWatcher() {
  for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &previous[i], nullptr);
  const int writeFd = signalFd;
  signalFd = -1;
  delete notifier_;
  close(writeFd);
  close(readFd_);
}

void TShutdownWatcher::ReadSignals() {
  unsigned char bytes[64];
  ssize_t got = 0;
  int received = 0;
  while ((got = read(readFd_, bytes, sizeof bytes)) > 0) received += static_cast<int>(got);
  // Signals that came together count as one request: a second one is a later, firmer request.
  if (received > 0) RequestClose();
}

void TShutdownWatcher::SetWindow(QWidget* window) {
  window_ = window;
  if (requests_ > 0 && !closing_) QTimer::singleShot(0, this, [this] { CloseWindow(); });
}

void TShutdownWatcher::RequestClose() {
  ++requests_;
  // A dialog waiting for an answer gets the one that changes nothing; the command that asked
  // goes on from there.
  while (QWidget* modal = QApplication::activeModalWidget()) {
    if (auto* dialog = qobject_cast<QDialog*>(modal))
      dialog->reject();
    else
      modal->close();
    if (QApplication::activeModalWidget() == modal) break;  // it would not go
  }
  if (!window_) return;  // still being built: closed as soon as it is there
  if (closing_ && window_->isVisible()) {
    // Still open after being asked: the event loops end, and the window's destruction saves.
    QCoreApplication::exit(0);
    return;
  }
  CloseWindow();
}

void TShutdownWatcher::CloseWindow() {
  if (!window_) return;
  closing_ = true;
  if (!window_->isVisible()) {
    QCoreApplication::quit();
    return;
  }
  window_->close();
}

}  // namespace quillet
