// The ini store: defaults for what is missing, names in any letter case, values that read
// back as written, and updates that keep everything else in the file.
#include "platform/ini_file.h"

#include <random>
#include <stdexcept>

#include "store_fixture.h"

namespace {

using platform::IniFile;
using store_test::RandomText;

class Ini : public store_test::StoreTest {
 protected:
  QString File() const { return Path(QStringLiteral("sub/port.ini")); }
};

TEST_F(Ini, NamesMatchInAnyCaseAndNumbersParseSafely) {
  Put(Path(QStringLiteral("a.ini")),
      "[ComPort]\r\nPort = COM3 \r\nBaud=12x\r\nBig=99999999999\r\nHex=0x1F\r\nNeg=-5\r\n");
  IniFile ini(Path(QStringLiteral("a.ini")));
  EXPECT_EQ(ini.ReadString(QStringLiteral("COMPORT"), QStringLiteral("port"), {}), "COM3");
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("comport"), QStringLiteral("Baud"), 1), 1);
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("comport"), QStringLiteral("Big"), 2), 2);
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("comport"), QStringLiteral("Hex"), 3), 31);
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("comport"), QStringLiteral("Neg"), 4), -5);
  EXPECT_EQ(ini.ReadString(QStringLiteral("ComPort"), QStringLiteral("Parity"), "d"), "d");
  ini.WriteString(QStringLiteral("comport"), QStringLiteral("PORT"), QStringLiteral("COM4"));
  ini.UpdateFile();
  // The line keeps its spelling and the file its line endings.
  EXPECT_EQ(Read(Path(QStringLiteral("a.ini"))),
            "[ComPort]\r\nPort=COM4\r\nBaud=12x\r\nBig=99999999999\r\nHex=0x1F\r\nNeg=-5\r\n");
}

TEST_F(Ini, RandomValuesReadBackExactly) {
  std::mt19937 rng(5);
  std::vector<std::pair<QString, QString>> written;
  {
    IniFile ini(File());
    for (int i = 0; i < 200; ++i) {
      const QString key = QStringLiteral("k%1 ").arg(i) + RandomText(rng, 4, false).remove(u'=');
      const QString value = RandomText(rng, 10, false);
      ini.WriteString(QStringLiteral("端口"), key, value);
      written.emplace_back(key, value);
    }
    ini.UpdateFile();
  }
  IniFile ini(File());
  for (const auto& [key, value] : written)
    EXPECT_EQ(ini.ReadString(QStringLiteral("端口"), key, QStringLiteral("<none>")), value)
        << key.toStdString();
}

TEST_F(Ini, UpdateKeepsWhatOthersWroteMeanwhile) {
  Put(File().replace(QLatin1String("sub/"), QString()),
      "; settings\n[Other]\nA=1\n\n[ComPort]\nPort=COM1\n[Empty]\n");
  const QString file = Path(QStringLiteral("port.ini"));
  IniFile mine(file);
  IniFile theirs(file);
  mine.WriteString(QStringLiteral("ComPort"), QStringLiteral("BaudRate"), QStringLiteral("19200"));
  mine.WriteInteger(QStringLiteral("New"), QStringLiteral("X"), 7);
  mine.WriteInteger(QStringLiteral("Empty"), QStringLiteral("Y"), 8);
  theirs.WriteString(QStringLiteral("Other"), QStringLiteral("B"), QStringLiteral("2"));
  theirs.UpdateFile();
  mine.UpdateFile();
  EXPECT_EQ(
      Read(file),
      "; settings\n[Other]\nA=1\nB=2\n\n[ComPort]\nPort=COM1\nBaudRate=19200\n[Empty]\nY=8\n"
      "\n[New]\nX=7\n");
  EXPECT_EQ(mine.ReadString(QStringLiteral("other"), QStringLiteral("b"), {}), "2");
}

TEST_F(Ini, RefusesWhatTheFileCouldNotHold) {
  IniFile ini(File());
  EXPECT_THROW(ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("a\nb")),
               std::runtime_error);
  EXPECT_THROW(ini.WriteString(QStringLiteral("S]"), QStringLiteral("K"), {}), std::runtime_error);
  EXPECT_THROW(ini.WriteString(QStringLiteral("S"), QStringLiteral("K=1"), {}), std::runtime_error);
  EXPECT_THROW(ini.WriteString(QStringLiteral("S"), QStringLiteral(" "), {}), std::runtime_error);
  ini.UpdateFile();  // nothing was written: no file is made
  EXPECT_FALSE(QFile::exists(File()));
}

TEST_F(Ini, AFileTooBigToBeOursIsLeftAlone) {
  const QString file = Path(QStringLiteral("big.ini"));
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(100 << 20));  // sparse: quick to make, still 100 MB to read
  }
  IniFile ini(file);
  EXPECT_EQ(ini.ReadString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("d")), "d");
  ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v"));
  EXPECT_THROW(ini.UpdateFile(), std::runtime_error);
  EXPECT_EQ(QFileInfo(file).size(), 100 << 20);
}

}  // namespace
