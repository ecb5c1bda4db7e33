// The serial device on Linux: a terminal behind the Win32 communications calls. One worker
// thread per open device drains the line into the input queue and raises the events, as a
// Windows driver's interrupt handler would, and finishes the reads, writes and event waits
// that could not complete at once. Every member runs under one lock.
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>

#include "platform/serial_device.h"
#include "platform/serial_device_posix_detail.h"
#include "platform/tcp_line.h"
#include "platform/termios2_linux.h"

namespace platform {

namespace detail {

namespace {

using Start = CommCore::Start;

constexpr uint32_t kModemEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING;
constexpr uint32_t kAllEvents = 0x1FFF;
constexpr auto kLinePollPeriod = std::chrono::milliseconds(20);

bool Fail(uint32_t error) {
  SetLastError(error);
  return false;
}

}  // namespace

PosixSerialDevice::PosixSerialDevice(int fd, int wakeFd, LineKind kind)
    : fd_(fd),
      wakeFd_(wakeFd),
      kind_(kind),
      dcb_(kind == LineKind::Terminal ? DcbFromDevice(fd) : SocketDcb()) {
  modemSupported_ = Terminal() && ReadModemStatus(fd_, modem_);
  countersSupported_ = Terminal() && ReadLineCounters(fd_, counters_);
  flowHold_ = HardwareHandshake(dcb_) || (dcb_.Flags & dcb_InX);
  worker_ = std::thread([this] { Run(); });
}

PosixSerialDevice::~PosixSerialDevice() {
  {
    std::lock_guard<std::mutex> lock(m_);
    stop_ = true;
  }
  Wake();
  worker_.join();
  {
    std::lock_guard<std::mutex> lock(m_);
    core_.AbortWait(ERROR_OPERATION_ABORTED);
    core_.AbortReads(ERROR_OPERATION_ABORTED);
    AbortWrites(ERROR_OPERATION_ABORTED);
    if (rtsToggle_) SetRtsToggle(fd_, false);
  }
  if (Terminal())
    CloseSerialLine(fd_);
  else
    close(fd_);
  close(wakeFd_);
}

// The output queue is the kernel's: writes go straight to it.
bool PosixSerialDevice::SetupComm(uint32_t inQueue, uint32_t /*outQueue*/) {
  if (inQueue == 0) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> lock(m_);
  core_.SetQueueSize(inQueue);
  return true;
}

bool PosixSerialDevice::SetCommState(const DCB& dcb) {
  if (!ValidState(dcb)) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> lock(m_);
  if (Terminal()) {
    if (!ApplyLineFormat(fd_, FormatFromDcb(dcb))) return Fail(Win32ErrorFromErrno(errno));
    ApplyControlLines(dcb);
    // Only a terminal marks the bytes that came with a parity error.
    marks_.Configure(dcb.Flags & dcb_ParityCheck, dcb.Flags & dcb_ErrorChar,
                     static_cast<uint8_t>(dcb.ErrorChar));
  }
  dcb_ = dcb;
  core_.SetFilters(dcb.Flags & dcb_Null, static_cast<uint8_t>(dcb.EvtChar));
  flowHold_ = HardwareHandshake(dcb) || (dcb.Flags & dcb_InX);
  Wake();
  return true;
}

bool PosixSerialDevice::GetCommState(DCB& dcb) {
  std::lock_guard<std::mutex> lock(m_);
  dcb = dcb_;
  return true;
}

bool PosixSerialDevice::SetCommTimeouts(const COMMTIMEOUTS& timeouts) {
  // All three read values at MAXDWORD mean nothing sensible; Windows refuses them too.
  if (timeouts.ReadIntervalTimeout == MAXDWORD && timeouts.ReadTotalTimeoutMultiplier == MAXDWORD &&
      timeouts.ReadTotalTimeoutConstant == MAXDWORD)
    return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> lock(m_);
  timeouts_ = timeouts;
  return true;
}

bool PosixSerialDevice::GetCommTimeouts(COMMTIMEOUTS& timeouts) {
  std::lock_guard<std::mutex> lock(m_);
  timeouts = timeouts_;
  return true;
}

bool PosixSerialDevice::SetCommMask(uint32_t mask) {
  if (mask & ~kAllEvents) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> lock(m_);
  core_.SetMask(mask);
  // Modem line changes count from now on.
  if (modemSupported_ && !core_.HungUp()) ReadModemStatus(fd_, modem_);
  nextLinePoll_ = Clock::now() + kLinePollPeriod;
  Wake();
  return true;
}

template <typename StartOp>
bool PosixSerialDevice::RunBlocking(StartOp start, uint32_t* transferred) {
  Event done(true, false);
  OVERLAPPED ov;
  ov.hEvent = &done;
  if (start(&ov)) return true;
  if (GetLastError() != ERROR_IO_PENDING) return false;
  uint32_t n = 0;
  const bool ok = GetOverlappedResult(&ov, &n, true);
  if (transferred) *transferred = n;
  return ok;
}

// Called with the lock held. A record still in use by a pending operation must not be reused:
// the pending operation would later write into the new one.
bool PosixSerialDevice::BeginCall(OVERLAPPED* ov) {
  if (ov->Pending) return Fail(ERROR_INVALID_PARAMETER);
  if (ov->hEvent) ov->hEvent->Reset();
  return true;
}

bool PosixSerialDevice::WaitCommEvent(uint32_t* mask, OVERLAPPED* overlapped) {
  if (!mask) return Fail(ERROR_INVALID_PARAMETER);
  if (!overlapped)
    return RunBlocking([&](OVERLAPPED* ov) { return WaitCommEvent(mask, ov); }, nullptr);
  std::lock_guard<std::mutex> lock(m_);
  if (!BeginCall(overlapped)) return false;
  uint32_t error = 0;
  switch (core_.StartWait(mask, overlapped, error)) {
    case Start::Done:
      core_.Complete(overlapped, ERROR_SUCCESS, 0);
      return true;
    case Start::Pending:
      return Fail(ERROR_IO_PENDING);
    case Start::Failed:
      break;
  }
  CommCore::FailAtOnce(overlapped, error, 0);
  return Fail(error);
}

bool PosixSerialDevice::ReadFile(void* buffer, uint32_t count, uint32_t* read,
                                 OVERLAPPED* overlapped) {
  if (!buffer && count) return Fail(ERROR_INVALID_PARAMETER);
  if (!overlapped)
    return RunBlocking([&](OVERLAPPED* ov) { return ReadFile(buffer, count, read, ov); }, read);
  if (read) *read = 0;
  std::lock_guard<std::mutex> lock(m_);
  if (!BeginCall(overlapped)) return false;
  const auto now = Clock::now();
  DrainInput(now);  // bytes the worker has not fetched yet count as queued
  uint32_t got = 0, error = 0;
  switch (core_.StartRead(static_cast<uint8_t*>(buffer), count, timeouts_, overlapped, now, got,
                          error)) {
    case Start::Done:
      core_.Complete(overlapped, ERROR_SUCCESS, got);
      if (read) *read = got;
      return true;
    case Start::Pending:
      Wake();
      return Fail(ERROR_IO_PENDING);
    case Start::Failed:
      break;
  }
  CommCore::FailAtOnce(overlapped, error, 0);
  return Fail(error);
}

bool PosixSerialDevice::WriteFile(const void* buffer, uint32_t count, uint32_t* written,
                                  OVERLAPPED* overlapped) {
  if (!buffer && count) return Fail(ERROR_INVALID_PARAMETER);
  if (!overlapped)
    return RunBlocking([&](OVERLAPPED* ov) { return WriteFile(buffer, count, written, ov); },
                       written);
  if (written) *written = 0;
  std::lock_guard<std::mutex> lock(m_);
  if (!BeginCall(overlapped)) return false;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  const auto now = Clock::now();
  uint32_t done = 0, error = core_.HungUp() ? ERROR_GEN_FAILURE : ERROR_SUCCESS;
  // Earlier writes still waiting keep their place: nothing overtakes them.
  if (!error && writes_.empty()) done = WriteNow(bytes, count, error);
  if (error) {
    CommCore::FailAtOnce(overlapped, error, done);
    return Fail(error);
  }
  if (done == count) {
    core_.Complete(overlapped, ERROR_SUCCESS, done);
    if (written) *written = done;
    WatchTxEmpty(now);
    return true;
  }
  WriteOp op{overlapped, std::vector<uint8_t>(bytes + done, bytes + count), 0, done, {}};
  if (timeouts_.WriteTotalTimeoutMultiplier || timeouts_.WriteTotalTimeoutConstant)
    op.deadline = now + detail::TimeoutMs(timeouts_.WriteTotalTimeoutMultiplier, count,
                                          timeouts_.WriteTotalTimeoutConstant);
  CommCore::MarkPending(overlapped);
  writes_.push_back(std::move(op));
  txWatch_ = false;
  Wake();
  return Fail(ERROR_IO_PENDING);
}

bool PosixSerialDevice::GetOverlappedResult(OVERLAPPED* overlapped, uint32_t* transferred,
                                            bool wait) {
  if (!overlapped) return Fail(ERROR_INVALID_PARAMETER);
  std::unique_lock<std::mutex> lock(m_);
  if (overlapped->Pending) {
    if (!wait) return Fail(ERROR_IO_INCOMPLETE);
    core_.WaitUntilComplete(lock, overlapped);
  }
  if (transferred) *transferred = overlapped->InternalHigh;
  if (overlapped->Internal != ERROR_SUCCESS) return Fail(overlapped->Internal);
  return true;
}

bool PosixSerialDevice::ClearCommError(uint32_t* errors, COMSTAT* stat) {
  std::lock_guard<std::mutex> lock(m_);
  DrainInput(Clock::now());
  CheckCounters();
  const uint32_t pending = core_.TakeErrors();
  if (errors) *errors = pending;
  if (stat) {
    uint32_t outQueue = 0;
    // What the kernel took counts as sent on a socket (its queue holds unacknowledged bytes).
    if (Terminal() && !core_.HungUp()) ReadOutputQueue(fd_, outQueue);
    for (const WriteOp& w : writes_) outQueue += static_cast<uint32_t>(w.rest.size() - w.offset);
    stat->cbInQue = core_.Queued();
    stat->cbOutQue = outQueue;
  }
  return true;
}

// A line without modem signals (a pseudo-terminal), or one that is gone, has them all off.
bool PosixSerialDevice::GetCommModemStatus(uint32_t* status) {
  if (!status) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> lock(m_);
  uint32_t lines = 0;
  if (modemSupported_ && !core_.HungUp() && !ReadModemStatus(fd_, lines)) lines = 0;
  *status = lines;
  return true;
}

bool PosixSerialDevice::PurgeComm(uint32_t flags) {
  constexpr uint32_t kAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
  if (flags & ~kAll) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> lock(m_);
  if (flags & PURGE_TXABORT) AbortWrites(ERROR_OPERATION_ABORTED);
  if (flags & PURGE_RXABORT) core_.AbortReads(ERROR_OPERATION_ABORTED);
  // A socket's buffers are the network's: what is in them is still on its way.
  if (Terminal() && !core_.HungUp()) FlushLine(fd_, flags & PURGE_RXCLEAR, flags & PURGE_TXCLEAR);
  if (flags & PURGE_RXCLEAR) {
    core_.ClearQueue();
    marks_.Reset();
  }
  return true;
}

bool PosixSerialDevice::LineGone() {
  std::lock_guard<std::mutex> lock(m_);
  return core_.HungUp();
}

// Driver lines that Linux has no handshake for stay raised while the handshake is asked for.
void PosixSerialDevice::ApplyControlLines(const DCB& dcb) {
  SetDtr(fd_, (dcb.Flags & dcb_DtrControlMask) != 0);
  const uint32_t rts = dcb.Flags & dcb_RtsControlMask;
  const bool toggle = rts == kRtsToggle;
  if (toggle || rtsToggle_) rtsToggle_ = SetRtsToggle(fd_, toggle) && toggle;
  if (!rtsToggle_) SetRts(fd_, rts != 0 && !toggle);
}

void PosixSerialDevice::Wake() {
  const uint64_t one = 1;
  if (write(wakeFd_, &one, sizeof one) < 0) {
    // The counter is full only if the worker is far behind; it wakes anyway.
  }
}

void PosixSerialDevice::HangUp() {
  core_.HangUp();
  AbortWrites(ERROR_GEN_FAILURE);
  txWatch_ = false;
}

void PosixSerialDevice::AbortWrites(uint32_t error) {
  for (WriteOp& w : writes_) core_.Complete(w.ov, error, w.done);
  writes_.clear();
}

// --- the worker: everything the line itself brings about ---

void PosixSerialDevice::Run() {
  pthread_setname_np(pthread_self(), "zt-line");  // as top -H and debuggers show it
  // Events of the operations the line completes are set once the lock is free: a thread woken
  // by one would otherwise preempt us and then wait for the lock we still hold.
  std::vector<Event*> sets;
  std::unique_lock<std::mutex> lock(m_);
  while (!stop_) {
    // A line that is gone stays out of the poll set: it would report POLLHUP for ever.
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {core_.HungUp() ? -1 : fd_, LineEvents(), 0}};
    const int timeout = PollTimeoutMs(Clock::now());
    lock.unlock();
    for (Event* e : sets) e->SetHeld();
    sets.clear();
    const int ready = poll(fds, 2, timeout);
    lock.lock();
    if (ready < 0) continue;
    uint64_t wakes = 0;
    if ((fds[0].revents & POLLIN) && read(wakeFd_, &wakes, sizeof wakes) < 0) wakes = 0;
    if (stop_) break;
    const auto now = Clock::now();
    core_.DeferSets(&sets);
    if (fds[1].revents && !core_.HungUp()) ServiceLine(fds[1].revents, now);
    core_.ExpireReads(now);
    ExpireWrites(now);
    CheckTxEmpty(now);
    PollLines(now);
    core_.DeferSets(nullptr);
  }
}

int PosixSerialDevice::PollTimeoutMs(Clock::time_point now) const {
  std::optional<Clock::time_point> next = core_.NextDeadline();
  auto consider = [&next](Clock::time_point t) {
    if (!next || t < *next) next = t;
  };
  for (const WriteOp& w : writes_)
    if (w.deadline) consider(*w.deadline);
  if (txWatch_ && writes_.empty()) consider(txCheckAt_);
  if (Ticking()) consider(nextLinePoll_);
  if (!next) return -1;
  if (*next <= now) return 0;
  // Rounded up: waking a little early would only mean another round with nothing due.
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - now).count();
  return static_cast<int>(std::min<int64_t>(wait, 1 << 30));
}

