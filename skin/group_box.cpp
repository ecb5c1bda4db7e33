#include "skin/group_box.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include "framework/canvas.h"
#include "framework/guard.h"
#include "skin/custom_button.h"
#include "skin/input_block.h"

namespace skin {

namespace {

// What a disabled box keeps from its children (and from itself). A leave still passes, so a
// control under the pointer can drop its hover state.
bool IsWithheldInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Enter:
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

}  // namespace

TsuiCustomGroupBox::TsuiCustomGroupBox(QWidget* parent) : TsuiCustomPanel(parent) {
  resize(185, 105);
  setMouseTracking(true);
  SetParentColor(true);
  SetTransparent(false);
  SetWindowText(QStringLiteral(" "));
  UpdateClientArea();
  SetUIStyle(DefaultStyleForOwner(parent));
}

void TsuiCustomGroupBox::SetCaption(const QString& value) {
  if (value == caption_) return;
  caption_ = value;
  update();
}

// Applied also when unchanged: the children may have drifted from it since.
void TsuiCustomGroupBox::SetUIStyle(TsuiUIStyle value) {
  uiStyle_ = value;
  ApplyStyle(value, fileTheme_);
}

// The same theme again still re-applies the style (a reloaded theme file).
void TsuiCustomGroupBox::SetFileTheme(TsuiFileTheme* value) {
  WatchFileTheme(this, fileTheme_, fileThemeWatch_, value, [this] { FileThemeRemoved(); });
  SetUIStyle(uiStyle_);
}

void TsuiCustomGroupBox::FileThemeRemoved() {
  fileTheme_ = nullptr;
  PropagateStyleToChildren(this, DeepBlue, nullptr);
  SetUIStyle(DeepBlue);
}

void TsuiCustomGroupBox::ApplyStyle(TsuiUIStyle style, TsuiFileTheme* fileTheme) {
  PropagateStyleToChildren(this, style, fileTheme);
  const StyleSource source = ResolveStyleSource(fileTheme, style);
  if (source.UseThemeFile) {
    SetBorderColor(fileTheme->Color(25));
    SetFontColor(fileTheme->Color(27));
  } else {
    SetBorderColor(StyleColor(source.Style, 25));
    SetFontColor(StyleColor(source.Style, 27));
  }
}

void TsuiCustomGroupBox::SetBorderColor(framework::TColor value) {
  if (value == borderColor_) return;
  borderColor_ = value;
  update();
}

void TsuiCustomGroupBox::SetFontColor(framework::TColor value) {
  fontColor_ = value;
  SetPaletteFontColor(framework::ColorToQColor(value));
}

void TsuiCustomGroupBox::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  SetWithholdsInput(this, !value);
  if (!value) {
    // Held buttons let go, as a cancelled mouse capture makes them, and the focus moves out.
    for (TsuiCustomButton* button : findChildren<TsuiCustomButton*>()) {
      if (!button->Pressed() && !button->HasRepeatTimer()) continue;
      QEvent leave(QEvent::Leave);
      QCoreApplication::sendEvent(button, &leave);
    }
    QWidget* focused = QApplication::focusWidget();
    if (focused && isAncestorOf(focused)) PassFocusOn(focused, true);
  }
  update();
}

int TsuiCustomGroupBox::FontHeight() const {
  return QFontInfo(font()).pixelSize();
}

void TsuiCustomGroupBox::UpdateClientArea() {
  setContentsMargins(3, FontHeight() + 5, 3, 3);
}

QRect TsuiCustomGroupBox::ClientAreaForAlign() const {
  return contentsRect();
}

void TsuiCustomGroupBox::WatchInput(QObject* object) {
  if (!object || !object->isWidgetType() || object == this) return;
  object->installEventFilter(this);
  for (QObject* child : object->children()) WatchInput(child);
}

bool TsuiCustomGroupBox::event(QEvent* event) {
  if (event->type() == QEvent::ChildAdded) WatchInput(static_cast<QChildEvent*>(event)->child());
  if (!enabled_ && IsWithheldInput(event->type())) return true;
  return TsuiCustomPanel::event(event);
}

