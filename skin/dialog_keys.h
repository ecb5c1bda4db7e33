// Enter, Esc and accelerator characters for the skinned buttons of a window. The main window
// is not a dialog, so this is ours: a key press that the focused widget leaves unaccepted
// travels up to its window, where a router offers it to the window's skinned buttons in order
// (Enter to the button that currently answers it, Esc to a Cancel button, a character to the
// button whose caption has it as accelerator). Widgets that want Enter for themselves accept it.
#pragma once

#include <QChar>
#include <QObject>
#include <QPointer>

class QWidget;

namespace skin {

// Installs the router on the window once.
void EnsureDialogKeyRouter(QWidget* window);

// Offers a key (Enter or Esc) or a character to the window's skinned buttons; true when one
// took it.
bool DispatchDialogKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers);
bool DispatchDialogChar(QWidget* window, QChar character);

// Tells every skinned button of the window which control now has the focus.
void NotifyFocusChanged(QWidget* window, QWidget* active);

// True when the caption marks this character (letter case ignored) with "&".
bool IsAccel(QChar character, const QString& caption);

class DialogKeyRouter : public QObject {
  Q_OBJECT

 public:
  explicit DialogKeyRouter(QWidget* window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> window_;
};

}  // namespace skin
