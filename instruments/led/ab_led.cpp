#include "instruments/led/ab_led.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QScopeGuard>
#include <algorithm>

#include "framework/canvas.h"
#include "framework/guard.h"

namespace instruments {

namespace {

enum class HAlign { Left, Right, Centre };
enum class VAlign { Top, Centre, Bottom };

QRect PixelsOf(const TLampRect& r) {
  return framework::GdiRect(r.Left, r.Top, r.Right, r.Bottom);
}

}  // namespace

TAbLED::TAbLED(QWidget* owner, const QString& name)
    : TAbBinGControl(owner), led_(new TLED(this)), caption_(name), nameShown_(name) {
  led_->OnChange = [this](QObject*) { UpdateAll(); };
  setObjectName(name);
  resize(73, 33);
  connect(this, &QObject::objectNameChanged, this,
          [this](const QString& newName) { framework::Guard([&] { NameChanged(newName); }); });
  // Controls are visible from the start, also on an owner that is already showing.
  if (owner) show();
}

TAbLED::~TAbLED() = default;

void TAbLED::NameChanged(const QString& name) {
  if (caption_ == nameShown_) SetCaption(name);
  nameShown_ = name;
}

void TAbLED::SetLED_Position(TLEDPos value) {
  if (value == position_) return;
  position_ = value;
  UpdateAll();
}

void TAbLED::SetSpacing(int value) {
  if (value == spacing_) return;
  spacing_ = value;
  UpdateAll();
}

void TAbLED::SetCaption(const QString& value) {
  if (value == caption_) return;
  caption_ = value;
  UpdateAll();
}

void TAbLED::SetFont(const QFont& value) {
  if (!ParentFont() && value == font()) return;
  QFont own = value;
  own.setResolveMask(QFont::AllPropertiesResolved);
  setFont(own);  // repaints through the font change
}

void TAbLED::SetParentFont(bool value) {
  if (value == ParentFont()) return;
  if (value) {
    setFont(QFont());  // nothing of its own: everything comes from the parent
  } else {
    QFont own = font();
    own.setResolveMask(QFont::AllPropertiesResolved);
    setFont(own);
  }
}

TLampRect TAbLED::LampRect() const {
  int w = led_->Width();
  int h = led_->Height();
  if (led_->Shape() == TLED::sRound) w = h = std::max(w, h);
  const int cx = width() / 2;
  const int cy = height() / 2;
  switch (position_) {
    case lpRight:
      return {width() - w, cy - h / 2, width(), cy - h / 2 + h};
    case lpTop:
      return {cx - w / 2, 0, cx - w / 2 + w, h};
    case lpBottom:
      return {cx - w / 2, height() - h, cx - w / 2 + w, height()};
    case lpLeft:
      break;
  }
  return {0, cy - h / 2, w, cy - h / 2 + h};
}

QList<TAbLED::TCaptionLine> TAbLED::CaptionLayout() const {
  const TLampRect lamp = LampRect();
  QPoint anchor(lamp.Right + spacing_, height() / 2);
  HAlign h = HAlign::Left;
  VAlign v = VAlign::Centre;
  switch (position_) {
    case lpLeft:
      break;
    case lpRight:
      anchor = {lamp.Left - spacing_, height() / 2};
      h = HAlign::Right;
      break;
    case lpTop:
      anchor = {width() / 2, lamp.Bottom + spacing_};
      h = HAlign::Centre;
      v = VAlign::Top;
      break;
    case lpBottom:
      anchor = {width() / 2, lamp.Top - spacing_};
      h = HAlign::Centre;
      v = VAlign::Bottom;
      break;
  }
  const QFontMetrics metrics(font());
  const int step = metrics.height();  // the height of "X": every line is one font height
  const QStringList texts = caption_.split(QLatin1Char('|'));
  const int breaks = int(texts.size()) - 1;
  int y = anchor.y();
  if (v == VAlign::Centre) y -= breaks * step / 2;
  if (v == VAlign::Bottom) y -= breaks * step;
  QList<TCaptionLine> lines;
  for (const QString& text : texts) {
    const int w = metrics.horizontalAdvance(text);
    const int x = h == HAlign::Left    ? anchor.x()
                  : h == HAlign::Right ? anchor.x() - w
                                       : anchor.x() - w / 2;
    const int top = v == VAlign::Top ? y : v == VAlign::Centre ? y - step / 2 : y - step;
    lines.append({text, QPoint(x, top)});
    y += step;
  }
  return lines;
}

bool TAbLED::LampOn() const {
  if (Checked() && Flashing() && flashState_) return *flashState_;
  return Checked();
}

void TAbLED::UpdateAll() {
  update();
}

void TAbLED::UpdateLED() {
  if (!(Checked() && Flashing())) flashState_.reset();
  UpdateLamp();
}

void TAbLED::DrawFlashState(bool state) {
  flashState_ = state;
  if (!painting_) UpdateLamp();
}

// Only the lamp's pixels are repainted; the caption stays as it is.
void TAbLED::UpdateLamp() {
  if (isHidden()) return;
  update(PixelsOf(LampRect()));
}

void TAbLED::paintEvent(QPaintEvent* event) {
  framework::Guard([&] {
    if (painting_) return;
    painting_ = true;
    const auto done = qScopeGuard([this] { painting_ = false; });
    QPainter painter(this);
    framework::BeginGdiPainting(painter);
    painter.setFont(font());
    const TLampRect lamp = LampRect();
    led_->SetRect(lamp);
    if (!PixelsOf(lamp).contains(event->rect())) {
      const int ascent = painter.fontMetrics().ascent();
      painter.setPen(palette().color(QPalette::WindowText));
      painter.setBrush(Qt::NoBrush);
      for (const TCaptionLine& line : CaptionLayout())
        painter.drawText(line.TopLeft.x(), line.TopLeft.y() + ascent, line.Text);
    }
    led_->Draw(painter, LampOn());
  });
}

}  // namespace instruments
