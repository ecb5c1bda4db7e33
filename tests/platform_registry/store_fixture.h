// Shared by the store tests: a private folder holding the registry file, random texts, and
// a child process that runs a function.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <random>

#include "platform/registry.h"

namespace store_test {

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    platform::SetRegistryFilePath(RegFile());
  }
  void TearDown() override { platform::SetRegistryFilePath({}); }

  QString Path(const QString& name) const { return dir_.filePath(name); }
  QString RegFile() const { return Path(QStringLiteral("registry.reg")); }

  static QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  static void Put(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(data), data.size());
  }

  QTemporaryDir dir_;
};

// Pieces that trouble a text format: quotes, backslashes, "=", brackets, Chinese text.
inline QString RandomText(std::mt19937& rng, int maxPieces, bool allowControls) {
  static const char16_t* pieces[] = {u"a",    u"Z",      u"7",    u" ",    u"\"",    u"\\",
                                     u"=",    u"[",      u"]",    u";",    u"@",     u"#",
                                     u"端口", u"波特率", u"ß",    u"\t",   u"hex:",  u"dword:",
                                     u"😀",    u"\n",     u"\r\n", u"\x01", u"\xD800"};
  // The last four are line breaks, a control character and half a surrogate pair.
  const int count = static_cast<int>(std::size(pieces)) - (allowControls ? 0 : 4);
  std::uniform_int_distribution<int> length(0, maxPieces), piece(0, count - 1);
  QString text;
  for (int n = length(rng); n > 0; --n) text += QString::fromUtf16(pieces[piece(rng)]);
  return text;
}

inline pid_t RunChild(const std::function<void()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    body();
    _exit(0);
  }
  return pid;
}

inline platform::RegValue Sz(const QString& text) { return {platform::REG_SZ, text, 0, {}}; }
inline platform::RegValue Dword(uint32_t number) { return {platform::REG_DWORD, {}, number, {}}; }

}  // namespace store_test
