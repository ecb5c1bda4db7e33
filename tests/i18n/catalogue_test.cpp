// Catalogue lookups: msgfmt's catalogues in both byte orders, the search, line ends, language
// selection, resource strings, and catalogues that are broken or hostile.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <atomic>
#include <thread>
#include <vector>

#include "framework/exception.h"
#include "i18n/gnugettext.h"
#include "mo_builder.h"
#include "qt_printers.h"

using i18n::TGnuGettextInstance;
using namespace i18n_test;

namespace {

const QString testDir = QStringLiteral(I18N_TEST_DIR);

// A locale folder holding one catalogue for German.
struct LocaleFolder {
  explicit LocaleFolder(const QByteArray& catalogue, const QString& domain = "test") {
    QDir(dir.path()).mkpath(QStringLiteral("de/LC_MESSAGES"));
    file = dir.filePath(QStringLiteral("de/LC_MESSAGES/") + domain + QStringLiteral(".mo"));
    WriteFile(file, catalogue);
  }
  QTemporaryDir dir;
  QString file;
};

QString Failure(TGnuGettextInstance& instance, const QString& domain, const QString& text) {
  try {
    instance.dgettext(domain, text);
  } catch (const framework::Exception& failure) {
    return failure.Message();
  }
  return QString();
}

}  // namespace

TEST(Catalogue, MsgfmtCatalogueFoundForLanguageWithFallbackToItsFirstTwoLetters) {
  qputenv("LANG", "de_DE.UTF-8");
  TGnuGettextInstance instance(testDir + QStringLiteral("/locale"));
  EXPECT_EQ(instance.GetCurrentLanguage(), "de_DE");
  EXPECT_EQ(instance.dgettext("test", "Open"), "Öffnen");
  EXPECT_EQ(instance.dgettext("test", "Cancel"), "Abbrechen");
  EXPECT_EQ(instance.dgettext("test", "Save"), "Speichern");
  EXPECT_EQ(instance.dgettext("test", "Close"), "Close");
  // Line feeds come back as CR LF; keys lose their carriage returns.
  EXPECT_EQ(instance.dgettext("test", "Two lines"), "Zwei\r\nZeilen");
  EXPECT_EQ(instance.dgettext("test", "First\r\nSecond"), "Erste\r\nZweite");
  EXPECT_EQ(instance.dgettext("test", "First\nSecond"), "Erste\r\nZweite");
  EXPECT_EQ(instance.dgettext("test", "not\nthere"), "not\r\nthere");
  EXPECT_EQ(instance.Domain("test").CatalogueName(),
            testDir + QStringLiteral("/locale/de/LC_MESSAGES/test.mo"));
  // gettext uses the current domain.
  instance.textdomain("test");
  EXPECT_EQ(instance.gettext("Save"), "Speichern");
  instance.Enabled = false;
  EXPECT_EQ(instance.gettext("Save"), "Save");
  instance.Enabled = true;
  // Another language closes the catalogue; coming back opens it again.
  // Bound elsewhere the domain closes its catalogue; bound back it finds it again.
  instance.bindtextdomain("test", testDir + QStringLiteral("/nothing"));
  EXPECT_EQ(instance.gettext("Save"), "Save");
  EXPECT_EQ(instance.Domain("test").Directory(), testDir + QStringLiteral("/nothing/"));
  instance.bindtextdomain("test", testDir + QStringLiteral("/locale/"));
  EXPECT_EQ(instance.Domain("test").Directory(), testDir + QStringLiteral("/locale/"));
  EXPECT_EQ(instance.gettext("Save"), "Speichern");
  instance.SelectLanguage("fr_FR");  // no catalogue: texts come back, no error
  EXPECT_EQ(instance.gettext("Save"), "Save");
  EXPECT_TRUE(instance.Domain("test").CatalogueName().isEmpty());
  instance.SelectLanguage("de");
  EXPECT_EQ(instance.gettext("Save"), "Speichern");
}

