#include "i18n/builtin_catalogues.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <mutex>

namespace i18n {

// The packing tool finds this block in the program file and writes the chain offset into its
// last 8 bytes. Read through volatile so the compiler cannot fold the zero in.
extern "C" {
extern const volatile char zt_builtin_catalogue_block[kSignatureLength + 8];
__attribute__((used)) const volatile char zt_builtin_catalogue_block[kSignatureLength + 8] =
    "6637DB2E-62E1-4A60-AC19-C23867046A89\0\0\0\0\0\0\0";
}

namespace {

struct Table {
  std::mutex lock;
  QString executable;
  QString error;
  QHash<QString, BuiltinCatalogue> catalogues;
};

Table& Builtin() {
  static Table table;
  return table;
}

// Longest entry name accepted; a longer one means the chain is garbage.
constexpr uint64_t kMaxNameLength = 4096;

bool ReadU64(QFile& file, uint64_t offset, uint64_t* value) {
  uchar bytes[8];
  if (!file.seek(qint64(offset)) || file.read(reinterpret_cast<char*>(bytes), 8) != 8) return false;
  *value = qFromLittleEndian<quint64>(bytes);
  return true;
}

QString TrimName(const QByteArray& raw) {
  qsizetype begin = 0, end = raw.size();
  while (begin < end && uchar(raw[begin]) <= ' ') ++begin;
  while (end > begin && uchar(raw[end - 1]) <= ' ') --end;
  return QString::fromUtf8(raw.mid(begin, end - begin));
}

}  // namespace

uint64_t BuiltinChainOffset() {
  uchar bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = uchar(zt_builtin_catalogue_block[kSignatureLength + i]);
  return qFromLittleEndian<quint64>(bytes);
}

QString BuiltinKey(const QString& fileName) {
  QString key = fileName;
  key.replace(QLatin1Char('\\'), QLatin1Char('/'));
  return QDir::cleanPath(key).toLower();
}

QHash<QString, BuiltinCatalogue> ReadCatalogueChain(const QString& program, uint64_t chainOffset,
                                                    QString* error) {
  QHash<QString, BuiltinCatalogue> table;
  if (chainOffset == 0) return table;
  QFile file(program);
  if (!file.open(QIODevice::ReadOnly)) return table;  // unreadable program: nothing built in
  const uint64_t fileSize = uint64_t(file.size());
  const QString folder = QFileInfo(program).absolutePath() + QLatin1Char('/');
  auto fail = [&](const QString& why) {
    if (error) *error = QStringLiteral("Built-in catalogues of %1 ignored: %2").arg(program, why);
    return QHash<QString, BuiltinCatalogue>();
  };
  // Every link must point past its own entry, so a chain that would loop is refused there.
  uint64_t position = chainOffset;
  for (;;) {
    uint64_t next = 0;
    if (!ReadU64(file, position, &next)) return fail(QStringLiteral("the chain runs off the file"));
    if (next == 0) return table;
    BuiltinCatalogue entry;
    if (!ReadU64(file, position + 8, &entry.size) || !ReadU64(file, position + 16, &entry.offset))
      return fail(QStringLiteral("the chain runs off the file"));
    if (next < position + 24) return fail(QStringLiteral("the chain loops back"));
    if (next > fileSize || next - position - 24 > kMaxNameLength)
      return fail(QStringLiteral("an entry's name runs off the file"));
    if (entry.offset > fileSize || entry.size > fileSize - entry.offset)
      return fail(QStringLiteral("a catalogue lies outside the file"));
    const QString name = TrimName(file.read(qint64(next - position - 24)));
    const QString key = BuiltinKey(folder + name);
    if (table.contains(key)) return table;  // a duplicate name ends the chain
    table.insert(key, entry);
    position = next;
  }
}

void LoadBuiltinCatalogues(const QString& executable) {
  QString error;
  auto table = ReadCatalogueChain(executable, BuiltinChainOffset(), &error);
  std::lock_guard guard(Builtin().lock);
  Builtin().executable = executable;
  Builtin().error = error;
  Builtin().catalogues = std::move(table);
}

QString ExecutableFileName() {
  std::lock_guard guard(Builtin().lock);
  return Builtin().executable;
}

QString BuiltinCatalogueError() {
  std::lock_guard guard(Builtin().lock);
  return Builtin().error;
}

bool FindBuiltinCatalogue(const QString& fileName, BuiltinCatalogue* found) {
  std::lock_guard guard(Builtin().lock);
  auto it = Builtin().catalogues.constFind(BuiltinKey(fileName));
  if (it == Builtin().catalogues.cend()) return false;
  if (found) *found = *it;
  return true;
}

}  // namespace i18n
