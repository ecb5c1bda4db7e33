#include "platform/ini_file.h"

#include <QtDebug>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/locked_file.h"

namespace platform {

namespace {

// One line of the file. Lines are kept as their bytes so that an update rewrites only the
// lines it changes: comments, layout and text in other encodings survive.
struct IniLine {
  enum Kind { kOther, kSection, kEntry };
  QByteArray raw;  // without the line ending
  Kind kind = kOther;
  QString name;   // section or key, trimmed
  QString value;  // of an entry, as it reads
};

struct IniText {
  QByteArray bom;
  QByteArray eol = "\n";  // the file's own line ending is kept
  std::vector<IniLine> lines;
};

bool SameName(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool HasControlCharacter(const QString& s) {
  for (const QChar c : s)
    if (c.unicode() < 0x20 && c != u'\t') return true;
  return false;
}

// Values are trimmed when read, and one pair of enclosing quotes is taken off, as the
// original platform's ini functions do; so values that would lose something are quoted.
QString EncodeValue(const QString& value) {
  const bool quote = value != value.trimmed() ||
                     (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'));
  return quote ? u'"' + value + u'"' : value;
}

QString DecodeValue(const QString& text) {
  const QString value = text.trimmed();
  if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
    return value.mid(1, value.size() - 2);
  return value;
}

IniLine Classify(QByteArray raw) {
  IniLine line;
  line.raw = std::move(raw);
  const QString text = QString::fromUtf8(line.raw).trimmed();
  if (text.isEmpty() || text.startsWith(u';') || text.startsWith(u'#')) return line;
  if (text.startsWith(u'[')) {
    const qsizetype close = text.indexOf(u']');
    if (close > 0) {
      line.kind = IniLine::kSection;
      line.name = text.mid(1, close - 1).trimmed();
    }
    return line;
  }
  const qsizetype eq = text.indexOf(u'=');
  if (eq > 0 && !text.left(eq).trimmed().isEmpty()) {
    line.kind = IniLine::kEntry;
    line.name = text.left(eq).trimmed();
    line.value = DecodeValue(text.mid(eq + 1));
  }
  return line;
}

IniText Split(QByteArray data) {
  IniText text;
  if (data.startsWith("\xEF\xBB\xBF")) {
    text.bom = data.left(3);
    data.remove(0, 3);
  }
  const qsizetype firstEol = data.indexOf('\n');
  if (firstEol > 0 && data[firstEol - 1] == '\r') text.eol = "\r\n";
  QList<QByteArray> raws = data.split('\n');
  if (!raws.isEmpty() && raws.last().isEmpty()) raws.removeLast();  // after the final ending
  for (QByteArray& raw : raws) {
    if (raw.endsWith('\r')) raw.chop(1);
    text.lines.push_back(Classify(std::move(raw)));
  }
  return text;
}

QByteArray Join(const IniText& text) {
  QByteArray out = text.bom;
  for (const IniLine& line : text.lines) out += line.raw + text.eol;
  return out;
}

QString Fold(const QString& s) {
  return s.toCaseFolded();
}

// Keys before the first section belong to none and are not read; where a section or key
// appears twice the first one counts, as it does for the writes below.
std::map<std::pair<QString, QString>, QString> Values(const IniText& text) {
  std::map<std::pair<QString, QString>, QString> values;
  QString section;
  bool inSection = false;
  for (const IniLine& line : text.lines) {
    if (line.kind == IniLine::kSection) {
      section = Fold(line.name);
      inSection = true;
    } else if (line.kind == IniLine::kEntry && inSection) {
      values.try_emplace({section, Fold(line.name)}, line.value);
    }
  }
  return values;
}

IniLine EntryLine(const QString& key, const QString& value) {
  return Classify(key.toUtf8() + '=' + EncodeValue(value).toUtf8());
}

// Replaces the key's first line, or adds it after the last entry of the section's first
// appearance, or adds the section at the end.
void Apply(IniText& text, const QString& section, const QString& key, const QString& value) {
  auto& lines = text.lines;
  qsizetype insertAt = -1;
  bool inSection = false, inFirst = false;
  for (qsizetype i = 0; i < static_cast<qsizetype>(lines.size()); ++i) {
    if (lines[i].kind == IniLine::kSection) {
      inSection = SameName(lines[i].name, section);
      inFirst = inSection && insertAt < 0;
      if (inFirst) insertAt = i + 1;
    } else if (lines[i].kind == IniLine::kEntry && inSection) {
      if (SameName(lines[i].name, key)) {
        lines[i] = EntryLine(lines[i].name, value);
        return;
      }
      if (inFirst) insertAt = i + 1;
    }
  }
  if (insertAt >= 0) {
    lines.insert(lines.begin() + insertAt, EntryLine(key, value));
    return;
  }
  if (!lines.empty() && !lines.back().raw.trimmed().isEmpty()) lines.push_back(Classify({}));
  lines.push_back(Classify('[' + section.toUtf8() + ']'));
  lines.push_back(EntryLine(key, value));
}

[[noreturn]] void Refuse(const QString& why) {
  throw std::runtime_error(why.toStdString());
}

void CheckNames(const QString& section, const QString& key) {
  if (section.isEmpty() || HasControlCharacter(section) || section.contains(u']'))
    Refuse(QStringLiteral("An ini file cannot hold the section name \"%1\"").arg(section));
  if (key.isEmpty() || HasControlCharacter(key) || key.contains(u'=') || key.startsWith(u'[') ||
      key.startsWith(u';') || key.startsWith(u'#'))
    Refuse(QStringLiteral("An ini file cannot hold the key name \"%1\"").arg(key));
}

}  // namespace

IniFile::IniFile(QString fileName) : fileName_(std::move(fileName)) {
  detail::FileReadResult read = detail::ReadStoreFile(fileName_);
  if (read.status == detail::FileReadResult::kRead)
    values_ = Values(Split(std::move(read.data)));
  else if (read.status == detail::FileReadResult::kFailed)
    qWarning().noquote() << "ini file:" << fileName_ << read.errorText;
}

QString IniFile::ReadString(const QString& section, const QString& key,
                            const QString& defaultValue) const {
  const auto found = values_.find({Fold(section.trimmed()), Fold(key.trimmed())});
  return found == values_.end() ? defaultValue : found->second;
}

int32_t IniFile::ReadInteger(const QString& section, const QString& key,
                             int32_t defaultValue) const {
  const QString text = ReadString(section, key, {}).trimmed();
  bool ok = false;
  qlonglong number = 0;
  if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
    number = text.mid(2).toLongLong(&ok, 16);
  else if (text.startsWith(u'$'))
    number = text.mid(1).toLongLong(&ok, 16);
  else
    number = text.toLongLong(&ok, 10);
  if (!ok || number < INT32_MIN || number > INT32_MAX) return defaultValue;
  return static_cast<int32_t>(number);
}

void IniFile::WriteString(const QString& sectionName, const QString& keyName,
                          const QString& value) {
  const QString section = sectionName.trimmed(), key = keyName.trimmed();
  CheckNames(section, key);
  if (value.contains(u'\n') || value.contains(u'\r') || value.contains(QChar(0)))
    Refuse(QStringLiteral("The value of \"%1\" holds a line break; an ini file keeps a value "
                          "on one line")
               .arg(key));
  values_[{Fold(section), Fold(key)}] = value;
  for (Write& write : pending_) {
    if (SameName(write.section, section) && SameName(write.key, key)) {
      write.value = value;
      return;
    }
  }
  pending_.push_back({section, key, value});
}

void IniFile::WriteInteger(const QString& section, const QString& key, int32_t value) {
  WriteString(section, key, QString::number(value));
}

void IniFile::UpdateFile() {
  if (pending_.empty()) return;
  if (const int err = detail::EnsureParentFolder(fileName_))
    Refuse(QStringLiteral("Cannot create the folder of %1: %2")
               .arg(fileName_, detail::SystemWords(err)));
  detail::FileLock lock(fileName_ + QStringLiteral(".lock"));
  if (lock.Errno() == EBUSY)
    Refuse(QStringLiteral("Another copy of the program holds %1").arg(fileName_));
  if (!lock.Locked())
    Refuse(QStringLiteral("Cannot lock %1: %2")
               .arg(fileName_, detail::SystemWords(lock.Errno())));
  // The file as it is now, which another program may have changed since we read it. One we
  // cannot read is left alone rather than replaced by our few keys.
  detail::FileReadResult read = detail::ReadStoreFile(fileName_);
  if (read.status == detail::FileReadResult::kFailed)
    Refuse(QStringLiteral("Cannot read %1: %2").arg(fileName_, read.errorText));
  IniText text = Split(read.data);
  for (const Write& write : pending_) Apply(text, write.section, write.key, write.value);
  const QByteArray after = Join(text);
  if (after.size() > detail::kMaxStoreFileSize)
    Refuse(QStringLiteral("%1 would grow past %2 bytes")
               .arg(fileName_)
               .arg(detail::kMaxStoreFileSize));
  QString why;
  if (after == read.data)
    detail::RemoveLeftoverTemporary(fileName_);
  else if (detail::ReplaceFileAtomically(fileName_, after, &why) != 0)
    Refuse(QStringLiteral("Cannot write %1: %2").arg(fileName_, why));
  values_ = Values(text);
  pending_.clear();
}

}  // namespace platform
