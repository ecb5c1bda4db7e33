// Per-slave figures of the poll cycle since the last start: what was asked of each address and
// how it answered. Plain counters in a fixed table: noting an event costs a few additions.
#pragma once

#include <QString>

#include <array>
#include <chrono>
#include <cstdint>

namespace app {

struct SlaveFigures {
  int64_t requests = 0;
  int64_t answered = 0;   // good answers carrying the address asked
  int64_t missed = 0;     // requests that ran into their time-out (what Er= counts)
  int64_t crcErrors = 0;  // complete answers with a wrong CRC
  int64_t exceptions = 0;
  int lastException = 0;       // the code of the newest exception answer
  int64_t foreign = 0;         // good answers carrying another address
  int64_t timed = 0;           // answers whose request's write end is known
  int64_t lastUs = 0;          // response times in microseconds, of the timed answers
  int64_t totalUs = 0;
  int64_t minUs = 0;
  int64_t maxUs = 0;

  int64_t MeanUs() const { return timed ? totalUs / timed : 0; }
};

class TSlaveStats {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr int Slaves = 10;

  void Reset();
  // A request to `address` goes out (counted as Tx= counts it); its last byte was written at
  // `written`, from which its answer is timed.
  void Sent(int address);
  void Written(Clock::time_point written);
  // What came back for the request under way: one of these at most counts for it.
  void Answered(int answerAddress, Clock::time_point complete);
  void CrcError();
  void Exception(int code);
  void Missed();

  // Address 1..10; any other gives empty figures.
  const SlaveFigures& Of(int address) const;

  // Texts: the short line of a panel and its full figures (several lines).
  static QString Line(const SlaveFigures& f);
  static QString Detail(int address, const SlaveFigures& f);
  // Slaves 1..count, one a row under a header row; columns apart by tabs.
  QString Table(int count) const;

 private:
  SlaveFigures* Asked();
  SlaveFigures* Settle();  // the asked slave's figures, once per request

  std::array<SlaveFigures, Slaves + 1> table_{};  // [0] stays empty
  int asked_ = 0;                                 // the address of the request under way
  Clock::time_point written_{};
  bool timed_ = false;  // written_ belongs to the request under way
  bool open_ = false;   // nothing has come back for it yet
};

}  // namespace app
