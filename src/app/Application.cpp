#include "app/Application.h"

#include <QLibraryInfo>
#include <QTranslator>
#include <cstdlib>
#include <cstring>

#include "app/Dialogs.h"
#include "app/GuiInterface.h"
#include "app/Icons.h"
#include "app/MainForm.h"
#include "app/ShutdownWatcher.h"

#include <QtGui/qtguiglobal.h>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

namespace quillet {

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    WidgetDialogs(activeWindow()).Message(ApplicationTitle(), ErrorReportText(error.what()), Dialogs::Icon::Error);
  }
  return false;
}

namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

}  // namespace

bool DesktopCanStart(int argc, char** argv) {
  if (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM")) return true;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "-platform") == 0 || std::strncmp(argv[i], "-platform=", 10) == 0) return true;
  return false;
}

bool InstallJapaneseTranslation(QCoreApplication& app) {
  // Only the texts: the locale (the list's collation among others) stays the user's.
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

int RunDesktop(int argc, char** argv) {
  TApplication app(argc, argv);
  TApplication::setApplicationName(QStringLiteral("quillet"));
  TApplication::setApplicationDisplayName(ApplicationTitle());
  TApplication::setApplicationVersion(QStringLiteral(QUILLET_VERSION));
  TApplication::setDesktopFileName(QStringLiteral("quillet"));
  TApplication::setWindowIcon(ProgramIcon());
  InstallJapaneseTranslation(app);
  // A signal or the end of the session closes the window as the user would; the data is saved
  // when the window goes, after the loop, whichever way the loop ended.
  TShutdownWatcher shutdown;
  TMainForm window;
  shutdown.SetWindow(&window);
#if QT_CONFIG(sessionmanager)
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &shutdown,
                   [&shutdown](QSessionManager&) { shutdown.RequestClose(); });
#endif
  window.show();
  return app.exec();
}

}  // namespace quillet
