// Catalogues beside a program and built into it by the packing tool, run as a real program.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QtEndian>

#include "child_process.h"
#include "mo_builder.h"
#include "qt_printers.h"

using namespace i18n_test;

namespace {

const QString testDir = QStringLiteral(I18N_TEST_DIR);
const QByteArray signature = QByteArrayLiteral("6637DB2E-62E1-4A60-AC19-C23867046A89");

// The probe's output lines: language, built-in error, then one per lookup.
QStringList RunProbe(const QString& program, const QByteArray& lang, const QStringList& lookups,
                     const QString& lcAll = QString()) {
  const QStringList environment = {"LANG=" + QString::fromLatin1(lang), "LC_MESSAGES",
                                   lcAll.isEmpty() ? QStringLiteral("LC_ALL") : "LC_ALL=" + lcAll};
  const auto probe = testing_support::RunProgram(program, lookups, 10000, environment);
  if (!probe.finished || probe.exitCode != 0) return {QStringLiteral("probe did not end normally")};
  return QString::fromUtf8(probe.out).split('\n', Qt::SkipEmptyParts);
}

int Pack(const QStringList& arguments) {
  const auto tool = testing_support::RunProgram(QStringLiteral(I18N_PACK_TOOL), arguments);
  return tool.finished ? tool.exitCode : -2;
}

// A copy of the plain probe in a folder of its own.
struct ProbeCopy {
  ProbeCopy() {
    path = dir.filePath("probe");
    QFile::copy(QStringLiteral(I18N_PROBE), path);
  }
  QByteArray Read() const {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
  }
  void Write(const QByteArray& data) const {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(data);
  }
  QTemporaryDir dir;
  QString path;
};

QByteArray U64(quint64 value) {
  QByteArray bytes(8, '\0');
  qToLittleEndian(value, bytes.data());
  return bytes;
}

}  // namespace

// Beside the program in locale/, or, installed as <prefix>/bin/program, in <prefix>/share/locale.
TEST(Builtin, CataloguesBesideTheProgramOrInTheShareFolderAreFound) {
  for (const auto& [bin, locale] : {std::pair{"", "locale"}, std::pair{"bin/", "share/locale"}}) {
    QTemporaryDir prefix;
    QDir(prefix.path()).mkpath(QString(locale) + "/de/LC_MESSAGES");
    QDir(prefix.path()).mkpath(prefix.filePath(bin));
    const QString program = prefix.filePath(QString(bin) + "probe");
    QFile::copy(QStringLiteral(I18N_PROBE), program);
    QFile::copy(testDir + "/locale/de/LC_MESSAGES/test.mo",
                prefix.filePath(QString(locale) + "/de/LC_MESSAGES/test.mo"));
    EXPECT_EQ(RunProbe(program, "de_DE.UTF-8", {"test:Open", "test:Nope"}),
              QStringList({"language=de_DE", "error=", "Öffnen", "Nope"}));
    EXPECT_EQ(RunProbe(program, "fr_FR", {"test:Open"}),
              QStringList({"language=fr_FR", "error=", "Open"}));
  }
}

// LANG first; without it the user locale's two-letter names; the C locale has none.
TEST(Builtin, LanguageFromEnvironmentThenUserLocale) {
  const QString probe = QStringLiteral(I18N_PACKED_PROBE);
  EXPECT_EQ(RunProbe(probe, "de_DE.UTF-8", {"test:Open"}, "fr_FR.UTF-8"),
            QStringList({"language=de_DE", "error=", "Öffnen"}));
  EXPECT_EQ(RunProbe(probe, "", {"test:Open"}, "de_AT.UTF-8"),
            QStringList({"language=de_AT", "error=", "Öffnen"}));
  EXPECT_EQ(RunProbe(probe, "", {"test:Open"}, "C"), QStringList({"language=C", "error=", "Open"}));
}

// Packed at build time under the names "LOCALE\DE\LC_MESSAGES\Test.mo" and
// "locale/de_DE/LC_MESSAGES/CPORT.MO"; nothing lies beside the packed program.
TEST(Builtin, PackedCataloguesFoundByNameInAnyLetterCase) {
  const QString packed = QStringLiteral(I18N_PACKED_PROBE);
  ASSERT_FALSE(QFileInfo::exists(QFileInfo(packed).dir().filePath("locale")));
  EXPECT_EQ(RunProbe(packed, "de_DE.UTF-8", {"test:Open", "cport:Parity", "test:Nope"}),
            QStringList({"language=de_DE", "error=", "Öffnen", "Parität", "Nope"}));
  EXPECT_EQ(RunProbe(packed, "de_AT", {"test:Save", "cport:Parity"}),
            QStringList({"language=de_AT", "error=", "Speichern", "Parity"}));
  EXPECT_EQ(RunProbe(QStringLiteral(I18N_PROBE), "de_DE", {"test:Open"}),
            QStringList({"language=de_DE", "error=", "Open"}));
}

