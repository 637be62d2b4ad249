#include "app/Application.h"

#include "app/Dialogs.h"
#include "app/GuiInterface.h"
#include "app/MainForm.h"
#include "app/ShutdownWatcher.h"

#include <QSessionManager>

namespace quillet {

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    WidgetDialogs(activeWindow()).Message(ApplicationTitle(), ErrorReportText(error.what()), Dialogs::Icon::Error);
  }
  return false;
}

int RunDesktop(int argc, char** argv) {
  TApplication app(argc, argv);
  TApplication::setApplicationName(QStringLiteral("quillet"));
  TApplication::setApplicationVersion(QStringLiteral(QUILLET_VERSION));
  // A signal or the end of the session closes the window as the user would; the data is saved
  // when the window goes, after the loop, whichever way the loop ended.
  TShutdownWatcher shutdown;
  TMainForm window;
  shutdown.SetWindow(&window);
#ifndef QT_NO_SESSIONMANAGER
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &shutdown,
                   [&shutdown](QSessionManager&) { shutdown.RequestClose(); });
#endif
  window.show();
  return app.exec();
}

}  // namespace quillet
