#pragma once
// The core's messages as message boxes, and pending window events let through during long work.
#include <QElapsedTimer>

#include "app/Dialogs.h"
#include "common/UserInterface.h"

namespace quillet {

// The window caption of every box of the program.
QString ApplicationTitle();

// The general error report's text: the message, with "." added when its last character sorts
// after ".". Core messages are UTF-8 or Shift-JIS; both are understood.
QString ErrorReportText(const char* message);
// A Shift-JIS text of the core as Unicode, line breaks made Qt's.
QString MessageText(std::string_view sjis);

class GuiInterface : public UserInterface {
 public:
  explicit GuiInterface(Dialogs& dialogs) : dialogs_(dialogs) {}
  void ShowMessage(std::string_view sjisText) override;
  // Lets events run at most every 20 ms: the store calls this once per entry while saving.
  void ProcessEvents() override;
  bool processEvents = true;

 private:
  Dialogs& dialogs_;
  QElapsedTimer sinceEvents_;
};

}  // namespace quillet
