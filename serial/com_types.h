// The port's enumerations, their texts (as stored and as shown in the setup dialog), their
// device values, and the event, error and modem-line sets.
#pragma once

#include "framework/set_of.h"

#include <QString>

#include <cstdint>

namespace serial {

enum TBaudRate {
  brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200, br38400,
  br56000, br57600, br115200, br128000, br256000
};
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl { fcHardware, fcSoftware, fcNone, fcCustom };
enum TSyncMethod { smThreadSync, smWindowSync, smNone };

enum TComEvent {
  evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full
};
using TComEvents = framework::SetOf<TComEvent>;

enum TComError { ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull };
using TComErrors = framework::SetOf<TComError>;

enum TModemSignal { msCTS, msDSR, msRing, msRLSD };
using TModemSignals = framework::SetOf<TModemSignal>;

enum TSettingsStore { ssRegistry, ssIniFile };
enum TSettingsGroup { sgBasic, sgFlowControl, sgBuffer, sgTimeouts, sgParity, sgMisc };
using TSettingsGroups = framework::SetOf<TSettingsGroup>;

inline constexpr int BaudRateCount = 16;
inline constexpr TComEvents AllComEvents{evRxChar, evTxEmpty, evRxFlag, evRing, evBreak,
                                         evCTS,    evDSR,     evError,  evRLSD, evRx80Full};

// Texts of each ordinal.
QString BaudRateText(TBaudRate value);
QString StopBitsText(TStopBits value);
QString DataBitsText(TDataBits value);
QString ParityText(TParityBits value);
QString FlowControlText(TFlowControl value);
QString DtrControlText(TDTRFlowControl value);
QString RtsControlText(TRTSFlowControl value);

// Text back to the ordinal: the first value whose text equals it with ASCII letters compared
// case-insensitively; a text that matches none gives the type's fallback.
TBaudRate ParseBaudRate(const QString& text);
TStopBits ParseStopBits(const QString& text);
TDataBits ParseDataBits(const QString& text);
TParityBits ParseParity(const QString& text);
TFlowControl ParseFlowControl(const QString& text);
TDTRFlowControl ParseDtrControl(const QString& text);
TRTSFlowControl ParseRtsControl(const QString& text);

// Stored text forms: "Yes"/"No"; a character 33..127 as itself, any other as "#" and its code.
QString YesNoText(bool value);
bool ParseYesNo(const QString& text);
QString CharText(uint8_t code);
uint8_t ParseCharText(const QString& text);

// Device values.
uint32_t BaudRateValue(TBaudRate value);  // 0 for brCustom: the caller uses CustomBaudRate
uint8_t StopBitsValue(TStopBits value);
uint8_t DataBitsValue(TDataBits value);
uint8_t ParityValue(TParityBits value);
uint32_t DtrControlValue(TDTRFlowControl value);
uint32_t RtsControlValue(TRTSFlowControl value);

uint32_t EventsToMask(TComEvents events);
TComEvents MaskToEvents(uint32_t mask);
uint32_t EventMaskBit(TComEvent event);
TComErrors ErrorBitsToErrors(uint32_t ceBits, bool parityCheck);
TModemSignals ModemStatusToSignals(uint32_t msBits);

}  // namespace serial
