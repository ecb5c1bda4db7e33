#include "instruments/integer_output.h"

#include <algorithm>
#include <optional>

#include "framework/exception.h"
#include "instruments/convert.h"

namespace instruments {

namespace {

// Binary and octal texts are read digit by digit from the right. A value beyond 32 bits does
// not convert; up to 32 bits it is the two's-complement integer.
std::optional<int32_t> ParsePowers(const QString& text, uint64_t base) {
  uint64_t sum = 0;
  uint64_t power = 1;
  bool powerTooBig = false;
  for (qsizetype i = text.size() - 1; i >= 0; --i) {
    const char16_t c = text.at(i).unicode();
    if (c < '0' || c > '9') return std::nullopt;
    const uint64_t digit = c - '0';
    if (digit != 0) {
      if (powerTooBig) return std::nullopt;
      sum += digit * power;
      if (sum > 0xFFFFFFFFull) return std::nullopt;
    }
    if (!powerTooBig) {
      power *= base;
      powerTooBig = power > 0xFFFFFFFFull;
    }
  }
  return int32_t(uint32_t(sum));
}

}  // namespace

TiIntegerOutput::TiIntegerOutput(QWidget* parent) : TiEditCustom(parent) {
  SetAlignment(taCenter);
  Font()->SetStyle({TFontStyle::fsBold});
  SetText(QStringLiteral("0"));
}

QString TiIntegerOutput::FormatValue(int value) const {
  const uint32_t bits = uint32_t(value);
  int limit = MaxLength();
  QString digits;
  switch (formatStyle_) {
    case iifsInteger:
      digits = QString::number(value);
      break;
    case iifsHex:
      limit = limit == 0 ? 8 : std::min(limit, 8);
      digits = QString::number(bits, 16).toUpper();
      break;
    case iifsBinary:
      limit = limit == 0 ? 32 : std::min(limit, 32);
      digits = QString::number(bits, 2);
      break;
    case iifsOctal:
      limit = limit == 0 ? 10 : std::min(limit, 10);
      digits = QString::number(bits & 0x3FFFFFFFu, 8);
      break;
  }
  const bool negative = digits.startsWith(QLatin1Char('-'));
  if (negative) digits.remove(0, 1);
  while (digits.startsWith(QLatin1Char('0'))) digits.remove(0, 1);
  // Zeros go between the sign and the digits, so the text still reads as a number.
  const int room = limit - int(digits.size()) - (negative ? 1 : 0);
  if (leadingZeros_ && room > 0) digits.prepend(QString(room, QLatin1Char('0')));
  if (negative) digits.prepend(QLatin1Char('-'));
  return digits.isEmpty() ? QStringLiteral("0") : digits;
}

int TiIntegerOutput::ParseText(const QString& text) {
  std::optional<int32_t> value;
  switch (formatStyle_) {
    case iifsInteger:
      value = TryStrToInt(text);
      break;
    case iifsHex:
      value = TryStrToInt(QLatin1Char('$') + text);
      break;
    case iifsBinary:
      value = ParsePowers(text, 2);
      break;
    case iifsOctal:
      value = ParsePowers(text, 8);
      break;
  }
  if (value) return *value;
  if (!undoOnError_) ThrowInvalidInteger(text);
  Undo();
  if (beepOnError_) Beep();
  return value_;
}

void TiIntegerOutput::SetValue(int value) {
  if (valueMax_ != 0 || valueMin_ != 0) {
    value = std::min(value, valueMax_);
    value = std::max(value, valueMin_);
  }
  if (value != value_) {
    bool canChange = true;
    if (UserAction()) framework::Raise(OnBeforeUserChange, this, value_, value, canChange);
    framework::Raise(OnBeforeChange, this, value_, value, canChange);
    if (canChange && AllowPropertyChange(QStringLiteral("Value")) &&
        !OutputToLink(QStringLiteral("Value"), value)) {
      value_ = value;
      SetAcceptedText(FormatValue(value_));
      RefreshText();
      DoChange();
    }
  }
  RefreshText();
}

void TiIntegerOutput::SetValueMax(int value) {
  if (value == valueMax_) return;
  valueMax_ = value;
  SetValue(value_);
}

void TiIntegerOutput::SetValueMin(int value) {
  if (value == valueMin_) return;
  valueMin_ = value;
  SetValue(value_);
}

void TiIntegerOutput::SetFormatStyle(TiIntegerFormatStyle value) {
  if (value == formatStyle_) return;
  formatStyle_ = value;
  RefreshText();
  InvalidateChange();
}

void TiIntegerOutput::SetLeadingZeros(bool value) {
  if (value == leadingZeros_) return;
  leadingZeros_ = value;
  RefreshText();
  InvalidateChange();
}

void TiIntegerOutput::SetMaxLength(int value) {
  if (value == MaxLength()) return;
  TiEditCustom::SetMaxLength(value);
  RefreshText();
  InvalidateChange();
}

void TiIntegerOutput::DoChange() {
  TiEditCustom::DoChange();
  if (UserAction()) framework::Raise(OnChangeUser, this);
}

void TiIntegerOutput::Apply() {
  if (EditText() != AcceptedText()) {
    SetValue(ParseText(EditText()));
    SetAcceptedText(FormatValue(value_));
  }
  SelectAll();
}

bool TiIntegerOutput::AcceptChar(char16_t key) {
  const char16_t c = key;
  bool accepted = false;
  switch (formatStyle_) {
    case iifsInteger:
      accepted = c >= '0' && c <= '9';
      break;
    case iifsHex:
      accepted = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
      break;
    case iifsBinary:
      accepted = c == '0' || c == '1';
      break;
    case iifsOctal:
      accepted = c >= '0' && c <= '7';
      break;
  }
  if (!accepted && beepOnError_) Beep();
  return accepted;
}

}  // namespace instruments