TEST(Builtin, ToolRefusesSecondPackingAndNonCatalogues) {
  ProbeCopy probe;
  const QString catalogue = testDir + "/locale/de/LC_MESSAGES/test.mo";
  EXPECT_NE(Pack({probe.path, "locale/de/LC_MESSAGES/test.mo=" + probe.path}), 0);
  EXPECT_NE(Pack({probe.path, "no-equals-sign"}), 0);
  EXPECT_NE(Pack({probe.dir.filePath("missing"), "a=" + catalogue}), 0);
  ASSERT_EQ(Pack({probe.path, "locale/de/LC_MESSAGES/test.mo=" + catalogue}), 0);
  EXPECT_TRUE(QFileInfo(probe.path).isExecutable());
  EXPECT_NE(Pack({probe.path, "locale/de/LC_MESSAGES/test.mo=" + catalogue}), 0);
  EXPECT_EQ(RunProbe(probe.path, "de", {"test:Open"}),
            QStringList({"language=de", "error=", "Öffnen"}));
}

// Hostile chains are refused as a whole at start-up; the program runs untranslated.
TEST(Builtin, BrokenChainsLeaveTheProgramUntranslated) {
  const QByteArray name = "locale/de/LC_MESSAGES/test.mo";
  struct Case {
    const char* what;
    std::function<QByteArray(quint64 end)> chain;  // appended at the file's end
    const char* error;
  };
  const QList<Case> cases = {
      {"first entry past the end", [](quint64 end) { return U64(end + 1000); }, "runs off"},
      {"entry cut short", [](quint64 end) { return U64(end + 40); }, "runs off"},
      {"link back to itself", [&](quint64 end) { return U64(end) + U64(1) + U64(0) + name; },
       "loops back"},
      {"name runs off", [&](quint64 end) { return U64(end + 1000) + U64(1) + U64(0) + name; },
       "name runs off"},
      {"catalogue outside the file",
       [&](quint64 end) {
         return U64(end + 24 + name.size()) + U64(100) + U64(end * 2) + name + U64(0);
       },
       "outside the file"},
  };
  for (const Case& test : cases) {
    ProbeCopy probe;
    QByteArray program = probe.Read();
    const qsizetype at = program.indexOf(signature);
    ASSERT_GT(at, 0);
    ASSERT_EQ(program.indexOf(signature, at + 1), -1);
    const quint64 end = quint64(program.size());
    qToLittleEndian(end, program.data() + at + signature.size());
    program.append(test.chain(end));
    probe.Write(program);
    const QStringList output = RunProbe(probe.path, "de_DE", {"test:Open"});
    ASSERT_EQ(output.size(), 3) << test.what << " " << output.join('|').toStdString();
    EXPECT_TRUE(output[1].contains(test.error)) << test.what << " " << output[1].toStdString();
    EXPECT_EQ(output[2], "Open") << test.what;
  }
  // A sound chain (its first entry has an empty name) to a broken catalogue: refused at the
  // first lookup, then untranslated.
  ProbeCopy probe;
  QByteArray program = probe.Read();
  const qsizetype at = program.indexOf(signature);
  const quint64 end = quint64(program.size());
  qToLittleEndian(end + 16, program.data() + at + signature.size());
  program.append(QByteArray(16, '\xEE'));  // garbage where the catalogue should be
  program.append(U64(end + 40) + U64(0) + U64(0));
  program.append(U64(end + 40 + 24 + name.size()) + U64(16) + U64(end) + name + U64(0));
  probe.Write(program);
  EXPECT_EQ(RunProbe(probe.path, "de_DE", {"test:Open", "test:Open"}),
            QStringList({"language=de_DE", "error=",
                         "failure=This file is not a valid GNU gettext mo file: " +
                             probe.dir.filePath("locale/de/LC_MESSAGES/test.mo"),
                         "Open"}));
}
