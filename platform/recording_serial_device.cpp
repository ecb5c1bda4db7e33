#include "platform/recording_serial_device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace platform {

struct RecordingLine::State {
  mutable std::mutex lock;
  std::vector<RecordedCall> calls;
  std::map<std::string, std::pair<uint32_t, int>> failures;
  bool open = false;
  bool hungUp = false;
  bool absent = false;
  std::deque<uint8_t> input;
  std::vector<uint8_t> written;
  uint32_t inputSize = 4096;
  uint32_t eventMask = 0;
  uint32_t unheard = 0;  // events a write would raise that nobody hears
  uint32_t history = 0;
  bool held = false;
  uint32_t errors = 0;
  uint32_t modem = 0;
  DCB dcb;
  COMMTIMEOUTS timeouts;
  uint32_t* waitMask = nullptr;
  OVERLAPPED* waitOverlapped = nullptr;
  bool stalled = false;
  OVERLAPPED* stalledWrite = nullptr;
  std::vector<uint8_t> stalledBytes;

  // Records the call and answers whether it is told to fail (the error is then set).
  bool Record(const std::string& name, const std::string& args) {
    calls.push_back({name, args});
    auto it = failures.find(name);
    if (it == failures.end() || it->second.second <= 0) return false;
    SetLastError(it->second.first);
    if (--it->second.second == 0) failures.erase(it);
    return true;
  }

  void CompleteWait(uint32_t mask, uint32_t error = 0) {
    *waitMask = mask;
    waitOverlapped->Internal = error;
    waitOverlapped->InternalHigh = 0;
    waitOverlapped->Pending = false;
    Event* done = waitOverlapped->hEvent;
    waitMask = nullptr;
    waitOverlapped = nullptr;
    if (done) done->Set();
  }

  void EndStalledWrite(uint32_t error) {
    if (!stalledWrite) return;
    if (!error) written.insert(written.end(), stalledBytes.begin(), stalledBytes.end());
    stalledWrite->Internal = error;
    stalledWrite->InternalHigh = error ? 0 : uint32_t(stalledBytes.size());
    stalledWrite->Pending = false;
    if (stalledWrite->hEvent) stalledWrite->hEvent->Set();
    stalledWrite = nullptr;
    if (!error) RaiseWritten();
  }

  // A finished write's transmit-empty, unless nobody hears it.
  void RaiseWritten() {
    if (!(unheard & EV_TXEMPTY)) Raise(EV_TXEMPTY);
  }

  void Raise(uint32_t events) {
    history |= events;
    if (!held && waitOverlapped && (history & eventMask)) {
      uint32_t hit = history & eventMask;
      history &= ~hit;
      CompleteWait(hit);
    }
  }
};

namespace {

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", v);
  return text;
}

void CompleteAtOnce(OVERLAPPED* ov, uint32_t transferred) {
  if (!ov) return;
  ov->Internal = 0;
  ov->InternalHigh = transferred;
  ov->Pending = false;
  if (ov->hEvent) ov->hEvent->Set();
}

}  // namespace

class RecordingSerialDevice : public SerialDevice {
 public:
  explicit RecordingSerialDevice(std::shared_ptr<RecordingLine::State> state)
      : s_(std::move(state)) {}

  ~RecordingSerialDevice() override {
    std::lock_guard<std::mutex> guard(s_->lock);
    s_->calls.push_back({"CloseHandle", ""});
    if (s_->waitOverlapped) s_->CompleteWait(0, ERROR_OPERATION_ABORTED);
    s_->EndStalledWrite(ERROR_OPERATION_ABORTED);
    s_->open = false;
  }

  bool SetupComm(uint32_t in, uint32_t out) override {
    std::lock_guard<std::mutex> guard(s_->lock);
    if (s_->Record("SetupComm", std::to_string(in) + "," + std::to_string(out))) return false;
    s_->inputSize = in;
    return true;
  }

  bool SetCommState(const DCB& d) override {
    std::lock_guard<std::mutex> guard(s_->lock);
    std::string args = "BaudRate=" + std::to_string(d.BaudRate) + " Flags=" + Hex(d.Flags) +
                       " XonLim=" + std::to_string(d.XonLim) +
                       " XoffLim=" + std::to_string(d.XoffLim) +
                       " ByteSize=" + std::to_string(d.ByteSize) +
                       " Parity=" + std::to_string(d.Parity) +
                       " StopBits=" + std::to_string(d.StopBits) +
                       " XonChar=" + std::to_string(uint8_t(d.XonChar)) +
                       " XoffChar=" + std::to_string(uint8_t(d.XoffChar)) +
                       " ErrorChar=" + std::to_string(uint8_t(d.ErrorChar)) +
                       " EvtChar=" + std::to_string(uint8_t(d.EvtChar));
    if (s_->Record("SetCommState", args)) return false;
    s_->dcb = d;
    return true;
  }

