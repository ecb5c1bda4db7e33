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

// Header, originals table, translations table, then the strings with their zeros; or, with
// tablesLast, the strings first and the translations table ending the file.
inline QByteArray BuildCatalogue(Messages messages, bool bigEndian = false,
                                 bool tablesLast = false) {
  std::sort(messages.begin(), messages.end());
  const quint32 n = quint32(messages.size());
  QByteArray texts;
  for (const auto& [original, translation] : messages) texts += original + '\0';
  for (const auto& [original, translation] : messages) texts += translation + '\0';
  const quint32 o = tablesLast ? 28 + quint32(texts.size()) : 28, t = o + 8 * n;
  const quint32 textStart = tablesLast ? 28 : t + 8 * n;
  QByteArray data(qsizetype(28 + 16 * n), '\0');
  data.insert(tablesLast ? 28 : data.size(), texts);
  PutWord(data, 0, 0x950412DE, bigEndian);
  PutWord(data, 8, n, bigEndian);
  PutWord(data, 12, o, bigEndian);
  PutWord(data, 16, t, bigEndian);
  quint32 at = textStart;
  for (quint32 i = 0; i < 2 * n; ++i) {
    const QByteArray& text = i < n ? messages[i].first : messages[i - n].second;
    PutWord(data, o + 8 * i, quint32(text.size()), bigEndian);  // the two tables are adjacent
    PutWord(data, o + 8 * i + 4, at, bigEndian);
    at += quint32(text.size()) + 1;
  }
  return data;
}

inline bool WriteFile(const QString& name, const QByteArray& data) {
  QFile file(name);
  return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

}  // namespace i18n_test
