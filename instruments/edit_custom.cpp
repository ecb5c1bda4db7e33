#include "instruments/edit_custom.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QStyleHints>
#include <QTimerEvent>
#include <algorithm>

#include "framework/guard.h"

namespace instruments {

using framework::TColor;

TiEditCustom::TiEditCustom(QWidget* parent) : TiCustomComponent(parent), font_(new TFont(this)) {
  SetBounds(x(), y(), 80, 21);
  SetBorderStyle(ibsLowered);
  setFocusPolicy(Qt::TabFocus);
  setCursor(Qt::IBeamCursor);
  font_->OnChange = [this](QObject*) {
    DoAutoSize();
    InvalidateChange();
  };
  BuildMenu();
}

TiEditCustom::~TiEditCustom() {
  DestroyCaret();
}

void TiEditCustom::BuildMenu() {
  menu_ = new QMenu(this);
  const QStringList captions = {"Apply", "Undo",   "-", "Cut",       "Copy",
                                "Paste", "Delete", "-", "Select All"};
  const std::function<void()> commands[] = {[this] { AsUserAction([this] { Apply(); }); },
                                            [this] { Undo(); },
                                            nullptr,
                                            [this] { CutToClipboard(); },
                                            [this] { CopyToClipboard(); },
                                            [this] { PasteFromClipboard(); },
                                            [this] { DeleteSelection(); },
                                            nullptr,
                                            [this] { SelectAll(); }};
  for (int i = 0; i < captions.size(); ++i) {
    QAction* item =
        captions[i] == QLatin1String("-") ? menu_->addSeparator() : menu_->addAction(captions[i]);
    menuItems_ << item;
    if (!commands[i]) continue;
    connect(item, &QAction::triggered, this, [this, command = commands[i]] {
      framework::Guard([&] {
        command();
        InvalidateChange();
      });
    });
  }
  connect(menu_, &QMenu::aboutToShow, this, [this] { UpdateMenuItems(); });
}

QAction* TiEditCustom::MenuItem(const QString& caption) const {
  for (QAction* item : menuItems_)
    if (item->text() == caption) return item;
  return nullptr;
}

void TiEditCustom::UpdateMenuItems() {
  const bool edited = editText_ != acceptedText_ && !ErrorActive();
  const bool selected = selLength_ > 0;
  const QClipboard* clipboard = QGuiApplication::clipboard();
  MenuItem("Apply")->setEnabled(edited);
  MenuItem("Undo")->setEnabled(edited);
  MenuItem("Cut")->setEnabled(selected && !ErrorActive());
  MenuItem("Delete")->setEnabled(selected && !ErrorActive());
  MenuItem("Copy")->setEnabled(selected || ErrorActive());
  MenuItem("Paste")->setEnabled(!ErrorActive() && clipboard && !clipboard->text().isEmpty());
  MenuItem("Select All")->setEnabled(!(selStart_ == 0 && selLength_ == editText_.size()));
}

void TiEditCustom::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  InvalidateChange();
}

void TiEditCustom::SetAlignmentMargin(int value) {
  if (value == alignmentMargin_) return;
  alignmentMargin_ = value;
  InvalidateChange();
}

void TiEditCustom::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  DoAutoSize();
  InvalidateChange();
}

void TiEditCustom::SetMaxLength(int value) {
  if (value == maxLength_) return;
  maxLength_ = value;
}

void TiEditCustom::SetFont(TFont* value) {
  if (value) font_->Assign(*value);
}

void TiEditCustom::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  InvalidateChange();
}

void TiEditCustom::SetTabStop(bool value) {
  if (value == TabStop()) return;
  setFocusPolicy(value ? Qt::TabFocus : Qt::NoFocus);
}

namespace {

// The parent's child controls in the order the focus visits them.
QList<QWidget*> TabList(const QWidget* parent) {
  QList<QWidget*> list;
  for (QWidget* w = parent->nextInFocusChain(); w != parent; w = w->nextInFocusChain())
    if (w->parentWidget() == parent && !w->isWindow()) list << w;
  return list;
}

}  // namespace