short PosixSerialDevice::LineEvents() const {
  short events = 0;
  if (!flowHold_ || core_.Room() > 0) events |= POLLIN;
  if (!writes_.empty()) events |= POLLOUT;
  return events;
}

bool PosixSerialDevice::Ticking() const {
  if (core_.HungUp()) return false;
  const uint32_t mask = core_.Mask();
  return (modemSupported_ && (mask & kModemEvents)) ||
         (countersSupported_ && (mask & (EV_ERR | EV_BREAK)));
}

void PosixSerialDevice::ServiceLine(short revents, Clock::time_point now) {
  const short trouble = POLLHUP | POLLERR | POLLNVAL;
  // Whatever arrived before a hang-up is still delivered.
  if (revents & (POLLIN | trouble)) DrainInput(now);
  if (core_.HungUp()) return;
  if (revents & trouble) {
    HangUp();
    return;
  }
  if (revents & POLLOUT) PushWrites();
}

void PosixSerialDevice::DrainInput(Clock::time_point now) {
  uint8_t chunk[1024];
  bool received = false;
  // Bounded, so that a fast sender cannot keep us here with the lock held.
  for (int round = 0; round < 16 && !core_.HungUp(); ++round) {
    size_t want = sizeof chunk;
    if (flowHold_) want = std::min(want, core_.Room());
    if (want == 0) break;
    const ssize_t n = read(fd_, chunk, want);
    if (n > 0) {
      const auto bytes = marks_.Decode(chunk, static_cast<size_t>(n));
      core_.Receive(bytes.data(), bytes.size(), now);
      received = true;
      // Less than asked for: the queue was empty a moment ago, and asking again would only
      // hear so (while the lock is held); whatever comes next wakes the worker's poll.
      if (static_cast<size_t>(n) < want) break;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) break;
    // End of file on a terminal means a hang-up, unless somebody else has set the line to
    // return at once with nothing (VMIN 0); only the poll state tells the two apart. On a
    // socket it is the far end closing.
    if (n == 0 && Terminal() && !LineHungUp()) break;
    HangUp();
  }
  if (received) CheckCounters();
}

