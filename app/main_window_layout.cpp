// The window's components at their designed places, with their designed values.
#include "app/main_window.h"
#include "app/status_bar.h"
#include "framework/guard.h"
#include "instruments/integer_output.h"
#include "instruments/label.h"
#include "instruments/led/ab_led.h"
#include "instruments/seven_segment_display.h"
#include "skin/button.h"
#include "skin/dialog_keys.h"
#include "skin/group_box.h"

#include <QFont>
#include <QLabel>
#include <QScrollArea>

namespace app {

using namespace instruments;
using skin::TsuiButton;
using skin::TsuiGroupBox;

namespace {

QFont PixelFont(const QString& family, int pixels, bool bold) {
  QFont font(family);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

void SetFont(TFont* font, const QString& family, int pixels, bool bold) {
  font->SetName(family);
  font->SetHeight(-pixels);
  font->SetStyle(bold ? TFontStyles{TFontStyle::fsBold} : TFontStyles{});
}

TsuiButton* MakeButton(QWidget* parent, const QString& name, const QRect& place,
                       const QString& caption) {
  auto button = new TsuiButton(parent);
  button->setObjectName(name);
  button->setGeometry(place);
  button->SetUIStyle(skin::BlueGlass);
  button->SetCaption(caption);
  return button;
}

// Bold "Courier New" 21 px when bold is asked for; the font comes before the bounds, since a
// new font fits the field's height to it.
TiIntegerOutput* MakeEntry(QWidget* parent, const QString& name, const QRect& place, int value,
                           int min, int max, bool courier) {
  auto entry = new TiIntegerOutput(parent);
  entry->setObjectName(name);
  if (courier) SetFont(entry->Font(), QStringLiteral("Courier New"), 21, true);
  entry->setGeometry(place);
  entry->SetValueMin(min);
  entry->SetValueMax(max);
  entry->SetValue(value);
  entry->SetMaxLength(3);
  return entry;
}

}  // namespace

// The components sit on a page of the designed size above the status bar; the page scrolls
// only when the window is smaller, so at full size every position is the designed one.
void TForm1::CreateClientArea() {
  client_ = new QScrollArea(this);
  client_->setFrameShape(QFrame::NoFrame);
  client_->setFocusPolicy(Qt::NoFocus);
  page_ = new QWidget;
  page_->setFixedSize(ClientWidth, ClientHeight - StatusHeight);
  page_->setAutoFillBackground(true);
  client_->setWidget(page_);
}

void TForm1::PlaceClientArea() {
  client_->setGeometry(0, 0, width(), height() - StatusHeight);
  stat1->setGeometry(0, height() - StatusHeight, width(), StatusHeight);
}

void TForm1::CreateComponents() {
  CreateClientArea();
  const QString song = QStringLiteral("宋体");
  const QString yahei = QStringLiteral("微软雅黑");

  suiButton1 = MakeButton(page_, QStringLiteral("suiButton1"), {24, 24, 97, 41},
                          QStringLiteral("串口设置"));
  suiButton1->setFont(PixelFont(song, 21, false));
  suiButton2 = MakeButton(page_, QStringLiteral("suiButton2"), {140, 24, 97, 41},
                          QStringLiteral("开始"));
  suiButton2->SetDefault(true);
  suiButton3 = MakeButton(page_, QStringLiteral("suiButton3"), {256, 24, 97, 41},
                          QStringLiteral("停止"));

  sgrpbx11 = new TsuiGroupBox(page_);
  sgrpbx11->setObjectName(QStringLiteral("sgrpbx11"));
  sgrpbx11->setGeometry(368, 0, 185, 73);
  sgrpbx11->SetUIStyle(skin::DeepBlue);
  sgrpbx11->setFont(PixelFont(yahei, 19, false));
  sgrpbx11->SetCaption(QStringLiteral("从机数量："));
  intgrtpt2 = MakeEntry(sgrpbx11, QStringLiteral("intgrtpt2"), {8, 31, 65, 31}, 1, 1, 10, true);
  btn1 = MakeButton(sgrpbx11, QStringLiteral("btn1"), {80, 26, 97, 41}, QStringLiteral("确定"));

  ilbl1 = new TiLabel(page_);
  ilbl1->setObjectName(QStringLiteral("ilbl1"));
  ilbl1->setGeometry(1208, 8, 34, 20);
  ilbl1->SetCaption(QStringLiteral("地址"));
  ilbl1->setVisible(false);
  intgrtpt1 = MakeEntry(page_, QStringLiteral("intgrtpt1"), {1200, 32, 57, 32}, 1, 1, 127, false);
  intgrtpt1->setVisible(false);

  for (int n = 1; n <= 10; ++n) CreateSlavePanel(n);
  CreateStatsLines();

  ilbl4 = new TiLabel(page_);
  ilbl4->setObjectName(QStringLiteral("ilbl4"));
  ilbl4->setGeometry(16, 448, 102, 20);
  SetFont(ilbl4->Font(), QStringLiteral("MS Sans Serif"), 16, true);
  ilbl4->SetCaption(QStringLiteral("串口数据监视"));

  mm1 = new framework::TLineMemo(page_);
  mm1->setObjectName(QStringLiteral("mm1"));
  mm1->setGeometry(16, 472, 1753, 281);
  mm1->setFont(PixelFont(QStringLiteral("Fixedsys"), 21, false));
  mm1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mm1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mm1->setFrameShape(QFrame::Box);
  mm1->SetMaxLines(MonitorLineLimit);
  CreateStatsTable();
  CreateMonitorSave();

  stat1 = new TStatusBar(this);
  stat1->setObjectName(QStringLiteral("stat1"));
  stat1->AddPanel(25, QStringLiteral("Tx="));
  stat1->AddPanel(50, QStringLiteral("0"));
  stat1->AddPanel(25, QStringLiteral("Er="));
  stat1->AddPanel(50, QStringLiteral("0"));
  stat1->AddPanel(50, QString());
  PlaceClientArea();

  ComPort = new serial::TComPort(this);
  ComPort->setObjectName(QStringLiteral("ComPort"));
  ComPort->SetEvents({serial::evRxChar, serial::evTxEmpty, serial::evRxFlag, serial::evRing,
                      serial::evBreak, serial::evError, serial::evRLSD, serial::evRx80Full});

  tmr1 = new framework::TTimer(this);
  tmr1->setObjectName(QStringLiteral("tmr1"));
  tmr1->SetEnabled(false);
  tmr1->SetInterval(1);

  setTabOrder(suiButton2, suiButton1);
  setTabOrder(suiButton1, suiButton3);
  skin::EnsureDialogKeyRouter(this);
}

void TForm1::CreateSlavePanel(int n) {
  const int left[] = {16, 368, 720, 1072, 1424};
  auto box = new TsuiGroupBox(page_);
  box->setObjectName(QStringLiteral("sgrpbx%1").arg(n));
  box->setGeometry(left[(n - 1) % 5], n <= 5 ? 96 : 264, 345, 161);
  box->SetUIStyle(n == 2 ? skin::DeepBlue : skin::BlueGlass);
  box->setFont(PixelFont(QStringLiteral("微软雅黑"), 16, true));
  box->SetCaption(n == 1 ? QStringLiteral("从机地址1") : QStringLiteral("从机地址%1未启用").arg(n));

  QWidget* previous = nullptr;
  for (int k = 0; k < 3; ++k) {
    auto label = new QLabel(QStringLiteral("寄存器%1").arg(k), box);
    label->setGeometry(8, 24 + 40 * k, 74, 21);
    label->setFont(PixelFont(QStringLiteral("宋体"), 21, false));

    auto display = new TiSevenSegmentInteger(box);
    display->setObjectName(QStringLiteral("isvnsgmntntgrA%1D%2").arg(n).arg(k));
    display->setGeometry(101, 21 + 40 * k, 84, 28);
    display->SetShowSign(false);
    display->SetDigitCount(5);
    display->SetValue(0);

    auto entry = MakeEntry(box, QStringLiteral("intgrtptA%1D%2").arg(n).arg(k),
                           {208, 21 + 40 * k, 65, 31}, 1, 0, 999, true);
    entry->SetTag(k);

    auto send = MakeButton(box, QStringLiteral("btnA%1D%2").arg(n).arg(k),
                           {280, 16 + 40 * k, 57, 41}, QStringLiteral("发送"));
    send->SetTag(n);
    if (previous) setTabOrder(previous, entry);
    setTabOrder(entry, send);
    previous = send;
  }

  auto led = new TAbLED(box);
  led->setObjectName(QStringLiteral("abld%1").arg(n));
  led->setGeometry(8, 128, 113, 33);
  led->SetCaption(QStringLiteral("通讯指示灯"));
  led->LED()->SetColorOff(framework::clRed);
  led->LED()->SetHeight(18);
  led->SetLED_Position(TAbLED::lpLeft);
  led->SetSpacing(5);
  led->SetMode(TAbLED::mIndicator);
  led->SetFrequency(TAbLED::ff1Hz);
  led->SetFlashing(false);
  led->SetStatusBit(0);
  led->SetStatusInt(0);
  led->SetGroupIndex(0);
  led->setVisible(n == 1);
  box->SetEnabled(n == 1);
}

}  // namespace app
