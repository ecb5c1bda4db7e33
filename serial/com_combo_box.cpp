#include "serial/com_combo_box.h"

#include "framework/guard.h"
#include "platform/registry.h"
#include "platform/serial_ports.h"
#include "serial/com_port.h"
#include "serial/port_list_delegate.h"

#include <QAbstractItemView>
#include <QLineEdit>

#include <algorithm>

namespace serial {

namespace {

template <typename E>
QStringList TextsOf(QString (*text)(E), int count) {
  QStringList items;
  for (int i = 0; i < count; ++i) items << text(E(i));
  return items;
}

// Raises the flag for as long as it lives.
class Filling {
 public:
  explicit Filling(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
  ~Filling() { flag_ = was_; }
  Filling(const Filling&) = delete;
  Filling& operator=(const Filling&) = delete;

 private:
  bool& flag_;
  bool was_;
};

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
      port_ = text.trimmed();  // a pasted name brings spaces or a line break along
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
  connect(this, &QComboBox::editTextChanged, this, [this](const QString& text) {
    framework::Guard([&] { OperatorEdited(text); });
  });
  connect(this, &QComboBox::currentTextChanged, this, [this] { DescribeCurrentPort(); });
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
  Filling filling(filling_);
  select_.ComPort = nullptr;
  if (count() > 0) setCurrentIndex(0);
}

void TComComboBox::SetComProperty(TComProperty value) {
  if (value != cpPort && isEditable()) setEditable(false);
  Filling filling(filling_);
  select_.ComProperty = value;
  clear();
  if (value == cpPort)
    FillPortItems();
  else
    addItems(select_.Items());
  if (count() == 0) return;
  if (!select_.ComPort)
    setCurrentIndex(0);
  else
    ReadFromPort();
}

QString TComComboBox::Text() const {
  if (isEditable()) return currentText();
  return currentIndex() < 0 ? QString() : currentText();
}

void TComComboBox::SetText(const QString& value) {
  Filling filling(filling_);
  const int index = findText(value, Qt::MatchExactly);
  if (index >= 0) setCurrentIndex(index);
}

void TComComboBox::ReadFromPort() {
  if (!select_.ComPort || select_.ComProperty == cpNone) return;
  Filling filling(filling_);
  const QString wanted = select_.PortValueText();
  int index = -1;
  for (int i = 0; i < count() && index < 0; ++i)
    if (itemText(i).compare(wanted, Qt::CaseInsensitive) == 0) index = i;
  // A port the system does not list (a pseudo-terminal, a by-id link, an adapter unplugged
  // right now) is shown all the same, so that OK keeps it rather than wiping it.
  if (index < 0 && select_.ComProperty == cpPort && !wanted.isEmpty()) {
    addItem(wanted);
    index = count() - 1;
    // The adapter may be listed under its stable name: say what it is here too.
    for (const platform::SerialPortEntry& port : platform::ListSerialPortDevices())
      if (port.devicePath == wanted && !port.description.isEmpty())
        setItemData(index, port.description, PortDescriptionRole);
  }
  if (index >= 0) select_.SelectText(itemText(index));
  setCurrentIndex(index);
  if (index < 0 && isEditable()) setEditText(QString());
  DescribeCurrentPort();
}

// The port's box takes a typed name; the list below it shows each port with what it is.
void TComComboBox::FillPortItems() {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);  // a typed name is the setting, not a new list item
  // No completion: what the operator typed is what is stored, not a listed name that
  // happens to begin with it.
  setCompleter(nullptr);
  if (!dynamic_cast<PortListDelegate*>(view()->itemDelegate()))
    view()->setItemDelegate(new PortListDelegate(view()));
  // Enter on a typed name is the operator's choice as a click on an item is.
  connect(lineEdit(), &QLineEdit::returnPressed, this, &TComComboBox::TypedNameEntered,
          Qt::UniqueConnection);
  addItems(select_.Items());
  QHash<QString, QString> descriptions;
  for (const platform::SerialPortEntry& port : platform::ListSerialPortDevices())
    if (!port.description.isEmpty()) descriptions.insert(port.Name(), port.description);
  for (int i = 0; i < count(); ++i) {
    const QString description = descriptions.value(itemText(i));
    if (description.isEmpty()) continue;
    setItemData(i, description, PortDescriptionRole);
    setItemData(i, description, Qt::ToolTipRole);
  }
  // The list may be wider than the box: long names and descriptions are read in full.
  int widest = 0;
  for (int i = 0; i < count(); ++i)
    widest = std::max(widest, view()->sizeHintForIndex(model()->index(i, modelColumn())).width());
  view()->setMinimumWidth(widest + view()->frameWidth() * 2 + 4);
}

void TComComboBox::DescribeCurrentPort() {
  if (select_.ComProperty != cpPort) return;
  const int index = findText(currentText(), Qt::MatchExactly);
  const QString description =
      index < 0 ? QString() : itemData(index, PortDescriptionRole).toString();
  setToolTip(description.isEmpty() ? currentText() : description + u'\n' + currentText());
}

void TComComboBox::TypedNameEntered() {
  if (!typed_) return;
  typed_ = false;
  framework::Guard([this] { OperatorSelected(); });
}

void TComComboBox::OperatorEdited(const QString& text) {
  if (filling_ || select_.ComProperty != cpPort) return;
  select_.SelectText(text);
  typed_ = true;
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
