#include "platform/registry_file.h"

#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <array>

namespace platform::regfile {

namespace {

constexpr auto kHeader = "Windows Registry Editor Version 5.00";
constexpr std::array<const char*, 5> kRootNames = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                                   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                                                   "HKEY_CURRENT_CONFIG"};
constexpr int kHexLineWidth = 77;  // regedit's wrap, so long hex lists stay readable

bool Failed(QString& error, const QString& why) {
  error = why;
  return false;
}

int HexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}

bool HasControlCharacter(QStringView s) {
  for (const QChar c : s)
    if (c.unicode() < 0x20 && c != u'\t') return true;
  return false;
}

QString CanonicalRoot(QStringView name) {
  for (const char* root : kRootNames)
    if (name.compare(QLatin1String(root), Qt::CaseInsensitive) == 0) return QLatin1String(root);
  return {};
}

QByteArray Utf16Le(const QString& text) {
  QByteArray bytes;
  bytes.reserve((text.size() + 1) * 2);
  for (const QChar c : text) {
    bytes.append(static_cast<char>(c.unicode() & 0xFF));
    bytes.append(static_cast<char>(c.unicode() >> 8));
  }
  bytes.append(2, '\0');  // the terminating zero regedit stores with the string
  return bytes;
}

QString FromUtf16Le(const QByteArray& bytes) {
  QString text;
  text.reserve(bytes.size() / 2);
  for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
    text.append(QChar(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                            static_cast<uint8_t>(bytes[i + 1]) << 8)));
  if (text.endsWith(QChar(0))) text.chop(1);
  return text;
}

void AppendQuoted(QByteArray& out, const QString& text) {
  out += '"';
  if (text.contains(u'\\') || text.contains(u'"')) {
    QString escaped = text;
    out += escaped.replace(u'\\', QLatin1String("\\\\")).replace(u'"', QLatin1String("\\\"")).toUtf8();
  } else {
    out += text.toUtf8();
  }
  out += '"';
}

// Appends bytes as a hex list to the line that starts at lineStart in out.
void AppendHexList(QByteArray& out, qsizetype lineStart, const QByteArray& bytes) {
  qsizetype width = out.size() - lineStart;
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    if (width + 3 > kHexLineWidth) {
      out += "\\\n  ";
      width = 2;
    }
    const auto byte = static_cast<uint8_t>(bytes[i]);
    out += "0123456789abcdef"[byte >> 4];
    out += "0123456789abcdef"[byte & 15];
    width += 2;
    if (i + 1 < bytes.size()) {
      out += ',';
      ++width;
    }
  }
}

void AppendValueLine(QByteArray& out, const Value& value) {
  const qsizetype lineStart = out.size();
  if (value.name.isEmpty())
    out += '@';
  else
    AppendQuoted(out, value.name);
  out += '=';
  const RegValue& data = value.data;
  switch (data.type) {
    case REG_SZ:
      if (!HasControlCharacter(data.text) && data.text.isValidUtf16()) {
        AppendQuoted(out, data.text);
        return;
      }
      out += "hex(1):";
      AppendHexList(out, lineStart, Utf16Le(data.text));
      return;
    case REG_DWORD:
      out += "dword:" + QByteArray::number(data.number, 16).rightJustified(8, '0');
      return;
    case REG_EXPAND_SZ:
      out += "hex(2):";
      AppendHexList(out, lineStart, Utf16Le(data.text));
      return;
    case REG_BINARY:
      out += "hex:";
      break;
    default:
      out += "hex(" + QByteArray::number(static_cast<uint32_t>(data.type), 16) + "):";
  }
  AppendHexList(out, lineStart, data.bytes);
}

// Decodes the whole file; false with a reason when it is not text in one of our encodings.
bool DecodeText(const QByteArray& raw, QString& text, QString& error) {
  if (raw.startsWith("\xFF\xFE")) {  // regedit's own exports are UTF-16
    auto decode = QStringDecoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
    text = decode(QByteArrayView(raw).sliced(2));
    if (decode.hasError() || raw.size() % 2 != 0) return Failed(error, "not valid UTF-16 text");
  } else {
    const QByteArrayView body = QByteArrayView(raw).sliced(raw.startsWith("\xEF\xBB\xBF") ? 3 : 0);
    const qsizetype nul = body.indexOf('\0');
    if (nul >= 0)
      return Failed(error, QStringLiteral("line %1: a zero byte")
                               .arg(std::count(body.begin(), body.begin() + nul, '\n') + 1));
    auto decode = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    text = decode(body);
    if (decode.hasError()) return Failed(error, "not valid UTF-8 text");
  }
  return true;
}

class LineParser {
 public:
  LineParser(QStringView line, int number) : s_(line), number_(number) {}

  bool Fail(const QString& why) {
    error_ = QStringLiteral("line %1: %2").arg(number_).arg(why);
    return false;
  }
  const QString& Error() const { return error_; }

