#include "instruments/seven_segment_display.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>

namespace instruments {

using framework::TColor;

TiSevenSegmentDisplay::TiSevenSegmentDisplay(QWidget* parent)
    : TiCustomComponent(parent), engine_(std::make_unique<TiSevenSegmentCharacter>()) {
  SetBackGroundColor(framework::clBlack);
  SetBounds(x(), y(), 15, 15);
  // The engine only draws into the display's picture: it never repaints itself.
  engine_->BeginUpdate();
  engine_->SetSegmentMargin(0);
  engine_->SetAutoSize(false);
}

TiSevenSegmentDisplay::~TiSevenSegmentDisplay() = default;

void TiSevenSegmentDisplay::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  DoAutoSize();
  InvalidateChange();
}

void TiSevenSegmentDisplay::SetDigitSpacing(int value) {
  if (value == digitSpacing_) return;
  digitSpacing_ = value;
  DoAutoSize();
  InvalidateChange();
}

void TiSevenSegmentDisplay::SetSegmentMargin(int value) {
  value = std::max(0, value);
  if (value == segmentMargin_) return;
  segmentMargin_ = value;
  DoAutoSize();
  InvalidateChange();
}

void TiSevenSegmentDisplay::SetSegmentColor(TColor value) {
  if (value == segmentColor_) return;
  segmentColor_ = value;
  engine_->SetSegmentColor(value);
  InvalidateChange();
}

void TiSevenSegmentDisplay::SetSegmentOffColor(TColor value) {
  if (value == segmentOffColor_) return;
  segmentOffColor_ = value;
  engine_->SetSegmentOffColor(value);
  InvalidateChange();
}

void TiSevenSegmentDisplay::SetAutoSegmentOffColor(bool value) {
  if (value == autoSegmentOffColor_) return;
  autoSegmentOffColor_ = value;
  engine_->SetAutoSegmentOffColor(value);
  InvalidateChange();
}

void TiSevenSegmentDisplay::SetSegmentSeperation(int value) {
  value = std::max(0, value);
  if (value == segmentSeperation_) return;
  segmentSeperation_ = value;
  engine_->SetSegmentSeperation(value);
  InvalidateChange();
}

void TiSevenSegmentDisplay::SetSegmentSize(int value) {
  value = std::clamp(value, 1, 100);
  if (value == segmentSize_) return;
  segmentSize_ = value;
  engine_->SetSegmentSize(value);
  DoAutoSize();
  InvalidateChange();
}

void TiSevenSegmentDisplay::SetShowOffSegments(bool value) {
  if (value == showOffSegments_) return;
  showOffSegments_ = value;
  InvalidateChange();
}

void TiSevenSegmentDisplay::SetPowerOff(bool value) {
  if (value == powerOff_) return;
  powerOff_ = value;
  InvalidateChange();
}

void TiSevenSegmentDisplay::SetDigitCount(int value) {
  value = std::clamp(value, 1, 32);
  if (value == digitCount_) return;
  digitCount_ = value;
  DoAutoSize();
  InvalidateChange();
}

void TiSevenSegmentDisplay::SetLeadingStyle(TiLeadingStyle value) {
  if (value == leadingStyle_) return;
  leadingStyle_ = value;
  InvalidateChange();
}

void TiSevenSegmentDisplay::DoAutoSize() {
  if (!autoSize_) return;
  int w = 0;
  int h = 0;
  GetAutoSizeExtent(w, h);
  SetBounds(x(), y(), w, h);
  NotifyAutoSize();
}

void TiSevenSegmentDisplay::PrepareEngine() {
  TiSevenSegmentCharacter& e = *engine_;
  e.SetSegmentMargin(0);
  e.SetSegmentColor(segmentColor_);
  e.SetSegmentOffColor(segmentOffColor_);
  e.SetAutoSegmentOffColor(autoSegmentOffColor_);
  e.SetSegmentSize(segmentSize_);
  e.SetSegmentSeperation(segmentSeperation_);
  e.SetShowOffSegments(showOffSegments_);
  e.SetPowerOff(powerOff_);
}

TiSevenSegmentInteger::TiSevenSegmentInteger(QWidget* parent) : TiSevenSegmentDisplay(parent) {
  showSign_ = true;
  DoAutoSize();
}

void TiSevenSegmentInteger::SetValue(int value) {
  if (value == value_) return;
  if (!AllowPropertyChange(QStringLiteral("Value"))) return;
  value_ = value;
  InvalidateChange();
  NotifyPropertyChanged(QStringLiteral("Value"));
  framework::Raise(OnValueChange, this);
}

void TiSevenSegmentInteger::SetShowSign(bool value) {
  if (value == showSign_) return;
  showSign_ = value;
  InvalidateChange();
  DoAutoSize();
}

void TiSevenSegmentInteger::GetAutoSizeExtent(int& width, int& height) {
  Engine().SetCharacter('0');
  const int charW = 10 * SegmentSize();
  const int charH = 18 * SegmentSize();
  const int n = DigitCount() + (showSign_ ? 1 : 0);
  width = (charW + DigitSpacing()) * n + 2 * SegmentMargin() - DigitSpacing();
  height = charH + 2 * SegmentMargin();
}

void TiSevenSegmentInteger::DrawContents(QPainter& canvas) {
  PrepareEngine();
  DrawBackGround(canvas, BackGroundColor());
  const int n = DigitCount() + (showSign_ ? 1 : 0);
  const int margin = SegmentMargin();
  const int spacing = DigitSpacing();
  const int cw = int(double(width() - 2 * margin - (n - 1) * spacing) / n);
  const int ch = height() - 2 * margin;
  QPoint origin((width() + spacing - n * (cw + spacing)) / 2, margin);
  const int step = cw + spacing;
  TiSevenSegmentCharacter& engine = Engine();
  // Through 64 bits: the magnitude of the smallest integer does not fit 32.
  const QByteArray digits = QByteArray::number(std::llabs(qint64(value_)));
  if (showSign_) {
    engine.DrawCharacter(canvas, origin, cw, ch, value_ < 0 ? sscMinus : sscPlus);
    origin.rx() += step;
  }
  if (digits.size() > DigitCount()) {
    const TSevenSegmentCharacter arrow = value_ < 0 ? sscDownArrow : sscUpArrow;
    for (int i = 0; i < DigitCount(); ++i, origin.rx() += step)
      engine.DrawCharacter(canvas, origin, cw, ch, arrow);
    return;
  }
  QByteArray text = digits;
  if (LeadingStyle() == ilsZeros) text = text.rightJustified(DigitCount(), '0');
  if (LeadingStyle() == ilsSpaces) text = text.rightJustified(DigitCount(), ' ');
  for (char c : text) {
    engine.DrawCharacter(canvas, origin, cw, ch, TiSevenSegmentCharacter::FromChar(c));
    origin.rx() += step;
  }
}

}  // namespace instruments
