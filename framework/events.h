// Handler slots: a handler is "assigned" when the function is non-empty.
#pragma once

#include <QObject>

#include <functional>

namespace framework {

using TObject = QObject;
using TNotifyEvent = std::function<void(TObject* Sender)>;

// Calls a handler when one is assigned.
template <typename Handler, typename... Args>
void Raise(const Handler& handler, Args&&... args) {
  if (handler) handler(std::forward<Args>(args)...);
}

}  // namespace framework
