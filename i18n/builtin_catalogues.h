// Catalogues built into the executable: a packing step appends them to the program file and
// writes the offset of their chain behind a fixed signature inside the program.
#pragma once

#include <QHash>
#include <QString>
#include <cstdint>

namespace i18n {

struct BuiltinCatalogue {
  uint64_t offset = 0;  // inside the executable file
  uint64_t size = 0;
};

// The 36-character signature; the 8-byte little-endian chain offset follows it in the program.
inline constexpr int kSignatureLength = 36;

// The chain offset this program carries (0 when nothing is built in).
uint64_t BuiltinChainOffset();

// Reads a chain from `program` starting at `chainOffset`. Names are relative to the program's
// folder and keyed here as absolute paths in lower case with '/' separators. A chain that runs
// off the file, loops, or names a catalogue outside the file gives an empty table and `error`.
QHash<QString, BuiltinCatalogue> ReadCatalogueChain(const QString& program, uint64_t chainOffset,
                                                    QString* error);

// The running program's table, read once at start-up, and what went wrong reading it.
void LoadBuiltinCatalogues(const QString& executable);
QString ExecutableFileName();
QString BuiltinCatalogueError();
bool FindBuiltinCatalogue(const QString& fileName, BuiltinCatalogue* found);

// The key a file name has in the table.
QString BuiltinKey(const QString& fileName);

}  // namespace i18n
