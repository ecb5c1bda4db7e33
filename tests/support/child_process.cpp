#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>

#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace testing_support {

namespace {

struct Pipe {
  int read = -1, write = -1;
  bool Open() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    read = fds[0];
    write = fds[1];
    return true;
  }
};

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

std::vector<std::string> Environment(const QStringList& changes) {
  std::vector<std::string> result;
  for (char** e = environ; *e; ++e) result.emplace_back(*e);
  for (const QString& change : changes) {
    const std::string text = change.toStdString();
    const std::string name = text.substr(0, text.find('='));
    std::erase_if(result, [&](const std::string& e) { return e.compare(0, name.size() + 1, name + "=") == 0; });
    if (text.find('=') != std::string::npos) result.push_back(text);
  }
  return result;
}

// Starts program with its standard streams on the given descriptors (-1: inherited).
pid_t Spawn(const QString& program, const QStringList& arguments, int in, int out, int err,
            const QStringList& environment) {
  std::vector<std::string> args{program.toStdString()};
  for (const QString& a : arguments) args.push_back(a.toStdString());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env = Environment(environment);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (in >= 0) posix_spawn_file_actions_adddup2(&actions, in, 0);
  if (out >= 0) posix_spawn_file_actions_adddup2(&actions, out, 1);
  if (err >= 0) posix_spawn_file_actions_adddup2(&actions, err, 2);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Waits for the child to end; -2 when it is still running after timeoutMs.
int Reap(pid_t pid, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0) return -1;
    if (clock.elapsed() > timeoutMs) return -2;
    usleep(2000);
  }
}

}  // namespace

RunResult RunProgram(const QString& program, const QStringList& arguments, int timeoutMs,
                     const QStringList& environment) {
  RunResult result;
  Pipe out, err;
  if (!out.Open() || !err.Open()) return result;
  const pid_t pid = Spawn(program, arguments, -1, out.write, err.write, environment);
  CloseFd(out.write);
  CloseFd(err.write);
  if (pid < 0) {
    CloseFd(out.read);
    CloseFd(err.read);
    return result;
  }
  QElapsedTimer clock;
  clock.start();
  bool timedOut = false;
  while (out.read >= 0 || err.read >= 0) {
    const int left = timeoutMs - int(clock.elapsed());
    if (left <= 0) {
      timedOut = true;
      break;
    }
    pollfd fds[2] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}};
    if (poll(fds, 2, left) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (!fds[i].revents) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      int& fd = i == 0 ? out.read : err.read;
      if (n <= 0) CloseFd(fd);
      else (i == 0 ? result.out : result.err).append(buffer, n);
    }
  }
  CloseFd(out.read);
  CloseFd(err.read);
  if (timedOut) kill(pid, SIGKILL);
  result.exitCode = Reap(pid, timedOut ? 5000 : std::max(timeoutMs - int(clock.elapsed()), 1000));
  // Its output closed but it did not end in time: it counts as not finished.
  if (result.exitCode == -2) {
    timedOut = true;
    kill(pid, SIGKILL);
    Reap(pid, 5000);
    result.exitCode = -1;
  }
  result.finished = !timedOut;
  return result;
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !WaitForExit(0)) Kill();
  CloseFd(in_);
  CloseFd(out_);
}

bool ChildProcess::Start(const QString& program, const QStringList& arguments) {
  signal(SIGPIPE, SIG_IGN);  // a child that has gone makes writes fail, not end the test
  Pipe in, out;
  if (!in.Open() || !out.Open()) return false;
  pid_ = Spawn(program, arguments, in.read, out.write, -1, {});
  CloseFd(in.read);
  CloseFd(out.write);
  in_ = in.write;
  out_ = out.read;
  return pid_ > 0;
}

bool ChildProcess::Write(const QByteArray& bytes) {
  return in_ >= 0 && write(in_, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

QByteArray ChildProcess::ReadOutput(int waitMs) {
  QByteArray result;
  if (out_ < 0) return result;
  pollfd fd{out_, POLLIN, 0};
  while (poll(&fd, 1, result.isEmpty() ? waitMs : 0) > 0) {
    char buffer[4096];
    const ssize_t n = read(out_, buffer, sizeof buffer);
    if (n <= 0) {
      CloseFd(out_);
      break;
    }
    result.append(buffer, n);
  }
  return result;
}

bool ChildProcess::WaitForExit(int timeoutMs) {
  if (pid_ <= 0) return true;
  if (Reap(pid_, timeoutMs) == -2) return false;
  pid_ = -1;
  return true;
}

void ChildProcess::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  Reap(pid_, 5000);
  pid_ = -1;
}

}  // namespace testing_support
