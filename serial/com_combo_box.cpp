#include "serial/com_combo_box.h"

#include "framework/guard.h"
#include "platform/registry.h"
#include "serial/com_port.h"

#include <algorithm>

namespace serial {

namespace {

template <typename E>
QStringList TextsOf(QString (*text)(E), int count) {
  QStringList items;
  for (int i = 0; i < count; ++i) items << text(E(i));
  return items;
}

}  // namespace

QStringList TComSelect::Items() const {
  switch (ComProperty) {
    case cpNone:
      return {};
    case cpPort: {
      QStringList ports;
      ListSerialPorts(ports);
      return ports;
    }
    case cpBaudRate:
      return TextsOf(&BaudRateText, BaudRateCount);
    case cpDataBits:
      return TextsOf(&DataBitsText, 4);
    case cpStopBits:
      return TextsOf(&StopBitsText, 3);
    case cpParity:
      return TextsOf(&ParityText, 5);
    case cpFlowControl:
      return TextsOf(&FlowControlText, 4);
  }
  return {};
}

QString TComSelect::PortValueText() const {
  if (!ComPort) return QString();
  switch (ComProperty) {
    case cpNone:
      return QString();
    case cpPort:
      return ComPort->Port();
    case cpBaudRate:
      return BaudRateText(ComPort->BaudRate());
    case cpDataBits:
      return DataBitsText(ComPort->DataBits());
    case cpStopBits:
      return StopBitsText(ComPort->StopBits());
    case cpParity:
      return ParityText(ComPort->Parity()->Bits());
    case cpFlowControl:
      return FlowControlText(ComPort->FlowControl()->FlowControl());
  }
  return QString();
}

void TComSelect::SelectText(const QString& text) {
  switch (ComProperty) {
    case cpNone:
      break;
    case cpPort:
      port_ = text;
      break;
    case cpBaudRate:
      baudRate_ = ParseBaudRate(text);
      break;
    case cpDataBits:
      dataBits_ = ParseDataBits(text);
      break;
    case cpStopBits:
      stopBits_ = ParseStopBits(text);
      break;
    case cpParity:
      parity_ = ParseParity(text);
      break;
    case cpFlowControl:
      flowControl_ = ParseFlowControl(text);
      break;
  }
}

void TComSelect::ApplyToPort() const {
  if (!ComPort) return;
  switch (ComProperty) {
    case cpNone:
      break;
    case cpPort:
      ComPort->SetPort(port_);
      break;
    case cpBaudRate:
      ComPort->SetBaudRate(baudRate_);
      break;
    case cpDataBits:
      ComPort->SetDataBits(dataBits_);
      break;
    case cpStopBits:
      ComPort->SetStopBits(stopBits_);
      break;
    case cpParity:
      ComPort->Parity()->SetBits(parity_);
      break;
    case cpFlowControl:
      ComPort->FlowControl()->SetFlowControl(flowControl_);
      break;
  }
}

TComComboBox::TComComboBox(QWidget* parent) : QComboBox(parent) {
  setEditable(false);  // a drop-down list
  connect(this, &QComboBox::activated, this, [this] { framework::Guard([this] { OperatorSelected(); }); });
}

TComComboBox::~TComComboBox() { disconnect(portWatch_); }

void TComComboBox::SetComPort(TCustomComPort* port) {
  if (port == select_.ComPort) return;
  disconnect(portWatch_);
  select_.ComPort = port;
  if (!port) return;
  portWatch_ = connect(port, &QObject::destroyed, this, [this] { PortDestroyed(); });
  ReadFromPort();
}

void TComComboBox::PortDestroyed() {
  select_.ComPort = nullptr;
  if (count() > 0) setCurrentIndex(0);
}

void TComComboBox::SetComProperty(TComProperty value) {
  select_.ComProperty = value;
  clear();
  addItems(select_.Items());
  if (count() == 0) return;
  if (!select_.ComPort)
    setCurrentIndex(0);
  else
    ReadFromPort();
}

QString TComComboBox::Text() const { return currentIndex() < 0 ? QString() : currentText(); }

void TComComboBox::SetText(const QString& value) {
  const int index = findText(value, Qt::MatchExactly);
  if (index >= 0) setCurrentIndex(index);
}

void TComComboBox::ReadFromPort() {
  if (!select_.ComPort || select_.ComProperty == cpNone) return;
  const QString wanted = select_.PortValueText();
  int index = -1;
  for (int i = 0; i < count() && index < 0; ++i)
    if (itemText(i).compare(wanted, Qt::CaseInsensitive) == 0) index = i;
  // A port the system does not list (a pseudo-terminal, a by-id link, an adapter unplugged
  // right now) is shown all the same, so that OK keeps it rather than wiping it.
  if (index < 0 && select_.ComProperty == cpPort && !wanted.isEmpty()) {
    addItem(wanted);
    index = count() - 1;
  }
  if (index >= 0) select_.SelectText(itemText(index));
  setCurrentIndex(index);
}

void TComComboBox::OperatorSelected() {
  select_.SelectText(Text());
  if (select_.AutoApply) ApplyToPort();
  framework::Raise(OnChange, this);
}

void ListSerialPorts(QStringList& list) {
  platform::RegistryKeyPtr key;
  uint32_t result = platform::RegOpenKeyEx(platform::HKEY_LOCAL_MACHINE,
                                           QStringLiteral("HARDWARE\\DEVICEMAP\\SERIALCOMM"),
                                           platform::KEY_READ, key);
  if (result != platform::ERROR_SUCCESS) throw EComPort(23, int(result));
  QStringList names;
  for (uint32_t index = 0;; ++index) {
    QString name;
    platform::RegValue value;
    result = platform::RegEnumValue(*key, index, 256, 256, name, value);
    if (result == platform::ERROR_NO_MORE_ITEMS) break;
    if (result != platform::ERROR_SUCCESS) {
      platform::RegCloseKey(key);
      throw EComPort(23, int(result));
    }
    names << value.text;
  }
  std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
  });
  list = names;
  platform::RegCloseKey(key);
}

}  // namespace serial
