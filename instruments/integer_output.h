// The integer entry field: an integer Value within limits, shown and typed in decimal,
// hexadecimal, binary or octal, committed from the typed text on Enter, focus loss or the menu.
#pragma once

#include "instruments/edit_custom.h"

namespace instruments {

using TOnBeforeChangeInteger =
    std::function<void(QObject* Sender, int OldValue, int& NewValue, bool& CanChange)>;

class TiIntegerOutput : public TiEditCustom {
  Q_OBJECT
  Q_PROPERTY(int Value READ Value WRITE SetValue)
  Q_PROPERTY(int ValueMax READ ValueMax WRITE SetValueMax)
  Q_PROPERTY(int ValueMin READ ValueMin WRITE SetValueMin)
  Q_PROPERTY(instruments::TiIntegerFormatStyle FormatStyle READ FormatStyle WRITE SetFormatStyle)
  Q_PROPERTY(bool LeadingZeros READ LeadingZeros WRITE SetLeadingZeros)
  Q_PROPERTY(bool UndoOnError READ UndoOnError WRITE SetUndoOnError)
  Q_PROPERTY(bool BeepOnError READ BeepOnError WRITE SetBeepOnError)
  Q_PROPERTY(bool ErrorActive READ ErrorActive WRITE SetErrorActive)
  Q_PROPERTY(QString ErrorText READ ErrorText WRITE SetErrorText)
  Q_PROPERTY(instruments::TFont* ErrorFont READ ErrorFont WRITE SetErrorFont)
  Q_PROPERTY(int ErrorBackGroundColor READ ErrorBackGroundColor WRITE SetErrorBackGroundColor)

 public:
  explicit TiIntegerOutput(QWidget* parent = nullptr);

  int Value() const { return value_; }
  void SetValue(int value);
  int ValueMax() const { return valueMax_; }
  void SetValueMax(int value);
  int ValueMin() const { return valueMin_; }
  void SetValueMin(int value);
  TiIntegerFormatStyle FormatStyle() const { return formatStyle_; }
  void SetFormatStyle(TiIntegerFormatStyle value);
  bool LeadingZeros() const { return leadingZeros_; }
  void SetLeadingZeros(bool value);
  void SetMaxLength(int value) override;
  bool UndoOnError() const { return undoOnError_; }
  void SetUndoOnError(bool value) { undoOnError_ = value; }
  bool BeepOnError() const { return beepOnError_; }
  void SetBeepOnError(bool value) { beepOnError_ = value; }

  // The text of a value in the current format, and the value of a text (see the commit rules).
  QString FormatValue(int value) const;
  int ParseText(const QString& text);

  void DoChange() override;
  void Apply() override;
  bool AcceptChar(char16_t key) override;

  framework::TNotifyEvent OnChangeUser;
  TOnBeforeChangeInteger OnBeforeChange;
  TOnBeforeChangeInteger OnBeforeUserChange;

 private:
  void RefreshText() { SetText(FormatValue(value_)); }

  int value_ = 0;
  int valueMax_ = 0;
  int valueMin_ = 0;
  TiIntegerFormatStyle formatStyle_ = iifsInteger;
  bool leadingZeros_ = false;
  bool undoOnError_ = true;
  bool beepOnError_ = false;
};

}  // namespace instruments
