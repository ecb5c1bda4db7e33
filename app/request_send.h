// Sends the poll cycle's requests without holding the window. A write the line takes at once
// ends at once, as a blocking write would. One the line cannot take now (hardware flow control
// held off, a far end that stopped reading) stays under way in the device, which ends it by
// its write time-out, a purge or the port's closing; a helper thread waits for that end and
// hands it over on the GUI thread.
#pragma once

#include "platform/win_event.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <thread>

namespace serial {
class TCustomComPort;
struct TTransfer;
}  // namespace serial

namespace app {

class TRequestSend {
 public:
  // `ended` gets whether the write succeeded; a failure is already swallowed by then.
  TRequestSend(serial::TCustomComPort& port, std::function<void(bool sent)> ended);
  ~TRequestSend();

  // Starts the write: true when it has ended already, false while it is under way (`ended`
  // follows). A write that fails at once raises EComPort as SendBytes does.
  bool Start(const uint8_t* bytes, int count);
  // A write has been started and its end not yet handed over.
  bool Busy() const { return transfer_ != nullptr; }
  // Hands over the end of a write that has ended meanwhile, before the helper's word arrives.
  void Check();

 private:
  bool Ended() const;
  void WaitForEnd();

  serial::TCustomComPort& port_;
  std::function<void(bool)> ended_;
  serial::TTransfer* transfer_ = nullptr;
  platform::Event stop_{true, false};
  std::thread waiter_;
  QObject receiver_;  // the helper's word is queued to it
};

}  // namespace app
