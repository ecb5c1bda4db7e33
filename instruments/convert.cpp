#include "instruments/convert.h"

#include "framework/exception.h"

namespace instruments {

namespace {

int HexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<int32_t> TryStrToInt(const QString& text) {
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n && text.at(i) == QLatin1Char(' ')) ++i;
  bool negative = false;
  if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
    negative = text.at(i) == QLatin1Char('-');
    ++i;
  }
  int base = 10;
  if (i < n && text.at(i) == QLatin1Char('$')) {
    base = 16;
    ++i;
  } else if (i + 1 < n && text.at(i) == QLatin1Char('0') &&
             (text.at(i + 1) == QLatin1Char('x') || text.at(i + 1) == QLatin1Char('X'))) {
    base = 16;
    i += 2;
  }
  if (i >= n) return std::nullopt;
  const uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 2147483648ull : 2147483647ull);
  uint64_t value = 0;
  for (; i < n; ++i) {
    const int digit = HexDigit(text.at(i));
    if (digit < 0 || digit >= base) return std::nullopt;
    value = value * uint64_t(base) + uint64_t(digit);
    if (value > limit) return std::nullopt;
  }
  const uint32_t bits = negative ? uint32_t(0u - uint32_t(value)) : uint32_t(value);
  return int32_t(bits);
}

void ThrowInvalidInteger(const QString& text) {
  throw framework::EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

int32_t StrToInt(const QString& text) {
  const std::optional<int32_t> value = TryStrToInt(text);
  if (!value) ThrowInvalidInteger(text);
  return *value;
}

}  // namespace instruments
