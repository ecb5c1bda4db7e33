// The registry file format: what we write reads back the same, regedit's own forms read, and
// damaged text is refused with a reason instead of being half read.
#include "platform/registry_file.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <random>

#include "store_fixture.h"

namespace {

using namespace platform;
using regfile::Document;
using store_test::Dword;
using store_test::RandomText;
using store_test::Sz;

bool SameValue(const RegValue& a, const RegValue& b) {
  return a.type == b.type && a.text == b.text && a.number == b.number && a.bytes == b.bytes;
}

void ExpectSameDocument(const Document& a, const Document& b) {
  ASSERT_EQ(a.keys.size(), b.keys.size());
  for (size_t k = 0; k < a.keys.size(); ++k) {
    EXPECT_EQ(a.keys[k].path, b.keys[k].path);
    ASSERT_EQ(a.keys[k].values.size(), b.keys[k].values.size()) << a.keys[k].path.toStdString();
    for (size_t v = 0; v < a.keys[k].values.size(); ++v) {
      EXPECT_EQ(a.keys[k].values[v].name, b.keys[k].values[v].name);
      EXPECT_TRUE(SameValue(a.keys[k].values[v].data, b.keys[k].values[v].data))
          << a.keys[k].values[v].name.toStdString();
    }
  }
}

Document ParseOk(const QByteArray& text) {
  Document doc;
  QString error;
  EXPECT_TRUE(regfile::Parse(text, doc, error)) << error.toStdString();
  return doc;
}

TEST(RegistryFileFormat, RandomDocumentsReadBackTheSame) {
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<int> count(0, 5), type(0, 5), byte(0, 255);
  for (int round = 0; round < 200; ++round) {
    Document doc;
    for (int k = count(rng); k > 0; --k) {
      QString name = RandomText(rng, 4, false).remove(u'\\').remove(u'\t');
      if (name.isEmpty()) name = QStringLiteral("k");
      regfile::Key& key = doc.FindOrAdd(QStringLiteral("HKEY_CURRENT_USER\\Software\\") + name);
      for (int v = count(rng); v > 0; --v) {
        RegValue value = Sz(RandomText(rng, 8, true));
        const int kind = type(rng);
        if (kind == 0) value = Dword(static_cast<uint32_t>(rng()));
        if (kind == 1) value.type = REG_EXPAND_SZ;
        if (kind == 2) {
          value.type = REG_BINARY;
          for (int n = byte(rng) % 60; n > 0; --n) value.bytes.append(static_cast<char>(byte(rng)));
        }
        key.Set(RandomText(rng, 4, false), value);
      }
    }
    ExpectSameDocument(ParseOk(regfile::Write(doc)), doc);
  }
}

TEST(RegistryFileFormat, ReadsWhatRegeditWrites) {
  // regedit's own export: UTF-16 with CRLF, comments, the unnamed value, wrapped hex lists.
  const QString text = QStringLiteral(
      "Windows Registry Editor Version 5.00\r\n\r\n; saved by hand\r\n"
      "[hkey_current_user\\Software\\Test]\r\n"
      "@=\"default\"\r\n"
      "\"Path\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,00,00\r\n"
      "\"Multi\"=hex(7):61,00,00,00,\\\r\n  00,00\r\n"
      "\"Count\" = DWORD:0000001F\r\n"
      "\"Blob\"=hex:\r\n");
  QByteArray utf16("\xFF\xFE", 2);
  utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  const Document doc = ParseOk(utf16);
  ASSERT_EQ(doc.keys.size(), 1u);
  const regfile::Key& key = doc.keys[0];
  EXPECT_EQ(key.path, "HKEY_CURRENT_USER\\Software\\Test");
  ASSERT_EQ(key.values.size(), 5u);
  EXPECT_EQ(key.values[0].name, "");
  EXPECT_EQ(key.values[0].data.text, "default");
  EXPECT_EQ(key.values[1].data.type, REG_EXPAND_SZ);
  EXPECT_EQ(key.values[1].data.text, "%HOME%");
  EXPECT_EQ(key.values[2].data.type, static_cast<RegType>(7));  // kept as bytes
  EXPECT_EQ(key.values[2].data.bytes, QByteArray("a\0\0\0\0\0", 6));
  EXPECT_EQ(key.values[3].data.number, 31u);
  EXPECT_EQ(key.values[4].data.type, REG_BINARY);
  ExpectSameDocument(ParseOk(regfile::Write(doc)), doc);
}

TEST(RegistryFileFormat, DuplicateKeysMerge) {
  const Document doc = ParseOk(
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n\"y\"=\"2\"\n"
      "[HKEY_CURRENT_USER\\B]\n"
      "[HKEY_CURRENT_USER\\a]\n\"Y\"=\"3\"\n\"z\"=\"4\"\n"
      "\"\xCE\xA3\xF0\x90\x90\x80\"=\"5\"\n\"\xCF\x83\xF0\x90\x90\xA8\"=\"6\"\n");  // Σ𐐀, σ𐐨
  ASSERT_EQ(doc.keys.size(), 2u);
  const regfile::Key& a = doc.keys[0];
  ASSERT_EQ(a.values.size(), 4u);
  EXPECT_EQ(a.values[3].data.text, "6");
  EXPECT_EQ(a.values[1].name, "y");  // first place, last data
  EXPECT_EQ(a.values[1].data.text, "3");
  EXPECT_EQ(a.values[2].name, "z");
}

TEST(RegistryFileFormat, RefusesDamagedText) {
  const QByteArray head = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n";
  const std::pair<QByteArray, const char*> cases[] = {
      {head + "\"Port\"=\"COM1\n", "line 4: missing closing quote"},
      {head + "Port=\"COM1\"\n", "line 4: neither a key nor a value"},
      {head + "\"Port\"=\"C:\\temp\"\n", "unknown escape"},
      {head + "\"N\"=dword:123456789\n", "dword"},
      {head + "\"N\"=hex(4):01,02,03\n", "exactly 4 bytes"},
      {head + "\"N\"=-\n", "deleting values"},
      {head + "[-HKEY_CURRENT_USER\\K]\n", "deleting keys"},
      {head + "[HKEY_NOWHERE\\K]\n", "unknown root"},
      {head + "[HKEY_CURRENT_USER\\K\\\\L]\n", "bad key name"},
      {head + QByteArray("\"a\"=\"b\0c\"\n", 11), "line 4: a zero byte"},
      {head + "\"a\"=\"\xC3\x28\"\n", "UTF-8"},
      {"Windows Registry Editor Version 5.00\n\"a\"=\"b\"\n", "before the first key"},
      {QByteArray("\x7F" "ELF\x02\x01\x01\0\0\0", 10), "zero byte"},
  };
  for (const auto& [text, reason] : cases) {
    Document doc;
    QString error;
    EXPECT_FALSE(regfile::Parse(text, doc, error)) << text.toStdString();
    EXPECT_TRUE(error.contains(QLatin1String(reason))) << error.toStdString() << " / " << reason;
  }
}

TEST(RegistryFileFormat, CutOrScrambledFilesNeverCrash) {
  Document doc;
  regfile::Key& key = doc.FindOrAdd(QStringLiteral("HKEY_CURRENT_USER\\K"));
  key.Set(QStringLiteral("s"), Sz(QStringLiteral("端口 \"x\" \\")));
  key.Set(QStringLiteral("d"), Dword(7));
  key.Set(QStringLiteral("b"), Sz(QString(40, u'\n')));  // a wrapped hex(1) list
  const QByteArray full = regfile::Write(doc);
  for (qsizetype cut = 0; cut < full.size(); ++cut) {
    Document out;
    QString error;
    EXPECT_TRUE(regfile::Parse(full.left(cut), out, error) || !error.isEmpty()) << cut;
  }
  std::mt19937 rng(7);
  for (int round = 0; round < 2000; ++round) {
    QByteArray scrambled = full;
    for (int n = 0; n < 3; ++n) scrambled[rng() % scrambled.size()] = static_cast<char>(rng());
    Document out;
    QString error;
    regfile::Parse(scrambled, out, error);
  }
}

TEST(RegistryFileFormat, LargeValuesStayQuick) {
  Document doc;
  const RegValue blob{REG_BINARY, {}, 0, QByteArray(1 << 20, '\x5a')};  // 3 MB of hex on 13000 lines
  doc.FindOrAdd(QStringLiteral("HKEY_CURRENT_USER\\K")).Set(QStringLiteral("b"), blob);
  QElapsedTimer timer;
  timer.start();
  const Document back = ParseOk(regfile::Write(doc));
  EXPECT_LT(timer.elapsed(), 3000);
  ASSERT_EQ(back.keys.size(), 1u);
  EXPECT_EQ(back.keys[0].values[0].data.bytes, blob.bytes);
}

}  // namespace
