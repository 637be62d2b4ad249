// Entry point: a subcommand runs headless; no arguments start the desktop program.
#include <cstdio>
#include <exception>

#include "cli/Cli.h"

#ifdef QUILLET_HAVE_GUI
#include "app/Application.h"
#endif

int main(int argc, char** argv) {
  try {
    // The headless commands never create an application object: they need no display.
    const int status = quillet::RunCli(argc, argv);
    if (status >= 0) return status;
#ifdef QUILLET_HAVE_GUI
    if (!quillet::DesktopCanStart(argc, argv)) {
      // Without this, Qt aborts with a message that suggests reinstalling the program.
      std::fputs(
          "quillet: 画面がありません (no display: DISPLAY / WAYLAND_DISPLAY is not set)。"
          "ウィンドウを開けません (cannot open display)。\n"
          "画面のない所 (SSH, コンテナ) では quillet scan と quillet ids が使えます"
          " (quillet --help)。\n",
          stderr);
      return 1;
    }
    return quillet::RunDesktop(argc, argv);
#else
    quillet::PrintUsage(stdout);
    return 0;
#endif
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quillet: %s\n", e.what());
    return 1;
  }
}
