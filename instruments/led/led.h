// The lamp of an LED indicator: its shape, colours and size, and the drawing of the lamp itself.
#pragma once

#include <QObject>

#include "framework/events.h"
#include "framework/persistent.h"
#include "framework/tcolor.h"

class QPainter;

namespace instruments {

// A sub-object that reports its own changes to its owner.
class TAbPersistent : public QObject, public framework::TPersistent {
  Q_OBJECT

 public:
  explicit TAbPersistent(QObject* parent = nullptr) : QObject(parent) {}

  framework::TNotifyEvent OnChange;

 protected:
  virtual void Changed() { framework::Raise(OnChange, this); }
};

// The lamp rectangle in the owner control's coordinates; right and bottom are excluded.
struct TLampRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  bool operator==(const TLampRect&) const = default;
};

class TLED : public TAbPersistent {
  Q_OBJECT
  Q_PROPERTY(TLEDShape Shape READ Shape WRITE SetShape)
  Q_PROPERTY(framework::TColor ColorOn READ ColorOn WRITE SetColorOn)
  Q_PROPERTY(framework::TColor ColorOff READ ColorOff WRITE SetColorOff)
  Q_PROPERTY(int Width READ Width WRITE SetWidth)
  Q_PROPERTY(int Height READ Height WRITE SetHeight)

 public:
  enum TLEDShape { sRound, sArrowLeft, sArrowRight, sArrowUp, sArrowDown, sRectangle };
  Q_ENUM(TLEDShape)

  static constexpr int MinSize = 4;
  static constexpr int MaxSize = 40;

  explicit TLED(QObject* parent = nullptr) : TAbPersistent(parent) {}

  const char* ClassName() const override { return "TLED"; }
  void Assign(const framework::TPersistent& source) override;

  TLEDShape Shape() const { return shape_; }
  void SetShape(TLEDShape value);
  framework::TColor ColorOn() const { return colorOn_; }
  void SetColorOn(framework::TColor value);
  framework::TColor ColorOff() const { return colorOff_; }
  void SetColorOff(framework::TColor value);
  int Width() const { return width_; }
  void SetWidth(int value);
  int Height() const { return height_; }
  void SetHeight(int value);

  // Where the owner's painting last placed the lamp.
  const TLampRect& Rect() const { return rect_; }
  void SetRect(const TLampRect& rect) { rect_ = rect; }

  // Draws the lamp in its rectangle, in ColorOn when on, else in ColorOff.
  void Draw(QPainter& painter, bool on) const;

 private:
  void DrawHighlight(QPainter& painter) const;

  TLEDShape shape_ = sRound;
  framework::TColor colorOn_ = framework::RGBColor(0, 255, 0);
  framework::TColor colorOff_ = framework::clBtnFace;
  int width_ = 13;
  int height_ = 13;
  TLampRect rect_;
};

}  // namespace instruments
