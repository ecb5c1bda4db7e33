// Writes GNU gettext catalogues for tests that msgfmt cannot make: empty translations, zero
// strings, any size, either byte order, and broken ones.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QPair>
#include <QtEndian>
#include <algorithm>

namespace i18n_test {

using Messages = QList<QPair<QByteArray, QByteArray>>;

inline void PutWord(QByteArray& data, qsizetype at, quint32 value, bool bigEndian) {
  if (bigEndian)
    qToBigEndian(value, data.data() + at);
  else
    qToLittleEndian(value, data.data() + at);
}

// Header, originals table, translations table, then the strings with their zeros.
inline QByteArray BuildCatalogue(Messages messages, bool bigEndian = false) {
  std::sort(messages.begin(), messages.end());
  const quint32 n = quint32(messages.size());
  const quint32 o = 28, t = o + 8 * n;
  QByteArray data(qsizetype(t + 8 * n), '\0');
  PutWord(data, 0, 0x950412DE, bigEndian);
  PutWord(data, 8, n, bigEndian);
  PutWord(data, 12, o, bigEndian);
  PutWord(data, 16, t, bigEndian);
  for (int table = 0; table < 2; ++table) {
    for (quint32 i = 0; i < n; ++i) {
      const QByteArray& text = table == 0 ? messages[i].first : messages[i].second;
      const quint32 entry = (table == 0 ? o : t) + 8 * i;
      PutWord(data, entry, quint32(text.size()), bigEndian);
      PutWord(data, entry + 4, quint32(data.size()), bigEndian);
      data.append(text);
      data.append('\0');
    }
  }
  return data;
}

inline bool WriteFile(const QString& name, const QByteArray& data) {
  QFile file(name);
  return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

}  // namespace i18n_test
