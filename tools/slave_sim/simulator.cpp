#include "simulator.h"

#include <algorithm>

namespace slave_sim {
namespace {

// Long enough that a scheduler hiccup on a busy machine does not split a request; frames of
// the functions we know end by their length long before this.
constexpr int64_t kMinSilenceUs = 20'000;

std::string FunctionHex(int function) {
  return Hex({static_cast<uint8_t>(function)});
}

}  // namespace

Simulator::Simulator(Line& line, EventLog& log, const SimulatorSettings& settings, int64_t now_us)
    : line_(line),
      log_(log),
      bank_(settings.slaves, settings.fixed, now_us),
      assembler_(kMinSilenceUs),
      baud_(settings.baud),
      random_(settings.seed) {
  if (baud_ > 0) assembler_ = RequestAssembler(std::max(kMinSilenceUs, LineTimeUs(0)));
}

int64_t Simulator::LineTimeUs(size_t bytes, bool with_gap) const {
  if (baud_ <= 0) return 0;
  // Ten bits a byte, plus the silence that ends a frame: 3.5 characters, but never less
  // than 1.75 ms above 19200 baud, as Modbus fixes it for fast lines.
  const int64_t gap = !with_gap ? 0 : baud_ > 19200 ? 1750 : 35'000'000 / baud_;
  return gap + static_cast<int64_t>(bytes) * 10'000'000 / baud_;
}

void Simulator::CheckLine(int64_t now_us) {
  const bool up = line_.Up();
  if (up == line_up_) return;
  line_up_ = up;
  if (!up) assembler_.Reset();
  log_.Write(now_us, up ? "LINE up" : "LINE down");
}

bool Simulator::Drop(int64_t now_us) {
  if (!line_.Drop()) return false;
  CheckLine(now_us);
  return true;
}

void Simulator::OnReadable(int64_t now_us) {
  uint8_t buffer[512];
  std::vector<Bytes> frames;
  for (;;) {
    const ssize_t n = line_.Read(buffer, sizeof buffer);
    if (n < 0) CheckLine(now_us);
    if (n <= 0) return;
    frames.clear();
    assembler_.Feed(buffer, static_cast<size_t>(n), now_us, frames);
    for (const Bytes& frame : frames) HandleFrame(frame, now_us);
  }
}

void Simulator::HandleFrame(const Bytes& frame, int64_t now_us) {
  ++frames_;
  log_.Write(now_us, "RX " + Hex(frame));
  if (frame.size() < 4 || !CrcMatches(frame)) {
    ++bad_crc_;
    log_.Write(now_us, "IGNORE badcrc");
    return;
  }
  const int address = frame[0];
  ++requests_[address][frame[1]];
  if (address == 0) {
    for (int slave : bank_.Addresses())
      if (!faults_.Silent(slave)) bank_.StoreBroadcast(slave, frame);
    log_.Write(now_us, "IGNORE broadcast");
  } else if (!bank_.Serves(address)) {
    log_.Write(now_us, "IGNORE address " + std::to_string(address));
  } else if (faults_.Silent(address)) {
    log_.Write(now_us, "FAULT silent " + std::to_string(address));
  } else {
    AnswerRequest(frame, now_us);
  }
}

void Simulator::AnswerRequest(const Bytes& request, int64_t now_us) {
  const int address = request[0];
  const uint8_t exception = faults_.For(address).exception;
  Bytes answer;
  if (exception != 0) {
    answer = ExceptionAnswer(request[0], request[1], exception);
    log_.Write(now_us,
               "FAULT exception " + std::to_string(address) + " " + std::to_string(exception));
  } else {
    answer = bank_.Answer(request, now_us);
  }
  ShapedAnswer shaped = faults_.Shape(address, std::move(answer));
  for (const std::string& note : shaped.notes) log_.Write(now_us, "FAULT " + note);
  Schedule(std::move(shaped), request.size(), now_us);
}

void Simulator::Schedule(ShapedAnswer shaped, size_t request_size, int64_t now_us) {
  // At line speed the first write's last byte leaves when the request and that write would
  // have crossed the line; every later piece follows its own pause and transmission time.
  Outgoing first{now_us + shaped.delay_us + LineTimeUs(request_size + shaped.writes.front().size()),
                 std::move(shaped.writes.front()), ""};
  first.later.assign(std::make_move_iterator(shaped.writes.begin() + 1),
                     std::make_move_iterator(shaped.writes.end()));
  first.pause_us = shaped.pause_us;
  first.answer_hex = Hex(first.bytes);
  for (const Bytes& piece : first.later) first.answer_hex += " " + Hex(piece);
  first.done_note = first.later.empty() ? "TX " + first.answer_hex : "PIECE " + Hex(first.bytes);
  Enqueue(std::move(first));
}

void Simulator::EnqueueNextPiece(Outgoing& done, int64_t at_us) {
  if (done.later.empty()) return;
  Outgoing next{at_us + done.pause_us + LineTimeUs(done.later.front().size(), false),
                std::move(done.later.front()), ""};
  done.later.pop_front();
  next.later = std::move(done.later);
  next.pause_us = done.pause_us;
  next.answer_hex = std::move(done.answer_hex);
  next.done_note = next.later.empty() ? "TX " + next.answer_hex : "PIECE " + Hex(next.bytes);
  Enqueue(std::move(next));
}

void Simulator::Enqueue(Outgoing outgoing) {
  auto at = std::upper_bound(queue_.begin(), queue_.end(), outgoing.due_us,
                             [](int64_t due, const Outgoing& o) { return due < o.due_us; });
  queue_.insert(at, std::move(outgoing));
}

void Simulator::SendNoise(const std::string& kind, size_t count, int64_t now_us) {
  Bytes noise(count);
  for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random_() & 0xFF);
  std::string note = kind + " " + std::to_string(count) + " bytes " + Hex(noise);
  Enqueue({now_us, std::move(noise), std::move(note)});
}

