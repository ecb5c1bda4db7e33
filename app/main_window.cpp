// Window creation and closing, and the operator's commands.
#include "app/main_window.h"

#include "app/line_watch.h"
#include "app/request_send.h"
#include "app/status_bar.h"
#include "app/traffic_capture.h"
#include "app/window_fit.h"
#include "framework/guard.h"
#include "framework/tcolor.h"
#include "instruments/integer_output.h"
#include "instruments/led/ab_led.h"
#include "instruments/seven_segment_display.h"
#include "skin/button.h"
#include "skin/group_box.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QIcon>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>

namespace app {

using instruments::TiIntegerOutput;

namespace {

// The program's icon at every size the build rendered it.
QIcon WindowIcon() {
  QIcon icon;
  const QDir icons(QStringLiteral(":/icons"));
  for (const QString& name : icons.entryList(QDir::Files)) icon.addFile(icons.filePath(name));
  return icon;
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("ZT_DEZAVA_K55_V1.0   通讯功能测试"));
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(11);
  setFont(font);
  QPalette face = palette();
  face.setColor(QPalette::Window, framework::ColorToQColor(framework::clBtnFace));
  setPalette(face);
  setAutoFillBackground(true);
  setWindowIcon(WindowIcon());
  // Task bars on Wayland find the icon through the installed desktop entry.
  QGuiApplication::setDesktopFileName(QStringLiteral("zt-modbus-k"));
  setMinimumSize(270, 50);
  resize(ClientWidth, ClientHeight);
  CreateComponents();
  FindPanelParts();
  lineWatch_ = std::make_unique<TLineWatch>(*this);
  requestSend_ = std::make_unique<TRequestSend>(*ComPort, [this](bool sent) { RequestSent(sent); });
  WireHandlers();
  framework::Guard([this] { FormCreate(); });
}

TForm1::~TForm1() {
  // The port goes first, while the panels its answers are shown on still exist.
  tmr1->SetEnabled(false);
  ComPort->OnRxChar = nullptr;
  ComPort->OnLineLost = nullptr;
  framework::Guard([this] { ComPort->ClosePort(); });
}

void TForm1::FindPanelParts() {
  for (int n = 1; n <= 10; ++n) {
    leds_[size_t(n)] = FindComponent<instruments::TAbLED>(QStringLiteral("abld%1").arg(n));
    for (int k = 0; k < 3; ++k)
      displays_[size_t(n)][size_t(k)] = FindComponent<instruments::TiSevenSegmentInteger>(
          QStringLiteral("isvnsgmntntgrA%1D%2").arg(n).arg(k));
  }
}

void TForm1::WireHandlers() {
  suiButton1->OnClick = [this](QObject* s) { suiButton1Click(s); };
  suiButton2->OnClick = [this](QObject* s) { suiButton2Click(s); };
  suiButton3->OnClick = [this](QObject* s) { suiButton3Click(s); };
  btn1->OnClick = [this](QObject* s) { btn1Click(s); };
  intgrtpt2->OnKeyPress = [this](QObject* s, char16_t& key) { intgrtpt2KeyPress(s, key); };
  intgrtpt2->OnChangeUser = [this](QObject* s) { intgrtpt1ChangeUser(s); };
  intgrtpt1->OnChangeUser = [this](QObject* s) { intgrtpt1ChangeUser(s); };
  for (int n = 1; n <= 10; ++n) {
    for (int k = 0; k < 3; ++k) {
      auto send = FindComponent<skin::TsuiButton>(QStringLiteral("btnA%1D%2").arg(n).arg(k));
      send->OnClick = [this](QObject* s) { btnA1D0Click(s); };
      auto entry = FindComponent<TiIntegerOutput>(QStringLiteral("intgrtptA%1D%2").arg(n).arg(k));
      entry->OnKeyPress = [this](QObject* s, char16_t& key) { intgrtptA1D0KeyPress(s, key); };
      entry->OnChangeUser = [this](QObject* s) { intgrtpt1ChangeUser(s); };
    }
  }
  ComPort->OnRxChar = [this](QObject* s, int count) { ComPortRxChar(s, count); };
  ComPort->OnLineLost = [this](QObject*) { lineWatch_->LineLost(); };
  tmr1->OnTimer = [this](QObject* s) { tmr1Timer(s); };
}

void TForm1::FormCreate() {
  FitToScreen();
  ComPort->RestoreSettings(serial::ssRegistry, SettingsPath);
  // An unreadable settings file is kept as it is and restores nothing: say so once, here.
  if (!ComPort->SettingsProblem().isEmpty())
    framework::ShowExceptionMessage(ComPort->SettingsProblem());
  SlaveCount = 1;
}

void TForm1::FormClose() {
  // A store that cannot be written is reported, but it must not keep the window open: the
  // port is closed and the program ends all the same.
  try {
    ComPort->SaveSettings(serial::ssRegistry, SettingsPath);
  } catch (const serial::EComPort& e) {
    framework::ShowExceptionMessage(e.Reason.isEmpty() ? e.Message()
                                                       : e.Message() + u'\n' + e.Reason);
  } catch (const std::exception& e) {
    framework::ShowException(e);
  }
  ComPort->ClosePort();
}

// Centred on the screen and inside its available area; a screen too small for the designed
// client gets a smaller window whose client area scrolls.
void TForm1::FitToScreen() {
  QScreen* where = screen() ? screen() : QGuiApplication::primaryScreen();
  if (!where) return;
  const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
  const int bar = client_->verticalScrollBar()->sizeHint().width();
  const QRect place =
      FitWindow({ClientWidth, ClientHeight}, where->availableGeometry(), frame, bar);
  resize(place.size());
  move(place.topLeft() - QPoint(frame.left(), frame.top()));  // a window moves by its frame
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  framework::Guard([this] { PlaceClientArea(); });
}

// The frame is known once the window is shown: fit again if it does not fit.
void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_) return;
  shown_ = true;
  QTimer::singleShot(0, this, [this] {
    QScreen* where = screen();
    if (where && !where->availableGeometry().contains(frameGeometry()))
      framework::Guard([this] { FitToScreen(); });
  });
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (!closing_) {
    closing_ = true;
    // Closed while polling: no stop comes, the figures go to the capture now.
    if (capture_ && (Polling || ComPort->Connected()))
      CaptureFigures(QStringLiteral("closed while polling"));
    framework::Guard([this] { FormClose(); });
  }
  event->accept();
}

