#include "app/Application.h"

#include "app/Dialogs.h"
#include "app/GuiInterface.h"
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

int RunDesktop(int argc, char** argv) {
  TApplication app(argc, argv);
  TApplication::setApplicationName(QStringLiteral("quillet"));
  TApplication::setApplicationVersion(QStringLiteral(QUILLET_VERSION));
  TMainForm window;
  window.show();
  return app.exec();
}

}  // namespace quillet