TEST(Catalogue, OtherByteOrderGivesTheSameTranslations) {
  QFile swapped(testDir + QStringLiteral("/swapped/de/LC_MESSAGES/test.mo"));
  ASSERT_TRUE(swapped.open(QIODevice::ReadOnly));
  ASSERT_EQ(swapped.read(4), QByteArray("\x95\x04\x12\xde"));  // big-endian on this machine
  TGnuGettextInstance native(testDir + QStringLiteral("/locale"));
  TGnuGettextInstance other(testDir + QStringLiteral("/swapped"));
  native.SelectLanguage("de");
  other.SelectLanguage("de");
  for (const char* text : {"Open", "Cancel", "Save", "Two lines", "First\nSecond", "Nope", ""})
    EXPECT_EQ(other.dgettext("test", text), native.dgettext("test", text)) << text;
  EXPECT_EQ(other.dgettext("test", "Open"), "Öffnen");
}

// Every key of catalogues of every size up to 70, in both byte orders and with the tables
// before or after the strings, is found; keys around them are not. An empty catalogue opens
// and finds nothing.
TEST(Catalogue, SearchFindsEveryKeyOfEverySize) {
  for (bool bigEndian : {false, true}) {
    for (int n = 0; n <= 70; ++n) {
      Messages messages;
      for (int i = 0; i < n; ++i)
        messages.append({QByteArray("k") + QByteArray::number(100 + 2 * i),
                         QByteArray("v") + QByteArray::number(i)});
      LocaleFolder folder(BuildCatalogue(messages, bigEndian, n % 2 == 1));
      TGnuGettextInstance instance(folder.dir.path());
      instance.SelectLanguage("de");
      for (int i = 0; i < n; ++i) {
        const QString key = QStringLiteral("k%1").arg(100 + 2 * i);
        ASSERT_EQ(instance.dgettext("test", key), QStringLiteral("v%1").arg(i)) << n << " " << i;
        const QString between = QStringLiteral("k%1").arg(101 + 2 * i);
        ASSERT_EQ(instance.dgettext("test", between), between) << n;
      }
      ASSERT_EQ(instance.dgettext("test", "k"), "k");
      ASSERT_EQ(instance.Domain("test").CatalogueName(), folder.file);
    }
  }
}

// A failed search is not repeated until the language or the folder changes. A catalogue read
// keeps its translations when the file is then shrunk in place or copied over.
TEST(Catalogue, CatalogueFilesAppearingOrChangingLater) {
  QTemporaryDir dir;
  TGnuGettextInstance instance(dir.path());
  instance.SelectLanguage("de");
  EXPECT_EQ(instance.dgettext("test", "Open"), "Open");
  QDir(dir.path()).mkpath(QStringLiteral("de/LC_MESSAGES"));
  const QString file = dir.filePath("de/LC_MESSAGES/test.mo");
  WriteFile(file, BuildCatalogue({{"Open", "Auf"}, {"Save", "Sichern"}}));
  EXPECT_EQ(instance.dgettext("test", "Open"), "Open");
  instance.SelectLanguage("de");
  EXPECT_EQ(instance.dgettext("test", "Open"), "Auf");
  ASSERT_TRUE(QFile::resize(file, 0));
  EXPECT_EQ(instance.dgettext("test", "Save"), "Sichern");
  ASSERT_TRUE(WriteFile(file, BuildCatalogue({{"Open", "Offen"}})));
  EXPECT_EQ(instance.dgettext("test", "Open"), "Auf");
}

TEST(Catalogue, EmptyTranslationFails) {
  LocaleFolder folder(BuildCatalogue({{"Blank", ""}, {"Full", "Voll"}}));
  TGnuGettextInstance instance(folder.dir.path());
  instance.SelectLanguage("de");
  EXPECT_EQ(Failure(instance, "test", "Blank"),
            "Error: Could not translate Blank. Probably because the mo file doesn't contain "
            "utf-8 encoded translations.");
  EXPECT_EQ(instance.dgettext("test", "Full"), "Voll");
}

