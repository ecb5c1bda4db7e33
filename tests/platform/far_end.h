// The other end of a line, for the tests that every real serial device must pass: the master
// side of a pseudo-terminal, or the accepted connection of a local listener for a "tcp://" line.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "tests/platform/pty_pair.h"

namespace platform::testing {

class FarEnd {
 public:
  enum class Kind { Pty, Tcp };
  virtual ~FarEnd() = default;
  // What the device opens.
  virtual std::string PortName() const = 0;
  virtual void Send(const std::string& bytes) = 0;
  // What the device wrote, until `count` bytes or the time is up.
  virtual std::string Receive(size_t count, std::chrono::milliseconds within) = 0;
  virtual void Close() = 0;  // the far end goes away: the line hangs up
  // A write of this size cannot all be taken while nobody reads this end.
  virtual size_t Unreadable() const = 0;
};

std::unique_ptr<FarEnd> MakeFarEnd(FarEnd::Kind kind);
std::string KindName(FarEnd::Kind kind);

// A listener on 127.0.0.1 at a port of the system's choice; the first connection is the line.
class TcpFarEnd final : public FarEnd {
 public:
  TcpFarEnd();
  ~TcpFarEnd() override;
  std::string PortName() const override;
  void Send(const std::string& bytes) override;
  std::string Receive(size_t count, std::chrono::milliseconds within) override;
  void Close() override;
  size_t Unreadable() const override { return size_t{32} << 20; }
  int Port() const { return port_; }
  // Waits for the device's connection; false if none came.
  bool Accept(std::chrono::milliseconds within = 2s);
  // Whether the accepted connection has been closed by the device (end of file seen).
  bool ClosedByDevice(std::chrono::milliseconds within);

 private:
  int listener_ = -1;
  int peer_ = -1;
  int port_ = 0;
};

}  // namespace platform::testing
