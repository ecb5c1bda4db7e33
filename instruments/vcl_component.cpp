#include "instruments/vcl_component.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>
#include <QWheelEvent>

#include "framework/canvas.h"
#include "framework/guard.h"

namespace instruments {

namespace {
// The control whose parent's picture is being taken: it draws nothing meanwhile, and no other
// control starts a capture of its own inside that one.
TiVCLComponent* capturingControl = nullptr;

TMouseButton ButtonFromQt(Qt::MouseButton button) {
  if (button == Qt::RightButton) return mbRight;
  if (button == Qt::MiddleButton) return mbMiddle;
  return mbLeft;
}

// Key and mouse-button handling discards its errors: input never ends in an error report.
template <typename Fn>
void Discarding(Fn&& fn) noexcept {
  try {
    fn();
  } catch (...) {
  }
}
}  // namespace

TiVCLComponent::TiVCLComponent(QWidget* parent) : TiComponent(parent) {}

TiVCLComponent::~TiVCLComponent() {
  TimerStop();
  if (capturingControl == this) capturingControl = nullptr;
}

void TiVCLComponent::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  if (value) {
    if (capture_.isNull() && width() > 0 && height() > 0)
      capture_ = QImage(size(), QImage::Format_RGB32);
    RequestRecapture();
  } else {
    capture_ = QImage();
    recapture_ = false;
  }
  InvalidateChange();
}

void TiVCLComponent::RequestRecapture() {
  if (!transparent_ || recapture_) return;
  recapture_ = true;
  InvalidateChange();
}

void TiVCLComponent::Recapture() {
  capture_.fill(framework::ColorToQColor(BackGroundColor()));
  QWidget* parent = parentWidget();
  const int w = width();
  const int h = height();
  const QRegion visible = visibleRegion();
  const QPoint corners[] = {{5, 5}, {w - 5, 5}, {5, h - 5}, {w - 5, h - 5}};
  for (const QPoint& corner : corners)
    if (!visible.contains(corner)) return;
  if (!parent) return;
  // The parent's own picture, then the siblings beneath this control. Rendering the parent with
  // its children would paint this control again from inside its own paint.
  capturingControl = this;
  parent->render(&capture_, QPoint(0, 0), QRegion(geometry()), QWidget::DrawWindowBackground);
  for (QObject* child : parent->children()) {
    if (child == this) break;  // the children after this one lie above it
    auto* sibling = qobject_cast<QWidget*>(child);
    if (!sibling || sibling->isWindow() || !sibling->isVisible()) continue;
    const QRect overlap = sibling->geometry() & geometry();
    if (overlap.isEmpty()) continue;
    sibling->render(&capture_, overlap.topLeft() - pos(),
                    QRegion(overlap.translated(-sibling->pos())),
                    QWidget::DrawWindowBackground | QWidget::DrawChildren);
  }
  capturingControl = nullptr;
  recapture_ = false;
}

void TiVCLComponent::DrawBackGround(QPainter& canvas, framework::TColor color) {
  if (!transparent_) {
    TiComponent::DrawBackGround(canvas, color);
    return;
  }
  if (capture_.size() != size()) capture_ = QImage(size(), QImage::Format_RGB32);
  if (capture_.isNull()) return;
  if (recapture_ && !capturingControl) Recapture();
  canvas.drawImage(0, 0, capture_);
}

void TiVCLComponent::RefreshAll() {
  RequestRecapture();
  TiComponent::RefreshAll();
}

void TiVCLComponent::paintEvent(QPaintEvent* event) {
  if (capturingControl == this) return;
  TiComponent::paintEvent(event);
}

void TiVCLComponent::TimerStart(int initialDelay, int repeatInterval) {
  if (timerId_) return;
  repeatInterval_ = repeatInterval;
  firstInterval_ = false;
  if (initialDelay <= 0) {
    if (repeatInterval <= 0) return;
    timerId_ = startTimer(repeatInterval, Qt::PreciseTimer);
    return;
  }
  timerId_ = startTimer(initialDelay, Qt::PreciseTimer);
  firstInterval_ = true;
}

