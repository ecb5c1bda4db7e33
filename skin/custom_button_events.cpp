// The skinned button's answers to mouse, keyboard, focus and change events.
#include <QKeyEvent>
#include <QMouseEvent>
#include <utility>

#include "framework/guard.h"
#include "skin/custom_button.h"
#include "skin/dialog_keys.h"

namespace skin {

namespace {

bool IsPressKey(int key) {
  return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

bool TsuiCustomButton::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::ParentChange:
    case QEvent::Show:
      if (parentWidget()) EnsureDialogKeyRouter(window());
      break;
    case QEvent::Polish:
      // The button answers Enter from its own Default until the focus first moves.
      isDefaultNow_ = default_;
      break;
    default:
      break;
  }
  return QWidget::event(event);
}

void TsuiCustomButton::paintEvent(QPaintEvent*) {
  framework::Guard([this] { Paint(); });
}

void TsuiCustomButton::mousePressEvent(QMouseEvent* event) {
  framework::Guard([&] {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
      pressed_ = true;
      if (!repeatTimer_) StartRepeatTimer();
      if (TabStop() && CanFocus()) setFocus(Qt::MouseFocusReason);
      update();
    }
    framework::Raise(OnMouseDown, this, event->button(), event->modifiers(), at.x(), at.y());
  });
}

void TsuiCustomButton::mouseReleaseEvent(QMouseEvent* event) {
  framework::Guard([&] { HandleMouseRelease(event); });
}

void TsuiCustomButton::HandleMouseRelease(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  const Qt::MouseButton button = event->button();
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  QPointer<TsuiCustomButton> self(this);
  if (button == Qt::LeftButton) {
    // Releasing the button always ends the repeat, wherever the pointer went meanwhile.
    ReleaseRepeatTimer();
    if (rect().contains(at)) {
      Click();
    } else if (pressed_) {
      pressed_ = false;
      update();
    }
  }
  if (self) framework::Raise(OnMouseUp, this, button, modifiers, at.x(), at.y());
}

void TsuiCustomButton::mouseMoveEvent(QMouseEvent* event) {
  framework::Guard([&] {
    const QPoint at = event->position().toPoint();
    if (at.x() < 0 || at.y() < 0 || at.x() > width() || at.y() > height()) {
      mouseInside_ = false;
      pressed_ = false;
      update();
    }
    // While a button is held Qt keeps the enter and leave events back until the release, so a
    // held button would go on repeating off the pointer: the moves stand in for them.
    if (event->buttons() != Qt::NoButton) {
      const bool inside = rect().contains(at);
      if (!inside && !leftWhileHeld_) {
        leftWhileHeld_ = true;
        PointerLeft();
      } else if (inside && leftWhileHeld_) {
        leftWhileHeld_ = false;
        PointerEntered();
      }
    }
    framework::Raise(OnMouseMove, this, event->modifiers(), at.x(), at.y());
  });
}

void TsuiCustomButton::enterEvent(QEnterEvent*) {
  leftWhileHeld_ = false;
  framework::Guard([this] { PointerEntered(); });
}

void TsuiCustomButton::leaveEvent(QEvent*) {
  // The leave held back during a press was already taken from the moves.
  if (std::exchange(leftWhileHeld_, false)) return;
  framework::Guard([this] { PointerLeft(); });
}

void TsuiCustomButton::PointerEntered() {
  mouseInside_ = true;
  update();
  framework::Raise(OnMouseEnter, this);
}

void TsuiCustomButton::PointerLeft() {
  mouseInside_ = false;
  pressed_ = false;
  ReleaseRepeatTimer();
  update();
  framework::Raise(OnMouseExit, this);
}

void TsuiCustomButton::keyPressEvent(QKeyEvent* event) {
  framework::Guard([&] { HandleKeyPress(event); });
}

void TsuiCustomButton::HandleKeyPress(QKeyEvent* event) {
  int key = event->key();
  QPointer<TsuiCustomButton> self(this);
  event->accept();
  // Enter and Esc are dialog keys first; the button routes them itself since it keeps the
  // key press.
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
    if (DispatchDialogKey(window(), key, event->modifiers()) || !self) return;
  }
  framework::Raise(OnKeyDown, this, key, event->modifiers());
  if (!self || key == 0) return;
  if (IsPressKey(key)) {
    if (hasFocus() && isEnabled()) {
      pressed_ = true;
      update();
    }
    return;
  }
  const QString text = event->text();
  if (key == Qt::Key_Escape || text.isEmpty() || !text[0].isPrint()) {
    if (key != Qt::Key_Escape) event->ignore();
    return;
  }
  if (DispatchDialogChar(window(), text[0]) || !self) return;
  QChar character = text[0];
  framework::Raise(OnKeyPress, this, character);
}

void TsuiCustomButton::keyReleaseEvent(QKeyEvent* event) {
  framework::Guard([&] { HandleKeyRelease(event); });
}

void TsuiCustomButton::HandleKeyRelease(QKeyEvent* event) {
  // A held key repeats its press only, as on the original platform.
  if (event->isAutoRepeat()) return;
  int key = event->key();
  QPointer<TsuiCustomButton> self(this);
  framework::Raise(OnKeyUp, this, key, event->modifiers());
  if (!self) return;
  if (IsPressKey(key) && hasFocus() && pressed_ && isEnabled()) {
    pressed_ = false;
    update();
    Click();
  }
}

void TsuiCustomButton::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  framework::Guard([this] {
    update();
    framework::Raise(OnEnter, this);
  });
}

void TsuiCustomButton::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  framework::Guard([this] {
    update();
    framework::Raise(OnExit, this);
  });
}

void TsuiCustomButton::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  framework::Guard([&] {
    switch (event->type()) {
      case QEvent::EnabledChange:
        EnabledChanged();
        update();
        break;
      case QEvent::FontChange:
        FontChanged();
        break;
      case QEvent::WindowTitleChange:
        // Window text set from outside (an action) becomes the caption.
        if (windowTitle() != caption_) {
          caption_ = windowTitle();
          CaptionChanged();
          update();
        }
        break;
      default:
        break;
    }
  });
}

}  // namespace skin
