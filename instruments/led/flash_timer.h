// The application's single flash timer and its client list. Every flashing LED is a client with
// a flash code c (2..6); at each tick of the timer the flash counter goes up by one and a client
// whose half-period, bit c of the counter, has changed is sent the new state.
#pragma once

#include <cstdint>

#include "instruments/led/ab_flash.h"

namespace instruments {

class TAbBinGControl;

class TAbFlashTimer : public TAbFlash {
  Q_OBJECT

 public:
  // The message box a second flash timer shows; it then stays without an event.
  static constexpr const char* OnlyOneText =
      "Only one TAbFlashTimer per Application!\rRemove it...";
  static constexpr const char* OnlyOneTitle = "Error Message";

  explicit TAbFlashTimer(QObject* owner = nullptr);
  ~TAbFlashTimer() override;
};

// Adds the control to the client list, or gives its record the new code; creates the flash
// timer with the first client.
void RegisterFlash(TAbBinGControl* control, int code);
// Removes the control's record, if any.
void UnregisterFlash(TAbBinGControl* control);
// The flash timer's event: counts the tick and sends changed states to the clients.
void FlashTick(QObject* Sender);

// Program end: frees the flash timer, ending its thread, and the client list. Runs by itself
// while the application object is destroyed.
void FinalizeFlash();

TAbFlashTimer* FlashTimer();
uint32_t FlashCounter();
int FlashTimerCount();
int FlashClientCount();
// The control's flash code, or 0 when it is not a client.
int FlashClientCode(const TAbBinGControl* control);

}  // namespace instruments
