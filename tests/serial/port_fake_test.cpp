// The port against the recording device: exact call sequences, batches, failure paths and
// event delivery.
#include "framework/guard.h"
#include "platform/recording_serial_device.h"
#include "serial/com_port.h"
#include "raised.h"
#include "wait.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace serial;
using platform::RecordingLine;
using testing_support::ProcessFor;
using testing_support::ProcessUntil;

namespace {

const TComEvents designedEvents{evRxChar, evTxEmpty, evRxFlag, evRing,   evBreak,
                                evError,  evRLSD,    evRx80Full};

std::vector<std::string> Only(const std::vector<platform::RecordedCall>& calls,
                              std::initializer_list<const char*> names) {
  std::vector<std::string> out;
  for (const auto& c : calls)
    for (const char* n : names)
      if (c.name == n) out.push_back(c.name + "(" + c.args + ")");
  return out;
}

class PortOnFake : public ::testing::Test {
 protected:
  void SetUp() override {
    port.SetDeviceOpener(line.Opener());
    port.SetEvents(designedEvents);
  }
  RecordingLine line;
  TComPort port;
};

}  // namespace

TEST_F(PortOnFake, OpeningWithTheDesignedSettingsMakesTheExactCalls) {
  port.OpenPort();
  ASSERT_TRUE(port.Connected());
  ASSERT_TRUE(port.ThreadRunning());
  const auto calls = Only(line.Calls(), {"CreateFile", "SetupComm", "SetCommState",
                                         "SetCommTimeouts", "SetCommMask", "GetCommModemStatus"});
  const std::vector<std::string> expected = {
      "CreateFile(COM1)",
      "SetupComm(1024,1024)",
      "SetCommState(BaudRate=9600 Flags=0x1 XonLim=256 XoffLim=256 ByteSize=8 Parity=0 "
      "StopBits=0 XonChar=17 XoffChar=19 ErrorChar=0 EvtChar=0)",
      "SetCommTimeouts(0xFFFFFFFF,0x0,0x0,0x64,0x3E8)",
      "SetCommMask(0x5E7)",
      "GetCommModemStatus()",
      "GetCommModemStatus()",
      "GetCommModemStatus()"};
  EXPECT_EQ(calls, expected);
  EXPECT_EQ(line.LastState().DCBlength, 28u);

  line.ClearCalls();
  port.ClosePort();
  EXPECT_FALSE(port.Connected());
  EXPECT_FALSE(line.DeviceOpen());
  // Cancel the transfers, then the event thread's own clean-up, then the device.
  EXPECT_EQ(Only(line.Calls(), {"PurgeComm", "SetCommMask", "CloseHandle"}),
            (std::vector<std::string>{"PurgeComm(0x3)", "SetCommMask(0x0)", "PurgeComm(0xC)",
                                      "CloseHandle()"}));
}

TEST_F(PortOnFake, ChangesApplyAtOnceOnlyWhenOpenAndDifferent) {
  port.SetBaudRate(br115200);  // closed: stored only
  EXPECT_TRUE(line.Calls().empty());
  port.OpenPort();
  line.ClearCalls();
  port.SetBaudRate(br115200);
  port.SetDataBits(dbEight);
  port.Timeouts()->SetWriteTotalConstant(1000);
  port.Buffer()->SetInputSize(1024);
  EXPECT_TRUE(Only(line.Calls(), {"SetCommState", "SetCommTimeouts", "SetupComm"}).empty());

  // Derived flow control always re-applies, even to the value it has.
  port.FlowControl()->SetFlowControl(fcCustom);
  EXPECT_EQ(Only(line.Calls(), {"SetCommState"}).size(), 1u);

  // A custom rate reaches the device unchanged; changing it re-applies even while unused.
  line.ClearCalls();
  port.SetCustomBaudRate(31250);
  EXPECT_EQ(Only(line.Calls(), {"SetCommState"}).size(), 1u);
  EXPECT_EQ(line.LastState().BaudRate, 115200u);
  port.SetBaudRate(brCustom);
  EXPECT_EQ(line.LastState().BaudRate, 31250u);
  port.SetCustomBaudRate(-5);
  EXPECT_EQ(line.LastState().BaudRate, uint32_t(-5));
}

