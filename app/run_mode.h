// A run without a window: the window's own poll cycle on a window that is never shown, started
// and stopped by the options instead of a person, with a progress line, a summary and a
// report. The stored port settings give what the options leave out; nothing is stored.
#pragma once

#include "app/options.h"

#include <QString>

#include <optional>

namespace app {

class TForm1;

class TUnattendedRun {
 public:
  explicit TUnattendedRun(RunOptions options, std::optional<QString> capture = std::nullopt);
  ~TUnattendedRun();

  // Polls until the options' end or Stop; gives the exit status.
  int Exec();
  // Stops at the next tick of the poll cycle, as the stop button does.
  void Stop();

 private:
  int Prepare(TForm1& window);
  void Progress(TForm1& window);

  RunOptions options_;
  std::optional<QString> capture_;
  TForm1* window_ = nullptr;
  bool stopAsked_ = false;
  QString stoppedBy_;
};

}  // namespace app
