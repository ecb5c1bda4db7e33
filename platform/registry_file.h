// The registry's file: the registry export text format.
//
//     Windows Registry Editor Version 5.00
//
//     [HKEY_LOCAL_MACHINE\Software\ZT_MODBUS_K\ComPort]
//     "Port"="/dev/ttyUSB0"
//     "CustomBaudRate"=dword:00007a12
//
// UTF-8 (a UTF-8 or UTF-16 byte order mark is accepted when reading). Inside quotes "\\" and
// "\"" are the only escapes. Strings that quotes cannot carry (line breaks and other control
// characters, unpaired surrogates) are written as hex(1): with their UTF-16 bytes, as regedit
// does; REG_EXPAND_SZ as hex(2):, REG_BINARY as hex:, any other type as hex(<type>):. "@" names
// the unnamed value, ";" starts a comment line, a hex list may continue over lines ending in
// "\". Key deletions ("[-...]", "=-") are refused: this file is a store, not a patch.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <vector>

#include "platform/registry.h"

namespace platform::regfile {

struct Value {
  QString name;
  RegValue data;
};

// A name as it compares: letter case folded the way QString::compare(Qt::CaseInsensitive)
// folds it, so that equal names give equal strings.
QString Folded(const QString& name);

// Keys and documents keep an index by folded name beside their lists, so that reading a file
// of many values stays linear: change the lists only through Set and FindOrAdd.
struct Key {
  explicit Key(QString keyPath = {}) : path(std::move(keyPath)) {}

  QString path;  // root name and subkeys, "HKEY_LOCAL_MACHINE\Software\ZT_MODBUS_K\ComPort"
  std::vector<Value> values;  // in the order first written

  const Value* Find(const QString& name) const;  // names match without regard to case
  // Replaces the data of an existing value (keeping its name as stored) or appends one.
  void Set(const QString& name, const RegValue& data);

 private:
  QHash<QString, size_t> index_;  // folded name -> place in values
};

struct Document {
  std::vector<Key> keys;  // in the order created

  Key* Find(const QString& path);  // case-insensitive
  const Key* Find(const QString& path) const;
  Key& FindOrAdd(const QString& path);
  // The spelling of the first stored key at or below path, cut to path's length: an
  // ancestor that exists only through its subkeys is found this way. Empty when none.
  QString ExistingSpelling(const QString& path) const;

 private:
  QHash<QString, size_t> index_;  // folded path -> place in keys
};

// Root names the file may hold. Keys under HKEY_CLASSES_ROOT, HKEY_USERS or HKEY_CURRENT_CONFIG
// are kept as they are although nothing opens them.
bool IsKnownRootName(const QString& name);

// One key name between backslashes: 1 to 255 characters, no control character. Value names:
// up to 16383 characters, no control character (a line break would end the line).
bool IsValidKeyName(const QString& name);
bool IsValidValueName(const QString& name);

// Fills doc and returns true, or returns false with a reason naming the line ("line 7: ...").
// Duplicate keys are merged; a value named twice keeps its first place and its last data.
bool Parse(const QByteArray& text, Document& doc, QString& error);
QByteArray Write(const Document& doc);

// Normalises a value to the fields its type uses (text, number or bytes).
RegValue Normalized(const RegValue& value);

}  // namespace platform::regfile
