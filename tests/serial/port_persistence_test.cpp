// Saving and restoring the port settings through the registry file and ini files.
#include "platform/ini_file.h"
#include "platform/recording_serial_device.h"
#include "platform/registry.h"
#include "serial/com_port.h"
#include "qt_printers.h"
#include "raised.h"
#include "tests/platform_registry/store_fixture.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace serial;

namespace {

const QString appPath = QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\ZT_MODBUS_K");

class Persistence : public store_test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    port.setObjectName(QStringLiteral("ComPort"));
  }

  void WriteRegistry(const QString& key, const QString& name, const platform::RegValue& value) {
    platform::RegistryKeyPtr handle;
    ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, key, handle), 0u);
    ASSERT_EQ(platform::RegSetValueEx(*handle, name, value), 0u);
    ASSERT_EQ(platform::RegCloseKey(handle), 0u);
  }

  TComPort port;
};

using store_test::Dword;
using store_test::Sz;

QString Problem(const QString& file, const char* why) {
  return QStringLiteral("The settings file %1 cannot be read: %2").arg(file, QLatin1String(why));
}

std::string RestoreError(TComPort& port, TSettingsStore store, const QString& path) {
  return Raised([&] { port.RestoreSettings(store, path); });
}

// Sets every stored setting at random.
void Randomize(TComPort& port, std::mt19937& rng) {
  auto pick = [&](int n) { return int(rng() % unsigned(n)); };
  port.SetPort(QStringLiteral("/dev/tty\"X\\%1 串口").arg(pick(1000)));
  port.SetBaudRate(TBaudRate(pick(BaudRateCount)));
  port.SetCustomBaudRate(pick(1000000) + 1);
  port.SetStopBits(TStopBits(pick(3)));
  port.SetDataBits(TDataBits(pick(4)));
  port.Parity()->SetBits(TParityBits(pick(5)));
  port.Parity()->SetCheck(pick(2));
  port.Parity()->SetReplace(pick(2));
  port.Parity()->SetReplaceChar(uint8_t(pick(256)));
  port.SetEventChar(uint8_t(pick(256)));
  port.SetDiscardNull(pick(2));
  port.Buffer()->SetInputSize(pick(100000) - 10);
  port.Buffer()->SetOutputSize(pick(100000));
  port.Timeouts()->SetReadInterval(pick(2000) - 1000);
  port.Timeouts()->SetReadTotalMultiplier(pick(100));
  port.Timeouts()->SetReadTotalConstant(pick(100));
  port.Timeouts()->SetWriteTotalMultiplier(pick(100));
  port.Timeouts()->SetWriteTotalConstant(pick(100));
  auto flow = port.FlowControl();
  flow->SetControlRTS(TRTSFlowControl(pick(4)));
  flow->SetControlDTR(TDTRFlowControl(pick(3)));
  flow->SetDSRSensitivity(pick(2));
  flow->SetOutCTSFlow(pick(2));
  flow->SetOutDSRFlow(pick(2));
  flow->SetTxContinueOnXoff(pick(2));
  flow->SetXonXoffIn(pick(2));
  flow->SetXonXoffOut(pick(2));
  flow->SetXonChar(uint8_t(pick(256)));
  flow->SetXoffChar(uint8_t(pick(256)));
}

QStringList Describe(TComPort& p) {
  auto f = p.FlowControl();
  QStringList d{p.Port(), BaudRateText(p.BaudRate()), StopBitsText(p.StopBits()),
                DataBitsText(p.DataBits()), ParityText(p.Parity()->Bits())};
  for (int v : {int(p.Parity()->Check()), int(p.Parity()->Replace()), int(p.Parity()->ReplaceChar()),
                int(p.EventChar()), int(p.DiscardNull()), p.Buffer()->InputSize(),
                p.Buffer()->OutputSize(), p.Timeouts()->ReadInterval(),
                p.Timeouts()->ReadTotalMultiplier(), p.Timeouts()->ReadTotalConstant(),
                p.Timeouts()->WriteTotalMultiplier(), p.Timeouts()->WriteTotalConstant(),
                int(f->ControlRTS()), int(f->ControlDTR()), int(f->DSRSensitivity()),
                int(f->OutCTSFlow()), int(f->OutDSRFlow()), int(f->TxContinueOnXoff()),
                int(f->XonXoffIn()), int(f->XonXoffOut()), int(f->XonChar()), int(f->XoffChar())})
    d << QString::number(v);
  if (p.BaudRate() == brCustom) d << QString::number(p.CustomBaudRate());
  return d;
}

}  // namespace

