#include "app/GuiInterface.h"

#include <QCoreApplication>

#include "common/Cp932.h"

namespace quillet {

QString ApplicationTitle() { return QStringLiteral("くいれっと"); }

QString MessageText(std::string_view sjis) {
  QString text = QString::fromStdString(ToUtf8(sjis));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

QString ErrorReportText(const char* message) {
  const QByteArray bytes(message);
  QString text;
  // Error texts of the core are UTF-8; a Shift-JIS text is practically never valid UTF-8.
  const QString asUtf8 = QString::fromUtf8(bytes);
  if (!asUtf8.contains(QChar::ReplacementCharacter))
    text = asUtf8;
  else
    text = MessageText(std::string_view(bytes.constData(), bytes.size()));
  if (!text.isEmpty() && text.back() > QLatin1Char('.')) text += QLatin1Char('.');
  return text;
}

void GuiInterface::ShowMessage(std::string_view sjisText) {
  dialogs_.Message(ApplicationTitle(), MessageText(sjisText), Dialogs::Icon::None);
}

void GuiInterface::ProcessEvents() {
  if (!processEvents) return;
  if (sinceEvents_.isValid() && sinceEvents_.elapsed() < 20) return;
  QCoreApplication::processEvents();
  sinceEvents_.start();
}

}  // namespace quillet