bool TsuiCustomGroupBox::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ChildAdded) {
    WatchInput(static_cast<QChildEvent*>(event)->child());
    return false;
  }
  if (enabled_ || !watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  if (!isAncestorOf(widget)) return false;
  if (event->type() == QEvent::FocusIn) {
    // Tab skips the children of a disabled box.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
      QTimer::singleShot(0, this, [target = QPointer<QWidget>(widget), reason] {
        PassFocusOn(target, reason == Qt::TabFocusReason);
      });
    return false;
  }
  return IsWithheldInput(event->type());
}

void TsuiCustomGroupBox::changeEvent(QEvent* event) {
  TsuiCustomPanel::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    UpdateClientArea();
    update();
  }
}

void TsuiCustomGroupBox::resizeEvent(QResizeEvent* event) {
  TsuiCustomPanel::resizeEvent(event);
  framework::Guard([this] {
    update();
    framework::Raise(OnResize, this);
  });
}

void TsuiCustomGroupBox::paintEvent(QPaintEvent*) {
  framework::Guard([this] { Paint(); });
}

void TsuiCustomGroupBox::Paint() {
  QPainter canvas(this);
  framework::BeginGdiPainting(canvas);
  if (Transparent())
    PaintPanel(canvas);
  else
    canvas.fillRect(rect(), EffectiveColor());
  canvas.setFont(font());
  const int tw = canvas.fontMetrics().horizontalAdvance(caption_);
  DrawFrame(canvas, tw);
  const bool rightToLeft = layoutDirection() == Qt::RightToLeft;
  canvas.setPen(enabled_ ? palette().color(QPalette::WindowText) : QColor(128, 128, 128));
  canvas.drawText(QRect(rightToLeft ? width() - tw - 6 : 5, 0, tw + 1, height()),
                  Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, caption_);
}

void TsuiCustomGroupBox::DrawFrame(QPainter& canvas, int tw) {
  const int W = width(), H = height();
  const int T = FontHeight() / 2 + 1;
  const bool empty = caption_.isEmpty();
  QList<QPoint> path;
  if (layoutDirection() == Qt::RightToLeft)
    path = {{W - 3, T}, {W - 1, T}, {W - 1, H - 1},
            {1, H - 1}, {1, T},     empty ? QPoint(W - 1, T) : QPoint(W - tw - 7, T)};
  else
    path = {{2, T},         {0, T},     {0, H - 1},
            {W - 1, H - 1}, {W - 1, T}, empty ? QPoint(0, T) : QPoint(tw + 6, T)};
  const QColor pen = framework::ColorToQColor(borderColor_);
  for (qsizetype i = 1; i < path.size(); ++i) framework::GdiLine(canvas, path[i - 1], path[i], pen);
}

void TsuiCustomGroupBox::mousePressEvent(QMouseEvent* event) {
  framework::Guard([&] {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) pressedInside_ = true;
    framework::Raise(OnMouseDown, this, event->button(), event->modifiers(), at.x(), at.y());
  });
}

void TsuiCustomGroupBox::mouseReleaseEvent(QMouseEvent* event) {
  framework::Guard([&] {
    const QPoint at = event->position().toPoint();
    QPointer<TsuiCustomGroupBox> self(this);
    if (event->button() == Qt::LeftButton && pressedInside_) {
      pressedInside_ = false;
      if (rect().contains(at)) framework::Raise(OnClick, this);
    }
    if (self)
      framework::Raise(OnMouseUp, this, event->button(), event->modifiers(), at.x(), at.y());
  });
}

void TsuiCustomGroupBox::mouseDoubleClickEvent(QMouseEvent*) {
  framework::Guard([this] { framework::Raise(OnDblClick, this); });
}

void TsuiCustomGroupBox::mouseMoveEvent(QMouseEvent* event) {
  framework::Guard([&] {
    const QPoint at = event->position().toPoint();
    framework::Raise(OnMouseMove, this, event->modifiers(), at.x(), at.y());
  });
}

}  // namespace skin