TEST(TextForms, CharactersAndYesNo) {
  EXPECT_EQ(ParseCharText(QStringLiteral("#300")), 44);
  EXPECT_EQ(ParseCharText(QStringLiteral("A")), 65);
  EXPECT_EQ(ParseCharText(QStringLiteral("#")), 35);
  EXPECT_EQ(ParseCharText(QStringLiteral("#A")), 0);
  EXPECT_EQ(ParseCharText(QString()), 0);
  EXPECT_EQ(ParseCharText(QStringLiteral("#99999999999")), 0);
  EXPECT_EQ(CharText(0), QStringLiteral("#0"));
  EXPECT_EQ(CharText(17), QStringLiteral("#17"));
  EXPECT_EQ(CharText(33), QStringLiteral("!"));
  EXPECT_EQ(CharText(127), QString(QChar(127)));
  EXPECT_EQ(CharText(128), QStringLiteral("#128"));
  for (int c = 0; c < 256; ++c) EXPECT_EQ(ParseCharText(CharText(uint8_t(c))), c);
  EXPECT_TRUE(ParseYesNo(QStringLiteral("yEs")));
  EXPECT_FALSE(ParseYesNo(QStringLiteral("Y")));
  EXPECT_FALSE(ParseYesNo(QString()));
}

// Both rows of the description: the defaults, and a custom rate right after "Custom". The
// root's name is read in any letter case; a root that is neither name leaves the user's.
TEST_F(Persistence, WhatIsWrittenWhere) {
  port.SaveSettings(ssRegistry, appPath);
  port.SetBaudRate(brCustom);
  port.SetCustomBaudRate(31250);
  port.SaveSettings(ssRegistry, QStringLiteral("hkey_local_machine\\Software\\Custom\\"));
  port.SaveSettings(ssRegistry, QStringLiteral("HKLM\\Software\\B"));
  const QByteArray rest = "\"StopBits\"=\"1\"\n\"DataBits\"=\"8\"\n\"Parity\"=\"None\"\n"
                          "\"FlowControl\"=\"None\"\n";
  EXPECT_EQ(Read(RegFile()),
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_LOCAL_MACHINE\\Software\\ZT_MODBUS_K\\ComPort]\n"
            "\"Port\"=\"COM1\"\n\"BaudRate\"=\"9600\"\n" + rest +
            "\n[HKEY_LOCAL_MACHINE\\Software\\Custom\\ComPort]\n"
            "\"Port\"=\"COM1\"\n\"BaudRate\"=\"Custom\"\n\"CustomBaudRate\"=dword:00007a12\n" + rest +
            "\n[HKEY_CURRENT_USER\\Software\\B\\ComPort]\n"
            "\"Port\"=\"COM1\"\n\"BaudRate\"=\"Custom\"\n\"CustomBaudRate\"=dword:00007a12\n" + rest);
}

TEST_F(Persistence, APathWithoutARootOpensNothing) {
  // No backslash at all: nothing is opened, so saving fails and restoring reads empty texts.
  EXPECT_EQ(Raised([&] { port.SaveSettings(ssRegistry, QStringLiteral("Software")); }), "16/-1");
  port.RestoreSettings(ssRegistry, QStringLiteral("Software"));
  EXPECT_EQ(port.Port(), QString());
  EXPECT_EQ(port.BaudRate(), br9600);
}

