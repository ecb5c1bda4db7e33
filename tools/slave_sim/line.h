// The simulated serial line: a pseudo-terminal pair whose slave end the master program opens
// (through a symbolic link, if asked) and whose master end we drive.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace slave_sim {

class PtyLine {
 public:
  // Opens the pair in raw mode and links `link` (when not empty) to the slave end. A link
  // left behind by an earlier run is replaced; any other file there is an error. Throws
  // std::runtime_error with a readable message.
  explicit PtyLine(const std::string& link);
  ~PtyLine();
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  int Fd() const { return fd_; }
  const std::string& SlavePath() const { return slave_path_; }
  const std::string& LinkPath() const { return link_; }

  // Whether a program has the slave end open. While nobody has, the pty reports a hang-up;
  // bytes written then would wait for whoever opens it next, so callers drop them instead.
  bool Up() const;
  // Reads what is waiting: the count, 0 when nothing is, -1 when the line is down.
  ssize_t Read(uint8_t* buffer, size_t size);
  // Writes what the line takes now: the count (0 when it is full), -1 when the line is down.
  ssize_t Write(const uint8_t* data, size_t size);
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

}  // namespace slave_sim