void TForm1::suiButton1Click(QObject*) { ComPort->RunSetupDialog(); }

void TForm1::btn1Click(QObject*) {
  SlaveCount = intgrtpt2->Value();
  for (int n = 1; n <= 10; ++n) {
    auto box = FindComponent<skin::TsuiGroupBox>(QStringLiteral("sgrpbx%1").arg(n));
    auto led = FindComponent<instruments::TAbLED>(QStringLiteral("abld%1").arg(n));
    const bool used = n <= SlaveCount;
    box->SetEnabled(used);
    box->SetCaption(used ? QStringLiteral("从机地址%1").arg(n)
                         : QStringLiteral("从机地址%1未启用").arg(n));
    led->setVisible(used);
  }
  ShowStats();
  intgrtpt2->setFocus();
  intgrtpt2->SelectAll();
}

void TForm1::intgrtpt2KeyPress(QObject*, char16_t& Key) {
  if (Key != 13) return;
  btn1->setFocus();
  btn1Click(btn1);
  Key = 0;
}

QWidget* TForm1::ActiveControl() const {
  QWidget* focused = QApplication::focusWidget();
  return focused && focused->window() == this ? focused : nullptr;
}

void TForm1::btnA1D0Click(QObject* Sender) {
  // The button is the focused control: a send button takes the focus when pressed, and the
  // Enter handler gives it. Should the focus be elsewhere, the clicked button stands in.
  auto button = qobject_cast<skin::TsuiButton*>(ActiveControl());
  if (!button || !button->objectName().startsWith(QStringLiteral("btnA")))
    button = qobject_cast<skin::TsuiButton*>(Sender);
  if (!button) return;
  QString entryName = button->objectName();
  entryName.replace(QStringLiteral("btn"), QStringLiteral("intgrtpt"));
  auto entry = FindComponent<TiIntegerOutput>(entryName);
  if (!entry) return;
  WriteAddress = button->Tag();
  WriteRegister = entry->Tag();
  WriteValue = entry->Value();
  PendingWrite = 2;
  entry->setFocus();
  entry->SelectAll();
}

void TForm1::intgrtptA1D0KeyPress(QObject* Sender, char16_t& Key) {
  if (Key != 13) return;
  QWidget* active = ActiveControl();
  QString name = (active ? active : qobject_cast<QWidget*>(Sender))->objectName();
  name.replace(QStringLiteral("intgrtpt"), QStringLiteral("btn"));
  if (auto button = FindComponent<skin::TsuiButton>(name)) {
    button->setFocus();
    btnA1D0Click(button);
  }
  Key = 0;
}

void TForm1::intgrtpt1ChangeUser(QObject*) {}

}  // namespace app
