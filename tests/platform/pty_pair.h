// Helpers for the serial device tests. The test plays the far end of a pseudo-terminal on the
// master; it also keeps a slave descriptor of its own, opened before the device opens the
// slave, to read the line settings back (it never reads data from it).
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform/serial_device.h"

namespace platform::testing {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  const std::string& SlavePath() const { return path_; }
  int OwnSlave() const { return slave_; }
  void Send(const std::string& bytes);
  // What the device wrote, until `count` bytes or the time is up.
  std::string Receive(size_t count, std::chrono::milliseconds within);
  void CloseMaster();  // the far end goes away: the line hangs up

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

// A scratch folder, removed with its contents.
struct TempDir {
  TempDir();
  ~TempDir();
  std::string Path(const std::string& name) const { return root + "/" + name; }
  std::string root;
};

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds within) {
  for (const auto end = Clock::now() + within; !condition();) {
    if (Clock::now() > end) return false;
    const timespec pause = {0, 2'000'000};
    nanosleep(&pause, nullptr);
  }
  return true;
}

// A binary line of this format with the usual XON/XOFF characters.
DCB LineDcb(uint32_t baud, uint8_t bits = 8, uint8_t parity = 0, uint8_t stop = 0);
// 9600 8N1 and the port's usual timeouts: reads return at once with what is queued.
std::unique_ptr<SerialDevice> OpenConfigured(const std::string& path);
// Bytes in the input queue (this reads and clears the pending errors).
uint32_t Queued(SerialDevice& device);
double ProcessCpuSeconds();

// An overlapped record with its own manual-reset event, as the port component makes them.
struct Overlapped {
  Event event{true, true};
  OVERLAPPED ov;
  Overlapped() { ov.hEvent = &event; }
  bool Signalled(std::chrono::milliseconds within) {
    return WaitForSingleObject(&event, static_cast<uint32_t>(within.count())) == WAIT_OBJECT_0;
  }
};

}  // namespace platform::testing
