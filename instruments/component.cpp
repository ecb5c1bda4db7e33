#include "instruments/component.h"

#include <QPaintEvent>
#include <QPainter>

#include "framework/canvas.h"
#include "framework/guard.h"
#include "instruments/bevel.h"
#include "instruments/update_object.h"

namespace instruments {

using framework::TColor;

TiComponent::TiComponent(QWidget* parent) : QWidget(parent), errorFont_(new TFont(this)) {
  // The whole area is painted from the off-screen picture: nothing to erase first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
  lastRepaint_ = std::chrono::steady_clock::now();
  errorFont_->SetColor(framework::clRed);
  errorFont_->SetStyle({TFontStyle::fsBold});
  errorFont_->OnChange = [this](QObject*) { InvalidateChange(); };
  TiUpdateObject::Instance().Register(this);
}

TiComponent::~TiComponent() {
  TiUpdateObject::Instance().Unregister(this);
}

void TiComponent::SetBounds(int left, int top, int width, int height) {
  const QRect bounds(left, top, width, height);
  if (bounds == geometry()) return;
  setGeometry(bounds);
}

void TiComponent::SetHint(const QString& value) {
  if (value == hint_) return;
  hint_ = value;
  setToolTip(showHint_ ? hint_ : QString());
}

bool TiComponent::Visible() const {
  return !(testAttribute(Qt::WA_WState_ExplicitShowHide) && testAttribute(Qt::WA_WState_Hidden));
}

void TiComponent::SetVisible(bool value) {
  if (value == Visible()) return;
  setVisible(value);
}

bool TiComponent::Enabled() const {
  return !testAttribute(Qt::WA_ForceDisabled);
}

void TiComponent::SetEnabled(bool value) {
  if (value == Enabled()) return;
  setEnabled(value);
  InvalidateChange();
}

void TiComponent::SetShowHint(bool value) {
  if (value == showHint_) return;
  showHint_ = value;
  setToolTip(showHint_ ? hint_ : QString());
}

void TiComponent::SetAutoFrameRate(bool value) {
  if (value == autoFrameRate_) return;
  autoFrameRate_ = value;
  if (value)
    InvalidateChange();
  else
    EndUpdate();
}

void TiComponent::SetUpdateFrameRate(int value) {
  if (value == updateFrameRate_) return;
  updateFrameRate_ = value;
  InvalidateChange();
}

void TiComponent::SetBackGroundColor(TColor value) {
  if (value == backGroundColor_) return;
  backGroundColor_ = value;
  InvalidateChange();
}

void TiComponent::SetBorderStyle(TiBevelStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  InvalidateChange();
}

void TiComponent::SetErrorActive(bool value) {
  if (value == errorActive_) return;
  errorActive_ = value;
  InvalidateChange();
}

void TiComponent::SetErrorText(const QString& value) {
  if (value == errorText_) return;
  errorText_ = value;
  InvalidateChange();
}

void TiComponent::SetErrorFont(TFont* value) {
  if (value) errorFont_->Assign(*value);
}

void TiComponent::SetErrorBackGroundColor(TColor value) {
  if (value == errorBackGroundColor_) return;
  errorBackGroundColor_ = value;
  InvalidateChange();
}

bool TiComponent::FrameDue() const {
  const auto frame = std::chrono::nanoseconds(1'000'000'000LL / updateFrameRate_);
  return std::chrono::steady_clock::now() > lastRepaint_ + frame;
}

void TiComponent::InvalidateChange() {
  if (updating_) {
    repaintPending_ = true;
    return;
  }
  if (autoFrameRate_) {
    repaintPending_ = true;
    if (updateFrameRate_ <= 0 || FrameDue()) RepaintNow();
    return;
  }
  RepaintNow();
}

void TiComponent::RepaintNow() {
  repaintPending_ = false;
  lastRepaint_ = std::chrono::steady_clock::now();
  update();
}

void TiComponent::RefreshAll() {
  InvalidateChange();
}

void TiComponent::BeginUpdate() {
  updating_ = true;
}

void TiComponent::EndUpdate() {
  updating_ = false;
  if (repaintPending_) InvalidateChange();
}

void TiComponent::SetCachedBackground(bool value) {
  if (value == cachedBackground_) return;
  cachedBackground_ = value;
  InvalidateChange();
}

void TiComponent::SetBackGroundPicture(const QImage& picture) {
  backGroundPicture_ = picture;
  InvalidateChange();
}

void TiComponent::DrawBackGround(QPainter& canvas, TColor color) {
  if (!backGroundPicture_.isNull() && backGroundPicture_.width() > 0) {
    canvas.drawImage(QRect(0, 0, width(), height()), backGroundPicture_);
    return;
  }
  framework::GdiFillRect(canvas, 0, 0, width(), height(), framework::ColorToQColor(color));
  DrawBorder(canvas);
}

void TiComponent::DrawBorder(QPainter& canvas) {
  switch (borderStyle_) {
    case ibsNone:
      break;
    case ibsRaised:
      DrawBevel(canvas, 0, 0, width(), height(), BevelKind::Raised);
      break;
    case ibsLowered:
      DrawBevel(canvas, 0, 0, width(), height(), BevelKind::Sunken);
      break;
  }
}

bool TiComponent::OutputToLink(const QString&, const QVariant&) {
  return false;
}

bool TiComponent::AllowPropertyChange(const QString& name) {
  bool allow = true;
  framework::Raise(OnBeforePropertyChange, this, name, allow);
  return allow;
}

void TiComponent::NotifyPropertyChanged(const QString& name) {
  framework::Raise(OnAfterPropertyChange, this, name);
}

void TiComponent::HandleGotFocus() {
  hasFocus_ = true;
  InvalidateChange();
}

void TiComponent::HandleLostFocus() {
  hasFocus_ = false;
  try {
    HandleMouseUp(mbLeft, {}, 0, 0);
    InvalidateChange();
  } catch (...) {
    // Losing the focus must not fail.
  }
}

void TiComponent::HandleWantSpecialKey(int&, bool&) {}
void TiComponent::HandleKeyUp(uint16_t&, TShiftState) {}
void TiComponent::HandleKeyDown(uint16_t&, TShiftState) {}
void TiComponent::HandleKeyPress(char16_t&) {}
void TiComponent::HandleMouseDown(TMouseButton, TShiftState, int, int) {}
void TiComponent::HandleMouseUp(TMouseButton, TShiftState, int, int) {}
void TiComponent::HandleMouseMove(TShiftState, int, int) {}
void TiComponent::HandleDblClick() {}
bool TiComponent::HandleMouseWheel(int, TShiftState, QPoint) {
  return false;
}

void TiComponent::DrawError(const QString& message) {
  QPainter canvas(&buffer_);
  framework::BeginGdiPainting(canvas);
  const QRect client(0, 0, width(), height());
  canvas.fillRect(client, Qt::black);
  canvas.setPen(Qt::white);
  canvas.setFont(TFont().ToQFont());
  canvas.drawText(client, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, message);
  framework::Raise(OnAfterPaint, this, canvas);
}

void TiComponent::PaintBuffer() {
  if (buffer_.size() != size()) buffer_ = QImage(size(), QImage::Format_RGB32);
  if (buffer_.isNull()) return;
  QString failure;
  bool failed = false;
  {
    QPainter canvas(&buffer_);
    framework::BeginGdiPainting(canvas);
    canvas.setPen(Qt::SolidLine);
    canvas.setBrush(Qt::SolidPattern);
    try {
      DrawContents(canvas);
    } catch (...) {
      failed = true;
      failure = framework::ExceptionMessage(std::current_exception());
    }
    if (!failed) {
      DrawOverlay(canvas);
      framework::Raise(OnAfterPaint, this, canvas);
    }
  }
  if (failed) DrawError(failure);
}

QImage TiComponent::RenderContents() {
  Lock();
  try {
    PaintBuffer();
  } catch (...) {
    // As on screen: a failing paint leaves the last picture.
  }
  Unlock();
  return buffer_;
}

void TiComponent::paintEvent(QPaintEvent*) {
  Lock();
  try {
    PaintBuffer();
  } catch (...) {
    // Errors of the paint itself are discarded; DrawContents' own are shown in the picture.
  }
  Unlock();
  if (buffer_.isNull()) return;
  QPainter screen(this);
  screen.drawImage(0, 0, buffer_);
}

}  // namespace instruments