TEST_F(PortOnFake, DeviceControlBlockFlags) {
  port.OpenPort();
  port.FlowControl()->SetControlDTR(dtrHandshake);
  port.FlowControl()->SetControlRTS(rtsToggle);
  EXPECT_EQ(line.LastState().Flags, 0x1u | 0x20u | 0x3000u);

  port.FlowControl()->SetFlowControl(fcNone);
  port.FlowControl()->SetControlDTR(dtrDisable);
  port.Parity()->SetReplace(true);
  port.Parity()->SetReplaceChar('#');
  EXPECT_EQ(line.LastState().Flags, 0x1u);  // replace without check sets nothing
  EXPECT_EQ(line.LastState().ErrorChar, 0);
  port.Parity()->SetCheck(true);
  EXPECT_EQ(line.LastState().Flags, 0x1u | 0x2u | 0x400u);
  EXPECT_EQ(line.LastState().ErrorChar, '#');

  port.Parity()->SetCheck(false);
  port.SetDiscardNull(true);
  port.FlowControl()->SetFlowControl(fcHardware);
  port.FlowControl()->SetOutDSRFlow(true);
  port.FlowControl()->SetDSRSensitivity(true);
  port.FlowControl()->SetTxContinueOnXoff(true);
  EXPECT_EQ(line.LastState().Flags, 0x1u | 0x800u | 0x4u | 0x2000u | 0x8u | 0x40u | 0x80u);
  port.FlowControl()->SetFlowControl(fcSoftware);  // RTS handshake and CTS off, XON/XOFF on
  port.Buffer()->SetInputSize(4096);
  port.SetStopBits(sbTwoStopBits);
  port.Parity()->SetBits(prMark);
  port.SetDataBits(dbSeven);
  port.SetEventChar('\r');
  EXPECT_EQ(Only(line.Calls(), {"SetCommState"}).back(),
            "SetCommState(BaudRate=9600 Flags=0xBC9 XonLim=1024 XoffLim=1024 ByteSize=7 Parity=3 "
            "StopBits=2 XonChar=17 XoffChar=19 ErrorChar=0 EvtChar=13)");
}

TEST_F(PortOnFake, ABatchAppliesOnceAtItsEnd) {
  port.OpenPort();
  line.ClearCalls();
  port.BeginBatch();
  port.BeginBatch();
  port.SetBaudRate(br19200);
  port.SetStopBits(sbTwoStopBits);
  port.Buffer()->SetOutputSize(2048);
  port.Timeouts()->SetReadTotalConstant(5);
  port.Parity()->SetBits(prEven);
  port.EndBatch();
  EXPECT_TRUE(line.Calls().empty());
  port.EndBatch();
  EXPECT_EQ(Only(line.Calls(), {"SetupComm", "SetCommState", "SetCommTimeouts"}),
            (std::vector<std::string>{
                "SetupComm(1024,2048)",
                "SetCommState(BaudRate=19200 Flags=0x1 XonLim=256 XoffLim=256 ByteSize=8 Parity=2 "
                "StopBits=2 XonChar=17 XoffChar=19 ErrorChar=0 EvtChar=0)",
                "SetCommTimeouts(0xFFFFFFFF,0x0,0x5,0x64,0x3E8)"}));
  port.EndBatch();  // unbalanced: nothing
  EXPECT_EQ(port.BatchDepth(), 0);
}