TEST_F(Persistence, RestoreRulesForBothStores) {
  const QString key = QStringLiteral("Software\\ZT_MODBUS_K\\ComPort");
  WriteRegistry(key, QStringLiteral("BaudRate"), Sz(QStringLiteral("cUSTOM")));
  WriteRegistry(key, QStringLiteral("Parity"), Sz(QStringLiteral("oDD")));
  port.SetPort(QStringLiteral("/dev/ttyUSB3"));
  EXPECT_EQ(RestoreError(port, ssRegistry, appPath), "17/-1");
  EXPECT_EQ(port.BaudRate(), brCustom);       // read before the failure: kept
  EXPECT_EQ(port.Port(), QString());          // a missing "Port" is the empty text
  EXPECT_EQ(port.Parity()->Bits(), prNone);   // after the failure: not read
  EXPECT_EQ(port.BatchDepth(), 0);

  WriteRegistry(key, QStringLiteral("CustomBaudRate"), Sz(QStringLiteral("31250")));
  EXPECT_EQ(RestoreError(port, ssRegistry, appPath), "17/-1");  // wrong type
  WriteRegistry(key, QStringLiteral("CustomBaudRate"), Dword(31250));
  WriteRegistry(key, QStringLiteral("FlowControl"), Sz(QStringLiteral("rubbish")));
  port.FlowControl()->SetFlowControl(fcHardware);
  EXPECT_EQ(RestoreError(port, ssRegistry, appPath), "none");
  EXPECT_EQ(port.CustomBaudRate(), 31250);
  EXPECT_EQ(port.Parity()->Bits(), prOdd);
  EXPECT_EQ(port.FlowControl()->FlowControl(), fcHardware);  // "Custom" changes no flag

  const QString ini = Path(QStringLiteral("port.ini"));
  QFile file(ini);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("[ComPort]\nBaudRate=Custom\nParity=Even\n");
  file.close();
  port.SetCustomBaudRate(4800);
  port.SetPort(QStringLiteral("COM7"));
  EXPECT_EQ(RestoreError(port, ssIniFile, ini), "none");
  EXPECT_EQ(port.CustomBaudRate(), 9600);
  EXPECT_EQ(port.Port(), QStringLiteral("COM7"));  // missing key: unchanged
  EXPECT_EQ(port.Parity()->Bits(), prEven);
}

TEST_F(Persistence, RandomSettingsRoundTripThroughBothStores) {
  std::mt19937 rng(20261207);
  port.SetSavedGroups({sgBasic, sgFlowControl, sgBuffer, sgTimeouts, sgParity, sgMisc});
  for (int round = 0; round < 40; ++round) {
    Randomize(port, rng);
    const QStringList saved = Describe(port);
    const TSettingsStore store = round % 2 ? ssIniFile : ssRegistry;
    const QString path = store == ssIniFile ? Path(QStringLiteral("round.ini")) : appPath;
    port.SaveSettings(store, path);
    TComPort restored;
    restored.setObjectName(QStringLiteral("ComPort"));
    restored.SetSavedGroups(port.SavedGroups());
    Randomize(restored, rng);
    restored.RestoreSettings(store, path);
    EXPECT_EQ(Describe(restored), saved) << "round " << round;
  }
}

TEST_F(Persistence, RestoringOntoAnOpenPortAppliesOnce) {
  platform::RecordingLine line;
  port.SetDeviceOpener(line.Opener());
  port.SetBaudRate(br19200);
  port.SaveSettings(ssRegistry, appPath);
  port.SetBaudRate(br9600);
  port.OpenPort();
  line.ClearCalls();
  port.RestoreSettings(ssRegistry, appPath);
  EXPECT_EQ(line.LastState().BaudRate, 19200u);
  int applies = 0;
  for (const auto& name : line.CallNames()) applies += name == "SetCommState";
  EXPECT_EQ(applies, 1);
}

