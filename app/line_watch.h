// Keeps polling alive across a lost line. When the port's line goes away (the far end of a
// pseudo-terminal closed, a USB adapter pulled) every write would fail and the poll timer would
// go on at the pause rate, filling the monitor with requests nobody hears. Instead the watch
// says once, in the status bar and the monitor, that the port is gone, closes it (so that a
// replugged adapter gets its old name back), and lets the poll timer try the same port name a
// few times a second; once it opens again, polling goes on from where it stood.
#pragma once

class QString;

namespace app {

class TForm1;

class TLineWatch {
 public:
  explicit TLineWatch(TForm1& form) : form_(form) {}

  // How often the port name is tried again while the line is gone, in ms.
  static constexpr int RetryInterval = 200;

  // The port's line-lost event: tells at once; the port is closed from the event loop.
  void LineLost();
  // The tick, once it knows polling goes on: true while the line is gone, and then nothing
  // may be sent. The tick after the line is back opens the port again and returns false.
  bool Holding();

 private:
  void Announce();
  void Resume();
  void Note(const QString& text);  // a monitor line of its own
  void Close();
  bool Reopen();

  TForm1& form_;
  bool lost_ = false;  // announced, and not yet back
};

}  // namespace app
