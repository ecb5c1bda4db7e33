#include "instruments/seven_segment_character.h"

#include <algorithm>

namespace instruments {

using framework::TColor;

namespace {

// Lit segments of ssc0 .. sscF; sscBlank has none.
constexpr int kDigitSegments[16] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07,
                                    0x7F, 0x67, 0x77, 0x7C, 0x39, 0x5E, 0x79, 0x71};

// What each type reads back as.
constexpr char kReadsAs[] = "0123456789abcdef.:+- _<>;,";

constexpr TColor kPaletteRelative = 0x02000000;

}  // namespace

TiSevenSegmentCharacter::TiSevenSegmentCharacter(QWidget* parent) : TiCustomComponent(parent) {
  SetBackGroundColor(framework::clBlack);
  DoAutoSize();
}

int TiSevenSegmentCharacter::SegmentsOf(TSevenSegmentCharacter type) {
  if (type >= ssc0 && type <= sscF) return kDigitSegments[type];
  return 0;
}

char TiSevenSegmentCharacter::ToChar(TSevenSegmentCharacter type) {
  if (type < ssc0 || type > sscComma) return ' ';
  return kReadsAs[type];
}

TSevenSegmentCharacter TiSevenSegmentCharacter::FromChar(char c) {
  if (c >= '0' && c <= '9') return TSevenSegmentCharacter(ssc0 + (c - '0'));
  if (c >= 'a' && c <= 'f') return TSevenSegmentCharacter(sscA + (c - 'a'));
  if (c >= 'A' && c <= 'F') return TSevenSegmentCharacter(sscA + (c - 'A'));
  switch (c) {
    case '.':
      return sscPeriod;
    case ':':
      return sscColon;
    case '+':
      return sscPlus;
    case '-':
      return sscMinus;
    case '_':
      return sscLine;
    case '<':
      return sscUpArrow;
    case '>':
      return sscDownArrow;
    case ';':
      return sscSemiColon;
    case ',':
      return sscComma;
    default:
      return sscBlank;
  }
}

void TiSevenSegmentCharacter::SetValue(TSevenSegmentCharacter value) {
  if (value == value_) return;
  if (!AllowPropertyChange(QStringLiteral("Value"))) return;
  value_ = value;
  InvalidateChange();
  DoAutoSize();
  NotifyPropertyChanged(QStringLiteral("Value"));
}

void TiSevenSegmentCharacter::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  DoAutoSize();
  InvalidateChange();
}

void TiSevenSegmentCharacter::SetPowerOff(bool value) {
  if (value == powerOff_) return;
  powerOff_ = value;
  InvalidateChange();
}

void TiSevenSegmentCharacter::SetSegmentColor(TColor value) {
  if (value == segmentColor_) return;
  segmentColor_ = value;
  InvalidateChange();
}

void TiSevenSegmentCharacter::SetSegmentOffColor(TColor value) {
  if (value == segmentOffColor_) return;
  segmentOffColor_ = value;
  InvalidateChange();
}

void TiSevenSegmentCharacter::SetAutoSegmentOffColor(bool value) {
  if (value == autoSegmentOffColor_) return;
  autoSegmentOffColor_ = value;
  InvalidateChange();
}

void TiSevenSegmentCharacter::SetShowOffSegments(bool value) {
  if (value == showOffSegments_) return;
  showOffSegments_ = value;
  InvalidateChange();
}

void TiSevenSegmentCharacter::SetSegmentMargin(int value) {
  value = std::max(0, value);
  if (value == segmentMargin_) return;
  segmentMargin_ = value;
  DoAutoSize();
  InvalidateChange();
}

void TiSevenSegmentCharacter::SetSegmentSeperation(int value) {
  value = std::max(0, value);
  if (value == segmentSeperation_) return;
  segmentSeperation_ = value;
  InvalidateChange();
}

void TiSevenSegmentCharacter::SetSegmentSize(int value) {
  value = std::max(1, value);
  if (value == segmentSize_) return;
  segmentSize_ = value;
  DoAutoSize();
  InvalidateChange();
}

void TiSevenSegmentCharacter::SetUseSegmentBits(bool value) {
  if (value == useSegmentBits_) return;
  useSegmentBits_ = value;
  InvalidateChange();
}

void TiSevenSegmentCharacter::SetSegOn(int bit, bool value) {
  if (value == SegOn(bit)) return;
  segmentBits_ = uchar(value ? (segmentBits_ | (1 << bit)) : (segmentBits_ & ~(1 << bit)));
  InvalidateChange();
}

void TiSevenSegmentCharacter::SetSegmentBits(uchar value) {
  value &= 0x7F;
  if (value == segmentBits_) return;
  segmentBits_ = value;
  InvalidateChange();
}

void TiSevenSegmentCharacter::DoAutoSize() {
  if (!autoSize_) return;
  const int m = segmentMargin_;
  const int s = segmentSize_;
  const bool narrow =
      value_ == sscPeriod || value_ == sscColon || value_ == sscSemiColon || value_ == sscComma;
  const int characterWidth = narrow ? 2 * m + 2 * s : 2 * m + 10 * s;
  SetBounds(x(), y(), characterWidth + 1, 2 * m + 18 * s + 1);
  NotifyAutoSize();
}

TColor TiSevenSegmentCharacter::OffColor() const {
  if (!autoSegmentOffColor_) return segmentOffColor_;
  // System colours are resolved first: their low bytes are an index, not a colour.
  const uint32_t rgb = uint32_t(framework::ColorToRGB(segmentColor_));
  const uint32_t r = (rgb & 0xFF) / 3;
  const uint32_t g = ((rgb >> 8) & 0xFF) / 3;
  const uint32_t b = ((rgb >> 16) & 0xFF) / 3;
  return TColor(r | (g << 8) | (b << 16)) + kPaletteRelative;
}

TColor TiSevenSegmentCharacter::OnColor() const {
  if (powerOff_) return OffColor();
  return framework::ColorToRGB(segmentColor_) + kPaletteRelative;
}

void TiSevenSegmentCharacter::DrawContents(QPainter& canvas) {
  DrawBackGround(canvas, BackGroundColor());
  DrawCharacter(canvas, QPoint(0, 0), width(), height(), value_);
}

}  // namespace instruments
