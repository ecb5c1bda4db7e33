// A disabled container withholds mouse and keyboard input from everything inside it without
// disabling (and greying) the widgets themselves. The container marks itself; controls ask
// whether they sit inside a marked one before they take the focus or answer a key.
#pragma once

class QWidget;

namespace skin {

void SetWithholdsInput(QWidget* container, bool withholds);

// True when the widget or one of its ancestors withholds input.
bool InputWithheld(const QWidget* widget);

}  // namespace skin

namespace skin {

// Moves the focus from a widget that may not keep it to the next (or previous) widget of its
// window that takes the focus by Tab and does not sit in a container that withholds input.
// Leaves the focus where it is when there is none.
void PassFocusOn(QWidget* from, bool forward);

}  // namespace skin
