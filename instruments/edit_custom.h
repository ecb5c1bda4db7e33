// The self-drawn single-line edit box: its own text, blinking caret, selection, horizontal
// scrolling, clipboard commands and context menu, drawn through the double-buffered paint. It
// takes Enter and the arrow keys itself (never the window's default button).
#pragma once

#include <QBasicTimer>
#include <QList>

#include "instruments/vcl_component.h"

class QAction;

namespace instruments {

class TiEditCustom : public TiCustomComponent {
  Q_OBJECT
  Q_PROPERTY(instruments::TAlignment Alignment READ Alignment WRITE SetAlignment)
  Q_PROPERTY(int AlignmentMargin READ AlignmentMargin WRITE SetAlignmentMargin)
  Q_PROPERTY(bool AutoSelect READ AutoSelect WRITE SetAutoSelect)
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
  Q_PROPERTY(int MaxLength READ MaxLength WRITE SetMaxLength)
  Q_PROPERTY(instruments::TFont* Font READ Font WRITE SetFont)
  Q_PROPERTY(bool AcceptOnLostFocus READ AcceptOnLostFocus WRITE SetAcceptOnLostFocus)
  Q_PROPERTY(int Color READ Color WRITE SetColor)
  Q_PROPERTY(instruments::TiBevelStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(int TabOrder READ TabOrder WRITE SetTabOrder)
  Q_PROPERTY(bool TabStop READ TabStop WRITE SetTabStop)

 public:
  explicit TiEditCustom(QWidget* parent = nullptr);
  ~TiEditCustom() override;

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  int AlignmentMargin() const { return alignmentMargin_; }
  void SetAlignmentMargin(int value);
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool value) { autoSelect_ = value; }
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  int MaxLength() const { return maxLength_; }
  virtual void SetMaxLength(int value);
  TFont* Font() const { return font_; }
  void SetFont(TFont* value);
  bool AcceptOnLostFocus() const { return acceptOnLostFocus_; }
  void SetAcceptOnLostFocus(bool value) { acceptOnLostFocus_ = value; }
  framework::TColor Color() const { return color_; }
  void SetColor(framework::TColor value);
  // The place among the parent's child controls in the focus order (0 first). Setting it moves
  // the control there, the siblings keeping their order; a value past the end puts it last, a
  // negative one (no place, as a control without a parent reads) leaves it where it is. Without
  // a parent the value is remembered and taken up when the control gets one.
  int TabOrder() const;
  void SetTabOrder(int value);
  bool TabStop() const { return focusPolicy() != Qt::NoFocus; }
  void SetTabStop(bool value);

  // The text state.
  QString EditText() const { return editText_; }
  QString AcceptedText() const { return acceptedText_; }
  int SelStart() const { return selStart_; }
  int SelLength() const { return selLength_; }
  QString SelText() const { return editText_.mid(selStart_, selLength_); }
  int CursorPos() const { return cursorPos_; }
  int FirstVisible() const { return firstVisible_; }
  int LastVisible() const { return lastVisible_; }
  QRect TextRect() const { return textRect_; }
  bool CaretExists() const { return caretExists_; }
  QRect CaretRect() const;

  virtual void DoChange();
  virtual void Apply();
  virtual bool AcceptChar(char16_t key);
  virtual void SelectAll();
  void Undo();
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  void DeleteSelection();

  // The built-in context menu; its items are enabled for the current state when it opens.
  QMenu* ContextMenu() const { return menu_; }
  QAction* MenuItem(const QString& caption) const;
  void UpdateMenuItems();

  int DialogCode() const override { return 5; }

  framework::TNotifyEvent OnChange;

 protected:
  // Replaces the text from the program: selection cleared, caret at 0, then Apply.
  void SetText(const QString& value);
  void SetAcceptedText(const QString& value) { acceptedText_ = value; }
  virtual void Beep();

  void DrawContents(QPainter& canvas) override;
  void DrawOverlay(QPainter& canvas) override;
  void HandleGotFocus() override;
  void HandleLostFocus() override;
  void HandleKeyDown(uint16_t& key, TShiftState shift) override;
  void HandleKeyPress(char16_t& key) override;
  void HandleMouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void HandleMouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void HandleMouseMove(TShiftState shift, int x, int y) override;
  void HandleDblClick() override;
  bool WantsShortcutKey(const QKeyEvent& event) const override;
  void changeEvent(QEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  void BuildMenu();
  void InsertAtCaret(const QString& text);
  void MoveCaret(int position, bool shift);
  void ClearSelection();
  void DoAutoSize();
  int BorderWidth() const { return BorderStyle() != ibsNone ? 2 : 0; }
  // Widths of the text's characters, summed: advance_[i] is the width of the first i.
  void MeasureText(const QFontMetrics& metrics, const QString& text);
  int RunWidth(int from, int to) const;
  void FitVisibleRun(int available);
  void ScrollToCaret(int available);
  int PositionAt(int x) const;
  void CreateCaret();
  void DestroyCaret();

  QString editText_;
  TFont* font_;
  bool autoSizing_ = false;
  QMenu* menu_ = nullptr;
  QList<QAction*> menuItems_;
  QString acceptedText_;
  bool mouseSelecting_ = false;
  int anchor_ = 0;
  int availableWidth_ = 0;
  int selStart_ = 0;
  int selLength_ = 0;
  int cursorPos_ = 0;
  bool caretExists_ = false;
  QRect textRect_;
  int firstVisible_ = 0;
  int lastVisible_ = -1;
  bool dblClick_ = false;

  TAlignment alignment_ = taLeftJustify;
  int alignmentMargin_ = 0;
  bool autoSelect_ = true;
  bool autoSize_ = true;
  int maxLength_ = 0;
  bool acceptOnLostFocus_ = true;
  framework::TColor color_ = framework::clWindow;
  int tabOrder_ = -1;  // waiting for a parent

  QList<int> advance_;
  QPoint caretPos_;
  int caretHeight_ = 0;
  bool caretOn_ = false;
  QBasicTimer blink_;
};

}  // namespace instruments