bool PosixSerialDevice::LineHungUp() const {
  pollfd fd = {fd_, 0, 0};
  return poll(&fd, 1, 0) > 0 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL));
}

// Writes what the line takes now. A failure that means the line is gone hangs it up.
uint32_t PosixSerialDevice::WriteNow(const uint8_t* data, size_t size, uint32_t& error) {
  size_t done = 0;
  error = ERROR_SUCCESS;
  while (done < size) {
    // A socket whose far end has gone must fail the write, not kill us with SIGPIPE.
    const ssize_t n = Terminal() ? write(fd_, data + done, size - done)
                                 : send(fd_, data + done, size - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || errno == EAGAIN) break;
    const int err = errno;
    if (err == EIO || err == ENXIO || err == ENODEV || err == EPIPE || !Terminal()) {
      HangUp();
      error = ERROR_GEN_FAILURE;
    } else {
      error = Win32ErrorFromErrno(err);
    }
    break;
  }
  return static_cast<uint32_t>(done);
}

void PosixSerialDevice::PushWrites() {
  bool finished = false;
  while (!writes_.empty()) {
    WriteOp& op = writes_.front();
    uint32_t error = ERROR_SUCCESS;
    const uint32_t n = WriteNow(op.rest.data() + op.offset, op.rest.size() - op.offset, error);
    if (core_.HungUp()) return;  // every write, this one included, has failed already
    op.offset += n;
    op.done += n;
    if (!error && op.offset < op.rest.size()) break;  // the line is full; POLLOUT brings us back
    core_.Complete(op.ov, error, op.done);
    writes_.pop_front();
    finished = true;
  }
  if (finished) WatchTxEmpty(Clock::now());
}