TEST_F(Persistence, UnwritableStoresAndBadFilesFailWithTheirCodes) {
  // A file where the folder should be: nothing can be written there, not even by root.
  const QString blocker = Path(QStringLiteral("blocker"));
  QFile block(blocker);
  ASSERT_TRUE(block.open(QIODevice::WriteOnly));
  block.close();
  platform::SetRegistryFilePath(blocker + QStringLiteral("/registry.reg"));
  EXPECT_EQ(Raised([&] { port.SaveSettings(ssRegistry, appPath); }), "16/-1");
  EXPECT_EQ(Raised([&] { port.SaveSettings(ssIniFile, blocker + QStringLiteral("/port.ini")); }),
            "16/-1");

  // Each bad file's exact outcome. A file that cannot be parsed opens no key, so every text
  // reads as empty; a value of the wrong type fails the restore where it is read.
  const QString bad = Path(QStringLiteral("bad.reg"));
  platform::SetRegistryFilePath(bad);
  const QByteArray head =
      "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\ZT_MODBUS_K\\ComPort]\n";
  // An unreadable file is also said, once, by the line of the fault.
  const struct {
    QByteArray content;
    const char* outcome;
    const char* port;
    const char* problem;
  } rows[] = {
      {head + "\"Port\"=\"/dev/tt", "none", "", "line 4: missing closing quote."},
      {QByteArray("\x00\xff\xfe garbage \x01\x02", 12), "none", "", "line 1: a zero byte."},
      {head + "\"Port\"=\"COM3\"\n\"BaudRate\"=dword:zz\n", "none", "", "line 5: dword: needs"},
      {head + "Port=/dev/ttyS0\n", "none", "", "line 4: neither a key nor a value."},
      {head + "\"Port\"=dword:00000001\n", "17/-1", "COM9", nullptr},
      {head + "\"Port\"=\"COM3\"\n\"BaudRate\"=dword:00000005\n", "17/-1", "COM3", nullptr},
      {head + "\"Port\"=hex:\n", "none", "", nullptr},
      {head + "\"Port\"=hex(2):43,00,4f,00,4d,00,35,00,00,00\n", "none", "COM5", nullptr},
  };
  for (const auto& row : rows) {
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(row.content);
    f.close();
    port.SetPort(QStringLiteral("COM9"));
    EXPECT_EQ(RestoreError(port, ssRegistry, appPath), row.outcome) << row.content.constData();
    EXPECT_EQ(port.Port(), QString::fromLatin1(row.port)) << row.content.constData();
    EXPECT_EQ(port.BatchDepth(), 0);
    const QString said = port.SettingsProblem();
    EXPECT_EQ(said.isEmpty(), !row.problem) << said.toStdString();
    if (row.problem) EXPECT_TRUE(said.startsWith(Problem(bad, row.problem))) << said.toStdString();
  }
  // Not a file at all: said too, and never waited on.
  ASSERT_TRUE(QFile::remove(bad));
  const std::function<bool()> notFiles[] = {[&] { return QDir().mkdir(bad); },
                                            [&] { return mkfifo(QFile::encodeName(bad), 0600) == 0; },
                                            [&] { return QFile::link("/dev/zero", bad); }};
  for (const auto& make : notFiles) {
    ASSERT_TRUE(make());
    EXPECT_EQ(RestoreError(port, ssRegistry, appPath), "none");
    EXPECT_TRUE(port.SettingsProblem().startsWith(Problem(bad, "it is not a regular file.")));
    ASSERT_TRUE(QDir().rmdir(bad) || QFile::remove(bad));
  }
}

TEST_F(Persistence, TwoCopiesKeepEachOthersChanges) {
  port.SaveSettings(ssRegistry, appPath);
  port.RestoreSettings(ssRegistry, appPath);  // this copy starts
  const pid_t other = store_test::RunChild([] {
    try {
      TComPort copy;
      copy.setObjectName(QStringLiteral("ComPort"));
      copy.RestoreSettings(ssRegistry, appPath);
      copy.SetBaudRate(br19200);
      copy.SaveSettings(ssRegistry, appPath);
    } catch (...) {
      _exit(1);
    }
  });
  int status = -1;
  ASSERT_EQ(waitpid(other, &status, 0), other);
  ASSERT_EQ(status, 0);
  port.SetPort(QStringLiteral("COM5"));
  port.SaveSettings(ssRegistry, appPath);  // closes last, with the baud rate it read at start
  TComPort after;
  after.setObjectName(QStringLiteral("ComPort"));
  after.RestoreSettings(ssRegistry, appPath);
  EXPECT_EQ(after.Port(), QStringLiteral("COM5"));
  EXPECT_EQ(after.BaudRate(), br19200);
}
