#include "tests/platform/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

namespace platform::testing {

PtyPair::PtyPair() {
  char name[128] = {};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
  path_ = name;
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair() {
  if (master_ >= 0) close(master_);
  close(slave_);
}

void PtyPair::Send(const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    pollfd fd = {master_, POLLOUT, 0};
    if (n > 0)
      done += static_cast<size_t>(n);
    else if (poll(&fd, 1, 2000) <= 0)
      throw std::runtime_error("the line takes no more bytes");
  }
}

std::string PtyPair::Receive(size_t count, std::chrono::milliseconds within) {
  std::string got;
  for (const auto end = Clock::now() + within; got.size() < count;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
    pollfd fd = {master_, POLLIN, 0};
    char chunk[4096];
    if (left <= 0 || poll(&fd, 1, static_cast<int>(left)) <= 0) break;
    const ssize_t n = read(master_, chunk, std::min(sizeof chunk, count - got.size()));
    if (n <= 0) break;
    got.append(chunk, static_cast<size_t>(n));
  }
  return got;
}

void PtyPair::CloseMaster() {
  close(master_);
  master_ = -1;
}

TempDir::TempDir() {
  char pattern[] = "/tmp/zt-platform-XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
  root = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
}

DCB LineDcb(uint32_t baud, uint8_t bits, uint8_t parity, uint8_t stop) {
  DCB dcb;
  dcb.BaudRate = baud;
  dcb.Flags = dcb_Binary;
  dcb.ByteSize = bits;
  dcb.Parity = parity;
  dcb.StopBits = stop;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  return dcb;
}

std::unique_ptr<SerialDevice> OpenConfigured(const std::string& path) {
  auto device = OpenSerialDevice(path);
  if (!device || !device->SetCommState(LineDcb(9600)) ||
      !device->SetCommTimeouts({MAXDWORD, 0, 0, 100, 1000}))
    return nullptr;
  return device;
}

uint32_t Queued(SerialDevice& device) {
  COMSTAT stat;
  return device.ClearCommError(nullptr, &stat) ? stat.cbInQue : 0;
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace platform::testing
