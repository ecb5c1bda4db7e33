// Saving the port settings to, and restoring them from, the registry or an ini file.
#include "platform/ini_file.h"
#include "serial/com_port.h"
#include "serial/registry_object.h"

#include <stdexcept>
#include <vector>

namespace serial {

namespace {

// One stored value: its group and key, and how it is read from and written to the port,
// either as text or as an integer.
struct StoredValue {
  TSettingsGroup group;
  const char* key;
  QString (*text)(TCustomComPort&) = nullptr;
  void (*setText)(TCustomComPort&, const QString&) = nullptr;
  int (*number)(TCustomComPort&) = nullptr;
  void (*setNumber)(TCustomComPort&, int) = nullptr;
  // Stored only when this holds (the custom rate goes with a custom baud rate).
  bool (*applies)(TCustomComPort&) = nullptr;
};

using P = TCustomComPort;

// In the order they are written and read: groups in this order, keys in this order.
const std::vector<StoredValue>& StoredValues() {
  static const std::vector<StoredValue> values = {
      {sgBasic, "Port", [](P& p) { return p.Port(); }, [](P& p, const QString& t) { p.SetPort(t); }},
      {sgBasic, "BaudRate", [](P& p) { return BaudRateText(p.BaudRate()); },
       [](P& p, const QString& t) { p.SetBaudRate(ParseBaudRate(t)); }},
      {sgBasic, "CustomBaudRate", nullptr, nullptr, [](P& p) { return p.CustomBaudRate(); },
       [](P& p, int v) { p.SetCustomBaudRate(v); }, [](P& p) { return p.BaudRate() == brCustom; }},
      {sgBasic, "StopBits", [](P& p) { return StopBitsText(p.StopBits()); },
       [](P& p, const QString& t) { p.SetStopBits(ParseStopBits(t)); }},
      {sgBasic, "DataBits", [](P& p) { return DataBitsText(p.DataBits()); },
       [](P& p, const QString& t) { p.SetDataBits(ParseDataBits(t)); }},
      {sgBasic, "Parity", [](P& p) { return ParityText(p.Parity()->Bits()); },
       [](P& p, const QString& t) { p.Parity()->SetBits(ParseParity(t)); }},
      {sgBasic, "FlowControl", [](P& p) { return FlowControlText(p.FlowControl()->FlowControl()); },
       [](P& p, const QString& t) { p.FlowControl()->SetFlowControl(ParseFlowControl(t)); }},
      {sgMisc, "EventChar", [](P& p) { return CharText(p.EventChar()); },
       [](P& p, const QString& t) { p.SetEventChar(ParseCharText(t)); }},
      {sgMisc, "DiscardNull", [](P& p) { return YesNoText(p.DiscardNull()); },
       [](P& p, const QString& t) { p.SetDiscardNull(ParseYesNo(t)); }},
      {sgParity, "Parity.Check", [](P& p) { return YesNoText(p.Parity()->Check()); },
       [](P& p, const QString& t) { p.Parity()->SetCheck(ParseYesNo(t)); }},
      {sgParity, "Parity.Replace", [](P& p) { return YesNoText(p.Parity()->Replace()); },
       [](P& p, const QString& t) { p.Parity()->SetReplace(ParseYesNo(t)); }},
      {sgParity, "Parity.ReplaceChar", [](P& p) { return CharText(p.Parity()->ReplaceChar()); },
       [](P& p, const QString& t) { p.Parity()->SetReplaceChar(ParseCharText(t)); }},
      {sgBuffer, "Buffer.OutputSize", nullptr, nullptr, [](P& p) { return p.Buffer()->OutputSize(); },
       [](P& p, int v) { p.Buffer()->SetOutputSize(v); }},
      {sgBuffer, "Buffer.InputSize", nullptr, nullptr, [](P& p) { return p.Buffer()->InputSize(); },
       [](P& p, int v) { p.Buffer()->SetInputSize(v); }},
      {sgTimeouts, "Timeouts.ReadInterval", nullptr, nullptr,
       [](P& p) { return p.Timeouts()->ReadInterval(); },
       [](P& p, int v) { p.Timeouts()->SetReadInterval(v); }},
      {sgTimeouts, "Timeouts.ReadTotalConstant", nullptr, nullptr,
       [](P& p) { return p.Timeouts()->ReadTotalConstant(); },
       [](P& p, int v) { p.Timeouts()->SetReadTotalConstant(v); }},
      {sgTimeouts, "Timeouts.ReadTotalMultiplier", nullptr, nullptr,
       [](P& p) { return p.Timeouts()->ReadTotalMultiplier(); },
       [](P& p, int v) { p.Timeouts()->SetReadTotalMultiplier(v); }},
      {sgTimeouts, "Timeouts.WriteTotalConstant", nullptr, nullptr,
       [](P& p) { return p.Timeouts()->WriteTotalConstant(); },
       [](P& p, int v) { p.Timeouts()->SetWriteTotalConstant(v); }},
      {sgTimeouts, "Timeouts.WriteTotalMultiplier", nullptr, nullptr,
       [](P& p) { return p.Timeouts()->WriteTotalMultiplier(); },
       [](P& p, int v) { p.Timeouts()->SetWriteTotalMultiplier(v); }},
      {sgFlowControl, "FlowControl.ControlRTS",
       [](P& p) { return RtsControlText(p.FlowControl()->ControlRTS()); },
       [](P& p, const QString& t) { p.FlowControl()->SetControlRTS(ParseRtsControl(t)); }},
      {sgFlowControl, "FlowControl.ControlDTR",
       [](P& p) { return DtrControlText(p.FlowControl()->ControlDTR()); },
       [](P& p, const QString& t) { p.FlowControl()->SetControlDTR(ParseDtrControl(t)); }},
      {sgFlowControl, "FlowControl.DSRSensitivity",
       [](P& p) { return YesNoText(p.FlowControl()->DSRSensitivity()); },
       [](P& p, const QString& t) { p.FlowControl()->SetDSRSensitivity(ParseYesNo(t)); }},
      {sgFlowControl, "FlowControl.OutCTSFlow",
       [](P& p) { return YesNoText(p.FlowControl()->OutCTSFlow()); },
       [](P& p, const QString& t) { p.FlowControl()->SetOutCTSFlow(ParseYesNo(t)); }},
      {sgFlowControl, "FlowControl.OutDSRFlow",
       [](P& p) { return YesNoText(p.FlowControl()->OutDSRFlow()); },
       [](P& p, const QString& t) { p.FlowControl()->SetOutDSRFlow(ParseYesNo(t)); }},
      {sgFlowControl, "FlowControl.TxContinueOnXoff",
       [](P& p) { return YesNoText(p.FlowControl()->TxContinueOnXoff()); },
       [](P& p, const QString& t) { p.FlowControl()->SetTxContinueOnXoff(ParseYesNo(t)); }},
      {sgFlowControl, "FlowControl.XonXoffIn",
       [](P& p) { return YesNoText(p.FlowControl()->XonXoffIn()); },
       [](P& p, const QString& t) { p.FlowControl()->SetXonXoffIn(ParseYesNo(t)); }},
      {sgFlowControl, "FlowControl.XonXoffOut",
       [](P& p) { return YesNoText(p.FlowControl()->XonXoffOut()); },
       [](P& p, const QString& t) { p.FlowControl()->SetXonXoffOut(ParseYesNo(t)); }},
      {sgFlowControl, "FlowControl.XoffChar",
       [](P& p) { return CharText(p.FlowControl()->XoffChar()); },
       [](P& p, const QString& t) { p.FlowControl()->SetXoffChar(ParseCharText(t)); }},
      {sgFlowControl, "FlowControl.XonChar",
       [](P& p) { return CharText(p.FlowControl()->XonChar()); },
       [](P& p, const QString& t) { p.FlowControl()->SetXonChar(ParseCharText(t)); }},
  };
  return values;
}

EComPort StoreFailure(const QString& reason) {
  EComPort error(16);
  error.Reason = reason;
  return error;
}

const TSettingsGroup groupOrder[] = {sgBasic, sgMisc, sgParity, sgBuffer, sgTimeouts, sgFlowControl};

// Calls fn for every stored value of the saved groups, in the stored order.
template <typename Fn>
void ForEachStoredValue(TCustomComPort& port, Fn&& fn) {
  for (TSettingsGroup group : groupOrder) {
    if (!port.SavedGroups().Contains(group)) continue;
    for (const StoredValue& value : StoredValues())
      if (value.group == group && (!value.applies || value.applies(port))) fn(value);
  }
}

}  // namespace

void TCustomComPort::OpenSettingsKey(TRegistry& registry, const QString& path, const QString& name) {
  const int slash = path.indexOf(u'\\');
  if (slash < 0) return;
  const QString root = path.left(slash).toUpper();
  if (root == QStringLiteral("HKEY_LOCAL_MACHINE"))
    registry.RootKey = platform::HKEY_LOCAL_MACHINE;
  else if (root == QStringLiteral("HKEY_CURRENT_USER"))
    registry.RootKey = platform::HKEY_CURRENT_USER;
  QString key = path.mid(slash + 1);
  if (!key.endsWith(u'\\')) key += u'\\';
  registry.OpenKey(key + name, true);
}

void TCustomComPort::SaveSettings(TSettingsStore store, const QString& path) {
  try {
    if (store == ssRegistry) {
      TRegistry registry;
      OpenSettingsKey(registry, path, objectName());
      SaveToRegistry(registry);
      registry.CloseKey();
    } else {
      platform::IniFile iniFile(path);
      SaveToIniFile(iniFile, objectName());
      iniFile.UpdateFile();
    }
  } catch (const ERegistryException& e) {
    throw StoreFailure(e.Reason);
  } catch (const std::runtime_error& e) {  // the ini file's own reasons
    throw StoreFailure(QString::fromUtf8(e.what()));
  } catch (...) {
    throw EComPort(16);
  }
}

void TCustomComPort::RestoreSettings(TSettingsStore store, const QString& path) {
  BeginBatch();
  try {
    try {
      if (store == ssRegistry) {
        TRegistry registry;
        OpenSettingsKey(registry, path, objectName());
        settingsProblem_ = registry.Problem();
        if (!settingsProblem_.isEmpty())
          settingsProblem_ += u'\n' + ComText(QStringLiteral(
                                          "The port settings were not restored; the file is "
                                          "left as it is."));
        RestoreFromRegistry(registry);
      } else {
        platform::IniFile iniFile(path);
        RestoreFromIniFile(iniFile, objectName());
      }
    } catch (...) {
      EndBatch();
      throw;
    }
    EndBatch();
  } catch (...) {
    throw EComPort(17);
  }
}

void TCustomComPort::SaveToRegistry(TRegistry& registry) {
  ForEachStoredValue(*this, [&](const StoredValue& v) {
    const QString key = QString::fromLatin1(v.key);
    if (v.text)
      registry.WriteString(key, v.text(*this));
    else
      registry.WriteInteger(key, v.number(*this));
  });
}

void TCustomComPort::SaveToIniFile(platform::IniFile& iniFile, const QString& section) {
  ForEachStoredValue(*this, [&](const StoredValue& v) {
    const QString key = QString::fromLatin1(v.key);
    if (v.text)
      iniFile.WriteString(section, key, v.text(*this));
    else
      iniFile.WriteInteger(section, key, v.number(*this));
  });
}

void TCustomComPort::RestoreFromRegistry(TRegistry& registry) {
  ForEachStoredValue(*this, [&](const StoredValue& v) {
    const QString key = QString::fromLatin1(v.key);
    if (v.text)
      v.setText(*this, registry.ReadString(key));
    else
      v.setNumber(*this, registry.ReadInteger(key));
  });
}

void TCustomComPort::RestoreFromIniFile(platform::IniFile& iniFile, const QString& section) {
  ForEachStoredValue(*this, [&](const StoredValue& v) {
    const QString key = QString::fromLatin1(v.key);
    if (v.text) {
      v.setText(*this, iniFile.ReadString(section, key, v.text(*this)));
    } else {
      // A missing custom rate means the usual 9600, not whatever the port holds.
      const int fallback = v.applies ? 9600 : v.number(*this);
      v.setNumber(*this, iniFile.ReadInteger(section, key, fallback));
    }
  });
}

}  // namespace serial
