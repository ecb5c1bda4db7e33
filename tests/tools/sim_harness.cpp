#include "sim_harness.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace sim_test {
namespace {

int64_t RemainingMs(int64_t end_us) {
  return std::max<int64_t>(0, (end_us - NowUs()) / 1000);
}

// Forks the simulator with its standard streams on pipes; the child dies with the test.
pid_t Spawn(const std::vector<std::string>& args, int& in, int& out, int& err) {
  int to_child[2], from_child[2], errors[2];
  if (pipe2(to_child, O_CLOEXEC) || pipe2(from_child, O_CLOEXEC) || pipe2(errors, O_CLOEXEC))
    throw std::runtime_error("pipe");
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    dup2(to_child[0], 0);
    dup2(from_child[1], 1);
    dup2(errors[1], 2);
    std::vector<char*> argv{const_cast<char*>(ZT_SLAVE_SIM_PATH)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(to_child[0]);
  close(from_child[1]);
  close(errors[1]);
  in = to_child[1];
  out = from_child[0];
  err = errors[0];
  return pid;
}

int WaitExit(pid_t pid, milliseconds within) {
  const int64_t end = NowUs() + within.count() * 1000;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (NowUs() > end) return -1;
    usleep(2000);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

Bytes WithCrc(Bytes frame) {
  uint16_t crc = 0xFFFF;
  for (const uint8_t byte : frame) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  frame.push_back(crc & 0xFF);
  frame.push_back(crc >> 8);
  return frame;
}

bool CrcOk(const Bytes& frame) {
  return frame.size() >= 3 && WithCrc(Bytes(frame.begin(), frame.end() - 2)) == frame;
}

// A request of two 16-bit fields: start and quantity, or register and value.
static Bytes Request(uint8_t address, uint8_t function, uint16_t a, uint16_t b) {
  return WithCrc({address, function, uint8_t(a >> 8), uint8_t(a), uint8_t(b >> 8), uint8_t(b)});
}

Bytes ReadRequest(uint8_t address, uint16_t start, uint16_t quantity) {
  return Request(address, 0x03, start, quantity);
}

Bytes WriteRequest(uint8_t address, uint16_t reg, uint16_t value) {
  return Request(address, 0x06, reg, value);
}

Bytes ReadAnswer(uint8_t address, uint16_t r0, uint16_t r1, uint16_t r2) {
  return WithCrc({address, 0x03, 0x06, uint8_t(r0 >> 8), uint8_t(r0), uint8_t(r1 >> 8), uint8_t(r1),
                  uint8_t(r2 >> 8), uint8_t(r2)});
}

uint16_t Register(const Bytes& answer, size_t r) {
  if (answer.size() < 5 + 2 * r + 2) return 0xFFFF;
  return static_cast<uint16_t>(answer[3 + 2 * r] << 8 | answer[4 + 2 * r]);
}

int64_t NowUs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t{now.tv_sec} * 1'000'000 + now.tv_nsec / 1000;
}

std::string Hex(const Bytes& bytes) {
  std::string text;
  char digits[4];
  for (uint8_t b : bytes) text.append(digits, std::snprintf(digits, sizeof digits, " %02X", b));
  return text.substr(text.empty() ? 0 : 1);
}

TempDir::TempDir() {
  char pattern[] = "/tmp/slave-sim-test-XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
  root_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

SimProcess::SimProcess(const TempDir& dir, const std::vector<std::string>& args)
    : link_(dir.Path("ttyV0")), log_(dir.Path("sim.log")) {
  const bool tcp = std::find(args.begin(), args.end(), "--tcp") != args.end();
  std::vector<std::string> all{"--log", log_};
  if (!tcp) all.insert(all.begin(), {"--link", link_});
  all.insert(all.end(), args.begin(), args.end());
  int err = -1;
  pid_ = Spawn(all, in_, out_, err);
  close(err);  // the tests that read it use RunToEnd
  ready_ = ReadLine(milliseconds(5000));
  if (ready_.rfind("ready ", 0) != 0) throw std::runtime_error("no ready line: " + ready_);
  if (tcp) link_ = ready_.substr(6);
}

SimProcess::~SimProcess() {
  if (pid_ > 0 && WaitExit(pid_, milliseconds(0)) < 0) {
    kill(pid_, SIGKILL);
    WaitExit(pid_, milliseconds(2000));
  }
  if (in_ >= 0) close(in_);
  close(out_);
}

std::string SimProcess::ReadLine(milliseconds within) {
  const int64_t end = NowUs() + within.count() * 1000;
  size_t newline;
  while ((newline = buffered_.find('\n')) == std::string::npos) {
    pollfd fd{out_, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(RemainingMs(end))) <= 0) return "(timed out)";
    char chunk[512];
    const ssize_t n = read(out_, chunk, sizeof chunk);
    if (n <= 0) return "(closed)";
    buffered_.append(chunk, static_cast<size_t>(n));
  }
  std::string line = buffered_.substr(0, newline);
  buffered_.erase(0, newline + 1);
  return line;
}

std::vector<std::string> SimProcess::Command(const std::string& line) {
  const std::string text = line + "\n";
  if (write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return {};
  return Reply();
}

std::vector<std::string> SimProcess::Reply() {
  std::vector<std::string> reply;
  for (;;) {
    reply.push_back(ReadLine(milliseconds(2000)));
    const std::string& last = reply.back();
    if (last == "ok" || last.rfind("error", 0) == 0 || last[0] == '(') return reply;
  }
}

int SimProcess::Stop(int signal) {
  if (signal == 0)
    Command("quit");
  else
    kill(pid_, signal);
  const int status = WaitExit(pid_, milliseconds(3000));
  if (status >= 0) pid_ = -1;
  return status;
}

std::vector<LogLine> SimProcess::Log(const std::string& what) {
  if (pid_ > 0 && in_ >= 0) Command("stats");
  std::vector<LogLine> lines;
  std::ifstream in(log_);
  for (std::string text; std::getline(in, text);) {
    std::istringstream words(text);
    LogLine line{};
    words >> line.us >> line.what;
    std::getline(words >> std::ws, line.rest);
    if (what.empty() || line.what == what) lines.push_back(line);
  }
  return lines;
}

int RunToEnd(const std::vector<std::string>& args, std::string& error_text) {
  int in = -1, out = -1, err = -1;
  const pid_t pid = Spawn(args, in, out, err);
  close(in);
  char chunk[512];
  for (ssize_t n; (n = read(err, chunk, sizeof chunk)) > 0;) error_text.append(chunk, n);
  close(out);
  close(err);
  return WaitExit(pid, milliseconds(3000));
}

Master::Master(const std::string& path) {
  constexpr char kLoopback[] = "tcp://127.0.0.1:";
  if (path.rfind(kLoopback, 0) == 0) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(std::stoi(path.substr(sizeof kLoopback - 1))));
    if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
      throw std::runtime_error("cannot connect to " + path);
    fcntl(fd_, F_SETFL, O_NONBLOCK);
    return;
  }
  fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) throw std::runtime_error("cannot open " + path);
  termios tio{};
  tcgetattr(fd_, &tio);
  cfmakeraw(&tio);
  tcsetattr(fd_, TCSANOW, &tio);
}

