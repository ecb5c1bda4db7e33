#include "app/traffic_capture.h"

#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

namespace {

void AppendHex(std::string& line, const uint8_t* bytes, size_t count) {
  static const char digits[] = "0123456789ABCDEF";
  for (size_t i = 0; i < count; ++i) {
    line += ' ';
    line += digits[bytes[i] >> 4];
    line += digits[bytes[i] & 0xF];
  }
}

QString SystemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

}  // namespace

TTrafficCapture::~TTrafficCapture() {
  if (fd_ >= 0) ::close(fd_);
}

QString TTrafficCapture::Open(const QString& path) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  path_ = path;
  if (path.isEmpty()) return SystemError(ENOENT);
  // Not blocking: a FIFO without a reader is refused instead of holding the program at start.
  const int fd = ::open(QFile::encodeName(path).constData(),
                        O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (fd < 0) return SystemError(errno);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  struct stat file {};
  regular_ = ::fstat(fd, &file) == 0 && S_ISREG(file.st_mode);
  fd_ = fd;
  if (regular_ && file.st_size > 0) EndOnAWholeLine(file.st_size);
  return {};
}

// A line crossing a page boundary of the file goes in as two copies in the kernel, and a kill
// between them leaves its first part. Such a fragment of one of our lines (a time so far) is cut
// off; any other unfinished last line (not a capture of ours) is ended with a line break, so
// that the session's lines start on lines of their own either way.
void TTrafficCapture::EndOnAWholeLine(off_t size) {
  char tail[4096];
  const off_t from = std::max<off_t>(0, size - off_t(sizeof tail));
  // The capture's own descriptor only writes: the end is read through one of its own.
  const int reader = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (reader < 0) return;
  const ssize_t got = ::pread(reader, tail, size_t(size - from), from);
  ::close(reader);
  if (got <= 0 || tail[got - 1] == '\n') return;
  const char* newline = static_cast<const char*>(memrchr(tail, '\n', size_t(got)));
  const size_t start = newline ? size_t(newline - tail) + 1 : 0;
  static constexpr char kShape[] = "dddd-dd-dd dd:dd:dd.dddddd ";
  bool ours = newline || from == 0;
  for (size_t i = start; ours && i < size_t(got); ++i) {
    const size_t k = i - start;
    if (k >= sizeof kShape - 1) break;
    ours = kShape[k] == 'd' ? tail[i] >= '0' && tail[i] <= '9' : tail[i] == kShape[k];
  }
  if (ours && ::ftruncate(fd_, from + off_t(start)) == 0) return;
  [[maybe_unused]] const ssize_t ended = ::write(fd_, "\n", 1);
}

int64_t TTrafficCapture::Now() const {
  if (Clock) return Clock();
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return int64_t(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
}

std::string TTrafficCapture::FormatTime(int64_t us) {
  int64_t seconds = us / 1'000'000;
  int64_t micro = us % 1'000'000;
  if (micro < 0) {
    micro += 1'000'000;
    --seconds;
  }
  const time_t t = time_t(seconds);
  tm local{};
  localtime_r(&t, &local);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%06d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                int(micro));
  return text;
}

std::string TTrafficCapture::Begin(int64_t us, const char* kind) const {
  std::string line = FormatTime(us);
  line.reserve(96);
  line += ' ';
  line += kind;
  return line;
}

void TTrafficCapture::Sent(const uint8_t* frame, int count) {
  asked_ = count > 0 ? frame[0] : -1;
  written_ = 0;
  rxLine_ = false;
  rxTime_ = 0;
  dropped_.clear();
  if (fd_ < 0) return;
  std::string line = Begin(Now(), "Tx");
  AppendHex(line, frame, size_t(count));
  line += '\n';
  Write(line);
}

void TTrafficCapture::Received() {
  if (fd_ >= 0) rxTime_ = Now();
}

void TTrafficCapture::Answer(const uint8_t* frame, int length) {
  if (rxLine_)
    Rx(frame, length, "extra");
  else
    Rx(frame, length, length > 0 && frame[0] != asked_ ? "foreign-address" : nullptr);
}

void TTrafficCapture::CrcError(const uint8_t* frame, int length) { Rx(frame, length, "crc-error"); }

void TTrafficCapture::Exception(const uint8_t* frame, int length) {
  char mark[16];
  std::snprintf(mark, sizeof mark, "exception %02X", length > 2 ? frame[2] : 0);
  Rx(frame, length, mark);
}

void TTrafficCapture::Overflow(const uint8_t* frame, int length) {
  Rx(frame, length, "overflow", dropped_);
  dropped_.clear();
}

void TTrafficCapture::RequestEnded(const uint8_t* frame, int length) {
  Rx(frame, length, rxLine_ ? "extra" : "incomplete", dropped_);
  dropped_.clear();
}

void TTrafficCapture::Rx(const uint8_t* frame, int length, const char* mark,
                         const std::vector<uint8_t>& more) {
  if (length < written_) written_ = length;  // a new start's buffer: nothing of it is written
  if (fd_ < 0 || (length == written_ && more.empty())) return;
  std::string line = Begin(rxTime_ ? rxTime_ : Now(), "Rx");
  AppendHex(line, frame + written_, size_t(length - written_));
  AppendHex(line, more.data(), more.size());
  if (mark) {
    line += " [";
    line += mark;
    line += ']';
  }
  line += '\n';
  written_ = length;
  rxLine_ = true;
  Write(line);
}

void TTrafficCapture::Note(const QString& text) {
  if (fd_ < 0) return;
  std::string line = Begin(Now(), "-- ");
  line += QString(text).replace(u'\n', u' ').toStdString();
  line += '\n';
  Write(line);
}

void TTrafficCapture::Figures(const QString& text) {
  if (fd_ < 0) return;
  // One time for the whole block: the figures of one moment.
  const std::string time = Begin(Now(), "## ");
  std::string block;
  for (const QString& row : text.split(u'\n', Qt::SkipEmptyParts)) {
    block += time;
    block += row.toStdString();
    block += '\n';
  }
  Write(block);
}

void TTrafficCapture::Write(const std::string& line) {
  if (fd_ < 0 || line.empty()) return;
  int error = 0;
  if (!WriteWhole(line, error)) Fail(error);
}

bool TTrafficCapture::WriteWhole(const std::string& line, int& error) {
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
    if (n > 0) {
      done += size_t(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // Only the rest of a line cut short tells why (a full disk, a size limit).
    error = n < 0 ? errno : ENOSPC;
    // What went in of it is cut back off, so that the file ends on a whole line. A pipe or a
    // device cannot be cut: the reader sees the line end there.
    struct stat file {};
    if (done > 0 && regular_ && ::fstat(fd_, &file) == 0 && file.st_size >= off_t(done) &&
        ::ftruncate(fd_, file.st_size - off_t(done)) != 0)
      error = errno;
    return false;
  }
  return true;
}

void TTrafficCapture::Fail(int error) {
  ::close(fd_);
  fd_ = -1;
  if (OnFailure) OnFailure(QStringLiteral("%1: %2").arg(path_, SystemError(error)));
}

}  // namespace app