void TiVCLComponent::TimerStop() {
  if (!timerId_) return;
  killTimer(timerId_);
  timerId_ = 0;
  firstInterval_ = false;
}

void TiVCLComponent::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timerId_) {
    TiComponent::timerEvent(event);
    return;
  }
  if (firstInterval_) {
    firstInterval_ = false;
    killTimer(timerId_);
    // With no repeat interval the first tick is the only one.
    timerId_ = repeatInterval_ > 0 ? startTimer(repeatInterval_, Qt::PreciseTimer) : 0;
  }
  framework::Guard([&] { framework::Raise(OnInternalTimer, this); });
}

bool TiVCLComponent::OutputToLink(const QString& propertyName, const QVariant& value) {
  if (incomingLinkData_) return false;
  return opcItems_.Offer(propertyName, value);
}

bool TiVCLComponent::InputFromLink(const QString&, QVariant&) {
  return false;
}

void TiVCLComponent::NewLinkData(int index, QVariant value) {
  if (index < 0 || index >= opcItems_.Count()) return;
  framework::Raise(OnBeforeNewOPCData, this, index, value);
  const QString name = opcItems_.Item(index).PropertyName;
  incomingLinkData_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{incomingLinkData_};
  if (!InputFromLink(name, value)) {
    // Property names are matched as the link gives them, in any case.
    const QMetaObject* meta = metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
      const QMetaProperty property = meta->property(i);
      if (name.compare(QLatin1String(property.name()), Qt::CaseInsensitive) != 0) continue;
      property.write(this, value);
      break;
    }
  }
  framework::Raise(OnNewOPCData, this, index);
}

bool TiVCLComponent::WantsShortcutKey(const QKeyEvent& event) const {
  if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  const int key = event.key();
  return !(key >= Qt::Key_F1 && key <= Qt::Key_F35);
}

bool TiVCLComponent::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    bool wanted = WantsShortcutKey(*keyEvent);
    int code = VirtualKeyFromQt(keyEvent->key());
    framework::Guard([&] { HandleWantSpecialKey(code, wanted); });
    if (wanted) {
      keyEvent->accept();
      return true;
    }
  }
  return TiComponent::event(event);
}

void TiVCLComponent::focusInEvent(QFocusEvent* event) {
  // A popup menu of ours takes the keyboard only for a moment; the focus stays ours.
  if (event->reason() != Qt::PopupFocusReason) {
    framework::Guard([&] {
      AsUserAction([&] {
        HandleGotFocus();
        framework::Raise(OnEnter, this);
      });
    });
  }
  TiComponent::focusInEvent(event);
}

void TiVCLComponent::focusOutEvent(QFocusEvent* event) {
  if (event->reason() != Qt::PopupFocusReason) {
    framework::Guard([&] {
      AsUserAction([&] {
        HandleLostFocus();
        framework::Raise(OnExit, this);
      });
    });
  }
  TiComponent::focusOutEvent(event);
}

void TiVCLComponent::keyPressEvent(QKeyEvent* event) {
  event->accept();
  Discarding([&] {
    AsUserAction([&] {
      uint16_t key = VirtualKeyFromQt(event->key());
      const TShiftState shift = ShiftFromQt(event->modifiers());
      if (key) {
        framework::Raise(OnKeyDown, this, key, shift);
        Discarding([&] { HandleKeyDown(key, shift); });
      }
      char16_t ch = CharFromKeyEvent(*event);
      if (ch == 0) return;
      framework::Raise(OnKeyPress, this, ch);
      Discarding([&] { HandleKeyPress(ch); });
    });
  });
}

