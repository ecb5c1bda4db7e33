#include "serial/com_error.h"

#include <array>
#include <mutex>

namespace serial {

namespace {

const std::array<const char*, 23> englishTexts = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error"};

const char* const suffixText = " (win error code: %d)";

struct TextTable {
  std::mutex lock;  // exceptions are built on the event thread too
  ComTextLookup lookup;
  std::array<QString, 23> texts;
  TextTable() {
    for (size_t i = 0; i < texts.size(); ++i) texts[i] = QString::fromLatin1(englishTexts[i]);
  }
};

TextTable& Table() {
  static TextTable table;
  return table;
}

QString Lookup(const QString& text) {
  ComTextLookup lookup;
  {
    std::lock_guard<std::mutex> guard(Table().lock);
    lookup = Table().lookup;
  }
  return lookup ? lookup(text) : text;
}

}  // namespace

QString ComErrorText(int code) {
  if (code < 1 || code > 23) return QString();
  std::lock_guard<std::mutex> guard(Table().lock);
  return Table().texts.at(size_t(code - 1));
}

QString ComText(const QString& text) {
  return Lookup(text);
}

void SetComTextLookup(ComTextLookup lookup) {
  std::lock_guard<std::mutex> guard(Table().lock);
  Table().lookup = std::move(lookup);
}

void InitComErrorTexts() {
  std::array<QString, 23> texts;
  for (size_t i = 0; i < texts.size(); ++i) texts[i] = Lookup(QString::fromLatin1(englishTexts[i]));
  std::lock_guard<std::mutex> guard(Table().lock);
  Table().texts = texts;
}

EComPort::EComPort(int code, int systemError)
    : Exception(ComErrorText(code) + Lookup(QString::fromLatin1(suffixText)).replace(
                                         QStringLiteral("%d"), QString::number(systemError))),
      SystemErrorCode(systemError),
      PortErrorCode(code) {}

EComPort::EComPort(int code) : Exception(ComErrorText(code)), SystemErrorCode(-1), PortErrorCode(code) {}

}  // namespace serial
