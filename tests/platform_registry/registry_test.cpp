// The registry as the port settings use it: keys and values through the Win32-style calls,
// stored in a file that other copies of the program may change in between.
#include "platform/registry.h"

#include "platform/locked_file.h"

#include <QDir>
#include <QElapsedTimer>
#include <cstring>

#include "store_fixture.h"

namespace {

using namespace platform;
using store_test::Dword;
using store_test::Sz;

class Registry : public store_test::StoreTest {
 protected:
  static RegistryKeyPtr Create(const QString& path) {
    RegistryKeyPtr key;
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, path, key), ERROR_SUCCESS);
    return key;
  }
  static uint32_t Open(const QString& path, RegistryKeyPtr& key, uint32_t access = KEY_READ) {
    return RegOpenKeyEx(HKEY_LOCAL_MACHINE, path, access, key);
  }
  static QString Text(RegistryKey& key, const QString& name) {
    RegValue v;
    return RegQueryValueEx(key, name, v) == ERROR_SUCCESS ? v.text : QStringLiteral("<missing>");
  }
};

const QString kComPort = QStringLiteral("Software\\ZT_MODBUS_K\\ComPort");

TEST_F(Registry, SavedKeyReadsBackInWriteOrder) {
  RegistryKeyPtr key = Create(kComPort);
  RegSetValueEx(*key, QStringLiteral("Port"), Sz(QStringLiteral("/dev/ttyUSB0")));
  RegSetValueEx(*key, QStringLiteral("BaudRate"), Sz(QStringLiteral("Custom")));
  RegSetValueEx(*key, QStringLiteral("CustomBaudRate"), Dword(31250));
  RegSetValueEx(*key, QStringLiteral("port"), Sz(QStringLiteral("/dev/ttyS0")));  // same value
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(Read(RegFile()),
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_LOCAL_MACHINE\\Software\\ZT_MODBUS_K\\ComPort]\n"
            "\"Port\"=\"/dev/ttyS0\"\n\"BaudRate\"=\"Custom\"\n"
            "\"CustomBaudRate\"=dword:00007a12\n");

  ASSERT_EQ(Open(QStringLiteral("SOFTWARE\\zt_modbus_k\\COMPORT\\"), key), ERROR_SUCCESS);
  QString name;
  RegValue value;
  const char* expected[] = {"Port", "BaudRate", "CustomBaudRate"};
  for (uint32_t i = 0; i < 3; ++i) {
    ASSERT_EQ(RegEnumValue(*key, i, 256, 256, name, value), ERROR_SUCCESS);
    EXPECT_EQ(name, expected[i]);
  }
  EXPECT_EQ(value.type, REG_DWORD);
  EXPECT_EQ(value.number, 31250u);
  EXPECT_EQ(RegEnumValue(*key, 3, 256, 256, name, value), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, KeysKeepTheSpellingTheyWereCreatedWith) {
  RegistryKeyPtr key = Create(kComPort);
  RegSetValueEx(*key, QStringLiteral("Port"), Sz(QStringLiteral("COM1")));
  RegCloseKey(key);
  // A sibling asked for in other letters joins the existing parents.
  key = Create(QStringLiteral("software\\zt_modbus_k\\Other"));
  RegCloseKey(key);
  EXPECT_TRUE(Read(RegFile()).contains("[HKEY_LOCAL_MACHINE\\Software\\ZT_MODBUS_K\\Other]"));
  // Parents exist through their children; other roots do not see them.
  EXPECT_EQ(Open(QStringLiteral("SOFTWARE\\ZT_MODBUS_K"), key), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kComPort, KEY_READ, key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
}

TEST_F(Registry, ErrorsCarryTheirWin32Numbers) {
  RegistryKeyPtr key;
  EXPECT_EQ(Open(kComPort, key), ERROR_FILE_NOT_FOUND);  // no file yet reads as empty
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  key = Create(kComPort);
  RegSetValueEx(*key, QStringLiteral("Port"), Sz(QStringLiteral("abc")));
  RegCloseKey(key);

  ASSERT_EQ(Open(kComPort, key), ERROR_SUCCESS);
  RegValue value;
  QString name;
  EXPECT_EQ(RegQueryValueEx(*key, QStringLiteral("Parity"), value), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegSetValueEx(*key, QStringLiteral("Port"), Sz({})), ERROR_ACCESS_DENIED);
  // "abc" takes 8 bytes in UTF-16 with its zero; "Port" 5 characters with its zero.
  EXPECT_EQ(RegEnumValue(*key, 0, 256, 8, name, value), ERROR_SUCCESS);
  EXPECT_EQ(RegEnumValue(*key, 0, 256, 7, name, value), ERROR_MORE_DATA);
  EXPECT_EQ(RegEnumValue(*key, 0, 4, 256, name, value), ERROR_MORE_DATA);
  EXPECT_EQ(RegEnumValue(*key, 1, 256, 256, name, value), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCreateKeyEx(static_cast<HKEY>(0x80000000), kComPort, key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, QStringLiteral("a\nb"), key),
            ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, DefaultFileFollowsXdgConfigHome) {
  SetRegistryFilePath({});
  const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", Path(QStringLiteral("config")).toUtf8());
  EXPECT_EQ(RegistryFilePath(), Path(QStringLiteral("config/zt-modbus-k/registry.reg")));
  RegistryKeyPtr key;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, QStringLiteral("K"), key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);  // a new key is written, and its folder made
  EXPECT_TRUE(QFile::exists(RegistryFilePath()));
  qputenv("XDG_CONFIG_HOME", "relative");  // not a place: the usual one instead
  EXPECT_EQ(RegistryFilePath(), QDir::homePath() + QStringLiteral("/.config/zt-modbus-k/registry.reg"));
  qputenv("XDG_CONFIG_HOME", saved);
  if (saved.isNull()) qunsetenv("XDG_CONFIG_HOME");
}

TEST_F(Registry, CloseLaysOnlyItsOwnWritesOverTheFile) {
  RegistryKeyPtr first = Create(kComPort);
  RegistryKeyPtr second = Create(kComPort);
  RegSetValueEx(*first, QStringLiteral("Port"), Sz(QStringLiteral("one")));
  RegSetValueEx(*second, QStringLiteral("BaudRate"), Sz(QStringLiteral("9600")));
  RegistryKeyPtr other = Create(QStringLiteral("Software\\Other"));
  RegSetValueEx(*other, QStringLiteral("Port"), Sz(QStringLiteral("two")));
  ASSERT_EQ(RegCloseKey(first), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(other), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(second), ERROR_SUCCESS);  // read before either was written

  RegistryKeyPtr key;
  ASSERT_EQ(Open(kComPort, key), ERROR_SUCCESS);
  EXPECT_EQ(Text(*key, QStringLiteral("Port")), "one");
  EXPECT_EQ(Text(*key, QStringLiteral("BaudRate")), "9600");
  ASSERT_EQ(Open(QStringLiteral("Software\\Other"), key), ERROR_SUCCESS);
  EXPECT_EQ(Text(*key, QStringLiteral("Port")), "two");
}

TEST_F(Registry, AFileThatDoesNotParseIsNeitherReadNorOverwritten) {
  const QByteArray bad =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_LOCAL_MACHINE\\Software\\ZT_MODBUS_K\\ComPort]\n"
      "\"Port\"=\"/dev/tty\n";  // cut short
  Put(RegFile(), bad);
  RegistryKeyPtr key;
  EXPECT_EQ(Open(kComPort, key), ERROR_GEN_FAILURE);
  EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kComPort, key), ERROR_GEN_FAILURE);

  // Opened while the file was still good, closed after it went bad.
  Put(RegFile(), "Windows Registry Editor Version 5.00\n");
  key = Create(kComPort);
  RegSetValueEx(*key, QStringLiteral("Port"), Sz(QStringLiteral("COM1")));
  Put(RegFile(), bad);
  EXPECT_EQ(RegCloseKey(key), ERROR_GEN_FAILURE);
  EXPECT_EQ(Read(RegFile()), bad);
}

