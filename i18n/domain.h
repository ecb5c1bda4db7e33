// One text domain: where its catalogue is sought, and the catalogue once it is read.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>

namespace i18n {

class TDomain {
 public:
  // `fallbackDirectories` are searched (with trailing separators) after `directory` when it has
  // no catalogue: the installed share folder of an installed program.
  TDomain(QString name, QString directory, QString language, QStringList fallbackDirectories = {});
  ~TDomain();
  TDomain(const TDomain&) = delete;
  TDomain& operator=(const TDomain&) = delete;

  const QString& Name() const { return name_; }
  QString Directory() const;
  QString Language() const;
  // Both close the catalogue, so the next lookup searches again.
  void SetDirectory(const QString& directory);
  void SetLanguage(const QString& language);

  // The translation of a UTF-8 key, or the key itself. Opens the catalogue on first use;
  // a catalogue that cannot be opened raises once, later lookups return their keys.
  QByteArray Lookup(const QByteArray& key);

  // The file name of the open catalogue (empty when none is open): for diagnostics and tests.
  QString CatalogueName() const;
  uint32_t StringCount() const;

  // True while this thread opens a catalogue: Qt may translate a file error text then, and
  // that lookup must not come back into a domain whose lock this thread holds.
  static bool OpeningOnThisThread();

 private:
  void Close();  // caller holds the write lock
  void OpenCatalogue();
  QString ChooseCatalogue() const;
  void ReadCatalogue(const QString& fileName);
  void CheckCatalogue(const QString& fileName);
  uint32_t Word(uint64_t offset) const;
  QByteArray Entry(uint32_t table, uint32_t index) const;

  const QString name_;
  QString directory_;
  QString language_;
  QStringList fallbacks_;
  bool open_ = false;
  bool tryOpen_ = true;
  bool swapped_ = false;
  uint32_t n_ = 0, o_ = 0, t_ = 0;
  QByteArray data_;               // the whole catalogue
  const uchar* base_ = nullptr;  // its bytes
  uint64_t size_ = 0;
  QString catalogueName_;
  mutable std::shared_mutex lock_;
};

}  // namespace i18n
