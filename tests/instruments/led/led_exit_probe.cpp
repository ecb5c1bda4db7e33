// Ends the program while LEDs are flashing. The flash thread must have stopped and the flash
// timer must be gone before the application object is, without anything touching freed memory
// (run under AddressSanitizer). Exit code 0 when all went so.
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "instruments/led/ab_led.h"
#include "instruments/led/flash_timer.h"

namespace {

QWidget* window = nullptr;
bool timerGoneFirst = false;

// Added before any LED flashes, so it runs after the flash timer's own end-of-program work.
void CloseWindowLast() {
  timerGoneFirst = instruments::FlashTimer() == nullptr;
  delete window;
  window = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  uint32_t ticks = 0;
  {
    QApplication app(argc, argv);
    qAddPostRoutine(CloseWindowLast);
    window = new QWidget;
    for (int i = 0; i < 3; ++i) {
      auto* led = new instruments::TAbLED(window);
      led->move(0, i * 33);
      led->SetFrequency(instruments::TAbLED::ff8Hz);
      led->SetFlashing(true);
      led->SetChecked(true);
    }
    window->show();
    QTimer::singleShot(300, &app, &QCoreApplication::quit);
    app.exec();
    ticks = instruments::FlashCounter();
  }
  std::printf("ticks %u, flash timer gone first: %d\n", ticks, int(timerGoneFirst));
  return ticks >= 5 && timerGoneFirst ? 0 : 1;
}
