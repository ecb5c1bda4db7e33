#include "instruments/input.h"

#include <QKeyEvent>

namespace instruments {

uint16_t VirtualKeyFromQt(int qtKey) {
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return uint16_t('A' + (qtKey - Qt::Key_A));
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return uint16_t('0' + (qtKey - Qt::Key_0));
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return uint16_t(112 + (qtKey - Qt::Key_F1));
  switch (qtKey) {
    case Qt::Key_Backspace:
      return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return VK_RETURN;
    case Qt::Key_Shift:
      return VK_SHIFT;
    case Qt::Key_Control:
      return VK_CONTROL;
    case Qt::Key_Alt:
      return VK_MENU;
    case Qt::Key_Escape:
      return VK_ESCAPE;
    case Qt::Key_Space:
      return VK_SPACE;
    case Qt::Key_PageUp:
      return VK_PRIOR;
    case Qt::Key_PageDown:
      return VK_NEXT;
    case Qt::Key_End:
      return VK_END;
    case Qt::Key_Home:
      return VK_HOME;
    case Qt::Key_Left:
      return VK_LEFT;
    case Qt::Key_Up:
      return VK_UP;
    case Qt::Key_Right:
      return VK_RIGHT;
    case Qt::Key_Down:
      return VK_DOWN;
    case Qt::Key_Insert:
      return VK_INSERT;
    case Qt::Key_Delete:
      return VK_DELETE;
    default:
      return 0;
  }
}

TShiftState ShiftFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  TShiftState shift;
  if (modifiers & Qt::ShiftModifier) shift.Include(TShiftFlag::ssShift);
  if (modifiers & Qt::AltModifier) shift.Include(TShiftFlag::ssAlt);
  if (modifiers & Qt::ControlModifier) shift.Include(TShiftFlag::ssCtrl);
  if (buttons & Qt::LeftButton) shift.Include(TShiftFlag::ssLeft);
  if (buttons & Qt::RightButton) shift.Include(TShiftFlag::ssRight);
  if (buttons & Qt::MiddleButton) shift.Include(TShiftFlag::ssMiddle);
  return shift;
}

char16_t CharFromKeyEvent(const QKeyEvent& event) {
  const int key = event.key();
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Tab:
      return 9;
    default:
      break;
  }
  if (event.modifiers() & Qt::AltModifier) return 0;
  if (event.modifiers() & Qt::ControlModifier) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return char16_t(1 + (key - Qt::Key_A));
  }
  const QString text = event.text();
  if (text.isEmpty() || key == Qt::Key_Delete) return 0;
  const char16_t c = text.at(0).unicode();
  // With Ctrl only the control characters (Ctrl+[ and the like) are typed; Delete types nothing.
  if (c == 127 || ((event.modifiers() & Qt::ControlModifier) && c >= 32)) return 0;
  return c;
}

}  // namespace instruments