// Broken files are refused with a clear error once; lookups then give their texts back.
TEST(Catalogue, BrokenCataloguesAreRefusedWithoutReadingOutside) {
  const QByteArray good = BuildCatalogue({{"Open", "Auf"}, {"Save", "Sichern"}});
  auto patched = [&](qsizetype at, quint32 value) {
    QByteArray data = good;
    PutWord(data, at, value, false);
    return data;
  };
  QByteArray unterminated = good;
  unterminated.chop(1);  // the last translation loses its zero
  const QList<QPair<const char*, QByteArray>> cases = {
      {"empty file", QByteArray()},
      {"truncated header", good.left(12)},
      {"wrong magic", patched(0, 0x12345678)},
      {"huge count", patched(8, 0xFFFFFFFF)},
      {"originals past the end", patched(12, 0xFFFFFFF0)},
      {"translations past the end", patched(16, quint32(good.size()))},
      {"length past the end", patched(28, 0x7FFFFFFF)},
      {"text offset past the end", patched(28 + 4, 0xFFFFFFFE)},
      {"no terminating zero", unterminated},
      {"garbage", QByteArray(200, '\xA5')},
  };
  for (const auto& [what, bytes] : cases) {
    LocaleFolder folder(bytes);
    TGnuGettextInstance instance(folder.dir.path());
    instance.SelectLanguage("de");
    EXPECT_EQ(Failure(instance, "test", "Open"),
              "This file is not a valid GNU gettext mo file: " + folder.file)
        << what;
    EXPECT_EQ(instance.dgettext("test", "Open"), "Open") << what;
  }
}

TEST(Catalogue, UnreadableCatalogueFailsToOpen) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  LocaleFolder folder(BuildCatalogue({{"Open", "Auf"}}));
  QFile::setPermissions(folder.file, QFile::Permissions());
  TGnuGettextInstance instance(folder.dir.path());
  instance.SelectLanguage("de");
  EXPECT_EQ(Failure(instance, "test", "Open"), "Cannot open file " + folder.file);
}

// Qt's own strings and resource strings: "default" first, then "cport", else unchanged.
TEST(ResourceStrings, DomainsTriedInOrderAlsoForQtsOwnTexts) {
  TGnuGettextInstance& instance = i18n::DefaultInstance();
  instance.bindtextdomain("default", testDir + QStringLiteral("/locale"));
  instance.bindtextdomain("cport", testDir + QStringLiteral("/locale"));
  instance.SelectLanguage("de_DE");
  if (!i18n::ResourceStringDomains().contains("cport")) i18n::AddResourceStringDomain("cport");
  EXPECT_EQ(i18n::TranslateResourceString("Cancel"), "Abbruch");  // in both: default wins
  EXPECT_EQ(i18n::TranslateResourceString("Parity"), "Parität");
  EXPECT_EQ(i18n::TranslateResourceString("Nothing"), "Nothing");
  // "default" hands a line feed back as CR LF; that is no translation, so "cport" is asked.
  EXPECT_EQ(i18n::TranslateResourceString("Port\nclosed"), "Anschluss\r\ngeschlossen");
  EXPECT_EQ(i18n::TranslateResourceString("Nothing\nhere"), "Nothing\nhere");

  i18n::InstallResourceStringTranslator(*QCoreApplication::instance());
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Abbruch");
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Nothing\nhere"), "Nothing\nhere");
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Port\nclosed"),
            "Anschluss\ngeschlossen");
  instance.SelectLanguage("fr");
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancel");
}

// Port errors are built on the event thread: lookups there while the GUI thread changes the
// language see either the old or the new catalogue, never a half-closed one.
TEST(Catalogue, LookupsOnOtherThreadsWhileTheLanguageChanges) {
  TGnuGettextInstance instance(testDir + QStringLiteral("/locale"));
  instance.SelectLanguage("de");
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i)
    readers.emplace_back([&] {
      while (!stop) {
        const QString result = instance.dgettext("test", "Open");
        if (result != "Öffnen" && result != "Open") ++wrong;
      }
    });
  for (int i = 0; i < 300; ++i) instance.SelectLanguage(i % 2 ? "fr" : "de");
  stop = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(wrong, 0);
}
