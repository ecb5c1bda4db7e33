// The simulated serial line: a pseudo-terminal pair whose slave end the master program opens
// (through a symbolic link, if asked) and whose master end we drive; or a TCP listener on the
// loopback address, as a serial device server would offer the line, serving one client at a
// time.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace slave_sim {

class Line {
 public:
  virtual ~Line() = default;
  // The descriptor the bytes come on while the line is up.
  virtual int Fd() const = 0;
  // A descriptor that becomes readable when a master comes; -1 when there is none to watch.
  virtual int WatchFd() const { return -1; }
  // How the master reaches the line, for the ready message and the log.
  virtual std::string Describe() const = 0;
  // Whether a master is there (taking one in if it is waiting).
  virtual bool Up() = 0;
  // Reads what is waiting: the count, 0 when nothing is, -1 when the line is down.
  virtual ssize_t Read(uint8_t* buffer, size_t size) = 0;
  // Writes what the line takes now: the count (0 when it is full), -1 when the line is down.
  virtual ssize_t Write(const uint8_t* data, size_t size) = 0;
  // Sends the master away, as a device server that drops the connection; false when the line
  // cannot do that or nobody is there.
  virtual bool Drop() { return false; }
};

class PtyLine final : public Line {
 public:
  // Opens the pair in raw mode and links `link` (when not empty) to the slave end. A link
  // left behind by an earlier run is replaced; any other file there is an error. Throws
  // std::runtime_error with a readable message.
  explicit PtyLine(const std::string& link);
  ~PtyLine();
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  int Fd() const override { return fd_; }
  std::string Describe() const override { return link_ + " -> " + slave_path_; }
  const std::string& SlavePath() const { return slave_path_; }
  const std::string& LinkPath() const { return link_; }

  // Whether a program has the slave end open. While nobody has, the pty reports a hang-up;
  // bytes written then would wait for whoever opens it next, so callers drop them instead.
  bool Up() override;
  ssize_t Read(uint8_t* buffer, size_t size) override;
  ssize_t Write(const uint8_t* data, size_t size) override;
  // Removes the link if it still points at our slave end. Safe from a signal handler's
  // aftermath and idempotent.
  void RemoveLink();

 private:
  void MakeLink();

  int fd_ = -1;
  std::string slave_path_;
  std::string link_;
  bool linked_ = false;
};

// Listens on 127.0.0.1 only. A second master while one is served is let in and closed at once:
// it sees its connection end instead of waiting unanswered.
class TcpLine final : public Line {
 public:
  // Port 0: one the system picks. Throws std::runtime_error with a readable message.
  explicit TcpLine(int port);
  ~TcpLine() override;
  TcpLine(const TcpLine&) = delete;
  TcpLine& operator=(const TcpLine&) = delete;

  int Fd() const override { return client_; }
  int WatchFd() const override { return listener_; }
  std::string Describe() const override;
  bool Up() override;
  ssize_t Read(uint8_t* buffer, size_t size) override;
  ssize_t Write(const uint8_t* data, size_t size) override;
  bool Drop() override;

 private:
  void Gone();

  int listener_ = -1;
  bool lost_ = false;  // a master went: reported down once before the next one is let in
  int client_ = -1;
  int port_ = 0;
};

}  // namespace slave_sim