TEST_F(Registry, NothingBesideTheFileIsFollowedAndLeftoversGo) {
  const QString victim = Path(QStringLiteral("victim")), temp = RegFile() + QStringLiteral(".tmp");
  const QString lock = RegFile() + QStringLiteral(".lock");
  Put(victim, "mine");
  auto save = [&](const char* port) {
    RegistryKeyPtr key = Create(kComPort);
    RegSetValueEx(*key, QStringLiteral("Port"), Sz(QString::fromLatin1(port)));
    return RegCloseKey(key);
  };
  // A link planted as the temporary file is removed, not written through; a large file left
  // there by a killed save goes with the next save, whether it changes the file or not.
  ASSERT_TRUE(QFile::link(victim, temp));
  ASSERT_EQ(save("COM1"), ERROR_SUCCESS);
  for (const char* port : {"COM2", "COM2"}) {
    Put(temp, QByteArray(1 << 20, 'x'));
    ASSERT_EQ(save(port), ERROR_SUCCESS);
    EXPECT_FALSE(QFileInfo(temp).exists() || QFileInfo(temp).isSymLink());
  }
  EXPECT_TRUE(Read(RegFile()).contains("\"Port\"=\"COM2\""));
  // A link as the lock file is refused, and said.
  ASSERT_TRUE(QFile::remove(lock) && QFile::link(victim, lock));
  EXPECT_EQ(save("COM3"), ERROR_GEN_FAILURE);
  EXPECT_EQ(LastRegistryFileProblem().details, lock + ": " + QString::fromLocal8Bit(strerror(ELOOP)));
  EXPECT_EQ(Read(victim), "mine");
  // Another copy holding the lock: given up after a second, and said.
  ASSERT_TRUE(QFile::remove(lock));
  const detail::FileLock held(lock);
  EXPECT_EQ(save("COM4"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(LastRegistryFileProblem().sentence,
            "Another copy of the program holds the settings file %1: %2.");
  EXPECT_TRUE(Read(RegFile()).contains("\"Port\"=\"COM2\""));
}

TEST_F(Registry, AHundredMegabyteValueIsRefusedQuickly) {
  {
    QFile f(RegFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\" + kComPort.toUtf8() +
            "]\n\"Port\"=\"");
    const QByteArray block(1 << 20, 'a');
    for (int i = 0; i < 100; ++i) f.write(block);
    f.write("\"\n");
  }
  QElapsedTimer timer;
  timer.start();
  RegistryKeyPtr key;
  EXPECT_EQ(Open(kComPort, key), ERROR_GEN_FAILURE);
  EXPECT_LT(timer.elapsed(), 1000);
}

}  // namespace

TEST_F(Registry, AReplaceThatCannotTakeThePlaceFailsAndLeavesNoTemporaryFile) {
  // The temporary file is written, but a folder full of files cannot be renamed over.
  const QString target = Path(QStringLiteral("folder"));
  ASSERT_TRUE(QDir().mkpath(target + QStringLiteral("/inside")));
  QString why;
  EXPECT_NE(detail::ReplaceFileAtomically(target, "data", &why), 0);
  EXPECT_EQ(why, QString::fromLocal8Bit(strerror(EISDIR)));
  EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral(".tmp")));
  EXPECT_EQ(detail::ReplaceFileAtomically(RegFile(), "data", &why), 0);
  EXPECT_EQ(Read(RegFile()), QByteArray("data"));
}
