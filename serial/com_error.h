// The port's one exception class: a port error code 1..23 that selects a fixed message, and the
// Win32 error of a failed system call (-1 when there was none).
#pragma once

#include "framework/exception.h"

#include <functional>

namespace serial {

class EComPort : public framework::Exception {
 public:
  // With a system error: the message gets the suffix " (win error code: %d)".
  EComPort(int code, int systemError);
  // Without: the table text alone.
  explicit EComPort(int code);

  int SystemErrorCode;
  int PortErrorCode;
  // Why, in the operator's words, where the system told more than the number (a failed open:
  // see platform::GetLastErrorReason); empty otherwise. Not part of the message.
  QString Reason;
};

// The message table entry of a code, as it stands after start-up (empty outside 1..23).
QString ComErrorText(int code);

// Texts pass through this lookup: the table once at InitComErrorTexts, the suffix at each
// construction. Until translation is wired it returns the text unchanged.
using ComTextLookup = std::function<QString(const QString& text)>;
void SetComTextLookup(ComTextLookup lookup);

// Any other text of the port for the operator, through the same lookup.
QString ComText(const QString& text);

// Fills the message table through the lookup (program start).
void InitComErrorTexts();

}  // namespace serial