// A write that runs out of time completes successfully with what went out (Win32).
void PosixSerialDevice::ExpireWrites(Clock::time_point now) {
  for (auto it = writes_.begin(); it != writes_.end();) {
    if (it->deadline && now >= *it->deadline) {
      core_.Complete(it->ov, ERROR_SUCCESS, it->done);
      it = writes_.erase(it);
    } else {
      ++it;
    }
  }
}

void PosixSerialDevice::SetUnheardEvents(uint32_t events) {
  std::lock_guard<std::mutex> lock(m_);
  unheard_ = events;
}

// Watching costs a look at the kernel's queue and a wake-up of the waiter: not for an event
// nobody hears.
void PosixSerialDevice::WatchTxEmpty(Clock::time_point now) {
  if (!(core_.Mask() & EV_TXEMPTY) || (unheard_ & EV_TXEMPTY) || !writes_.empty()) return;
  txWatch_ = true;
  txCheckAt_ = now;
  CheckTxEmpty(now);
  if (txWatch_) Wake();
}

// The kernel tells nobody when its output buffer runs dry: look again about when the bytes
// left should be out at the current baud rate.
void PosixSerialDevice::CheckTxEmpty(Clock::time_point now) {
  if (!txWatch_ || !writes_.empty() || now < txCheckAt_) return;
  uint32_t queued = 0;
  if (!Terminal() || !ReadOutputQueue(fd_, queued) || queued == 0) {
    txWatch_ = false;
    core_.Raise(EV_TXEMPTY);
    return;
  }
  const uint64_t ms = uint64_t{queued} * 10 * 1000 / std::max<uint32_t>(dcb_.BaudRate, 1);
  txCheckAt_ = now + std::chrono::milliseconds(std::clamp<uint64_t>(ms, 1, 100));
}

