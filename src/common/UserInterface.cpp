#include "common/UserInterface.h"

#include <cstdio>

#include "common/Cp932.h"

namespace quillet {
namespace {

class StderrInterface : public UserInterface {
 public:
  void ShowMessage(std::string_view sjisText) override {
    std::string text = ToUtf8(sjisText);
    for (char& c : text)
      if (c == '\r') c = '\n';
    std::fprintf(stderr, "%s\n", text.c_str());
  }
};

StderrInterface g_default;
UserInterface* g_current = nullptr;

}  // namespace

UserInterface& ui() { return g_current ? *g_current : g_default; }

UserInterface* SetUserInterface(UserInterface* ui) {
  UserInterface* previous = g_current;
  g_current = ui;
  return previous;
}

}  // namespace quillet