  bool ParseKey(Document& doc, Key*& current);
  bool ParseValue(Key& key);

 private:
  bool ReadQuoted(QString& out);
  bool Data(RegValue& out);
  bool HexList(QByteArray& out);
  void SkipBlanks() {
    while (pos_ < s_.size() && (s_[pos_] == u' ' || s_[pos_] == u'\t')) ++pos_;
  }
  bool AtKeyword(const char* word) {
    const QLatin1String w(word);
    if (s_.mid(pos_, w.size()).compare(w, Qt::CaseInsensitive) != 0) return false;
    pos_ += w.size();
    return true;
  }

  QStringView s_;
  int number_;
  qsizetype pos_ = 0;
  QString error_;
};

bool LineParser::ParseKey(Document& doc, Key*& current) {
  if (!s_.endsWith(u']')) return Fail("a key line must end with \"]\"");
  const QStringView inner = s_.mid(1, s_.size() - 2);
  if (inner.startsWith(u'-')) return Fail("deleting keys is not supported");
  const QList<QStringView> parts = inner.split(u'\\');
  QString path = CanonicalRoot(parts.first());
  if (path.isEmpty()) return Fail(QStringLiteral("unknown root \"%1\"").arg(parts.first()));
  for (qsizetype i = 1; i < parts.size(); ++i) {
    if (!IsValidKeyName(parts[i])) return Fail("bad key name");
    path += u'\\';
    path += parts[i];
  }
  current = &doc.FindOrAdd(path);
  return true;
}

bool LineParser::ParseValue(Key& key) {
  QString name;
  if (s_.startsWith(u'@')) {
    pos_ = 1;
  } else if (!ReadQuoted(name)) {
    return false;
  }
  if (!IsValidValueName(name)) return Fail("value name too long");
  SkipBlanks();
  if (pos_ >= s_.size() || s_[pos_] != u'=') return Fail("\"=\" expected after the value name");
  ++pos_;
  SkipBlanks();
  RegValue data;
  if (!Data(data)) return false;
  key.values.push_back({std::move(name), std::move(data)});  // indexed once the file is read
  return true;
}

bool LineParser::ReadQuoted(QString& out) {
  ++pos_;  // the opening quote
  // Most texts hold no escape: taken in one piece.
  const qsizetype close = s_.indexOf(u'"', pos_);
  if (close >= 0 && !s_.sliced(pos_, close - pos_).contains(u'\\')) {
    out = s_.sliced(pos_, close - pos_).toString();
    pos_ = close + 1;
    return true;
  }
  while (pos_ < s_.size()) {
    const QChar c = s_[pos_++];
    if (c == u'"') return true;
    if (c == u'\\') {
      if (pos_ >= s_.size() || (s_[pos_] != u'\\' && s_[pos_] != u'"'))
        return Fail("unknown escape after \"\\\"");
      out.append(s_[pos_++]);
    } else {
      out.append(c);
    }
  }
  return Fail("missing closing quote");
}

bool LineParser::Data(RegValue& out) {
  if (pos_ < s_.size() && s_[pos_] == u'"') {
    out.type = REG_SZ;
    if (!ReadQuoted(out.text)) return false;
    SkipBlanks();
    return pos_ == s_.size() || Fail("text after the closing quote");
  }
  if (AtKeyword("dword:")) {
    const QStringView digits = s_.mid(pos_).trimmed();
    bool ok = false;
    out.type = REG_DWORD;
    out.number = digits.toUInt(&ok, 16);
    if (!ok || digits.size() > 8 || digits.startsWith(u'+') || digits.startsWith(u'-'))
      return Fail("dword: needs 1 to 8 hexadecimal digits");
    return true;
  }
  if (!AtKeyword("hex")) {
    if (pos_ < s_.size() && s_[pos_] == u'-') return Fail("deleting values is not supported");
    return Fail("unknown value type");
  }
  uint32_t type = REG_BINARY;
  if (pos_ < s_.size() && s_[pos_] == u'(') {
    const qsizetype close = s_.indexOf(u')', pos_);
    bool ok = false;
    type = close < 0 ? 0 : s_.mid(pos_ + 1, close - pos_ - 1).toUInt(&ok, 16);
    if (!ok || close - pos_ - 1 > 8) return Fail("bad hex(type)");
    pos_ = close + 1;
  }
  if (!AtKeyword(":")) return Fail("\":\" expected after hex");
  QByteArray bytes;
  if (!HexList(bytes)) return false;
  out.type = static_cast<RegType>(type);
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    if (bytes.size() % 2 != 0) return Fail("a string in hex needs an even number of bytes");
    out.text = FromUtf16Le(bytes);
  } else if (type == REG_DWORD) {
    if (bytes.size() != 4) return Fail("hex(4) needs exactly 4 bytes");
    for (int i = 3; i >= 0; --i) out.number = out.number << 8 | static_cast<uint8_t>(bytes[i]);
  } else {
    out.bytes = bytes;
  }
  return true;
}

