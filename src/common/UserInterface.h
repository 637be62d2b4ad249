#pragma once
// The one way the core talks to the user. The desktop program installs an implementation that
// shows message boxes and lets pending window events run; the headless commands print on stderr;
// tests capture the messages.
#include <string>
#include <string_view>

namespace quillet {

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // A message box with one OK button. The text is Shift-JIS (CP932).
  virtual void ShowMessage(std::string_view sjisText) = 0;
  // Let pending window events run (paint, input). Called during long work on the GUI thread.
  virtual void ProcessEvents() {}
};

// The process-wide interface; never null. By default messages go to stderr in UTF-8.
UserInterface& ui();
// Installs an interface (not owned) and returns the previous one; nullptr restores the default.
UserInterface* SetUserInterface(UserInterface* ui);

// Installs an interface for the life of a scope (tests, headless commands).
class ScopedUserInterface {
 public:
  explicit ScopedUserInterface(UserInterface* ui) : previous_(SetUserInterface(ui)) {}
  ~ScopedUserInterface() { SetUserInterface(previous_); }
  ScopedUserInterface(const ScopedUserInterface&) = delete;
  ScopedUserInterface& operator=(const ScopedUserInterface&) = delete;

 private:
  UserInterface* previous_;
};

}  // namespace quillet