void Simulator::RestartGarbageTimer(int64_t now_us) {
  next_garbage_us_ = now_us + faults_.garbage_every_us;
}

void Simulator::OnTimers(int64_t now_us) {
  if (auto frame = assembler_.Expire(now_us)) HandleFrame(*frame, now_us);
  if (faults_.garbage_every_us > 0 && now_us >= next_garbage_us_) {
    SendNoise("GARBAGE", faults_.garbage_every_count, now_us);
    next_garbage_us_ = std::max(next_garbage_us_ + faults_.garbage_every_us, now_us + 1000);
  }
  WriteDue(now_us);
}

void Simulator::WriteDue(int64_t now_us) {
  waiting_for_room_ = false;
  while (!queue_.empty() && queue_.front().due_us <= now_us) {
    Outgoing out = std::move(queue_.front());
    queue_.pop_front();
    // Stamped as the bytes are handed over, so the stamp never comes after their arrival.
    const int64_t handed_us = NowUs();
    const ssize_t n =
        line_up_ ? line_.Write(out.bytes.data() + out.written, out.bytes.size() - out.written) : -1;
    if (n < 0) {  // nobody listens: a real line would lose these bytes too, and the pieces to come
      ++dropped_;
      std::string lost = Hex(out.bytes.data() + out.written, out.bytes.size() - out.written);
      for (const Bytes& piece : out.later) lost += " " + Hex(piece);
      log_.Write(now_us, "DROP " + lost);
      continue;
    }
    out.written += static_cast<size_t>(n);
    if (out.written < out.bytes.size()) {
      waiting_for_room_ = true;
      queue_.push_front(std::move(out));
      return;
    }
    if (out.done_note.rfind("TX ", 0) == 0) ++answers_;
    log_.Write(handed_us, out.done_note);
    EnqueueNextPiece(out, handed_us);
  }
}

int64_t Simulator::NextDeadline() const {
  int64_t next = -1;
  auto consider = [&next](int64_t at) { next = next < 0 ? at : std::min(next, at); };
  if (auto silence = assembler_.Deadline()) consider(*silence);
  if (!queue_.empty() && !waiting_for_room_) consider(queue_.front().due_us);
  if (faults_.garbage_every_us > 0) consider(next_garbage_us_);
  return next;
}

std::string Simulator::Stats() const {
  std::string text;
  for (const auto& [address, functions] : requests_)
    for (const auto& [function, count] : functions)
      text += "stats " + std::to_string(address) + " " + FunctionHex(function) + " " +
              std::to_string(count) + "\n";
  text += "stats total frames " + std::to_string(frames_) + " badcrc " + std::to_string(bad_crc_) +
          " answers " + std::to_string(answers_) + " dropped " + std::to_string(dropped_) + "\n";
  return text;
}

}  // namespace slave_sim