void PosixSerialDevice::PollLines(Clock::time_point now) {
  if (!Ticking() || now < nextLinePoll_) return;
  nextLinePoll_ = now + kLinePollPeriod;
  uint32_t status = 0;
  if (modemSupported_ && (core_.Mask() & kModemEvents) && ReadModemStatus(fd_, status)) {
    const uint32_t changed = status ^ modem_;
    modem_ = status;
    uint32_t events = 0;
    if (changed & MS_CTS_ON) events |= EV_CTS;
    if (changed & MS_DSR_ON) events |= EV_DSR;
    if (changed & MS_RLSD_ON) events |= EV_RLSD;
    if (changed & status & MS_RING_ON) events |= EV_RING;
    core_.Raise(events);
  }
  CheckCounters();
}

// Line errors and breaks show only as the driver's counters moving.
void PosixSerialDevice::CheckCounters() {
  LineCounters now;
  if (!countersSupported_ || core_.HungUp() || !ReadLineCounters(fd_, now)) return;
  uint32_t errors = 0;
  if (now.frame != counters_.frame) errors |= CE_FRAME;
  if (now.overrun != counters_.overrun) errors |= CE_OVERRUN;
  if (now.parity != counters_.parity) errors |= CE_RXPARITY;
  uint32_t events = errors ? EV_ERR : 0;
  if (now.breaks != counters_.breaks) {
    errors |= CE_BREAK;
    events |= EV_BREAK;
  }
  counters_ = now;
  core_.AddErrors(errors);
  core_.Raise(events);
}

}  // namespace detail

