#include "skin/theme_file.h"

#include <QtEndian>
#include <set>

namespace skin {

namespace {

// Entries may point at the same bytes, so the data they name can add up to far more than the
// file: one whose entries all point at the whole file would make the reader hold a copy per
// entry. What one file can make the reader take is capped at this multiple of its size.
constexpr qint64 kDataPerFileByte = 4;

quint32 U32(const QByteArray& bytes, int at) {
  return qFromLittleEndian<quint32>(reinterpret_cast<const uchar*>(bytes.constData()) + at);
}

}  // namespace

bool IsValidThemeFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray head = file.read(16);
  if (head.size() < 16) return false;
  // The text of bytes 0..11 up to its first zero byte.
  const QByteArray magic = head.left(12);
  const qsizetype zero = magic.indexOf('\0');
  return (zero < 0 ? magic : magic.left(zero)) == "Quenlat_TB";
}

TsuiThemeFileReader::TsuiThemeFileReader(const QString& path) : file_(path) {
  if (!file_.open(QIODevice::ReadOnly))
    Fail(QStringLiteral("the file cannot be opened (%1)").arg(file_.errorString()));
  size_ = file_.size();
  const QByteArray head = ReadAt(0, 16, QStringLiteral("the header"));
  const quint32 headerLength = U32(head, 12);
  if (headerLength < quint32(ThemeHeaderSize))
    Fail(QStringLiteral("the header length %1 is below %2").arg(headerLength).arg(ThemeHeaderSize));
  const QByteArray header = ReadAt(0, headerLength, QStringLiteral("the header"));
  // Each entry may be visited once: a chain that returns to an earlier entry is damaged.
  std::set<qint64> visited;
  Entry entry = ReadEntry(U32(header, 20));
  visited.insert(entry.At);
  while (entry.Next != 0) {
    LoadData(entry);
    if (!visited.insert(entry.Next).second)
      Fail(QStringLiteral("the entry \"%1\" leads back to the entry at offset %2")
               .arg(entry.Name)
               .arg(entry.Next));
    entry = ReadEntry(entry.Next);
  }
  file_.close();
}

void TsuiThemeFileReader::Fail(const QString& detail) const {
  throw EThemeFileError(
      QStringLiteral("Damaged skin file \"%1\": %2.").arg(file_.fileName(), detail));
}

QByteArray TsuiThemeFileReader::ReadAt(qint64 offset, qint64 size, const QString& what) {
  if (offset < 0 || size < 0 || offset > size_ || size > size_ - offset)
    Fail(QStringLiteral("%1 (%2 bytes at offset %3) lies past the end of the file (%4 bytes)")
             .arg(what)
             .arg(size)
             .arg(offset)
             .arg(size_));
  QByteArray bytes;
  if (file_.seek(offset)) bytes = file_.read(size);
  if (bytes.size() != size) Fail(QStringLiteral("%1 cannot be read").arg(what));
  return bytes;
}

QByteArray TsuiThemeFileReader::ReadData(const Entry& entry, quint32 size, const QString& what) {
  dataRead_ += size;
  // Data past the end of the file is refused by ReadAt with its own message.
  if (qint64(entry.DataOffset) + size <= size_ && dataRead_ > kDataPerFileByte * size_)
    Fail(QStringLiteral("%1 brings the data read to more than %2 times the file's size")
             .arg(what)
             .arg(kDataPerFileByte));
  return ReadAt(entry.DataOffset, size, what);
}

TsuiThemeFileReader::Entry TsuiThemeFileReader::ReadEntry(qint64 offset) {
  const QByteArray raw = ReadAt(offset, ThemeEntrySize,
                                QStringLiteral("the directory entry at offset %1").arg(offset));
  const qsizetype zero = raw.left(ThemeNameSize).indexOf('\0');
  if (zero < 0)
    Fail(QStringLiteral("the name of the entry at offset %1 has no terminating zero byte")
             .arg(offset));
  Entry entry;
  entry.At = offset;
  entry.Name = QString::fromLatin1(raw.left(zero));
  entry.Kind = uint8_t(raw[ThemeNameSize]);
  entry.DataOffset = U32(raw, 65);
  entry.DataSize = U32(raw, 69);
  entry.Next = U32(raw, 73);
  return entry;
}

void TsuiThemeFileReader::LoadData(const Entry& entry) {
  const QString what = QStringLiteral("the data of entry \"%1\"").arg(entry.Name);
  switch (entry.Kind) {
    case tekImage:
      images_.push_back({entry.Name, ReadData(entry, entry.DataSize, what)});
      break;
    case tekInteger:
      // Only the first four bytes belong to the value; fewer cannot make one.
      if (entry.DataSize < 4) Fail(QStringLiteral("%1 holds fewer than 4 bytes").arg(what));
      integers_.push_back({entry.Name, qint32(U32(ReadData(entry, 4, what), 0))});
      break;
    case tekBoolean:
      if (entry.DataSize < 1) Fail(QStringLiteral("%1 is empty").arg(what));
      booleans_.push_back({entry.Name, uint8_t(ReadData(entry, 1, what)[0])});
      break;
    case tekText:
      texts_.push_back(
          {entry.Name, QString::fromLocal8Bit(ReadData(entry, entry.DataSize, what))});
      break;
    default:
      break;
  }
}

template <typename T>
const T* TsuiThemeFileReader::Find(const std::vector<Named<T>>& list, const QString& name) {
  for (const Named<T>& item : list)
    if (item.Name.compare(name, Qt::CaseInsensitive) == 0) return &item.Value;
  return nullptr;
}

bool TsuiThemeFileReader::Boolean(const QString& name) const {
  const uint8_t* value = Find(booleans_, name);
  return value && *value != 0;
}

const QByteArray* TsuiThemeFileReader::Image(const QString& name) const {
  return Find(images_, name);
}

int TsuiThemeFileReader::Integer(const QString& name) const {
  const int32_t* value = Find(integers_, name);
  return value ? *value : -1;
}

QString TsuiThemeFileReader::Text(const QString& name) const {
  const QString* value = Find(texts_, name);
  return value ? *value : QString();
}

}  // namespace skin
