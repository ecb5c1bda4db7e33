// The port error a call raises as "code/system error", or "none" when it returns, so that one
// comparison names both numbers.
#pragma once

#include <string>

#include "serial/com_error.h"

template <typename Call>
std::string Raised(Call&& call) {
  try {
    call();
  } catch (const serial::EComPort& e) {
    return std::to_string(e.PortErrorCode) + "/" + std::to_string(e.SystemErrorCode);
  }
  return "none";
}
