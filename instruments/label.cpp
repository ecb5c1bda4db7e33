#include "instruments/label.h"

#include <QEvent>
#include <QFontMetrics>
#include <QKeySequence>
#include <QPainter>
#include <QShortcutEvent>
#include <cstdlib>

#include "framework/canvas.h"
#include "instruments/bevel.h"

namespace instruments {

using framework::TColor;

TiLabel::TiLabel(QWidget* parent) : TiCustomComponent(parent), font_(new TFont(this)) {
  SetBounds(x(), y(), 28, 13);
  font_->OnChange = [this](QObject*) {
    DoAutoSize();
    InvalidateChange();
  };
}

void TiLabel::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  DoAutoSize();
  InvalidateChange();
}

void TiLabel::SetAlignment(TiAlignmentHorizontal value) {
  if (value == alignment_) return;
  alignment_ = value;
  InvalidateChange();
}

void TiLabel::SetBorderStyle(TiLabelBorderStyle value) {
  if (value == labelBorderStyle_) return;
  labelBorderStyle_ = value;
  DoAutoSize();
  InvalidateChange();
}

void TiLabel::SetCaption(const QString& value) {
  if (value == caption_) return;
  if (!AllowPropertyChange(QStringLiteral("Caption"))) return;
  caption_ = value;
  UpdateAccelerator();
  DoAutoSize();
  InvalidateChange();
}

void TiLabel::SetFont(TFont* value) {
  if (value) font_->Assign(*value);
}

void TiLabel::SetLayoutValue(int& field, int value) {
  if (value == field) return;
  field = value;
  DoAutoSize();
  InvalidateChange();
}

void TiLabel::SetShadowShow(bool value) {
  if (value == shadowShow_) return;
  shadowShow_ = value;
  DoAutoSize();
  InvalidateChange();
}

void TiLabel::SetShadowColor(TColor value) {
  if (value == shadowColor_) return;
  shadowColor_ = value;
  InvalidateChange();
}

void TiLabel::SetFocusControl(QWidget* value) {
  disconnect(focusControlGone_);
  focusControl_ = value;
  if (value)
    focusControlGone_ = connect(value, &QObject::destroyed, this, [this] {
      focusControl_ = nullptr;
      UpdateAccelerator();
      InvalidateChange();
    });
  UpdateAccelerator();
  InvalidateChange();
}

void TiLabel::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  DoAutoSize();
  InvalidateChange();
}

int TiLabel::BorderWidth() const {
  switch (labelBorderStyle_) {
    case ilbsNone:
      return 0;
    case ilbsSingle:
      return 1;
    default:
      return 2;
  }
}

int TiLabel::TextFlags() const {
  int flags = 0;
  switch (alignment_) {
    case iahCenter:
      flags |= Qt::AlignHCenter;
      break;
    case iahLeft:
      flags |= Qt::AlignLeft;
      break;
    case iahRight:
      flags |= Qt::AlignRight;
      break;
  }
  // Vertical centring only holds for a single line, as on the original platform.
  flags |= wordWrap_ ? (Qt::TextWordWrap | Qt::AlignTop) : (Qt::TextSingleLine | Qt::AlignVCenter);
  if (focusControl_) flags |= Qt::TextShowMnemonic;
  return flags;
}

void TiLabel::DoAutoSize() {
  if (!autoSize_ || autoSizing_) return;
  autoSizing_ = true;
  const QFontMetrics metrics(font_->ToQFont());
  const int sx = shadowShow_ ? std::abs(shadowXOffset_) : 0;
  const int sy = shadowShow_ ? std::abs(shadowYOffset_) : 0;
  const int b = BorderWidth();
  int w = width();
  int h = 0;
  if (wordWrap_) {
    // Measured in the rectangle the caption is drawn in, so no line goes missing.
    const int textWidth = std::max(1, w - 2 * b - marginLeft_ - marginRight_);
    const QRect bounds =
        metrics.boundingRect(QRect(0, 0, textWidth, 1 << 20), TextFlags(), caption_);
    h = sy + std::max(bounds.height(), metrics.height()) + 2 * b + marginTop_ + marginBottom_;
  } else {
    w = sx + 2 * b + marginLeft_ + marginRight_ + metrics.horizontalAdvance(caption_);
    h = sy + 2 * b + marginTop_ + marginBottom_ + metrics.height();
  }
  SetBounds(x(), y(), w, h);
  NotifyAutoSize();
  autoSizing_ = false;
}

void TiLabel::DrawContents(QPainter& canvas) {
  DrawBackGround(canvas, BackGroundColor());
  canvas.setFont(font_->ToQFont());
  canvas.setBrush(Qt::NoBrush);
  const int b = BorderWidth();
  const QRect text = framework::GdiRect(b + marginLeft_, b + marginTop_, width() - b - marginRight_,
                                        height() - b - marginBottom_);
  const int flags = TextFlags();
  QRect captionRect = text;
  if (shadowShow_) {
    QRect shadowRect = text;
    if (shadowXOffset_ >= 0)
      shadowRect.translate(shadowXOffset_, shadowYOffset_);
    else
      captionRect.translate(-shadowXOffset_, -shadowYOffset_);
    canvas.setPen(framework::ColorToQColor(shadowColor_));
    canvas.drawText(shadowRect, flags, caption_);
  }
  canvas.setPen(font_->TextColor());
  canvas.drawText(captionRect, flags, caption_);
  switch (labelBorderStyle_) {
    case ilbsNone:
      break;
    case ilbsSingle:
      framework::GdiRectangle(canvas, 0, 0, width(), height(),
                              framework::ColorToQColor(framework::clWindowFrame), Qt::NoBrush);
      break;
    case ilbsLowered:
      DrawBevel(canvas, 0, 0, width(), height(), BevelKind::Sunken);
      break;
    case ilbsRaised:
      DrawBevel(canvas, 0, 0, width(), height(), BevelKind::Raised);
      break;
  }
}

void TiLabel::UpdateAccelerator() {
  if (shortcutId_) {
    releaseShortcut(shortcutId_);
    shortcutId_ = 0;
  }
  if (!focusControl_) return;
  const QKeySequence key = QKeySequence::mnemonic(caption_);
  if (!key.isEmpty()) shortcutId_ = grabShortcut(key);
}

bool TiLabel::event(QEvent* event) {
  if (event->type() == QEvent::Shortcut) {
    auto* shortcut = static_cast<QShortcutEvent*>(event);
    QWidget* target = focusControl_;
    if (shortcut->shortcutId() == shortcutId_ && target && isEnabled() && target->isVisible() &&
        target->isEnabled()) {
      target->setFocus(Qt::ShortcutFocusReason);
      return true;
    }
  }
  return TiCustomComponent::event(event);
}

}  // namespace instruments
