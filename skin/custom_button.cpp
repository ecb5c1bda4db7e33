#include "skin/custom_button.h"

#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "framework/canvas.h"
#include "skin/dialog_keys.h"
#include "skin/input_block.h"
#include "skin/skin_paint.h"

namespace skin {

namespace {

// The face drawn when a skin cannot be loaded.
QImage BlankSkin() {
  QImage blank(74, 21, QImage::Format_RGB32);
  blank.fill(Qt::white);
  return blank;
}

bool PlainKey(Qt::KeyboardModifiers modifiers) {
  return !(modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
}

bool IsEnterKey(int key) {
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// DrawText's centring: measure with word breaking from the rectangle's corner, then centre
// that box in the rectangle and draw the text horizontally centred in it.
void DrawCentered(QPainter& canvas, const QRect& r, const QString& text, const QColor& color) {
  QRect box = canvas.fontMetrics().boundingRect(
      r,
      Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs | Qt::TextShowMnemonic,
      text);
  box.moveTo(r.left() + (r.width() - box.width()) / 2, r.top() + (r.height() - box.height()) / 2);
  canvas.setPen(color);
  canvas.drawText(box, Qt::AlignHCenter | Qt::AlignTop | Qt::TextExpandTabs | Qt::TextShowMnemonic,
                  text);
}

}  // namespace

TsuiCustomButton::TsuiCustomButton(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  SetTabStop(true);
  SetUIStyle(DefaultStyleForOwner(parent));
  if (parent) EnsureDialogKeyRouter(window());
}

TsuiCustomButton::~TsuiCustomButton() = default;

void TsuiCustomButton::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  ApplyAutoSize();
  update();
}

void TsuiCustomButton::SetCaption(const QString& value) {
  if (value == caption_) return;
  caption_ = value;
  setWindowTitle(value);
  CaptionChanged();
  update();
}

void TsuiCustomButton::SetDefault(bool value) {
  if (value == default_) return;
  default_ = value;
  if (parentWidget()) {
    EnsureDialogKeyRouter(window());
    NotifyFocusChanged(window(), window()->focusWidget());
  } else {
    isDefaultNow_ = value;
  }
}

void TsuiCustomButton::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  TransparentChanged();
  update();
}

// No short cut for an unchanged style: setting it again re-reads the style (a reloaded theme
// file, a Transparent changed since) and is how a container hands its style on.
void TsuiCustomButton::SetUIStyle(TsuiUIStyle value) {
  uiStyle_ = value;
  StyleChanged();
  update();
}

// The same theme again still re-applies the style: that is how a reloaded theme file reaches
// the controls that use it.
void TsuiCustomButton::SetFileTheme(TsuiFileTheme* value) {
  WatchFileTheme(this, fileTheme_, fileThemeWatch_, value, [this] { FileThemeRemoved(); });
  SetUIStyle(uiStyle_);
}

void TsuiCustomButton::FileThemeRemoved() {
  fileTheme_ = nullptr;
  SetUIStyle(DeepBlue);
}

void TsuiCustomButton::SetFocusedRectMargin(int value) {
  if (value == focusedRectMargin_) return;
  focusedRectMargin_ = value;
  update();
}

void TsuiCustomButton::SetTabStop(bool value) {
  // The focus on a mouse press is taken by our own handler, not by Qt's click focus.
  setFocusPolicy(value ? Qt::TabFocus : Qt::NoFocus);
}

void TsuiCustomButton::TransparentChanged() {
  skinTransparent_ = transparent_;
  update();
}

void TsuiCustomButton::ApplyAutoSize() {
  if (!autoSize_) return;
  QImage whole;
  try {
    LoadStyleBitmap(uiStyle_, 1, &whole);
  } catch (const framework::Exception&) {
    whole = QImage();
  }
  const int h = whole.height() == 0 ? 21 : whole.height();
  const int w = whole.width() == 0 ? 74 : whole.width();
  resize(w / 3, h);
}

bool TsuiCustomButton::CanFocus() const {
  return isVisible() && isEnabled() && !InputWithheld(this);
}

void TsuiCustomButton::StartRepeatTimer() {
  repeatTimer_ = new framework::TTimer(this);
  repeatTimer_->SetEnabled(false);
  repeatTimer_->SetInterval(std::max(repeatInterval_, 0));
  repeatTimer_->OnTimer = [this](QObject*) { framework::Raise(OnMouseContinuouslyDown, this); };
  repeatTimer_->SetEnabled(true);
}

void TsuiCustomButton::ReleaseRepeatTimer() {
  if (!repeatTimer_) return;
  // The timer may be the caller (a repeat handler that ends the press): stop it now, free it
  // once its tick has returned.
  repeatTimer_->SetEnabled(false);
  repeatTimer_->deleteLater();
  repeatTimer_ = nullptr;
}

void TsuiCustomButton::Click() {
  if (pressed_) {
    ReleaseRepeatTimer();
    pressed_ = false;
    update();
  }
  QPointer<QDialog> dialog;
  if (parentWidget()) {
    QWidget* form = window();
    dialog = qobject_cast<QDialog*>(form);
    if (dialog)
      dialog->setResult(modalResult_);
    else if (form->metaObject()->indexOfProperty("ModalResult") >= 0)
      form->setProperty("ModalResult", modalResult_);
  }
  framework::Raise(OnClick, this);
  // A modal result closes the dialog once the click has been handled, as a modal loop would.
  if (dialog && dialog->isVisible() && dialog->result() != 0) dialog->done(dialog->result());
}

bool TsuiCustomButton::DialogKey(int key, Qt::KeyboardModifiers modifiers) {
  const bool answers = (IsEnterKey(key) && isDefaultNow_) || (key == Qt::Key_Escape && cancel_);
  if (!answers || !PlainKey(modifiers) || !CanFocus()) return false;
  Click();
  return true;
}

bool TsuiCustomButton::DialogChar(QChar character) {
  if (!IsAccel(character, caption_) || !isEnabled() || InputWithheld(this)) return false;
  Click();
  return true;
}

void TsuiCustomButton::FocusChanged(QWidget* active) {
  isDefaultNow_ = qobject_cast<TsuiCustomButton*>(active) ? active == this : default_;
  update();
}

void TsuiCustomButton::GetSkinFrame(QImage* bitmap, int frame) {
  const StyleSource source = ResolveStyleSource(fileTheme_, uiStyle_);
  if (source.UseThemeFile)
    fileTheme_->BitmapFrame(1, bitmap, frame, 3);
  else
    LoadStyleBitmapFrame(source.Style, 1, bitmap, frame, 3);
}

QImage TsuiCustomButton::FetchSkin() {
  QImage skin;
  try {
    if (!isEnabled())
      GetDisabledSkin(&skin);
    else if (pressed_)
      GetDownSkin(&skin);
    else if (mouseInside_)
      GetHotSkin(&skin);
    else
      GetNormalSkin(&skin);
  } catch (const framework::Exception&) {
    skin = QImage();
  }
  return skin.width() > 0 && skin.height() > 0 ? skin : BlankSkin();
}

void TsuiCustomButton::DrawSkin(QPainter& canvas, const QImage& skin) {
  const QRgb key = skin.pixel(0, 0);
  if (!isEnabled())
    canvas.drawImage(0, 0, GreyedImage(skin, skinTransparent_ ? key : 0x1000000));
  else
    canvas.drawImage(0, 0, skinTransparent_ ? KeyedImage(skin, key) : skin);
}

void TsuiCustomButton::DrawCaption(QPainter& canvas, const QString& caption) {
  DrawCenteredCaption(canvas, caption);
}

void TsuiCustomButton::DrawCenteredCaption(QPainter& canvas, const QString& caption) {
  QFont captionFont = font();
  if (boldCaption_) captionFont.setBold(true);
  canvas.setFont(captionFont);
  QRect r = rect();
  if (!isEnabled()) {
    DrawCentered(canvas, r.translated(1, 1), caption, Qt::white);
    DrawCentered(canvas, r, caption, QColor(128, 128, 128));
  } else {
    if (pressed_) r.translate(1, 1);
    DrawCentered(canvas, r, caption, FontColor());
  }
  boldCaption_ = false;
}

void TsuiCustomButton::DrawFocus(QPainter& canvas) {
  const int m = focusedRectMargin_;
  const Box r{m, m, width() - m, height() - m};
  if (r.Empty()) return;
  // The dotted focus rectangle inverts every other pixel of its outline.
  canvas.save();
  canvas.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  auto dot = [&](int x, int y) {
    if ((x + y) % 2 == 0) canvas.fillRect(x, y, 1, 1, Qt::white);
  };
  for (int x = r.Left; x < r.Right; ++x) {
    dot(x, r.Top);
    if (r.Bottom - 1 != r.Top) dot(x, r.Bottom - 1);
  }
  for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
    dot(r.Left, y);
    if (r.Right - 1 != r.Left) dot(r.Right - 1, y);
  }
  canvas.restore();
}

void TsuiCustomButton::Paint() {
  if (width() <= 0 || height() <= 0) return;
  QImage skin = FetchSkin();
  QImage buffer(size(), QImage::Format_RGB32);
  buffer.fill(palette().color(QPalette::Window));
  {
    QPainter canvas(&buffer);
    framework::BeginGdiPainting(canvas);
    if (transparent_)
      PaintParentBackground(canvas, this);
    else
      canvas.fillRect(rect(), palette().color(QPalette::Window));
    DrawSkin(canvas, skin);
    skin = QImage();
    if (hasFocus() && TabStop()) DrawFocus(canvas);
    canvas.setFont(font());
    if (!caption_.trimmed().isEmpty()) DrawCaption(canvas, caption_);
  }
  QPainter window(this);
  window.drawImage(0, 0, buffer);
}

}  // namespace skin
