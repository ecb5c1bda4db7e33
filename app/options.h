// The command line. It is read before the GUI exists, so that --help, --version and a mistyped
// option need no display.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <variant>

namespace app {

// --run: the poll cycle without a window. What is not given comes from the stored settings.
struct RunOptions {
  std::optional<QString> port;
  std::optional<int> baud;
  int slaves = 1;                  // as the window starts
  std::optional<double> seconds;   // stop after this long,
  std::optional<int64_t> polls;    // or after this many requests; neither: run until stopped
  std::optional<QString> report;   // JSON report; "-": standard output
  double minAnswered = 100;        // percent of its requests each polled slave must answer
};

struct Options {
  std::optional<QString> countsFile;  // --counts FILE: the Tx and Er counts go there at exit
  bool exitAfterFirstPaint = false;   // --exit-after-first-paint
  std::optional<QString> captureFile;  // --capture FILE: every frame of the session goes there
  std::optional<RunOptions> run;       // --run and its options
};

// Exit statuses of a run without a window.
inline constexpr int RunPassed = 0;
inline constexpr int RunFailed = 1;     // a polled slave answered too few of its requests
inline constexpr int RunCannotRun = 2;  // bad options, or the port or a file cannot be opened

// Reads argv. Gives the options, or the exit status when the program is done already: 0 after
// --help or --version (printed on standard output), 1 after a mistake (the reason and the usage
// on standard error; 2 when --run was asked for). Qt's own options (-platform NAME, -style NAME,
// ...) are left for QApplication.
std::variant<Options, int> ReadOptions(int argc, char** argv);

}  // namespace app
