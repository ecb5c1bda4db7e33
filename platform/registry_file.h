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

// Positions in a list by name, letter case ignored: an open-addressing table of hashes of the
// folded names, so that a file of a million values is indexed without a million more strings.
class NameIndex {
 public:
  static size_t Hash(QStringView name);
  // The position with this hash for which same(position) holds, or -1.
  template <typename Same>
  qsizetype Find(size_t hash, Same same) const {
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask; !slots_.empty() && slots_[i].position; i = (i + 1) & mask)
      if (slots_[i].hash == static_cast<uint32_t>(hash) && same(slots_[i].position - 1))
        return static_cast<qsizetype>(slots_[i].position - 1);
    return -1;
  }
  void Add(size_t hash, size_t position);
  void Reserve(size_t count);
  void Prefetch(size_t hash) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
  }

 private:
  struct Slot {         // 8 bytes: a file at our size cap has no more than 16 M names
    uint32_t hash = 0;    // the hash's low half
    uint32_t position = 0;  // in the list, plus one; 0 is a free slot
  };
  std::vector<Slot> slots_;  // a power of two long
  size_t count_ = 0;
};

// Keys and documents keep an index beside their lists, so that reading a file of many values
// stays linear: change the lists only through Set and FindOrAdd (or call Reindex).
struct Key {
  explicit Key(QString keyPath = {}) : path(std::move(keyPath)) {}

  QString path;  // root name and subkeys, "HKEY_LOCAL_MACHINE\Software\ZT_MODBUS_K\ComPort"
  std::vector<Value> values;  // in the order first written

  const Value* Find(const QString& name) const;  // names match without regard to case
  // Replaces the data of an existing value (keeping its name as stored) or appends one.
  void Set(const QString& name, const RegValue& data);
  // Indexes the values anew after they were appended to the list directly (as reading a file
  // does); a name found twice keeps its first place and its last data.
  void Reindex();

 private:
  NameIndex index_;
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
  NameIndex index_;
};

// Root names the file may hold. Keys under HKEY_CLASSES_ROOT, HKEY_USERS or HKEY_CURRENT_CONFIG
// are kept as they are although nothing opens them.
bool IsKnownRootName(const QString& name);

// One key name between backslashes: 1 to 255 characters, no control character. Value names:
// up to 16383 characters, no control character (a line break would end the line).
bool IsValidKeyName(QStringView name);
bool IsValidValueName(QStringView name);

// Fills doc and returns true, or returns false with a reason naming the line ("line 7: ...").
// Duplicate keys are merged; a value named twice keeps its first place and its last data.
bool Parse(const QByteArray& text, Document& doc, QString& error);
QByteArray Write(const Document& doc);

// Normalises a value to the fields its type uses (text, number or bytes).
RegValue Normalized(const RegValue& value);

}  // namespace platform::regfile
