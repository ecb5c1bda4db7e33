// Theme files: a binary container of named entries (magic "Quenlat_TB", chained 77-byte
// directory entries) that supplies the skin properties by their table keys.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <vector>

#include "framework/exception.h"

namespace skin {

// A theme file whose directory cannot be read: the message says where it breaks.
class EThemeFileError : public framework::Exception {
 public:
  using Exception::Exception;
};

enum ThemeEntryKind : uint8_t {
  tekImage = 0,
  tekInteger = 1,
  tekBoolean = 2,
  tekText = 3,
};

inline constexpr int ThemeHeaderSize = 24;
inline constexpr int ThemeEntrySize = 77;
inline constexpr int ThemeNameSize = 64;

// True when the file can be opened, holds at least 16 bytes and starts with "Quenlat_TB" and a
// zero byte.
bool IsValidThemeFile(const QString& path);

// The directory of one theme file, read at construction. Names are matched without regard to
// letter case; of two entries with one name the first counts.
class TsuiThemeFileReader {
 public:
  // Throws EThemeFileError when the file cannot be read or its directory is damaged.
  explicit TsuiThemeFileReader(const QString& path);

  bool Boolean(const QString& name) const;
  // The bytes of an image entry (a complete bitmap file), or null.
  const QByteArray* Image(const QString& name) const;
  // -1 when absent.
  int Integer(const QString& name) const;
  QString Text(const QString& name) const;

  int ImageCount() const { return int(images_.size()); }
  int IntegerCount() const { return int(integers_.size()); }
  int BooleanCount() const { return int(booleans_.size()); }
  int TextCount() const { return int(texts_.size()); }

 private:
  template <typename T>
  struct Named {
    QString Name;
    T Value;
  };
  struct Entry {
    qint64 At = 0;
    QString Name;
    uint8_t Kind = 0;
    quint32 DataOffset = 0;
    quint32 DataSize = 0;
    quint32 Next = 0;
  };

  QByteArray ReadAt(qint64 offset, qint64 size, const QString& what);
  QByteArray ReadData(const Entry& entry, quint32 size, const QString& what);
  Entry ReadEntry(qint64 offset);
  void LoadData(const Entry& entry);
  [[noreturn]] void Fail(const QString& detail) const;

  template <typename T>
  static const T* Find(const std::vector<Named<T>>& list, const QString& name);

  QFile file_;
  qint64 size_ = 0;
  qint64 dataRead_ = 0;  // bytes of entry data read so far
  std::vector<Named<QByteArray>> images_;
  std::vector<Named<int32_t>> integers_;
  std::vector<Named<uint8_t>> booleans_;
  std::vector<Named<QString>> texts_;
};

}  // namespace skin
