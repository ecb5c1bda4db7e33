// Builds translation catalogues into a program: appends the catalogue files to the program
// file, chains them by name, and writes the chain's offset behind the program's signature.
//
//   zt-catalogue-pack PROGRAM NAME=CATALOGUE [NAME=CATALOGUE ...]
//
// NAME is the path the program would find the file at, relative to its folder, for example
// locale/de/LC_MESSAGES/cport.mo.
#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <QtEndian>
#include <cstdio>

namespace {

const QByteArray signature = QByteArrayLiteral("6637DB2E-62E1-4A60-AC19-C23867046A89");

int Fail(const QString& message) {
  std::fprintf(stderr, "zt-catalogue-pack: %s\n", qPrintable(message));
  return 1;
}

bool Refuse(const QString& message) {
  Fail(message);
  return false;
}

void AppendU64(QByteArray& data, quint64 value) {
  char bytes[8];
  qToLittleEndian(value, bytes);
  data.append(bytes, 8);
}

void AlignTo8(QByteArray& data) {
  while (data.size() % 8) data.append('\0');
}

bool IsCatalogue(const QByteArray& bytes) {
  if (bytes.size() < 20) return false;
  const quint32 magic = qFromLittleEndian<quint32>(bytes.constData());
  return magic == 0x950412DE || magic == 0xDE120495;
}

// The signature's position in the program, or a message why it cannot be used.
qsizetype FindSignature(const QByteArray& program, QString* error) {
  const qsizetype at = program.indexOf(signature);
  if (at < 0) {
    *error = QStringLiteral("the program carries no catalogue signature");
  } else if (program.indexOf(signature, at + 1) >= 0) {
    *error = QStringLiteral("the program carries the signature more than once");
  } else if (at + signature.size() + 8 > program.size()) {
    *error = QStringLiteral("the signature is cut off");
  } else if (qFromLittleEndian<quint64>(program.constData() + at + signature.size()) != 0) {
    *error = QStringLiteral("the program already has built-in catalogues");
  } else {
    return at;
  }
  return -1;
}

struct Entry {
  QByteArray name;
  quint64 offset, size;
};

// Appends each NAME=CATALOGUE argument's file to the program, 8-byte aligned.
bool AppendCatalogues(QByteArray& program, int argc, char** argv, QList<Entry>& entries) {
  for (int i = 2; i < argc; ++i) {
    const QString argument = QString::fromLocal8Bit(argv[i]);
    const qsizetype equals = argument.indexOf(QLatin1Char('='));
    if (equals <= 0) return Refuse(QStringLiteral("expected NAME=CATALOGUE: ") + argument);
    QFile catalogue(argument.mid(equals + 1));
    if (!catalogue.open(QIODevice::ReadOnly))
      return Refuse(catalogue.fileName() + QStringLiteral(": ") + catalogue.errorString());
    const QByteArray bytes = catalogue.readAll();
    if (!IsCatalogue(bytes))
      return Refuse(catalogue.fileName() + QStringLiteral(": not a GNU gettext mo file"));
    AlignTo8(program);
    entries.append(
        {argument.left(equals).trimmed().toUtf8(), quint64(program.size()), quint64(bytes.size())});
    program.append(bytes);
  }
  return true;
}

// Each entry: next entry's offset, size, offset, name; a zero link ends the chain.
quint64 AppendChain(QByteArray& program, const QList<Entry>& entries) {
  AlignTo8(program);
  const quint64 chain = quint64(program.size());
  for (const Entry& entry : entries) {
    AppendU64(program, quint64(program.size()) + 24 + quint64(entry.name.size()));
    AppendU64(program, entry.size);
    AppendU64(program, entry.offset);
    program.append(entry.name);
  }
  AppendU64(program, 0);
  return chain;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3)
    return Fail(QStringLiteral("usage: zt-catalogue-pack PROGRAM NAME=CATALOGUE [...]"));
  const QString programName = QString::fromLocal8Bit(argv[1]);
  QFile input(programName);
  if (!input.open(QIODevice::ReadOnly))
    return Fail(programName + QStringLiteral(": ") + input.errorString());
  QByteArray program = input.readAll();
  const QFile::Permissions permissions = input.permissions();
  input.close();
  QString error;
  const qsizetype signatureAt = FindSignature(program, &error);
  if (signatureAt < 0) return Fail(programName + QStringLiteral(": ") + error);

  QList<Entry> entries;
  if (!AppendCatalogues(program, argc, argv, entries)) return 1;
  qToLittleEndian(AppendChain(program, entries), program.data() + signatureAt + signature.size());

  // Written whole or not at all: a failed packing leaves the program as it was.
  QSaveFile output(programName);
  if (!output.open(QIODevice::WriteOnly) || output.write(program) != program.size() ||
      !output.commit())
    return Fail(programName + QStringLiteral(": ") + output.errorString());
  QFile::setPermissions(programName, permissions);
  return 0;
}
