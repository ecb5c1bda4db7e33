// The LED indicator: a lamp (TLED) with a caption beside it, above or below it. The caption may
// hold several lines separated by "|".
#pragma once

#include <QFont>
#include <QList>
#include <QPoint>
#include <QString>
#include <optional>

#include "instruments/led/ab_bin_g_control.h"
#include "instruments/led/led.h"

namespace instruments {

class TAbLED : public TAbBinGControl {
  Q_OBJECT
  Q_PROPERTY(instruments::TLED* LED READ LED)
  Q_PROPERTY(TLEDPos LED_Position READ LED_Position WRITE SetLED_Position)
  Q_PROPERTY(int Spacing READ Spacing WRITE SetSpacing)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(QFont Font READ font WRITE SetFont)
  Q_PROPERTY(bool ParentFont READ ParentFont WRITE SetParentFont)

 public:
  enum TLEDPos { lpLeft, lpRight, lpTop, lpBottom };
  Q_ENUM(TLEDPos)

  // One caption line: its text and the top left corner of its text cell.
  struct TCaptionLine {
    QString Text;
    QPoint TopLeft;
  };

  // The caption starts as the component's name, and follows the name while they are equal.
  explicit TAbLED(QWidget* owner = nullptr, const QString& name = QString());
  ~TAbLED() override;

  TLED* LED() const { return led_; }
  void SetLED(const TLED& value) { led_->Assign(value); }
  TLEDPos LED_Position() const { return position_; }
  void SetLED_Position(TLEDPos value);
  int Spacing() const { return spacing_; }
  void SetSpacing(int value);
  QString Caption() const { return caption_; }
  void SetCaption(const QString& value);
  void SetFont(const QFont& value);
  bool ParentFont() const { return !testAttribute(Qt::WA_SetFont); }
  void SetParentFont(bool value);

  // Where the lamp and the caption lines go at the current size, font and position.
  TLampRect LampRect() const;
  QList<TCaptionLine> CaptionLayout() const;
  // The state the lamp shows: its flash half-period while flashing, else Checked.
  bool LampOn() const;

 protected:
  void UpdateAll() override;
  void UpdateLED() override;
  void DrawFlashState(bool state) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void NameChanged(const QString& name);
  void UpdateLamp();
  void Paint();

  TLED* led_;
  TLEDPos position_ = lpLeft;
  int spacing_ = 5;
  QString caption_;
  QString nameShown_;  // the name the caption was taken from
  std::optional<bool> flashState_;
  bool painting_ = false;
};

}  // namespace instruments
