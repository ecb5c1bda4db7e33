#include "serial/com_types.h"

#include "platform/serial_device.h"

#include <array>

namespace serial {

namespace {

const std::array<const char*, 16> baudTexts = {"Custom", "110",   "300",    "600",   "1200",  "2400",
                                               "4800",   "9600",  "14400",  "19200", "38400", "56000",
                                               "57600",  "115200", "128000", "256000"};
const std::array<uint32_t, 16> baudValues = {0,     110,   300,   600,    1200,   2400,   4800,   9600,
                                             14400, 19200, 38400, 56000,  57600,  115200, 128000, 256000};
const std::array<const char*, 3> stopTexts = {"1", "1.5", "2"};
const std::array<const char*, 4> dataTexts = {"5", "6", "7", "8"};
const std::array<const char*, 5> parityTexts = {"None", "Odd", "Even", "Mark", "Space"};
const std::array<const char*, 4> flowTexts = {"Hardware", "Software", "None", "Custom"};
const std::array<const char*, 3> dtrTexts = {"Disable", "Enable", "Handshake"};
const std::array<const char*, 4> rtsTexts = {"Disable", "Enable", "Handshake", "Toggle"};

// The event mask bit of each event, by ordinal.
const std::array<uint32_t, 10> eventBits = {
    platform::EV_RXCHAR, platform::EV_TXEMPTY, platform::EV_RXFLAG, platform::EV_RING,
    platform::EV_BREAK,  platform::EV_CTS,     platform::EV_DSR,    platform::EV_ERR,
    platform::EV_RLSD,   platform::EV_RX80FULL};
const std::array<uint32_t, 8> errorBits = {platform::CE_FRAME, platform::CE_RXPARITY, platform::CE_OVERRUN,
                                           platform::CE_BREAK, platform::CE_IOE,      platform::CE_MODE,
                                           platform::CE_RXOVER, platform::CE_TXFULL};

// Only ASCII letters change case, as the stored texts are ASCII.
QString AsciiUpper(const QString& text) {
  QString out = text;
  for (QChar& c : out)
    if (c >= u'a' && c <= u'z') c = QChar(c.unicode() - 32);
  return out;
}

template <typename E, size_t N>
QString TextOf(const std::array<const char*, N>& texts, E value) {
  const size_t i = static_cast<size_t>(value);
  return i < N ? QString::fromLatin1(texts[i]) : QString();
}

template <typename E, size_t N>
E Parse(const std::array<const char*, N>& texts, const QString& text, E fallback) {
  const QString wanted = AsciiUpper(text);
  for (size_t i = 0; i < N; ++i)
    if (AsciiUpper(QString::fromLatin1(texts[i])) == wanted) return static_cast<E>(i);
  return fallback;
}

}  // namespace

QString BaudRateText(TBaudRate v) { return TextOf(baudTexts, v); }
QString StopBitsText(TStopBits v) { return TextOf(stopTexts, v); }
QString DataBitsText(TDataBits v) { return TextOf(dataTexts, v); }
QString ParityText(TParityBits v) { return TextOf(parityTexts, v); }
QString FlowControlText(TFlowControl v) { return TextOf(flowTexts, v); }
QString DtrControlText(TDTRFlowControl v) { return TextOf(dtrTexts, v); }
QString RtsControlText(TRTSFlowControl v) { return TextOf(rtsTexts, v); }

TBaudRate ParseBaudRate(const QString& t) { return Parse(baudTexts, t, br9600); }
TStopBits ParseStopBits(const QString& t) { return Parse(stopTexts, t, sbOneStopBit); }
TDataBits ParseDataBits(const QString& t) { return Parse(dataTexts, t, dbEight); }
TParityBits ParseParity(const QString& t) { return Parse(parityTexts, t, prNone); }
TFlowControl ParseFlowControl(const QString& t) { return Parse(flowTexts, t, fcCustom); }
TDTRFlowControl ParseDtrControl(const QString& t) { return Parse(dtrTexts, t, dtrDisable); }
TRTSFlowControl ParseRtsControl(const QString& t) { return Parse(rtsTexts, t, rtsDisable); }

QString YesNoText(bool value) { return value ? QStringLiteral("Yes") : QStringLiteral("No"); }

bool ParseYesNo(const QString& text) { return AsciiUpper(text) == QStringLiteral("YES"); }

QString CharText(uint8_t code) {
  if (code >= 33 && code <= 127) return QString(QChar(code));
  return QStringLiteral("#") + QString::number(code);
}

uint8_t ParseCharText(const QString& text) {
  if (text.isEmpty()) return 0;
  if (text.startsWith(u'#') && text.size() > 1) {
    bool ok = false;
    const int value = text.mid(1).toInt(&ok, 10);
    return ok ? uint8_t(value & 0xFF) : 0;
  }
  // The code of the first character as an 8-bit text would hold it.
  const QChar first = text.at(0);
  return first.unicode() < 0x80 ? uint8_t(first.unicode())
                                : uint8_t(QString(first).toUtf8().at(0));
}

uint32_t BaudRateValue(TBaudRate v) {
  const size_t i = static_cast<size_t>(v);
  return i < baudValues.size() ? baudValues[i] : 0;
}
uint8_t StopBitsValue(TStopBits v) { return uint8_t(v); }
uint8_t DataBitsValue(TDataBits v) { return uint8_t(5 + int(v)); }
uint8_t ParityValue(TParityBits v) { return uint8_t(v); }
uint32_t DtrControlValue(TDTRFlowControl v) { return uint32_t(v) * 0x10; }
uint32_t RtsControlValue(TRTSFlowControl v) { return uint32_t(v) * 0x1000; }

uint32_t EventMaskBit(TComEvent event) { return eventBits[static_cast<size_t>(event)]; }

uint32_t EventsToMask(TComEvents events) {
  uint32_t mask = 0;
  for (size_t i = 0; i < eventBits.size(); ++i)
    if (events.Contains(static_cast<TComEvent>(i))) mask |= eventBits[i];
  return mask;
}

TComEvents MaskToEvents(uint32_t mask) {
  TComEvents events;
  for (size_t i = 0; i < eventBits.size(); ++i)
    if (mask & eventBits[i]) events.Include(static_cast<TComEvent>(i));
  return events;
}

TComErrors ErrorBitsToErrors(uint32_t ceBits, bool parityCheck) {
  TComErrors errors;
  for (size_t i = 0; i < errorBits.size(); ++i) {
    const auto error = static_cast<TComError>(i);
    if (error == ceRxParity && !parityCheck) continue;
    if (ceBits & errorBits[i]) errors.Include(error);
  }
  return errors;
}

TModemSignals ModemStatusToSignals(uint32_t msBits) {
  TModemSignals lines;
  if (msBits & platform::MS_CTS_ON) lines.Include(msCTS);
  if (msBits & platform::MS_DSR_ON) lines.Include(msDSR);
  if (msBits & platform::MS_RING_ON) lines.Include(msRing);
  if (msBits & platform::MS_RLSD_ON) lines.Include(msRLSD);
  return lines;
}

}  // namespace serial
