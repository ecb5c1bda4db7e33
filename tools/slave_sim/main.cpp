// zt-modbus-slave-sim: Modbus RTU slaves on a pseudo-terminal, for testing and demonstrating
// the master. See kUsage for the options and kCommandHelp for the control commands.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>

#include "control.h"
#include "options.h"

namespace slave_sim {
namespace {

// While nobody has the line open we look again this often; the pty reports the hang-up at
// once on every poll, so it cannot stay in the poll set.
constexpr int64_t kLineDownPollUs = 20'000;

volatile sig_atomic_t g_stop = 0;
int g_wake[2] = {-1, -1};

void OnSignal(int) {
  g_stop = 1;
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = write(g_wake[1], &byte, 1);
}

void InstallSignals() {
  if (pipe2(g_wake, O_NONBLOCK | O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);  // the terminal it ran in went away: tidy up all the same
  signal(SIGPIPE, SIG_IGN);             // a reader of our stdout going away is no reason to die
}

void Say(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

// The control FIFO: made if missing (and then removed again), opened for reading and writing
// so that writers coming and going never look like the end of input.
class ControlFifo {
 public:
  explicit ControlFifo(const std::string& path) : path_(path) {
    if (path_.empty()) return;
    struct stat st {};
    if (stat(path_.c_str(), &st) != 0) {
      if (mkfifo(path_.c_str(), 0600) != 0)
        throw std::runtime_error("cannot make the FIFO " + path_ + ": " + std::strerror(errno));
      made_ = true;
    } else if (!S_ISFIFO(st.st_mode)) {
      throw std::runtime_error("--control: not a FIFO: " + path_);
    }
    fd_ = open(path_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) throw std::runtime_error("cannot open " + path_ + ": " + std::strerror(errno));
  }
  ~ControlFifo() {
    if (fd_ >= 0) close(fd_);
    if (made_) unlink(path_.c_str());
  }
  ControlFifo(const ControlFifo&) = delete;
  ControlFifo& operator=(const ControlFifo&) = delete;
  int Fd() const { return fd_; }

 private:
  std::string path_;
  int fd_ = -1;
  bool made_ = false;
};

timespec Timeout(const Simulator& simulator, int64_t now_us) {
  int64_t wait_us = -1;
  if (const int64_t deadline = simulator.NextDeadline(); deadline >= 0)
    wait_us = std::max<int64_t>(0, deadline - now_us);
  if (!simulator.LineUp())
    wait_us = wait_us < 0 ? kLineDownPollUs : std::min(wait_us, kLineDownPollUs);
  if (wait_us < 0) wait_us = 1'000'000;  // nothing due: wake now and then all the same
  return {static_cast<time_t>(wait_us / 1'000'000), static_cast<long>(wait_us % 1'000'000) * 1000};
}

void Loop(Simulator& simulator, Control& control, Line& line, int fifo_fd) {
  LineReader readers[] = {LineReader(STDIN_FILENO), LineReader(fifo_fd)};
  bool open[] = {true, fifo_fd >= 0};
  while (!g_stop && !control.QuitRequested()) {
    int64_t now = NowUs();
    simulator.CheckLine(now);
    // The listener of a network line, always: a master that comes is let in (or turned away)
    // at once.
    pollfd fds[5] = {
        {g_wake[0], POLLIN, 0}, {-1, 0, 0}, {-1, 0, 0}, {-1, 0, 0}, {line.WatchFd(), POLLIN, 0}};
    if (simulator.LineUp())
      fds[1] = {line.Fd(), static_cast<short>(POLLIN | (simulator.WaitingForRoom() ? POLLOUT : 0)),
                0};
    for (int i = 0; i < 2; ++i)
      if (open[i]) fds[2 + i] = {readers[i].Fd(), POLLIN, 0};
    const timespec timeout = Timeout(simulator, now);
    if (ppoll(fds, std::size(fds), &timeout, nullptr) < 0 && errno != EINTR)
      throw std::runtime_error(std::string("poll failed: ") + std::strerror(errno));
    if (fds[1].revents) simulator.OnReadable(NowUs());
    simulator.OnTimers(NowUs());
    for (int i = 0; i < 2; ++i) {
      if (!open[i] || !fds[2 + i].revents) continue;
      std::vector<std::string> lines;
      open[i] = readers[i].ReadLines(lines);
      for (const std::string& command : lines) {
        Say(control.Run(command, NowUs()));
        if (control.QuitRequested()) break;
      }
    }
  }
}

std::string Describe(const Options& options) {
  std::string text = "START slaves";
  for (int a : options.simulator.slaves) text += " " + std::to_string(a);
  text += " baud " + std::to_string(options.simulator.baud);
  text += " seed " + std::to_string(options.simulator.seed);
  return text;
}

int Run(const Options& options) {
  InstallSignals();
  EventLog log;
  if (!options.log.empty() && !log.Open(options.log))
    throw std::runtime_error("cannot open the log " + options.log + ": " + std::strerror(errno));
  std::unique_ptr<Line> line;
  if (options.tcp >= 0)
    line = std::make_unique<TcpLine>(options.tcp);
  else
    line = std::make_unique<PtyLine>(options.link);
  ControlFifo fifo(options.control);
  Simulator simulator(*line, log, options.simulator, NowUs());
  Control control(simulator);
  log.Write(NowUs(), Describe(options) + " line " + line->Describe());
  for (const std::string& command : options.commands) {
    const std::string reply = control.Run(command, NowUs());
    if (reply.rfind("error ", 0) == 0 || reply.find("\nerror ") != std::string::npos)
      throw UsageError("--fault \"" + command + "\": " + reply.substr(reply.rfind("error ") + 6));
  }
  Say("ready " + line->Describe() + "\n");
  Loop(simulator, control, *line, fifo.Fd());
  log.Write(NowUs(), g_stop ? "STOP signal" : "STOP quit");
  return 0;
}

}  // namespace
}  // namespace slave_sim

int main(int argc, char** argv) {
  using namespace slave_sim;
  // Answers leave at their line time: without this the kernel may let each wait run up to
  // 50 us long, which a slave on a real line does not do.
  prctl(PR_SET_TIMERSLACK, 1UL);
  try {
    const Options options = ParseOptions(argc, argv);
    if (options.help) {
      Say(std::string(kUsage) + kCommandHelp);
      return 0;
    }
    return Run(options);
  } catch (const UsageError& error) {
    std::fprintf(stderr, "zt-modbus-slave-sim: %s\nTry zt-modbus-slave-sim --help.\n",
                 error.what());
    return 2;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "zt-modbus-slave-sim: %s\n", error.what());
    return 1;
  }
}
