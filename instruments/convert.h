// The platform's string-to-integer conversion: optional leading blanks, an optional sign, then
// decimal digits, or hexadecimal digits after "$" or "0x". The value must fit 32 bits; a
// hexadecimal value up to FFFFFFFF is read as its two's-complement integer.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace instruments {

std::optional<int32_t> TryStrToInt(const QString& text);

// As TryStrToInt; a text that does not convert raises framework::EConvertError with the
// message "'<text>' is not a valid integer value".
int32_t StrToInt(const QString& text);

[[noreturn]] void ThrowInvalidInteger(const QString& text);

}  // namespace instruments
