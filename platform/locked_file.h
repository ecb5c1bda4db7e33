// Files that several running copies of the program update: an exclusive lock beside the file,
// a bounded read, and an atomic replacement that a crash at any moment leaves either old or new.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform::detail {

// Our stores are small; anything bigger than this is not one of our files, and reading it
// whole would only cost memory.
inline constexpr qint64 kMaxStoreFileSize = 16 * 1024 * 1024;

// Holds an exclusive flock on a lock file ("<file>.lock") for its lifetime. The lock file is
// created when missing and never removed: removing it would let two writers lock different
// files of the same name. A link or anything but a plain file in its place is refused, never
// followed. Another holder is waited for up to timeoutMs; then Errno() is EBUSY.
class FileLock {
 public:
  explicit FileLock(const QString& lockPath, int timeoutMs = 1000);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool Locked() const { return fd_ >= 0; }
  int Errno() const { return errno_; }

 private:
  int fd_ = -1;
  int errno_ = 0;
};

struct FileReadResult {
  enum Status { kRead, kMissing, kFailed } status = kFailed;
  QByteArray data;
  int err = 0;        // errno for kFailed; EFBIG when the file is over the size limit
  QString errorText;  // for kFailed: why, without the file's name ("Permission denied")
};

// The system's words for an errno value ("Permission denied").
QString SystemWords(int err);

FileReadResult ReadStoreFile(const QString& path, qint64 maxSize = kMaxStoreFileSize);

// Creates the folder that holds path when missing. Returns 0 or the errno value of the step
// that failed.
int EnsureParentFolder(const QString& path);

// Writes data to "<path>.tmp" in the same folder, syncs it, renames it over path and syncs the
// folder. The caller holds the FileLock, so the fixed temporary name is ours alone: whatever
// is there (a file left by a writer that was killed, or a link someone planted) is removed
// first, and the new file is created exclusively, so no link is ever followed. Keeps the mode
// of an existing file. Returns 0 or an errno value (errorText says what failed, without the
// file's name).
int ReplaceFileAtomically(const QString& path, const QByteArray& data, QString* errorText);

// Removes a temporary file a killed writer left beside path; for a save with nothing to write.
void RemoveLeftoverTemporary(const QString& path);

}  // namespace platform::detail
