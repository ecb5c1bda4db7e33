#include "instruments/font.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace instruments {

namespace {
constexpr int kPixelsPerInch = 96;
// Height 0 asks for the platform's default height.
constexpr int kDefaultPixelHeight = 13;

int MulDiv(int number, int numerator, int denominator) {
  return int(std::lround(double(number) * numerator / denominator));
}
}  // namespace

TFont::TFont(QObject* owner) : QObject(owner) {
  Changed();
}

void TFont::Assign(const TFont& source) {
  if (&source == this) return;
  const bool same = charset_ == source.charset_ && color_ == source.color_ &&
                    height_ == source.height_ && name_ == source.name_ && pitch_ == source.pitch_ &&
                    style_ == source.style_;
  if (same) return;
  charset_ = source.charset_;
  color_ = source.color_;
  height_ = source.height_;
  name_ = source.name_;
  pitch_ = source.pitch_;
  style_ = source.style_;
  Changed();
}

void TFont::SetCharset(int value) {
  if (value == charset_) return;
  charset_ = value;
  Changed();
}

void TFont::SetColor(framework::TColor value) {
  if (value == color_) return;
  color_ = value;
  Changed();
}

void TFont::SetHeight(int value) {
  if (value == height_) return;
  height_ = value;
  Changed();
}

void TFont::SetName(const QString& value) {
  if (value == name_) return;
  name_ = value;
  Changed();
}

void TFont::SetPitch(TFontPitch value) {
  if (value == pitch_) return;
  pitch_ = value;
  Changed();
}

int TFont::Size() const {
  return -MulDiv(height_, 72, kPixelsPerInch);
}

void TFont::SetSize(int value) {
  SetHeight(-MulDiv(value, kPixelsPerInch, 72));
}

void TFont::SetStyle(TFontStyles value) {
  if (value == style_) return;
  style_ = value;
  Changed();
}

void TFont::Changed() {
  QFont font(name_);
  const int pixels = height_ == 0 ? kDefaultPixelHeight : std::abs(height_);
  font.setPixelSize(std::max(1, pixels));
  font.setBold(style_.Contains(TFontStyle::fsBold));
  font.setItalic(style_.Contains(TFontStyle::fsItalic));
  font.setUnderline(style_.Contains(TFontStyle::fsUnderline));
  font.setStrikeOut(style_.Contains(TFontStyle::fsStrikeOut));
  if (pitch_ == fpFixed) font.setFixedPitch(true);
  qfont_ = font;
  framework::Raise(OnChange, this);
}

}  // namespace instruments
