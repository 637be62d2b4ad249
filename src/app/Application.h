#pragma once
// The desktop program: the application object with the general error report, and its start.
#include <QApplication>

namespace quillet {

// An error that escapes an event handler ends that handler only: it is shown in the general error
// report and the program goes on with the next event.
class TApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override;
};

// Whether a window can be shown: a display is named in the environment (DISPLAY,
// WAYLAND_DISPLAY) or a window system is chosen explicitly (-platform, QT_QPA_PLATFORM).
bool DesktopCanStart(int argc, char** argv);

// Loads Qt's own Japanese texts (standard buttons, file dialogs) whatever the locale: every other
// text of the program is Japanese. False when the translation is not installed.
bool InstallJapaneseTranslation(QCoreApplication& app);

// Sets the application title, creates the main window, runs the event loop until it closes.
int RunDesktop(int argc, char** argv);

}  // namespace quillet
