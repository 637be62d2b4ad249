#include "app/Application.h"

#include <QLibraryInfo>
#include <QTranslator>

#include "app/Dialogs.h"
#include "app/GuiInterface.h"
#include "app/Icons.h"
#include "app/MainForm.h"

namespace quillet {

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    WidgetDialogs(activeWindow()).Message(ApplicationTitle(), ErrorReportText(error.what()), Dialogs::Icon::Error);
  }
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
  TMainForm window;
  window.show();
  return app.exec();
}

}  // namespace quillet