bool LineParser::HexList(QByteArray& out) {
  SkipBlanks();
  if (pos_ == s_.size()) return true;
  out.reserve((s_.size() - pos_) / 3 + 1);
  for (;;) {
    SkipBlanks();
    int value = 0, digits = 0;
    for (; pos_ < s_.size() && digits < 3 && HexDigit(s_[pos_]) >= 0; ++pos_, ++digits)
      value = value * 16 + HexDigit(s_[pos_]);
    if (digits == 0 || digits > 2) return Fail("hex bytes must be one or two hexadecimal digits");
    out.append(static_cast<char>(value));
    SkipBlanks();
    if (pos_ == s_.size()) return true;
    if (s_[pos_] != u',') return Fail("\",\" expected between hex bytes");
    ++pos_;
  }
}

}  // namespace

bool IsKnownRootName(const QString& name) {
  return !CanonicalRoot(name).isEmpty();
}

bool IsValidKeyName(QStringView name) {
  return !name.isEmpty() && name.size() <= 255 && !name.contains(u'\\') &&
         !HasControlCharacter(name) && !name.contains(u'\t') && name.isValidUtf16();
}

bool IsValidValueName(QStringView name) {
  return name.size() <= 16383 && !HasControlCharacter(name) && name.isValidUtf16();
}

RegValue Normalized(const RegValue& value) {
  RegValue out;
  out.type = value.type;
  if (value.type == REG_SZ || value.type == REG_EXPAND_SZ)
    out.text = value.text;
  else if (value.type == REG_DWORD)
    out.number = value.number;
  else
    out.bytes = value.bytes;
  return out;
}

// How many of the lines from position on, up to the next key, hold values: room to make at
// once for a key of many values.
size_t ValueLinesAhead(QStringView text, qsizetype position) {
  size_t count = 0;
  for (qsizetype end = 0; position < text.size(); position = end + 1) {
    end = text.indexOf(u'\n', position);
    if (end < 0) end = text.size();
    const QStringView line = text.sliced(position, end - position).trimmed();
    if (line.startsWith(u'[')) break;
    count += line.startsWith(u'"') || line.startsWith(u'@');
  }
  return count;
}

bool Parse(const QByteArray& raw, Document& doc, QString& error) {
  doc = {};
  QString decoded;
  if (!DecodeText(raw, decoded, error)) return false;
  const QStringView text(decoded);
  if (text.trimmed().isEmpty()) return true;  // an emptied file holds no keys
  // Lines as views into the text: a file of a million lines makes no million strings.
  qsizetype next = 0;
  auto more = [&] { return next <= text.size(); };
  auto nextLine = [&] {
    qsizetype end = text.indexOf(u'\n', next);
    if (end < 0) end = text.size();
    const QStringView line = text.sliced(next, end - next).trimmed();
    next = end + 1;
    return line;
  };
  if (nextLine() != QLatin1String(kHeader))
    return Failed(error,
                  QStringLiteral("line 1: not a registry file (\"%1\" expected)").arg(kHeader));
  Key* current = nullptr;
  QString joined;
  for (int number = 2; more(); ++number) {
    QStringView line = nextLine();
    const int first = number;
    // A hex list goes on over lines that end in a backslash; no other line ends in one.
    if (line.endsWith(u'\\') && more()) {
      joined = line.toString();
      while (joined.endsWith(u'\\') && more()) {
        joined.chop(1);  // in place: a long list spans thousands of lines
        joined += nextLine();
        ++number;
      }
      line = joined;
    }
    LineParser parser(line, first);
    if (line.isEmpty() || line.startsWith(u';')) continue;
    bool ok = true;
    if (HasControlCharacter(line)) {
      ok = parser.Fail("a control character");
    } else if (line.startsWith(u'[')) {
      ok = parser.ParseKey(doc, current);
      if (ok) current->values.reserve(current->values.size() + ValueLinesAhead(text, next));
    } else if (line.startsWith(u'"') || line.startsWith(u'@')) {
      ok = current ? parser.ParseValue(*current) : parser.Fail("a value before the first key");
    } else {
      ok = parser.Fail("neither a key nor a value");
    }
    if (!ok) return Failed(error, parser.Error());
  }
  for (Key& key : doc.keys) key.Reindex();
  return true;
}

QByteArray Write(const Document& doc) {
  QByteArray out = QByteArray(kHeader) + '\n';
  for (const Key& key : doc.keys) {
    out += "\n[" + key.path.toUtf8() + "]\n";
    for (const Value& value : key.values) {
      AppendValueLine(out, value);
      out += '\n';
    }
  }
  return out;
}

}  // namespace platform::regfile