int TiEditCustom::TabOrder() const {
  if (!parentWidget() || isWindow()) return tabOrder_;
  return int(TabList(parentWidget()).indexOf(this));
}

void TiEditCustom::SetTabOrder(int value) {
  if (!parentWidget() || isWindow()) {
    tabOrder_ = value;
    return;
  }
  tabOrder_ = -1;
  QList<QWidget*> list = TabList(parentWidget());
  const int current = int(list.indexOf(this));
  value = std::min(value, int(list.size()) - 1);
  if (current < 0 || value < 0 || value == current) return;
  list.move(current, value);
  // The platform leaves controls that never take the focus where they are; for the moment of
  // the move every sibling takes part.
  QList<Qt::FocusPolicy> policies;
  for (QWidget* w : list) {
    policies << w->focusPolicy();
    if (w->focusPolicy() == Qt::NoFocus) w->setFocusPolicy(Qt::TabFocus);
  }
  for (int i = 0; i + 1 < list.size(); ++i) QWidget::setTabOrder(list[i], list[i + 1]);
  for (int i = 0; i < list.size(); ++i) list[i]->setFocusPolicy(policies[i]);
}

void TiEditCustom::changeEvent(QEvent* event) {
  TiCustomComponent::changeEvent(event);
  if (event->type() == QEvent::ParentChange && tabOrder_ >= 0 && parentWidget())
    SetTabOrder(tabOrder_);
}

void TiEditCustom::DoAutoSize() {
  if (!autoSize_ || !parentWidget() || autoSizing_) return;
  autoSizing_ = true;
  const QFontMetrics metrics(font_->ToQFont());
  SetBounds(x(), y(), width(), metrics.height() + 2 * BorderWidth() + 4);
  NotifyAutoSize();
  autoSizing_ = false;
}

void TiEditCustom::Beep() {
  QApplication::beep();
}

void TiEditCustom::ClearSelection() {
  selStart_ = cursorPos_;
  selLength_ = 0;
}

void TiEditCustom::SelectAll() {
  selStart_ = 0;
  selLength_ = int(editText_.size());
  InvalidateChange();
}

void TiEditCustom::Undo() {
  editText_ = acceptedText_;
  cursorPos_ = 0;
  ClearSelection();
  if (autoSelect_) SelectAll();
  InvalidateChange();
}

void TiEditCustom::DoChange() {
  NotifyPropertyChanged(QStringLiteral("Value"));
  framework::Raise(OnChange, this);
}

void TiEditCustom::Apply() {
  if (editText_ == acceptedText_) return;
  DoChange();
  acceptedText_ = editText_;
  if (autoSelect_) SelectAll();
}

bool TiEditCustom::AcceptChar(char16_t) {
  return true;
}

void TiEditCustom::SetText(const QString& value) {
  if (value == editText_) return;
  editText_ = value;
  cursorPos_ = 0;
  ClearSelection();
  Apply();
  InvalidateChange();
}

void TiEditCustom::DeleteSelection() {
  if (selLength_ <= 0) return;
  editText_.remove(selStart_, selLength_);
  cursorPos_ = selStart_;
  selLength_ = 0;
  InvalidateChange();
}

void TiEditCustom::InsertAtCaret(const QString& text) {
  DeleteSelection();
  editText_.insert(cursorPos_, text);
  cursorPos_ += int(text.size());
  ClearSelection();
}

void TiEditCustom::CopyToClipboard() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (ErrorActive())
    clipboard->setText(ErrorText());
  else if (selLength_ > 0)
    clipboard->setText(SelText());
}

void TiEditCustom::CutToClipboard() {
  CopyToClipboard();
  if (!ErrorActive()) DeleteSelection();
}

void TiEditCustom::PasteFromClipboard() {
  if (ErrorActive()) return;
  QString text = QGuiApplication::clipboard()->text();
  // The room left once the selection is gone: pasting over a selection replaces it.
  if (maxLength_ > 0)
    text = text.left(std::max(0, maxLength_ - (int(editText_.size()) - selLength_)));
  InsertAtCaret(text);
  InvalidateChange();
}

