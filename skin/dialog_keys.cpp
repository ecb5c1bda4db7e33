#include "skin/dialog_keys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "framework/guard.h"
#include "skin/custom_button.h"
#include "skin/input_block.h"

namespace skin {

namespace {

constexpr char kWithholdsInput[] = "suiWithholdsInput";

// The window's buttons, guarded: a click may delete any of them.
QList<QPointer<TsuiCustomButton>> ButtonsOf(QWidget* window) {
  QList<QPointer<TsuiCustomButton>> buttons;
  if (!window) return buttons;
  // Buttons of dialogs owned by the window belong to those dialogs.
  for (TsuiCustomButton* button : window->findChildren<TsuiCustomButton*>())
    if (button->window() == window) buttons << button;
  return buttons;
}

}  // namespace

void SetWithholdsInput(QWidget* container, bool withholds) {
  if (container) container->setProperty(kWithholdsInput, withholds);
}

bool InputWithheld(const QWidget* widget) {
  for (const QWidget* w = widget; w; w = w->parentWidget()) {
    if (w->property(kWithholdsInput).toBool()) return true;
    if (w->isWindow()) break;
  }
  return false;
}

void PassFocusOn(QWidget* from, bool forward) {
  if (!from || !from->hasFocus()) return;
  QWidget* w = from;
  // The focus chain is a ring; the bound only guards against a damaged one.
  for (int step = 0; step < 100000; ++step) {
    w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
    if (!w || w == from) return;
    if (w->window() == from->window() && w->isVisible() && w->isEnabled() &&
        (w->focusPolicy() & Qt::TabFocus) && !InputWithheld(w)) {
      w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
      return;
    }
  }
}

bool IsAccel(QChar character, const QString& caption) {
  for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != QLatin1Char('&')) continue;
    if (caption[i + 1] == QLatin1Char('&')) {
      ++i;
      continue;
    }
    return caption[i + 1].toUpper() == character.toUpper();
  }
  return false;
}

bool DispatchDialogKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers) {
  for (const QPointer<TsuiCustomButton>& button : ButtonsOf(window))
    if (button && button->DialogKey(key, modifiers)) return true;
  return false;
}

bool DispatchDialogChar(QWidget* window, QChar character) {
  for (const QPointer<TsuiCustomButton>& button : ButtonsOf(window))
    if (button && button->DialogChar(character)) return true;
  return false;
}

void NotifyFocusChanged(QWidget* window, QWidget* active) {
  for (const QPointer<TsuiCustomButton>& button : ButtonsOf(window))
    if (button) button->FocusChanged(active);
}

void EnsureDialogKeyRouter(QWidget* window) {
  if (!window || window->findChild<DialogKeyRouter*>(QString(), Qt::FindDirectChildrenOnly)) return;
  new DialogKeyRouter(window);
}

DialogKeyRouter::DialogKeyRouter(QWidget* window) : QObject(window), window_(window) {
  window->installEventFilter(this);
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    framework::Guard([&] {
      if (window_ && window_->isWindow() && now && now->window() == window_)
        NotifyFocusChanged(window_, now);
    });
  });
}

bool DialogKeyRouter::eventFilter(QObject* watched, QEvent* event) {
  // A router left on a widget that has since been placed in a window stays silent.
  if (watched != window_ || !window_->isWindow() || event->type() != QEvent::KeyPress) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  bool taken = false;
  framework::Guard([&] {
    switch (key->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
      case Qt::Key_Escape:
        taken = DispatchDialogKey(window_, key->key(), key->modifiers());
        break;
      default:
        if (!key->text().isEmpty() && key->text()[0].isPrint())
          taken = DispatchDialogChar(window_, key->text()[0]);
    }
  });
  if (taken) event->accept();
  return taken;
}

}  // namespace skin
