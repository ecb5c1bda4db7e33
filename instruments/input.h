// Keyboard and mouse input as the controls see it: Win32 virtual key codes, shift states and
// the handler slot types of the key and mouse events.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

#include "framework/set_of.h"

class QKeyEvent;

namespace instruments {

enum class TShiftFlag { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = framework::SetOf<TShiftFlag>;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

inline constexpr uint16_t VK_BACK = 8;
inline constexpr uint16_t VK_TAB = 9;
inline constexpr uint16_t VK_RETURN = 13;
inline constexpr uint16_t VK_SHIFT = 16;
inline constexpr uint16_t VK_CONTROL = 17;
inline constexpr uint16_t VK_MENU = 18;
inline constexpr uint16_t VK_ESCAPE = 27;
inline constexpr uint16_t VK_SPACE = 32;
inline constexpr uint16_t VK_PRIOR = 33;
inline constexpr uint16_t VK_NEXT = 34;
inline constexpr uint16_t VK_END = 35;
inline constexpr uint16_t VK_HOME = 36;
inline constexpr uint16_t VK_LEFT = 37;
inline constexpr uint16_t VK_UP = 38;
inline constexpr uint16_t VK_RIGHT = 39;
inline constexpr uint16_t VK_DOWN = 40;
inline constexpr uint16_t VK_INSERT = 45;
inline constexpr uint16_t VK_DELETE = 46;

using TKeyEvent = std::function<void(QObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(QObject* Sender, char16_t& Key)>;
using TMouseEvent =
    std::function<void(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(QObject* Sender, TShiftState Shift, int X, int Y)>;

// The virtual key code of a Qt key (0 for keys without one).
uint16_t VirtualKeyFromQt(int qtKey);

TShiftState ShiftFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons = {});

// The character a key press types, as the platform's character message carries it: control
// characters for Enter (13), Backspace (8), Escape (27), Tab (9), Ctrl+A..Ctrl+Z (1..26) and
// any other control character the key's text carries; 0 when the key types nothing.
char16_t CharFromKeyEvent(const QKeyEvent& event);

}  // namespace instruments
