// The command line. It is read before the GUI exists, so that --help, --version and a mistyped
// option need no display.
#pragma once

#include <QString>
#include <optional>
#include <variant>

namespace app {

struct Options {
  std::optional<QString> countsFile;  // --counts FILE: the Tx and Er counts go there at exit
  bool exitAfterFirstPaint = false;   // --exit-after-first-paint
  std::optional<QString> captureFile;  // --capture FILE: every frame of the session goes there
};

// Reads argv. Gives the options, or the exit status when the program is done already: 0 after
// --help or --version (printed on standard output), 1 after a mistake (the reason and the usage
// on standard error). Qt's own options (-platform NAME, -style NAME, ...) are left for
// QApplication.
std::variant<Options, int> ReadOptions(int argc, char** argv);

}  // namespace app
