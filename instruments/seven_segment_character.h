// One seven-segment character as a control of its own. The same class is the drawing engine of
// the multi-digit displays: DrawCharacter paints any character type into any cell.
#pragma once

#include <QImage>
#include <array>

#include "instruments/vcl_component.h"

namespace instruments {

class TiSevenSegmentCharacter : public TiCustomComponent {
  Q_OBJECT
  Q_PROPERTY(instruments::TSevenSegmentCharacter Value READ Value WRITE SetValue)
  Q_PROPERTY(char Character READ Character WRITE SetCharacter)
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
  Q_PROPERTY(bool PowerOff READ PowerOff WRITE SetPowerOff)
  Q_PROPERTY(int SegmentColor READ SegmentColor WRITE SetSegmentColor)
  Q_PROPERTY(int SegmentOffColor READ SegmentOffColor WRITE SetSegmentOffColor)
  Q_PROPERTY(bool AutoSegmentOffColor READ AutoSegmentOffColor WRITE SetAutoSegmentOffColor)
  Q_PROPERTY(bool ShowOffSegments READ ShowOffSegments WRITE SetShowOffSegments)
  Q_PROPERTY(int SegmentMargin READ SegmentMargin WRITE SetSegmentMargin)
  Q_PROPERTY(int SegmentSeperation READ SegmentSeperation WRITE SetSegmentSeperation)
  Q_PROPERTY(int SegmentSize READ SegmentSize WRITE SetSegmentSize)
  Q_PROPERTY(bool UseSegmentBits READ UseSegmentBits WRITE SetUseSegmentBits)
  Q_PROPERTY(bool SegAOn READ SegAOn WRITE SetSegAOn)
  Q_PROPERTY(bool SegBOn READ SegBOn WRITE SetSegBOn)
  Q_PROPERTY(bool SegCOn READ SegCOn WRITE SetSegCOn)
  Q_PROPERTY(bool SegDOn READ SegDOn WRITE SetSegDOn)
  Q_PROPERTY(bool SegEOn READ SegEOn WRITE SetSegEOn)
  Q_PROPERTY(bool SegFOn READ SegFOn WRITE SetSegFOn)
  Q_PROPERTY(bool SegGOn READ SegGOn WRITE SetSegGOn)
  Q_PROPERTY(uchar SegmentBits READ SegmentBits WRITE SetSegmentBits)
  Q_PROPERTY(int BackGroundColor READ BackGroundColor WRITE SetBackGroundColor)
  Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)

 public:
  explicit TiSevenSegmentCharacter(QWidget* parent = nullptr);

  TSevenSegmentCharacter Value() const { return value_; }
  void SetValue(TSevenSegmentCharacter value);
  char Character() const { return ToChar(value_); }
  void SetCharacter(char value) { SetValue(FromChar(value)); }
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  bool PowerOff() const { return powerOff_; }
  void SetPowerOff(bool value);
  framework::TColor SegmentColor() const { return segmentColor_; }
  void SetSegmentColor(framework::TColor value);
  framework::TColor SegmentOffColor() const { return segmentOffColor_; }
  void SetSegmentOffColor(framework::TColor value);
  bool AutoSegmentOffColor() const { return autoSegmentOffColor_; }
  void SetAutoSegmentOffColor(bool value);
  bool ShowOffSegments() const { return showOffSegments_; }
  void SetShowOffSegments(bool value);
  int SegmentMargin() const { return segmentMargin_; }
  void SetSegmentMargin(int value);
  int SegmentSeperation() const { return segmentSeperation_; }
  void SetSegmentSeperation(int value);
  int SegmentSize() const { return segmentSize_; }
  void SetSegmentSize(int value);
  bool UseSegmentBits() const { return useSegmentBits_; }
  void SetUseSegmentBits(bool value);

  bool SegAOn() const { return SegOn(0); }
  void SetSegAOn(bool value) { SetSegOn(0, value); }
  bool SegBOn() const { return SegOn(1); }
  void SetSegBOn(bool value) { SetSegOn(1, value); }
  bool SegCOn() const { return SegOn(2); }
  void SetSegCOn(bool value) { SetSegOn(2, value); }
  bool SegDOn() const { return SegOn(3); }
  void SetSegDOn(bool value) { SetSegOn(3, value); }
  bool SegEOn() const { return SegOn(4); }
  void SetSegEOn(bool value) { SetSegOn(4, value); }
  bool SegFOn() const { return SegOn(5); }
  void SetSegFOn(bool value) { SetSegOn(5, value); }
  bool SegGOn() const { return SegOn(6); }
  void SetSegGOn(bool value) { SetSegOn(6, value); }
  uchar SegmentBits() const { return segmentBits_; }
  void SetSegmentBits(uchar value);

  // The colours of the next drawing, as colour values (palette-relative flag included).
  framework::TColor OffColor() const;
  framework::TColor OnColor() const;

  // Draws one character into the cell of W x H pixels whose top-left corner is origin.
  void DrawCharacter(QPainter& canvas, QPoint origin, int W, int H, TSevenSegmentCharacter type);

  // The character that reads back from a type, and the type a written character selects.
  static char ToChar(TSevenSegmentCharacter type);
  static TSevenSegmentCharacter FromChar(char c);
  // The lit segments of the digit and letter types and of sscBlank (bit 0 = A ... bit 6 = G).
  static int SegmentsOf(TSevenSegmentCharacter type);

 protected:
  void DrawContents(QPainter& canvas) override;

 private:
  bool SegOn(int bit) const { return segmentBits_ & (1 << bit); }
  void SetSegOn(int bit, bool value);
  void DoAutoSize();
  void DrawSegments(QPainter& canvas, QPoint origin, int W, int H, int lit, const QColor& on,
                    const QColor& off) const;
  void DrawSpecial(QPainter& canvas, QPoint origin, int W, int H, TSevenSegmentCharacter type,
                   const QColor& on, const QColor& off) const;
  void DrawShapes(QPainter& canvas, QPoint origin, int W, int H, TSevenSegmentCharacter type,
                  const QColor& on, const QColor& off) const;
  // A cell's shapes on a transparent ground, kept for reuse: a display draws the same few
  // cells over and over.
  const QImage& Glyph(int W, int H, TSevenSegmentCharacter type, const QColor& on,
                      const QColor& off);

  TSevenSegmentCharacter value_ = ssc0;
  bool autoSize_ = true;
  bool powerOff_ = false;
  framework::TColor segmentColor_ = framework::clLime;
  framework::TColor segmentOffColor_ = framework::clGreen;
  bool autoSegmentOffColor_ = true;
  bool showOffSegments_ = true;
  int segmentMargin_ = 2;
  int segmentSeperation_ = 1;
  int segmentSize_ = 1;
  bool useSegmentBits_ = false;
  uchar segmentBits_ = 0;
  // What the kept glyphs were drawn with; any change starts the set afresh.
  struct GlyphParameters {
    int W = 0, H = 0, margin = 0, size = 0, separation = 0;
    QRgb on = 0, off = 0;
    bool showOff = false, useBits = false;
    int bits = 0;
    bool operator==(const GlyphParameters&) const = default;
  };
  GlyphParameters glyphParameters_;
  std::array<QImage, sscComma + 1> glyphs_;
};

}  // namespace instruments