  bool GetCommState(DCB& d) override {
    std::lock_guard<std::mutex> guard(s_->lock);
    if (s_->Record("GetCommState", "")) return false;
    d = s_->dcb;
    return true;
  }

  bool SetCommTimeouts(const COMMTIMEOUTS& t) override {
    std::lock_guard<std::mutex> guard(s_->lock);
    std::string args = Hex(t.ReadIntervalTimeout) + "," + Hex(t.ReadTotalTimeoutMultiplier) +
                       "," + Hex(t.ReadTotalTimeoutConstant) + "," +
                       Hex(t.WriteTotalTimeoutMultiplier) + "," + Hex(t.WriteTotalTimeoutConstant);
    if (s_->Record("SetCommTimeouts", args)) return false;
    s_->timeouts = t;
    return true;
  }

  bool GetCommTimeouts(COMMTIMEOUTS& t) override {
    std::lock_guard<std::mutex> guard(s_->lock);
    if (s_->Record("GetCommTimeouts", "")) return false;
    t = s_->timeouts;
    return true;
  }

  bool SetCommMask(uint32_t mask) override {
    std::lock_guard<std::mutex> guard(s_->lock);
    if (s_->Record("SetCommMask", Hex(mask))) return false;
    s_->eventMask = mask;
    s_->history = 0;
    if (s_->waitOverlapped) s_->CompleteWait(0);
    return true;
  }

  bool WaitCommEvent(uint32_t* mask, OVERLAPPED* ov) override {
    std::lock_guard<std::mutex> guard(s_->lock);
    if (s_->Record("WaitCommEvent", "")) return false;
    if (!mask || !ov || s_->waitOverlapped) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
    uint32_t hit = s_->held ? 0 : s_->history & s_->eventMask;
    if (hit) {
      s_->history &= ~hit;
      *mask = hit;
      CompleteAtOnce(ov, 0);
      return true;
    }
    if (ov->hEvent) ov->hEvent->Reset();
    ov->Pending = true;
    s_->waitMask = mask;
    s_->waitOverlapped = ov;
    SetLastError(ERROR_IO_PENDING);
    return false;
  }

  bool ReadFile(void* buffer, uint32_t count, uint32_t* read, OVERLAPPED* ov) override {
    std::lock_guard<std::mutex> guard(s_->lock);
    if (s_->Record("ReadFile", std::to_string(count))) return false;
    if (s_->input.empty() && s_->hungUp && count > 0) {
      SetLastError(ERROR_GEN_FAILURE);
      return false;
    }
    uint32_t n = std::min<uint32_t>(count, uint32_t(s_->input.size()));
    std::copy_n(s_->input.begin(), n, static_cast<uint8_t*>(buffer));
    s_->input.erase(s_->input.begin(), s_->input.begin() + n);
    if (read) *read = n;
    CompleteAtOnce(ov, n);
    return true;
  }

  bool WriteFile(const void* buffer, uint32_t count, uint32_t* written, OVERLAPPED* ov) override {
    std::lock_guard<std::mutex> guard(s_->lock);
    if (s_->Record("WriteFile", std::to_string(count))) return false;
    if (s_->hungUp) {
      SetLastError(ERROR_GEN_FAILURE);
      return false;
    }
    auto bytes = static_cast<const uint8_t*>(buffer);
    if (s_->stalled && ov) {
      if (s_->stalledWrite) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
      }
      if (ov->hEvent) ov->hEvent->Reset();
      ov->Pending = true;
      s_->stalledWrite = ov;
      s_->stalledBytes.assign(bytes, bytes + count);
      SetLastError(ERROR_IO_PENDING);
      return false;
    }
    s_->written.insert(s_->written.end(), bytes, bytes + count);
    if (written) *written = count;
    CompleteAtOnce(ov, count);
    s_->RaiseWritten();
    return true;
  }

  bool GetOverlappedResult(OVERLAPPED* ov, uint32_t* transferred, bool wait) override {
    {
      std::lock_guard<std::mutex> guard(s_->lock);
      if (s_->Record("GetOverlappedResult", wait ? "wait" : "")) return false;
      if (ov->Pending && !wait) {
        SetLastError(ERROR_IO_INCOMPLETE);
        return false;
      }
    }
    if (wait) WaitForSingleObject(ov->hEvent, INFINITE);
    std::lock_guard<std::mutex> guard(s_->lock);
    if (transferred) *transferred = ov->InternalHigh;
    if (ov->Internal != 0) {
      SetLastError(ov->Internal);
      return false;
    }
    return true;
  }

  bool ClearCommError(uint32_t* errors, COMSTAT* stat) override {
    std::lock_guard<std::mutex> guard(s_->lock);
    if (s_->Record("ClearCommError", "")) return false;
    if (errors) *errors = s_->errors;
    s_->errors = 0;
    if (stat) {
      stat->cbInQue = uint32_t(s_->input.size());
      stat->cbOutQue = 0;
    }
    return true;
  }

  bool GetCommModemStatus(uint32_t* status) override {
    std::lock_guard<std::mutex> guard(s_->lock);
    if (s_->Record("GetCommModemStatus", "")) return false;
    *status = s_->modem;
    return true;
  }

  bool PurgeComm(uint32_t flags) override {
    std::lock_guard<std::mutex> guard(s_->lock);
    if (s_->Record("PurgeComm", Hex(flags))) return false;
    if (flags & PURGE_RXCLEAR) s_->input.clear();
    if (flags & PURGE_TXABORT) s_->EndStalledWrite(ERROR_OPERATION_ABORTED);
    return true;
  }

  // A query of ours, not a Win32 call: not recorded, so that call orders read as Win32's.
  void SetUnheardEvents(uint32_t events) override {
    std::lock_guard<std::mutex> guard(s_->lock);
    s_->unheard = events;
  }

  bool LineGone() override {
    std::lock_guard<std::mutex> guard(s_->lock);
    return s_->hungUp;
  }

 private:
  std::shared_ptr<RecordingLine::State> s_;
};

