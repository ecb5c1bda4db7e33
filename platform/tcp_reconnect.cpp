// Connecting again in the background. A gateway that is switched off lets each connect run
// into its time-out; the poll cycle tries the name a few times a second from the GUI thread,
// which must not stop for seconds each time. So the connect runs on a thread of its own, and
// the open that follows takes the connection it made.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/serial_device.h"
#include "platform/tcp_line.h"
#include "platform/win_error.h"

namespace platform {

namespace {

// A connection nobody takes is closed after this: cheap gateways serve one client at a time,
// and a forgotten connection would keep the next one out.
constexpr auto kKeptFor = std::chrono::seconds(2);
// A quick answer (a local server, or one that refuses) is waited for: it saves a tick.
constexpr auto kQuickAnswer = std::chrono::milliseconds(50);

struct Attempt {
  std::mutex m;
  std::condition_variable changed;
  bool finished = false;
  bool taken = false;
  bool abandoned = false;
  int fd = -1;
};

struct Attempts {
  std::mutex m;
  std::map<std::string, std::shared_ptr<Attempt>> byName;
};

// Never destroyed: a detached attempt may still finish while the program exits.
Attempts& Registry() {
  static Attempts* registry = new Attempts;
  return *registry;
}

void Connect(const std::shared_ptr<Attempt>& attempt, const std::string& portName) {
  detail::TcpFailure failure;
  const int fd = detail::OpenTcpLine(portName, kTcpConnectTimeout, failure);
  std::unique_lock<std::mutex> lock(attempt->m);
  attempt->finished = true;
  if (attempt->abandoned) {
    if (fd >= 0) close(fd);
    return;
  }
  attempt->fd = fd;
  attempt->changed.notify_all();
  if (fd < 0) return;
  if (attempt->changed.wait_for(lock, kKeptFor, [&] { return attempt->taken; })) return;
  close(fd);
  attempt->fd = -1;
}

}  // namespace

bool PortReadyToReopen(const std::string& portName) {
  if (!IsTcpPortName(portName)) return true;
  Attempts& registry = Registry();
  std::shared_ptr<Attempt> attempt;
  {
    std::lock_guard<std::mutex> lock(registry.m);
    std::shared_ptr<Attempt>& slot = registry.byName[portName];
    if (slot) {
      std::lock_guard<std::mutex> attemptLock(slot->m);
      if (!slot->finished) return false;
      if (slot->fd >= 0) return true;
    }
    // None yet, or the last one failed or was kept too long: try again.
    slot = attempt = std::make_shared<Attempt>();
    try {
      std::thread(Connect, attempt, portName).detach();
    } catch (const std::exception&) {
      registry.byName.erase(portName);
      return true;  // no thread: the open connects by itself, waiting as it must
    }
  }
  std::unique_lock<std::mutex> lock(attempt->m);
  return attempt->changed.wait_for(lock, kQuickAnswer, [&] { return attempt->finished; }) &&
         attempt->fd >= 0;
}

int TakeTcpLine(const std::string& portName) {
  Attempts& registry = Registry();
  {
    std::lock_guard<std::mutex> lock(registry.m);
    const auto it = registry.byName.find(portName);
    if (it != registry.byName.end()) {
      const std::shared_ptr<Attempt> attempt = it->second;
      registry.byName.erase(it);
      std::lock_guard<std::mutex> attemptLock(attempt->m);
      if (attempt->fd >= 0) {
        attempt->taken = true;
        attempt->changed.notify_all();
        return attempt->fd;
      }
      // Still under way: its connection would only hold the line against ours.
      attempt->abandoned = true;
    }
  }
  detail::TcpFailure failure;
  const int fd = detail::OpenTcpLine(portName, kTcpConnectTimeout, failure);
  if (fd < 0) {
    SetLastError(failure.error);
    SetLastErrorReason(detail::TcpFailureReason(portName, failure));
  }
  return fd;
}

}  // namespace platform
