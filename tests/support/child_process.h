// Programs the tests start: the slave simulator, the tools. They are started with posix_spawn
// rather than Qt's process launcher, whose clone with a pidfd the ThreadSanitizer runtime of
// LLVM 14 cannot follow (it aborts in the child), so these tests run under every sanitizer.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

namespace testing_support {

struct RunResult {
  bool finished = false;  // ended by itself within the time allowed
  int exitCode = -1;      // -1 when it did not exit normally
  QByteArray out, err;
};

// Runs a program to its end; after timeoutMs it is killed. environment: "NAME=VALUE" sets a
// variable, "NAME" alone removes it; the rest is inherited.
RunResult RunProgram(const QString& program, const QStringList& arguments, int timeoutMs = 30000,
                     const QStringList& environment = {});

// A program that runs beside the test, with its standard input and output on pipes.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  bool Start(const QString& program, const QStringList& arguments);
  bool Write(const QByteArray& bytes);
  // What has arrived on its standard output, waiting up to waitMs for the first bytes.
  QByteArray ReadOutput(int waitMs);
  bool WaitForExit(int timeoutMs);
  void Kill();

 private:
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
};

}  // namespace testing_support
