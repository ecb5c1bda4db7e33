#include "control.h"

#include <unistd.h>

#include <cerrno>

#include "parse.h"

namespace slave_sim {

const char kCommandHelp[] =
    "Control commands (A: an address or a set such as 1-3,5):\n"
    "  silent A | speak A         stop / resume answering\n"
    "  badcrc A [N]               spoil the CRC of the next N answers (default all; 0: off)\n"
    "  exception A CODE           answer with exception CODE (0: off)\n"
    "  pieces A SIZES [PAUSE]     write answers in pieces, e.g. pieces 2 3,4,4 20ms (off: off)\n"
    "  delay A MS                 answer MS late (0: off)\n"
    "  foreign A B                put address B in the answers (off: off)\n"
    "  midframe A                 the next answer stops after half its bytes\n"
    "  regs A V0,V1,...           pin registers 0.. to these values\n"
    "  garbage N | flood N        send N random bytes now, in one write\n"
    "  garbage-every MS N         send N random bytes every MS (0: off)\n"
    "  drop                       close the master's connection (--tcp); it may connect again\n"
    "  clear | stats | help | quit\n";

std::string Control::ServedAddresses(const std::string& text, std::set<int>& addresses) const {
  const auto parsed = ParseAddresses(text);
  if (!parsed) return "bad address: " + text;
  for (int a : *parsed)
    if (!simulator_.Bank().Serves(a)) return "address not served: " + std::to_string(a);
  addresses = *parsed;
  return "";
}

std::string Control::Run(const std::string& line, int64_t now_us) {
  const std::vector<std::string> words = Words(line);
  if (words.empty()) return "";  // a blank line is no command
  simulator_.Log(now_us, "CMD " + line);
  std::string out;
  const std::string error = Dispatch(words, now_us, out);
  return out + (error.empty() ? "ok\n" : "error " + error + "\n");
}

std::string Control::Dispatch(const std::vector<std::string>& words, int64_t now_us,
                              std::string& out) {
  const std::string& verb = words[0];
  if (verb == "silent" || verb == "speak" || verb == "badcrc" || verb == "exception" ||
      verb == "delay" || verb == "foreign" || verb == "midframe")
    return PerSlave(words);
  if (verb == "pieces") return Pieces(words);
  if (verb == "regs") return Regs(words);
  if (verb == "garbage" || verb == "flood" || verb == "garbage-every") return Noise(words, now_us);
  if (words.size() != 1) return "usage: " + verb + " takes no arguments";
  if (verb == "clear") {
    simulator_.Faults().Clear();
  } else if (verb == "stats") {
    out += simulator_.Stats();
  } else if (verb == "help") {
    out += kCommandHelp;
  } else if (verb == "drop") {
    if (!simulator_.Drop(now_us)) return "no network master to drop";
  } else if (verb == "quit") {
    quit_ = true;
  } else {
    return "unknown command: " + verb + " (try help)";
  }
  return "";
}

std::string Control::PerSlave(const std::vector<std::string>& words) {
  const std::string& verb = words[0];
  const bool takes_value = verb == "exception" || verb == "delay" || verb == "foreign";
  const bool optional_value = verb == "badcrc";
  if (words.size() < 2 || words.size() > 3 || (takes_value && words.size() != 3) ||
      (!takes_value && !optional_value && words.size() != 2))
    return "usage: " + verb + (takes_value ? " A VALUE" : optional_value ? " A [N]" : " A");
  std::set<int> addresses;
  if (std::string error = ServedAddresses(words[1], addresses); !error.empty()) return error;
  const std::string value = words.size() == 3 ? words[2] : "";
  const auto number = ParseInt(value, 0, 1'000'000'000);
  const auto duration = ParseDuration(value);
  if (verb == "exception" && (!number || *number > 255)) return "bad exception code: " + value;
  if (verb == "badcrc" && !value.empty() && !number) return "bad count: " + value;
  if (verb == "delay" && !duration) return "bad delay: " + value;
  if (verb == "foreign" && value != "off" && (!number || *number > 255))
    return "bad address: " + value;
  for (int a : addresses) {
    SlaveFaults& faults = simulator_.Faults().For(a);
    if (verb == "silent" || verb == "speak") faults.silent = verb == "silent";
    if (verb == "badcrc") faults.badcrc = number ? static_cast<int>(*number) : -1;
    if (verb == "exception") faults.exception = static_cast<uint8_t>(*number);
    if (verb == "delay") faults.delay_us = *duration;
    if (verb == "midframe") faults.midframe = true;
    if (verb == "foreign") {
      faults.foreign.reset();
      if (number) faults.foreign = static_cast<uint8_t>(*number);
    }
  }
  return "";
}

std::string Control::Pieces(const std::vector<std::string>& words) {
  if (words.size() < 3 || words.size() > 4) return "usage: pieces A SIZES [PAUSE]";
  std::set<int> addresses;
  if (std::string error = ServedAddresses(words[1], addresses); !error.empty()) return error;
  const bool off = words[2] == "off";
  const auto sizes = ParseList(words[2], 1, RequestAssembler::kMaxFrame);
  if (!off && !sizes) return "bad sizes: " + words[2];
  const auto pause = words.size() == 4 ? ParseDuration(words[3]) : std::optional<int64_t>(20'000);
  if (!pause) return "bad pause: " + words[3];
  for (int a : addresses) {
    SlaveFaults& faults = simulator_.Faults().For(a);
    faults.pieces.clear();
    if (!off) faults.pieces.assign(sizes->begin(), sizes->end());
    faults.piece_pause_us = *pause;
  }
  return "";
}

std::string Control::Regs(const std::vector<std::string>& words) {
  if (words.size() != 3) return "usage: regs A V0,V1,...";
  std::set<int> addresses;
  if (std::string error = ServedAddresses(words[1], addresses); !error.empty()) return error;
  const auto values = ParseList(words[2], 0, 65535);
  if (!values || values->size() > SlaveBank::kRegisters) return "bad values: " + words[2];
  const std::vector<uint16_t> registers(values->begin(), values->end());
  for (int a : addresses) simulator_.Bank().Pin(a, registers);
  return "";
}

std::string Control::Noise(const std::vector<std::string>& words, int64_t now_us) {
  const std::string& verb = words[0];
  if (verb == "garbage-every") {
    const auto period = words.size() >= 2 ? ParseDuration(words[1]) : std::nullopt;
    const bool off = period && *period == 0 && words.size() <= 3;
    const auto count = words.size() == 3 ? ParseInt(words[2], 1, 4096) : std::nullopt;
    if (!off && (words.size() != 3 || !period || !count))
      return "usage: garbage-every MS N (N 1..4096; MS 0: off)";
    simulator_.Faults().garbage_every_us = off ? 0 : *period;
    simulator_.Faults().garbage_every_count = off ? 0 : static_cast<size_t>(*count);
    simulator_.RestartGarbageTimer(now_us);
    return "";
  }
  const auto count = words.size() == 2 ? ParseInt(words[1], 1, 65536) : std::nullopt;
  if (!count) return "usage: " + verb + " N (1..65536)";
  simulator_.SendNoise(verb == "flood" ? "FLOOD" : "GARBAGE", static_cast<size_t>(*count), now_us);
  return "";
}

bool LineReader::ReadLines(std::vector<std::string>& lines) {
  // One read per call: the caller polls first, and standard input may be a blocking
  // descriptor that we must not switch to non-blocking under our parent's feet.
  char buffer[1024];
  const ssize_t n = read(fd_, buffer, sizeof buffer);
  if (n == 0) return false;
  if (n < 0) return errno == EAGAIN || errno == EINTR;
  partial_.append(buffer, static_cast<size_t>(n));
  size_t end;
  while ((end = partial_.find('\n')) != std::string::npos) {
    std::string line = partial_.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    partial_.erase(0, end + 1);
  }
  // A line this long is nobody's command; answer it rather than grow without bound.
  if (partial_.size() > 4096) {
    lines.push_back(partial_);
    partial_.clear();
  }
  return true;
}

}  // namespace slave_sim
