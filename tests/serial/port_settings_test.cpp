// The port's settings model: texts, parsing, derived flow control and sub-object rules.
#include "serial/com_port.h"

#include <gtest/gtest.h>

using namespace serial;

TEST(PortTexts, ParsingIsCaseInsensitiveWithFixedFallbacks) {
  EXPECT_EQ(ParseBaudRate(QStringLiteral("9600")), br9600);
  EXPECT_EQ(ParseBaudRate(QStringLiteral("custom")), brCustom);
  EXPECT_EQ(ParseBaudRate(QString()), br9600);
  EXPECT_EQ(ParseBaudRate(QStringLiteral("115200")), br115200);
  EXPECT_EQ(ParseFlowControl(QStringLiteral("none")), fcNone);
  EXPECT_EQ(ParseFlowControl(QStringLiteral("RTS/CTS")), fcCustom);
  EXPECT_EQ(ParseStopBits(QStringLiteral("1.5")), sbOne5StopBits);
  EXPECT_EQ(ParseStopBits(QStringLiteral("3")), sbOneStopBit);
  EXPECT_EQ(ParseDataBits(QStringLiteral("x")), dbEight);
  EXPECT_EQ(ParseParity(QStringLiteral("sPaCe")), prSpace);
  EXPECT_EQ(ParseDtrControl(QStringLiteral("HANDSHAKE")), dtrHandshake);
  EXPECT_EQ(ParseRtsControl(QStringLiteral("toggle")), rtsToggle);
  EXPECT_EQ(ParseRtsControl(QStringLiteral("")), rtsDisable);
  // Only ASCII letters fold: a dotless capital I is not "i".
  EXPECT_EQ(ParseParity(QStringLiteral("NONE")), prNone);
  for (int i = 0; i < BaudRateCount; ++i)
    EXPECT_EQ(ParseBaudRate(BaudRateText(TBaudRate(i))), TBaudRate(i));
  EXPECT_EQ(BaudRateText(br256000), QStringLiteral("256000"));
  EXPECT_EQ(StopBitsText(sbOne5StopBits), QStringLiteral("1.5"));
  EXPECT_EQ(FlowControlText(fcSoftware), QStringLiteral("Software"));
}

TEST(PortEvents, MasksMapBothWays) {
  EXPECT_EQ(EventsToMask(AllComEvents), 0x05FFu);
  const TComEvents designed{evRxChar, evTxEmpty, evRxFlag, evRing,   evBreak,
                            evError,  evRLSD,    evRx80Full};
  EXPECT_EQ(EventsToMask(designed), 0x05E7u);
  for (uint32_t bit = 1; bit <= 0x8000; bit <<= 1) {
    EXPECT_EQ(EventsToMask(MaskToEvents(bit)), bit & 0x05FFu) << bit;
  }
  EXPECT_EQ(MaskToEvents(0x0200), TComEvents());
}

TEST(PortEvents, ParityErrorsCountOnlyWhileChecked) {
  EXPECT_TRUE(ErrorBitsToErrors(0x0004, false).Empty());
  EXPECT_EQ(ErrorBitsToErrors(0x0004, true), TComErrors{ceRxParity});
  EXPECT_EQ(ErrorBitsToErrors(0x8000 | 0x0001 | 0x0100 | 0x0400, false),
            (TComErrors{ceMode, ceRxOver, ceTxFull, ceIO}));
}

TEST(FlowControl, DerivedValueFollowsTheFourFlags) {
  TComFlowControl flow;
  EXPECT_EQ(flow.FlowControl(), fcNone);
  flow.SetFlowControl(fcHardware);
  EXPECT_EQ(flow.ControlRTS(), rtsHandshake);
  EXPECT_TRUE(flow.OutCTSFlow());
  flow.SetControlDTR(dtrEnable);
  flow.SetOutDSRFlow(true);
  EXPECT_EQ(flow.FlowControl(), fcHardware);
  flow.SetFlowControl(fcSoftware);
  EXPECT_EQ(flow.ControlRTS(), rtsDisable);
  EXPECT_FALSE(flow.OutCTSFlow());
  EXPECT_TRUE(flow.XonXoffIn() && flow.XonXoffOut());
  EXPECT_EQ(flow.ControlDTR(), dtrEnable);  // not part of the derived value
  flow.SetXonXoffIn(false);
  EXPECT_EQ(flow.FlowControl(), fcCustom);
  flow.SetFlowControl(fcCustom);
  EXPECT_EQ(flow.FlowControl(), fcCustom);
  EXPECT_TRUE(flow.XonXoffOut());
  flow.SetFlowControl(fcNone);
  EXPECT_EQ(flow.FlowControl(), fcNone);
}

TEST(SettingsObjects, BufferSizesStayEvenAndCopyingChecksTheClass) {
  TComBuffer buffer;
  buffer.SetInputSize(1025);
  EXPECT_EQ(buffer.InputSize(), 1024);
  buffer.SetInputSize(-3);
  EXPECT_EQ(buffer.InputSize(), -3);
  buffer.SetOutputSize(4097);
  EXPECT_EQ(buffer.OutputSize(), 4096);

  TComParity parity;
  parity.SetBits(prEven);
  parity.SetReplaceChar('?');
  TComParity copy;
  copy.Assign(parity);
  EXPECT_EQ(copy.Bits(), prEven);
  EXPECT_EQ(copy.ReplaceChar(), '?');
  EXPECT_THROW(copy.Assign(buffer), framework::EConvertError);
}

TEST(PortErrors, MessagesCarryTheSystemErrorSuffix) {
  EComPort open(1, 2);
  EXPECT_EQ(open.Message(), QStringLiteral("Unable to open com port (win error code: 2)"));
  EXPECT_EQ(open.PortErrorCode, 1);
  EXPECT_EQ(open.SystemErrorCode, 2);
  EComPort plain(14);
  EXPECT_EQ(plain.Message(), QStringLiteral("Cannot set property while connected"));
  EXPECT_EQ(plain.SystemErrorCode, -1);
  EXPECT_EQ(ComErrorText(23), QStringLiteral("Registry error"));
  EXPECT_EQ(ComErrorText(0), QString());
  EXPECT_EQ(ComErrorText(24), QString());

  // The lookup hook sees the table once at start-up and the suffix at every construction.
  QStringList seen;
  SetComTextLookup([&](const QString& t) {
    seen << t;
    return t == QStringLiteral(" (win error code: %d)") ? QStringLiteral(" (Fehler %d)") : t;
  });
  InitComErrorTexts();
  EXPECT_EQ(seen.size(), 23);
  EXPECT_EQ(EComPort(7, 87).Message(), QStringLiteral("SetCommState function failed (Fehler 87)"));
  SetComTextLookup(nullptr);
  InitComErrorTexts();
}
