// Replays through the fuzz entries every seed input and every input that once made a reader
// crash or fail a check, so that the fixes stay.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <cstdio>

#include "entries.h"

namespace {

// The inputs of one target: its seeds and its kept failures.
QStringList InputsOf(const char* target) {
  QStringList files;
  for (const char* kind : {"corpus", "regressions"}) {
    const QDir dir(
        QStringLiteral(FUZZ_DIR "/%1/%2").arg(QLatin1String(kind), QLatin1String(target)));
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) files << dir.filePath(name);
  }
  return files;
}

class Replay : public ::testing::TestWithParam<const char*> {};

TEST_P(Replay, EveryKeptInputRunsThroughItsReader) {
  const fuzz::Entry entry = fuzz::EntryFor(GetParam());
  ASSERT_NE(entry, nullptr);
  const QStringList files = InputsOf(GetParam());
  EXPECT_FALSE(files.isEmpty()) << "no seed inputs for " << GetParam();
  for (const QString& path : files) {
    SCOPED_TRACE(path.toStdString());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // A failed check aborts the process; this line names the input that did it.
    std::fprintf(stderr, "replaying %s\n", qPrintable(path));
    entry(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
  }
}

INSTANTIATE_TEST_SUITE_P(Readers, Replay,
                         ::testing::Values("answers", "catalogue", "theme", "registry", "ini",
                                           "properties"),
                         [](const auto& param) { return std::string(param.param); });

}  // namespace