TEST_F(PortOnFake, FailuresKeepThePortConsistent) {
  line.FailCall("SetCommState", 87);
  EXPECT_EQ(Raised([&] { port.OpenPort(); }), "7/87");
  EXPECT_FALSE(port.Connected());
  EXPECT_FALSE(line.DeviceOpen());
  EXPECT_FALSE(port.ThreadRunning());

  line.FailCall("CreateFile", 2);
  int beforeOpen = 0, afterOpen = 0;
  port.OnBeforeOpen = [&](QObject*) { ++beforeOpen; };
  port.OnAfterOpen = [&](QObject*) { ++afterOpen; };
  try {
    port.SetConnected(true);
    FAIL();
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Message(), QStringLiteral("Unable to open com port (win error code: 2)"));
  }
  EXPECT_EQ(beforeOpen, 1);
  EXPECT_EQ(afterOpen, 0);

  port.SetConnected(true);
  port.SetConnected(true);
  EXPECT_EQ(afterOpen, 1);
  line.FailCall("SetCommTimeouts", 31);
  EXPECT_EQ(Raised([&] { port.Timeouts()->SetReadInterval(10); }), "8/31");
  EXPECT_EQ(port.Timeouts()->ReadInterval(), 10);  // stored all the same
  line.FailCall("SetupComm", 87);
  EXPECT_EQ(Raised([&] { port.Buffer()->SetInputSize(64); }), "9/87");
  EXPECT_EQ(Raised([&] { port.SetSyncMethod(smNone); }), "14/-1");
  EXPECT_EQ(port.SyncMethod(), smThreadSync);

  // A failed purge leaves the port open; the next close works.
  line.FailCall("PurgeComm", 5);
  EXPECT_EQ(Raised([&] { port.ClosePort(); }), "5/5");
  EXPECT_TRUE(port.Connected());
  port.ClosePort();
  EXPECT_FALSE(port.Connected());
  port.SetConnected(false);
}

TEST_F(PortOnFake, AChangedPortNameReopens) {
  port.OpenPort();
  line.ClearCalls();
  port.SetPort(QStringLiteral("COM1"));
  EXPECT_TRUE(line.Calls().empty());
  port.SetPort(QStringLiteral("com1"));  // names compare exactly
  EXPECT_EQ(Only(line.Calls(), {"CreateFile", "CloseHandle"}),
            (std::vector<std::string>{"CloseHandle()", "CreateFile(com1)"}));
  EXPECT_TRUE(port.Connected());
  TComPort second;  // the device admits one port at a time
  second.SetDeviceOpener(line.Opener());
  EXPECT_EQ(Raised([&] { second.OpenPort(); }), "1/5");
}

TEST_F(PortOnFake, TransfersOnAClosedPortFailWithTheInvalidHandle) {
  uint8_t frame[8] = {1, 3, 0, 0, 0, 3, 5, 0xCB};
  EXPECT_EQ(Raised([&] { port.SendBytes(frame, 8); }), "2/6");
  EXPECT_EQ(Raised([&] { port.ReceiveBytes(frame, 8); }), "3/6");
  EXPECT_EQ(Raised([&] { port.BeginSend(frame, 8, nullptr); }), "4/-1");
  EXPECT_EQ(Raised([&] { port.BeginReceive(frame, 8, nullptr); }), "4/-1");
  EXPECT_EQ(Raised([&] { port.FinishTransfer(nullptr); }), "4/-1");

  port.OpenPort();
  EXPECT_EQ(port.SendBytes(frame, 8), 8);
  EXPECT_EQ(port.SendBytes(frame + 7, 1), 1);
  EXPECT_EQ(line.TakeWritten(), (std::vector<uint8_t>{1, 3, 0, 0, 0, 3, 5, 0xCB, 0xCB}));
  EXPECT_EQ(port.ReceiveBytes(frame, 0), 0);
  line.Inject({1, 2, 3, 4});
  uint8_t in[10] = {};
  EXPECT_EQ(port.ReceiveBytes(in, 10), 4);
  EXPECT_EQ(in[3], 4);
  EXPECT_THROW(port.SendBytes(frame, -1), EComPort);

  // After a completed read the queue is asked once more.
  line.ClearCalls();
  port.ReceiveBytes(in, 1);
  EXPECT_EQ(Only(line.Calls(), {"ReadFile", "ClearCommError"}),
            (std::vector<std::string>{"ReadFile(1)", "ClearCommError()"}));
}