void TiEditCustom::HandleKeyPress(char16_t& key) {
  switch (key) {
    case 0:
      return;
    case 1:
      SelectAll();
      break;
    case 3:
      CopyToClipboard();
      break;
    case 8:
      if (selLength_ > 0) {
        DeleteSelection();
      } else if (cursorPos_ > 0) {
        editText_.remove(--cursorPos_, 1);
        ClearSelection();
      }
      break;
    case 13:
      Apply();
      SelectAll();
      break;
    case 22:
      PasteFromClipboard();
      break;
    case 24:
      CutToClipboard();
      break;
    case 26:
    case 27:
      Undo();
      break;
    default:
      // Every other character is offered to the filter (which may beep); control characters
      // type nothing even when it accepts them.
      if (!AcceptChar(key) || key < 32) return;
      if (maxLength_ > 0 && editText_.size() >= maxLength_ && selLength_ == 0) {
        Beep();
        return;
      }
      InsertAtCaret(QString(QChar(key)));
      break;
  }
  InvalidateChange();
}

void TiEditCustom::MoveCaret(int position, bool shift) {
  cursorPos_ = std::clamp(position, 0, int(editText_.size()));
  if (shift) {
    selStart_ = std::min(anchor_, cursorPos_);
    selLength_ = std::abs(anchor_ - cursorPos_);
  } else {
    ClearSelection();
  }
}

void TiEditCustom::HandleKeyDown(uint16_t& key, TShiftState shift) {
  const bool withShift = shift.Contains(TShiftFlag::ssShift);
  const bool withCtrl = shift.Contains(TShiftFlag::ssCtrl);
  if (withShift && selLength_ == 0) anchor_ = cursorPos_;
  const int end = int(editText_.size());
  switch (key) {
    case VK_LEFT:
      MoveCaret(withCtrl ? 0 : cursorPos_ - 1, withShift);
      break;
    case VK_HOME:
      MoveCaret(0, withShift);
      break;
    case VK_RIGHT:
      MoveCaret(withCtrl ? end : cursorPos_ + 1, withShift);
      break;
    case VK_END:
      MoveCaret(end, withShift);
      break;
    case VK_DELETE:
      if (selLength_ > 0)
        DeleteSelection();
      else if (cursorPos_ < end)
        editText_.remove(cursorPos_, 1);
      break;
    default:
      return;
  }
  InvalidateChange();
}

bool TiEditCustom::WantsShortcutKey(const QKeyEvent& event) const {
  if (event.modifiers() != Qt::ControlModifier) return TiCustomComponent::WantsShortcutKey(event);
  switch (event.key()) {
    case Qt::Key_A:
    case Qt::Key_C:
    case Qt::Key_V:
    case Qt::Key_X:
    case Qt::Key_Z:
    case Qt::Key_Left:
    case Qt::Key_Right:
      return true;
    default:
      return false;
  }
}

void TiEditCustom::HandleGotFocus() {
  TiCustomComponent::HandleGotFocus();
  if (!ErrorActive()) CreateCaret();
  InvalidateChange();
}

void TiEditCustom::HandleLostFocus() {
  TiCustomComponent::HandleLostFocus();
  DestroyCaret();
  mouseSelecting_ = false;
  dblClick_ = false;
  if (acceptOnLostFocus_) Apply();
  InvalidateChange();
}

void TiEditCustom::CreateCaret() {
  caretHeight_ = QFontMetrics(font_->ToQFont()).height();
  if (!caretExists_) {
    caretExists_ = true;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (flash > 0) blink_.start(flash / 2, this);
  }
  caretOn_ = true;
}

void TiEditCustom::DestroyCaret() {
  caretExists_ = false;
  caretOn_ = false;
  blink_.stop();
}

void TiEditCustom::timerEvent(QTimerEvent* event) {
  if (event->timerId() != blink_.timerId()) {
    TiCustomComponent::timerEvent(event);
    return;
  }
  caretOn_ = !caretOn_;
  update(CaretRect());
}

}  // namespace instruments