RecordingLine::RecordingLine() : state_(std::make_shared<State>()) {}

std::vector<RecordedCall> RecordingLine::Calls() const {
  std::lock_guard<std::mutex> guard(state_->lock);
  return state_->calls;
}

std::vector<std::string> RecordingLine::CallNames() const {
  std::vector<std::string> names;
  for (const RecordedCall& c : Calls()) names.push_back(c.name);
  return names;
}

void RecordingLine::ClearCalls() {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->calls.clear();
}

void RecordingLine::FailCall(const std::string& name, uint32_t error, int times) {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->failures[name] = {error, times};
}

void RecordingLine::Inject(const std::vector<uint8_t>& bytes) {
  std::lock_guard<std::mutex> guard(state_->lock);
  uint32_t events = 0;
  for (uint8_t b : bytes) {
    if (state_->input.size() >= state_->inputSize) {
      state_->errors |= CE_RXOVER;
      events |= EV_ERR;
      continue;
    }
    state_->input.push_back(b);
    events |= EV_RXCHAR;
    if (b == uint8_t(state_->dcb.EvtChar)) events |= EV_RXFLAG;
  }
  if (state_->input.size() * 5 >= state_->inputSize * 4) events |= EV_RX80FULL;
  state_->Raise(events);
}

void RecordingLine::RaiseEvents(uint32_t evMask) {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->Raise(evMask);
}

void RecordingLine::SetErrors(uint32_t ceBits) {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->errors |= ceBits;
  state_->Raise(EV_ERR);
}

void RecordingLine::SetModemStatus(uint32_t msBits) {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->modem = msBits;
}

void RecordingLine::HoldEvents(bool hold) {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->held = hold;
  if (!hold) state_->Raise(0);
}

void RecordingLine::StallWrites(bool stall) {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->stalled = stall;
  if (!stall) state_->EndStalledWrite(ERROR_SUCCESS);
}

bool RecordingLine::WriteUnderWay() const {
  std::lock_guard<std::mutex> guard(state_->lock);
  return state_->stalledWrite != nullptr;
}

std::vector<uint8_t> RecordingLine::TakeWritten() {
  std::lock_guard<std::mutex> guard(state_->lock);
  std::vector<uint8_t> out;
  out.swap(state_->written);
  return out;
}

void RecordingLine::HangUp() {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->hungUp = true;
  state_->errors |= CE_IOE;
  state_->Raise(EV_ERR);
}

void RecordingLine::Unplug() {
  {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->absent = true;
  }
  HangUp();
}

void RecordingLine::PlugIn() {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->absent = false;
}

SerialOpener RecordingLine::Opener() {
  std::shared_ptr<State> state = state_;
  return [state](const std::string& name) -> std::unique_ptr<SerialDevice> {
    std::lock_guard<std::mutex> guard(state->lock);
    if (state->Record("CreateFile", name)) return nullptr;
    if (state->absent) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return nullptr;
    }
    if (state->open) {
      SetLastError(ERROR_ACCESS_DENIED);
      return nullptr;
    }
    state->open = true;
    state->hungUp = false;
    state->eventMask = 0;
    state->history = 0;
    return std::make_unique<RecordingSerialDevice>(state);
  };
}

bool RecordingLine::DeviceOpen() const {
  std::lock_guard<std::mutex> guard(state_->lock);
  return state_->open;
}

DCB RecordingLine::LastState() const {
  std::lock_guard<std::mutex> guard(state_->lock);
  return state_->dcb;
}

COMMTIMEOUTS RecordingLine::LastTimeouts() const {
  std::lock_guard<std::mutex> guard(state_->lock);
  return state_->timeouts;
}

}  // namespace platform
