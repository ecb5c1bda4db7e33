// What the start button says when the port does not open: the line the operators know, then
// why, as far as it is known.
#pragma once

#include <QString>
#include <exception>

namespace app {

QString OpenFailureMessage(const std::exception_ptr& error);

}  // namespace app
