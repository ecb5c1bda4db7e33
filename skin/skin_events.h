// Handler slots of the skinned controls beside the plain notification.
#pragma once

#include <QChar>
#include <QObject>
#include <functional>

namespace skin {

using TMouseEvent = std::function<void(QObject* Sender, Qt::MouseButton Button,
                                       Qt::KeyboardModifiers Shift, int X, int Y)>;
using TMouseMoveEvent =
    std::function<void(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y)>;
// Key may be changed by the handler; 0 swallows the key.
using TKeyEvent = std::function<void(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift)>;
using TKeyPressEvent = std::function<void(QObject* Sender, QChar& Key)>;

}  // namespace skin
