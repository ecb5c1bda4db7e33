#include "platform/locked_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

QString SystemWords(int err) {
  return QString::fromLocal8Bit(strerror(err));
}

FileLock::FileLock(const QString& lockPath, int timeoutMs) {
  const int fd = ::open(Native(lockPath).constData(),
                        O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    errno_ = fd < 0 ? errno : EINVAL;
    if (fd >= 0) ::close(fd);
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
    if (result.err == ENOENT || result.err == ENOTDIR) {  // no file, or no folder for one
      result.status = FileReadResult::kMissing;
    } else {
      result.errorText = SystemWords(result.err);
    }
    return result;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > maxSize) {
    result.err = S_ISREG(st.st_mode) ? EFBIG : EINVAL;
    result.errorText = result.err == EFBIG
                           ? QStringLiteral("it is larger than %1 bytes").arg(maxSize)
                           : QStringLiteral("it is not a regular file");
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
      result.errorText = SystemWords(result.err);
      ::close(fd);
      return result;
    }
    if (n == 0) break;
    data.append(chunk, static_cast<qsizetype>(n));
  }
  ::close(fd);
  if (data.size() > maxSize) {
    result.err = EFBIG;
    result.errorText = QStringLiteral("it is larger than %1 bytes").arg(maxSize);
    return result;
  }
  result.status = FileReadResult::kRead;
  result.data = std::move(data);
  return result;
}

namespace {

int MakeFolder(const QByteArray& folder) {
  if (::mkdir(folder.constData(), 0777) == 0) return 0;
  if (errno == EEXIST) {
    struct stat st {};
    return ::stat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  }
  const qsizetype slash = folder.lastIndexOf('/');
  if (errno != ENOENT || slash <= 0) return errno;
  if (const int err = MakeFolder(folder.left(slash))) return err;
  return ::mkdir(folder.constData(), 0777) == 0 || errno == EEXIST ? 0 : errno;
}

// A store kept as a symbolic link (dotfiles under version control) stays a link: the file it
// points to is the one replaced, and its temporary file lies beside it.
QByteArray ReplacedFile(const QString& linkOrPath) {
  const QFileInfo info(linkOrPath);
  return Native(info.isSymLink() && info.exists() ? info.canonicalFilePath() : linkOrPath);
}

}  // namespace

int EnsureParentFolder(const QString& path) {
  return MakeFolder(Native(QFileInfo(path).absolutePath()));
}

int ReplaceFileAtomically(const QString& linkOrPath, const QByteArray& data, QString* errorText) {
  const QByteArray target = ReplacedFile(linkOrPath);
  const QByteArray temp = target + ".tmp";
  struct stat st {};
  const bool existed = ::stat(target.constData(), &st) == 0;

  auto fail = [&](const QString& what, int err) {
    if (errorText) *errorText = what + SystemWords(err);
    return err;
  };
  ::unlink(temp.constData());  // a link is removed itself; its target is never touched
  const int fd =
      ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return fail(QFile::decodeName(temp) + QStringLiteral(": "), errno);
  int err = WriteAll(fd, data);
  if (err == 0 && existed && ::fchmod(fd, st.st_mode & 07777) != 0) err = errno;
  if (err == 0 && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(temp.constData(), target.constData()) != 0) err = errno;
  if (err != 0) {
    ::unlink(temp.constData());
    return fail({}, err);
  }
  // Without this the rename itself may not survive a power cut.
  const QByteArray folder = Native(QFileInfo(QFile::decodeName(target)).absolutePath());
  const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return 0;
}

void RemoveLeftoverTemporary(const QString& path) {
  ::unlink((ReplacedFile(path) + ".tmp").constData());
}

}  // namespace platform::detail
