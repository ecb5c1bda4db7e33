#include "platform/locked_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace platform::detail {

namespace {

QByteArray Native(const QString& path) {
  return QFile::encodeName(path);
}

QString ErrnoText(const QString& what, const QString& path, int err) {
  return QStringLiteral("%1 %2: %3").arg(what, path, QString::fromLocal8Bit(strerror(err)));
}

int WriteAll(int fd, const QByteArray& data) {
  const char* p = data.constData();
  qint64 left = data.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    p += n;
    left -= n;
  }
  return 0;
}

}  // namespace

FileLock::FileLock(const QString& lockPath, int timeoutMs) {
  const int fd = ::open(Native(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    errno_ = errno;
    return;
  }
  // Polled rather than blocking, so that a copy of the program stuck while holding the lock
  // turns into an error here instead of a frozen window.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      fd_ = fd;
      return;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) break;
    if (std::chrono::steady_clock::now() > deadline) {
      errno = EBUSY;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  errno_ = errno;
  ::close(fd);
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the flock
}

FileReadResult ReadStoreFile(const QString& path, qint64 maxSize) {
  FileReadResult result;
  // Non-blocking so that a FIFO in the file's place cannot hang us; it is refused below.
  const int fd = ::open(Native(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    result.err = errno;
    if (result.err == ENOENT) {
      result.status = FileReadResult::kMissing;
    } else {
      result.errorText = ErrnoText(QStringLiteral("cannot open"), path, result.err);
    }
    return result;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > maxSize) {
    result.err = S_ISREG(st.st_mode) ? EFBIG : EINVAL;
    result.errorText = result.err == EFBIG
                           ? QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(maxSize)
                           : QStringLiteral("%1 is not a regular file").arg(path);
    ::close(fd);
    return result;
  }
  // Read up to one byte past the limit so that a file that grew since fstat is still caught.
  QByteArray data;
  data.reserve(static_cast<qsizetype>(st.st_size) + 1);
  char chunk[65536];
  while (data.size() <= maxSize) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result.err = errno;
      result.errorText = ErrnoText(QStringLiteral("cannot read"), path, result.err);
      ::close(fd);
      return result;
    }
    if (n == 0) break;
    data.append(chunk, static_cast<qsizetype>(n));
  }
  ::close(fd);
  if (data.size() > maxSize) {
    result.err = EFBIG;
    result.errorText = QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(maxSize);
    return result;
  }
  result.status = FileReadResult::kRead;
  result.data = std::move(data);
  return result;
}

int EnsureParentFolder(const QString& path) {
  const QString folder = QFileInfo(path).absolutePath();
  if (QFileInfo(folder).isDir()) return 0;
  if (QDir().mkpath(folder)) return 0;
  return QFileInfo::exists(folder) ? ENOTDIR : EACCES;
}

int ReplaceFileAtomically(const QString& linkOrPath, const QByteArray& data, QString* errorText) {
  // A store kept as a symbolic link (dotfiles under version control) stays a link: the file
  // it points to is the one replaced.
  const QFileInfo info(linkOrPath);
  const QString path = info.isSymLink() && info.exists() ? info.canonicalFilePath() : linkOrPath;
  const QByteArray target = Native(path);
  const QByteArray temp = target + ".tmp";
  struct stat st {};
  const bool existed = ::stat(target.constData(), &st) == 0;

  auto fail = [&](const char* what, int err) {
    if (errorText) *errorText = ErrnoText(QString::fromLatin1(what), path, err);
    return err;
  };
  const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return fail("cannot create a temporary file for", errno);
  int err = WriteAll(fd, data);
  if (err == 0 && existed && ::fchmod(fd, st.st_mode & 07777) != 0) err = errno;
  if (err == 0 && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(temp.constData(), target.constData()) != 0) err = errno;
  if (err != 0) {
    ::unlink(temp.constData());
    return fail("cannot write", err);
  }
  // Without this the rename itself may not survive a power cut.
  const QByteArray folder = Native(QFileInfo(path).absolutePath());
  const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return 0;
}

}  // namespace platform::detail
