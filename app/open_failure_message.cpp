#include "app/open_failure_message.h"

#include "serial/com_error.h"

namespace app {

namespace {

QString Why(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const serial::EComPort& e) {
    if (!e.Reason.isEmpty()) return e.Reason;
    // SetCommState, SetCommTimeouts, SetupComm: the device opened but refused the settings.
    if (e.PortErrorCode >= 7 && e.PortErrorCode <= 9)
      return QStringLiteral(
                 "串口不接受当前设置（%1）。\n请在“串口设置”中检查波特率、数据位、校验位和流控。")
          .arg(e.Message());
    return QStringLiteral("错误信息：") + e.Message();
  } catch (const framework::Exception& e) {
    return QStringLiteral("错误信息：") + e.Message();
  } catch (const std::exception& e) {
    return QStringLiteral("错误信息：") + QString::fromUtf8(e.what());
  } catch (...) {
    return {};
  }
}

}  // namespace

QString OpenFailureMessage(const std::exception_ptr& error) {
  const QString first = QStringLiteral("串口打开失败，串口号可能不存在，请检查设置");
  const QString why = Why(error);
  return why.isEmpty() ? first : first + u'\n' + why;
}

}  // namespace app
