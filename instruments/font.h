// The font object the controls own: the attributes of the original platform's font (colour,
// height in pixels, face name, pitch, point size, style bits), stored properties of its own so
// that property files reach them as Font.Color, ErrorFont.Style and so on. Every change of an
// attribute fires OnChange.
#pragma once

#include <QFont>
#include <QObject>

#include "framework/events.h"
#include "framework/set_of.h"
#include "framework/tcolor.h"
#include "instruments/types.h"

namespace instruments {

enum class TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = framework::SetOf<TFontStyle>;

class TFont : public QObject {
  Q_OBJECT
  Q_PROPERTY(int Charset READ Charset WRITE SetCharset)
  Q_PROPERTY(int Color READ Color WRITE SetColor)
  Q_PROPERTY(int Height READ Height WRITE SetHeight)
  Q_PROPERTY(QString Name READ Name WRITE SetName)
  Q_PROPERTY(instruments::TFontPitch Pitch READ Pitch WRITE SetPitch)
  Q_PROPERTY(int Size READ Size WRITE SetSize)
  Q_PROPERTY(int Style READ StyleBits WRITE SetStyleBits)

 public:
  explicit TFont(QObject* owner = nullptr);

  // Copies every attribute; one OnChange when anything differed.
  void Assign(const TFont& source);

  int Charset() const { return charset_; }
  void SetCharset(int value);
  framework::TColor Color() const { return color_; }
  void SetColor(framework::TColor value);
  // Negative: character height in pixels; positive: cell height in pixels.
  int Height() const { return height_; }
  void SetHeight(int value);
  QString Name() const { return name_; }
  void SetName(const QString& value);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch value);
  // Points at 96 pixels per inch; kept in step with Height.
  int Size() const;
  void SetSize(int value);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles value);
  int StyleBits() const { return int(style_.Bits()); }
  void SetStyleBits(int value) { SetStyle(TFontStyles::FromBits(uint32_t(value) & 0xF)); }

  // The Qt font of these attributes and the resolved text colour.
  const QFont& ToQFont() const { return qfont_; }
  QColor TextColor() const { return framework::ColorToQColor(color_); }

  framework::TNotifyEvent OnChange;

 private:
  void Changed();

  int charset_ = 1;
  framework::TColor color_ = framework::clWindowText;
  int height_ = -11;
  QString name_ = QStringLiteral("MS Sans Serif");
  TFontPitch pitch_ = fpDefault;
  TFontStyles style_;
  QFont qfont_;
};

}  // namespace instruments