namespace {

std::unique_ptr<SerialDevice> RunDevice(int fd, detail::LineKind kind) {
  auto closeLine = [fd, kind] {
    if (kind == detail::LineKind::Terminal)
      detail::CloseSerialLine(fd);
    else
      close(fd);
  };
  const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd < 0) {
    const uint32_t error = Win32ErrorFromErrno(errno);
    closeLine();
    SetLastError(error);
    return nullptr;
  }
  try {
    return std::make_unique<detail::PosixSerialDevice>(fd, wakeFd, kind);
  } catch (const std::exception&) {
    // No memory or no thread: a failed open like any other, never an exception.
    closeLine();
    close(wakeFd);
    SetLastError(ERROR_GEN_FAILURE);
    return nullptr;
  }
}

}  // namespace

std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& portName) {
  if (IsTcpPortName(portName)) {
    const int fd = TakeTcpLine(portName);
    if (fd < 0) return nullptr;
    return RunDevice(fd, detail::LineKind::Socket);
  }
  detail::OpenFailure failure;
  const int fd = detail::OpenSerialLine(portName, failure);
  if (fd < 0) {
    SetLastError(failure.error);
    SetLastErrorReason(detail::OpenFailureReason(portName, failure));
    return nullptr;
  }
  return RunDevice(fd, detail::LineKind::Terminal);
}

}  // namespace platform
