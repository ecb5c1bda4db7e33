// The program-wide repaint sweeper: every instrument control registers itself; once a second
// the sweeper shows each repaint that the frame-rate limit held back, so the last change of a
// burst always reaches the screen.
#pragma once

#include <QList>
#include <memory>

namespace framework {
class TTimer;
}

namespace instruments {

class TiComponent;

class TiUpdateObject {
 public:
  static TiUpdateObject& Instance();
  ~TiUpdateObject();

  void Register(TiComponent* control);
  void Unregister(TiComponent* control);
  int Count() const { return int(controls_.size()); }
  bool TimerEnabled() const;

  // One sweep, as the timer runs it.
  void Sweep();

  static constexpr int kIntervalMs = 1000;

 private:
  TiUpdateObject() = default;
  void EnsureTimer();

  QList<TiComponent*> controls_;
  std::unique_ptr<framework::TTimer> timer_;
};

}  // namespace instruments
