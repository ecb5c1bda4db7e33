// Multi-digit seven-segment displays: the abstract display (spacing, margins, colours, auto-size)
// with one hidden character control as its drawing engine, and the signed integer display.
#pragma once

#include <memory>

#include "instruments/seven_segment_character.h"

namespace instruments {

class TiSevenSegmentDisplay : public TiCustomComponent {
  Q_OBJECT
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
  Q_PROPERTY(int DigitSpacing READ DigitSpacing WRITE SetDigitSpacing)
  Q_PROPERTY(int SegmentMargin READ SegmentMargin WRITE SetSegmentMargin)
  Q_PROPERTY(int SegmentColor READ SegmentColor WRITE SetSegmentColor)
  Q_PROPERTY(int SegmentOffColor READ SegmentOffColor WRITE SetSegmentOffColor)
  Q_PROPERTY(bool AutoSegmentOffColor READ AutoSegmentOffColor WRITE SetAutoSegmentOffColor)
  Q_PROPERTY(int SegmentSeperation READ SegmentSeperation WRITE SetSegmentSeperation)
  Q_PROPERTY(int SegmentSize READ SegmentSize WRITE SetSegmentSize)
  Q_PROPERTY(bool ShowOffSegments READ ShowOffSegments WRITE SetShowOffSegments)
  Q_PROPERTY(bool PowerOff READ PowerOff WRITE SetPowerOff)
  Q_PROPERTY(int BackGroundColor READ BackGroundColor WRITE SetBackGroundColor)
  Q_PROPERTY(instruments::TiBevelStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)

 public:
  explicit TiSevenSegmentDisplay(QWidget* parent = nullptr);
  ~TiSevenSegmentDisplay() override;

  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  int DigitSpacing() const { return digitSpacing_; }
  void SetDigitSpacing(int value);
  int SegmentMargin() const { return segmentMargin_; }
  void SetSegmentMargin(int value);
  framework::TColor SegmentColor() const { return segmentColor_; }
  void SetSegmentColor(framework::TColor value);
  framework::TColor SegmentOffColor() const { return segmentOffColor_; }
  void SetSegmentOffColor(framework::TColor value);
  bool AutoSegmentOffColor() const { return autoSegmentOffColor_; }
  void SetAutoSegmentOffColor(bool value);
  int SegmentSeperation() const { return segmentSeperation_; }
  void SetSegmentSeperation(int value);
  int SegmentSize() const { return segmentSize_; }
  void SetSegmentSize(int value);
  bool ShowOffSegments() const { return showOffSegments_; }
  void SetShowOffSegments(bool value);
  bool PowerOff() const { return powerOff_; }
  void SetPowerOff(bool value);

  // Held here, stored by the subclasses that show digits.
  int DigitCount() const { return digitCount_; }
  void SetDigitCount(int value);
  TiLeadingStyle LeadingStyle() const { return leadingStyle_; }
  void SetLeadingStyle(TiLeadingStyle value);

  framework::TNotifyEvent OnValueChange;

  // The engine that draws every cell (never shown).
  TiSevenSegmentCharacter& Engine() { return *engine_; }

 protected:
  virtual void GetAutoSizeExtent(int& width, int& height) = 0;
  void DoAutoSize();
  // Hands the display's segment settings to the engine before a drawing.
  void PrepareEngine();

 private:
  bool autoSize_ = true;
  int digitSpacing_ = 6;
  int segmentMargin_ = 5;
  framework::TColor segmentColor_ = framework::clWhite;
  framework::TColor segmentOffColor_ = framework::clGray;
  bool autoSegmentOffColor_ = true;
  int segmentSeperation_ = 1;
  int segmentSize_ = 1;
  bool showOffSegments_ = true;
  bool powerOff_ = false;
  int digitCount_ = 4;
  TiLeadingStyle leadingStyle_ = ilsSpaces;
  std::unique_ptr<TiSevenSegmentCharacter> engine_;
};

class TiSevenSegmentInteger : public TiSevenSegmentDisplay {
  Q_OBJECT
  Q_PROPERTY(int DigitCount READ DigitCount WRITE SetDigitCount)
  Q_PROPERTY(instruments::TiLeadingStyle LeadingStyle READ LeadingStyle WRITE SetLeadingStyle)
  Q_PROPERTY(int Value READ Value WRITE SetValue)
  Q_PROPERTY(bool ShowSign READ ShowSign WRITE SetShowSign)

 public:
  explicit TiSevenSegmentInteger(QWidget* parent = nullptr);

  int Value() const { return value_; }
  void SetValue(int value);
  bool ShowSign() const { return showSign_; }
  void SetShowSign(bool value);

 protected:
  void GetAutoSizeExtent(int& width, int& height) override;
  void DrawContents(QPainter& canvas) override;

 private:
  int value_ = 0;
  bool showSign_ = true;
};

}  // namespace instruments
