// An ini file: sections of key=value lines. The file is read when the object is made; reads
// take a default for a missing key; writes are kept until UpdateFile, which lays them over the
// file as it is then (under a lock file) and replaces it atomically (temporary file and
// rename), keeping every other section and key.
#pragma once

#include <QString>

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace platform {

class IniFile {
 public:
  explicit IniFile(QString fileName);

  const QString& FileName() const { return fileName_; }

  // Sections and keys match without regard to letter case. A file that cannot be read yields
  // the defaults.
  QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
  int32_t ReadInteger(const QString& section, const QString& key, int32_t defaultValue) const;

  // A value is kept on one line as it is; one with a line break or a zero character, and a
  // section or key name the file could not hold, throw std::runtime_error here. Values with
  // spaces at either end, or wrapped in double quotes, are written in quotes so they read back
  // exactly.
  void WriteString(const QString& section, const QString& key, const QString& value);
  void WriteInteger(const QString& section, const QString& key, int32_t value);

  // Writes the changes; throws std::runtime_error with a readable message when the file
  // cannot be written. Nothing to write: nothing happens.
  void UpdateFile();

 private:
  using Name = std::pair<QString, QString>;  // section and key, case-folded

  struct Write {
    QString section;
    QString key;
    QString value;
  };

  QString fileName_;
  std::map<Name, QString> values_;  // the file as last read, with the pending writes
  std::vector<Write> pending_;      // writes not yet in the file, one per key, in order made
};

}  // namespace platform