void TiVCLComponent::keyReleaseEvent(QKeyEvent* event) {
  event->accept();
  Discarding([&] {
    AsUserAction([&] {
      uint16_t key = VirtualKeyFromQt(event->key());
      if (!key) return;
      const TShiftState shift = ShiftFromQt(event->modifiers());
      framework::Raise(OnKeyUp, this, key, shift);
      HandleKeyUp(key, shift);
    });
  });
}

void TiVCLComponent::mousePressEvent(QMouseEvent* event) {
  event->accept();
  pressedHere_ = event->button() == Qt::LeftButton;
  Discarding([&] {
    AsUserAction([&] {
      const TMouseButton button = ButtonFromQt(event->button());
      const TShiftState shift = ShiftFromQt(event->modifiers(), event->buttons());
      const QPoint p = event->position().toPoint();
      HandleMouseDown(button, shift, p.x(), p.y());
      framework::Raise(OnMouseDown, this, button, shift, p.x(), p.y());
    });
  });
}

void TiVCLComponent::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  const bool click = pressedHere_ && event->button() == Qt::LeftButton &&
                     rect().contains(event->position().toPoint());
  pressedHere_ = false;
  Discarding([&] {
    AsUserAction([&] {
      const TMouseButton button = ButtonFromQt(event->button());
      const TShiftState shift = ShiftFromQt(event->modifiers(), event->buttons());
      const QPoint p = event->position().toPoint();
      HandleMouseUp(button, shift, p.x(), p.y());
      if (click) framework::Raise(OnClick, this);
      framework::Raise(OnMouseUp, this, button, shift, p.x(), p.y());
    });
  });
}

void TiVCLComponent::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  framework::Guard([&] {
    AsUserAction([&] {
      const TShiftState shift = ShiftFromQt(event->modifiers(), event->buttons());
      const QPoint p = event->position().toPoint();
      HandleMouseMove(shift, p.x(), p.y());
      framework::Raise(OnMouseMove, this, shift, p.x(), p.y());
    });
  });
}

void TiVCLComponent::mouseDoubleClickEvent(QMouseEvent* event) {
  event->accept();
  pressedHere_ = event->button() == Qt::LeftButton;
  Discarding([&] {
    AsUserAction([&] {
      HandleDblClick();
      framework::Raise(OnDblClick, this);
      TShiftState shift = ShiftFromQt(event->modifiers(), event->buttons());
      shift.Include(TShiftFlag::ssDouble);
      const QPoint p = event->position().toPoint();
      framework::Raise(OnMouseDown, this, ButtonFromQt(event->button()), shift, p.x(), p.y());
    });
  });
}

void TiVCLComponent::wheelEvent(QWheelEvent* event) {
  bool handled = false;
  framework::Guard([&] {
    const TShiftState shift = ShiftFromQt(event->modifiers(), event->buttons());
    handled = HandleMouseWheel(event->angleDelta().y(), shift, event->position().toPoint());
  });
  event->setAccepted(handled);
}

void TiVCLComponent::contextMenuEvent(QContextMenuEvent* event) {
  event->accept();
  if (PopupMenu()) PopupMenu()->popup(event->globalPos());
}

void TiVCLComponent::moveEvent(QMoveEvent* event) {
  TiComponent::moveEvent(event);
  RequestRecapture();
}

void TiVCLComponent::resizeEvent(QResizeEvent* event) {
  TiComponent::resizeEvent(event);
  if (transparent_ && width() > 0 && height() > 0) capture_ = QImage(size(), QImage::Format_RGB32);
  RequestRecapture();
  InvalidateChange();
}

void TiVCLComponent::changeEvent(QEvent* event) {
  TiComponent::changeEvent(event);
  switch (event->type()) {
    case QEvent::PaletteChange:
    case QEvent::ApplicationPaletteChange:
    case QEvent::StyleChange:
    case QEvent::EnabledChange:
      InvalidateChange();
      break;
    default:
      break;
  }
}

}  // namespace instruments