Master::~Master() {
  close(fd_);
}

void Master::Send(const Bytes& bytes) {
  if (write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    throw std::runtime_error("short write to the line");
}

Bytes Master::Collect(size_t count, milliseconds quiet, milliseconds within) {
  const int64_t end = NowUs() + within.count() * 1000;
  Bytes bytes;
  while (bytes.size() < count) {
    pollfd fd{fd_, POLLIN, 0};
    const int wait = static_cast<int>(std::min<int64_t>(quiet.count(), RemainingMs(end)));
    if (wait <= 0 || poll(&fd, 1, wait) <= 0) break;
    uint8_t chunk[512];
    const ssize_t n = read(fd_, chunk, std::min(sizeof chunk, count - bytes.size()));
    if (n > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    if (n == 0) break;  // a network line whose far end closed
  }
  return bytes;
}

bool Master::Closed(milliseconds within) {
  pollfd fd{fd_, POLLIN, 0};
  uint8_t byte;
  return poll(&fd, 1, static_cast<int>(within.count())) > 0 && read(fd_, &byte, 1) == 0;
}

void ExpectAnswer(Master& master, const Bytes& request, const Bytes& answer) {
  if (!answer.empty()) {
    EXPECT_EQ(master.Transact(request, answer.size()), answer) << Hex(request);
    return;
  }
  master.Send(request);
  EXPECT_EQ(master.ReceiveQuiet(milliseconds(150)), Bytes()) << Hex(request);
}

}  // namespace sim_test
