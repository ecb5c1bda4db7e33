// The edit box's picture: horizontal scrolling to the caret, the text, the selection and the
// caret, and the mapping from mouse positions back to character positions.
#include <QFontMetrics>
#include <QMenu>
#include <QPainter>
#include <algorithm>

#include "framework/canvas.h"
#include "instruments/edit_custom.h"

namespace instruments {

void TiEditCustom::MeasureText(const QFontMetrics& metrics, const QString& text) {
  advance_.resize(text.size() + 1);
  advance_[0] = 0;
  for (qsizetype i = 0; i < text.size(); ++i)
    advance_[i + 1] = advance_[i] + metrics.horizontalAdvance(text.at(i));
}

int TiEditCustom::RunWidth(int from, int to) const {
  // Nothing measured yet: the box has not been drawn.
  if (advance_.isEmpty()) return 0;
  const int last = int(advance_.size()) - 1;
  from = std::clamp(from, 0, last);
  to = std::clamp(to, 0, last);
  return to > from ? advance_[to] - advance_[from] : 0;
}

// The longest run from the first visible character that fits; characters are dropped from
// the right end.
void TiEditCustom::FitVisibleRun(int available) {
  const int start = advance_[firstVisible_];
  const auto end =
      std::upper_bound(advance_.begin() + firstVisible_, advance_.end(), start + available);
  lastVisible_ = int(end - advance_.begin()) - 2;
}

void TiEditCustom::ScrollToCaret(int available) {
  const int length = int(editText_.size());
  if (RunWidth(0, length) < available) {
    firstVisible_ = 0;
    lastVisible_ = length - 1;
    return;
  }
  firstVisible_ = std::clamp(firstVisible_, 0, length);
  if (cursorPos_ < firstVisible_) firstVisible_ = cursorPos_;
  FitVisibleRun(available);
  while (cursorPos_ < firstVisible_) {
    --firstVisible_;
    FitVisibleRun(available);
  }
  while (cursorPos_ > lastVisible_ + 1 && firstVisible_ < length) {
    ++firstVisible_;
    FitVisibleRun(available);
  }
}

void TiEditCustom::DrawContents(QPainter& canvas) {
  DrawBackGround(canvas, ErrorActive() ? ErrorBackGroundColor() : Color());
  const int b = BorderWidth();
  TFont& font = ErrorActive() ? *ErrorFont() : *font_;
  const QFontMetrics metrics(font.ToQFont());
  QString text;
  if (ErrorActive()) {
    text = ErrorText();
    MeasureText(metrics, text);
    firstVisible_ = 0;
    lastVisible_ = int(text.size()) - 1;
  } else {
    MeasureText(metrics, editText_);
    availableWidth_ = width() - 2 * b - AlignmentMargin();
    ScrollToCaret(availableWidth_);
    text = editText_;
  }
  const QString visible = text.mid(firstVisible_, lastVisible_ - firstVisible_ + 1);
  const int textWidth = RunWidth(firstVisible_, lastVisible_ + 1);
  const int top = b + 1;
  int left = b + AlignmentMargin() + 1;
  if (alignment_ == taCenter) left = width() / 2 + textWidth / 2 - textWidth;
  if (alignment_ == taRightJustify) left = width() - b - AlignmentMargin() - 2 - textWidth;
  textRect_ = QRect(left, top, textWidth, metrics.height());
  const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip;
  canvas.setFont(font.ToQFont());
  canvas.setPen(font.TextColor());
  canvas.setBrush(Qt::NoBrush);
  canvas.drawText(textRect_, flags, visible);

  if (ErrorActive()) {
    DestroyCaret();
  } else if (HasFocus()) {
    if (!caretExists_) CreateCaret();
    caretPos_ = QPoint(left + RunWidth(firstVisible_, cursorPos_), top);
  }
  if (selLength_ > 0 && HasFocus() && !ErrorActive()) {
    const int from = std::max(selStart_, firstVisible_);
    const int to = std::min(selStart_ + selLength_ - 1, lastVisible_);
    if (from <= to) {
      const QRect highlight(left + RunWidth(firstVisible_, from), top, RunWidth(from, to + 1),
                            metrics.height());
      canvas.fillRect(highlight, framework::ColorToQColor(framework::clHighlight));
      canvas.setPen(Qt::white);
      canvas.drawText(highlight, flags, text.mid(from, to - from + 1));
    }
  }
  DrawBorder(canvas);
}

QRect TiEditCustom::CaretRect() const {
  return QRect(caretPos_, QSize(1, caretHeight_));
}

void TiEditCustom::DrawOverlay(QPainter& canvas) {
  if (!caretExists_ || !caretOn_ || !HasFocus() || ErrorActive()) return;
  // The caret inverts what lies under it, as the platform's caret does.
  canvas.save();
  canvas.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  canvas.fillRect(CaretRect(), Qt::white);
  canvas.restore();
}

int TiEditCustom::PositionAt(int x) const {
  if (x < textRect_.left()) return std::max(0, firstVisible_ - 1);
  const int length = std::max(0, int(advance_.size()) - 1);
  for (int p = firstVisible_; p <= lastVisible_ + 1; ++p) {
    const int before = std::clamp(p == 0 ? 0 : p - 1, 0, std::max(0, length - 1));
    const int half = RunWidth(before, before + 1) / 2;
    if (x < textRect_.left() + RunWidth(firstVisible_, p) + half) return p;
  }
  return std::min(lastVisible_ + 1, int(editText_.size()));
}

void TiEditCustom::HandleMouseDown(TMouseButton button, TShiftState, int x, int y) {
  if (!HasFocus()) {
    setFocus(Qt::MouseFocusReason);
    if (autoSelect_) SelectAll();
  }
  if (button != mbRight || PopupMenu()) {
    cursorPos_ = std::clamp(PositionAt(x), 0, int(editText_.size()));
    mouseSelecting_ = true;
    if (dblClick_) {
      dblClick_ = false;
    } else {
      ClearSelection();
      anchor_ = cursorPos_;
    }
  } else {
    menu_->popup(mapToGlobal(QPoint(x, y)));
  }
  InvalidateChange();
}

void TiEditCustom::HandleMouseMove(TShiftState, int x, int) {
  if (!mouseSelecting_) return;
  MoveCaret(PositionAt(x), true);
  InvalidateChange();
}

void TiEditCustom::HandleMouseUp(TMouseButton, TShiftState, int, int) {
  mouseSelecting_ = false;
}

void TiEditCustom::HandleDblClick() {
  dblClick_ = true;
  SelectAll();
}

}  // namespace instruments
