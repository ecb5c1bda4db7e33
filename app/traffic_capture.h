// The session's traffic appended to a file as it happens (--capture FILE): every request and
// every byte that came back, one frame a line with its wall-clock time to the microsecond, its
// direction and a mark for what the poll cycle made of it; notes on the session (start, stop,
// the line gone and back) and the figures at each stop. Each line goes out in one write(2)
// straight to the file: nothing waits in a buffer of ours, so a killed program leaves every line
// it wrote whole, and a line cut short by a full disk is cut back off.
//
//   2026-12-08 05:58:20.123456 Tx 01 03 00 00 00 03 05 CB
//   2026-12-08 05:58:20.127311 Rx 01 03 06 00 01 00 02 00 03 FD 74
//
// What came back for one request is split where the cycle decides something about it: a
// complete answer, a complete answer with a wrong CRC, an exception answer, or an overflow are
// written as they are recognised; bytes that follow in the same request, or that never made an
// answer, are written when the request ends (the next tick), as one line.
#pragma once

#include <sys/types.h>

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace app {

class TTrafficCapture {
 public:
  TTrafficCapture() = default;
  ~TTrafficCapture();
  TTrafficCapture(const TTrafficCapture&) = delete;
  TTrafficCapture& operator=(const TTrafficCapture&) = delete;

  // Opens the file for appending, creating it. Empty on success, otherwise why it cannot be.
  QString Open(const QString& path);
  bool Active() const { return fd_ >= 0; }
  const QString& Path() const { return path_; }

  // Called once, with the reason, when a line cannot be written; the capture has ended then.
  std::function<void(const QString& reason)> OnFailure;
  // The time of each line in microseconds since the epoch; the system clock unless a test
  // sets another.
  std::function<int64_t()> Clock;

  // A request goes out: its Tx line. The answer bytes that follow belong to it.
  void Sent(const uint8_t* frame, int count);
  // Bytes have come for the request under way: the time of its next Rx line.
  void Received();
  // What the cycle has made of the bytes collected so far (frame[0..length)); those not yet
  // written go out as one Rx line. An answer from an address other than the one asked is
  // marked as such.
  void Answer(const uint8_t* frame, int length);
  void CrcError(const uint8_t* frame, int length);
  void Exception(const uint8_t* frame, int length);
  // The answer buffer had no room for more: the bytes dropped (gathered in DropSink) go out
  // with those before them.
  std::vector<uint8_t>* DropSink() { return &dropped_; }
  void Overflow(const uint8_t* frame, int length);
  // The request is over: whatever came and is not written yet goes out, marked incomplete (no
  // line for this request yet) or extra (after one).
  void RequestEnded(const uint8_t* frame, int length);

  // A note on the session ("--"), and figures ("##", one line each of the text's lines).
  void Note(const QString& text);
  void Figures(const QString& text);

  // A line's time: local date and time to the microsecond.
  static std::string FormatTime(int64_t us);

 private:
  void Rx(const uint8_t* frame, int length, const char* mark, const std::vector<uint8_t>& more = {});
  std::string Begin(int64_t us, const char* kind) const;
  void Write(const std::string& line);
  bool WriteWhole(const std::string& line, int& error);
  void EndOnAWholeLine(off_t size);
  void Fail(int error);
  int64_t Now() const;

  int fd_ = -1;
  bool regular_ = false;  // a plain file: a line cut short can be cut back off
  QString path_;
  int asked_ = -1;        // the address of the request under way
  int written_ = 0;       // its answer bytes written already
  bool rxLine_ = false;   // an Rx line has been written for it
  int64_t rxTime_ = 0;    // when its newest bytes came
  std::vector<uint8_t> dropped_;
};

}  // namespace app
