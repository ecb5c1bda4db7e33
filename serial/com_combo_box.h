// A drop-down list that edits one property of a linked port, and the list of the system's
// serial ports. The port's list is also a box to type a name in (a path, a tcp:// address).
#pragma once

#include "framework/events.h"
#include "serial/com_types.h"

#include <QComboBox>
#include <QMetaObject>
#include <QStringList>

namespace serial {

class TCustomComPort;

enum TComProperty { cpNone, cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl };

// The edited property, the port, and the value waiting to be written to it.
class TComSelect {
 public:
  TComProperty ComProperty = cpNone;
  TCustomComPort* ComPort = nullptr;
  bool AutoApply = false;

  // The items for the property.
  QStringList Items() const;
  // The port's current value as the list shows it.
  QString PortValueText() const;
  // Takes an item's text as the pending value.
  void SelectText(const QString& text);
  void ApplyToPort() const;

 private:
  QString port_;
  TBaudRate baudRate_ = TBaudRate(0);
  TDataBits dataBits_ = TDataBits(0);
  TStopBits stopBits_ = TStopBits(0);
  TParityBits parity_ = TParityBits(0);
  TFlowControl flowControl_ = TFlowControl(0);
};

class TComComboBox : public QComboBox {
  Q_OBJECT
  Q_PROPERTY(int ComProperty READ ComPropertyValue WRITE SetComPropertyValue)
  Q_PROPERTY(bool AutoApply READ AutoApply WRITE SetAutoApply)
  Q_PROPERTY(QString Text READ Text WRITE SetText)

 public:
  explicit TComComboBox(QWidget* parent = nullptr);
  ~TComComboBox() override;

  TCustomComPort* ComPort() const { return select_.ComPort; }
  void SetComPort(TCustomComPort* port);
  TComProperty ComProperty() const { return select_.ComProperty; }
  void SetComProperty(TComProperty value);
  bool AutoApply() const { return select_.AutoApply; }
  void SetAutoApply(bool value) { select_.AutoApply = value; }
  // The selected item's text, empty without a selection (for the port: what the box shows,
  // typed or picked); writing selects an item with that text when there is one.
  QString Text() const;
  void SetText(const QString& value);

  void ApplyToPort() { select_.ApplyToPort(); }
  void ReadFromPort();

  framework::TNotifyEvent OnChange;

 private:
  int ComPropertyValue() const { return int(ComProperty()); }
  void SetComPropertyValue(int value) { SetComProperty(TComProperty(value)); }
  void OperatorSelected();
  void TypedNameEntered();
  void OperatorEdited(const QString& text);
  void PortDestroyed();
  void FillPortItems();
  void DescribeCurrentPort();

  TComSelect select_;
  // Set while the box changes its own text, so that only the operator's typing counts.
  bool filling_ = false;
  // Typed since the last Enter: the box hands one Enter to its editor twice.
  bool typed_ = false;
  QMetaObject::Connection portWatch_;
};

// Replaces the list's contents with the system's serial ports, sorted without regard to letter
// case, character by character. A registry failure raises EComPort 23.
void ListSerialPorts(QStringList& list);

}  // namespace serial
