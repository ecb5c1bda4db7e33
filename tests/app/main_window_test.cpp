// The main window's poll cycle and commands, driven tick by tick on the recording device.
#include "form_test.h"
#include "qt_printers.h"
#include "skin/group_box.h"
#include "wait.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QTest>

#include <future>
#include <thread>

using namespace app;
using testing_support::ProcessUntil;

namespace {

class Window : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    OpenOnRecordingLine();
  }
};

}  // namespace

TEST_F(Window, ComponentsStandWhereTheyAreDesigned) {
  EXPECT_EQ(form->objectName(), QStringLiteral("Form1"));
  EXPECT_EQ(form->windowTitle(), QStringLiteral("ZT_DEZAVA_K55_V1.0   通讯功能测试"));
  EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("zt-modbus-k"));
  EXPECT_EQ(form->size(), QSize(1782, 788));
  EXPECT_TRUE(form->isAncestorOf(form->suiButton1));
  const std::pair<QWidget*, QRect> places[] = {
      {form->suiButton1, {24, 24, 97, 41}}, {form->suiButton2, {140, 24, 97, 41}},
      {form->suiButton3, {256, 24, 97, 41}}, {form->sgrpbx11, {368, 0, 185, 73}},
      {form->intgrtpt2, {8, 31, 65, 31}},    {form->btn1, {80, 26, 97, 41}},
      {form->mm1, {16, 472, 1753, 281}},     {form->stat1, {0, 769, 1782, 19}}};
  for (const auto& [widget, place] : places)
    EXPECT_EQ(widget->geometry(), place) << widget->objectName().toStdString();
  EXPECT_EQ(form->suiButton2->Caption(), QStringLiteral("开始"));
  EXPECT_EQ(form->suiButton1->UIStyle(), skin::BlueGlass);
  EXPECT_EQ(form->sgrpbx11->UIStyle(), skin::DeepBlue);
  EXPECT_FALSE(form->intgrtpt1->isVisibleTo(form.get()));
  const int lefts[] = {16, 368, 720, 1072, 1424};
  for (int n = 1; n <= 10; ++n) {
    auto box = form->FindComponent<skin::TsuiGroupBox>(QStringLiteral("sgrpbx%1").arg(n));
    EXPECT_EQ(box->geometry(), QRect(lefts[(n - 1) % 5], n <= 5 ? 96 : 264, 345, 161)) << n;
    EXPECT_EQ(box->UIStyle(), n == 2 ? skin::DeepBlue : skin::BlueGlass);
    for (int k = 0; k < 3; ++k) {
      const QString suffix = QStringLiteral("A%1D%2").arg(n).arg(k);
      auto entry = form->FindComponent<instruments::TiIntegerOutput>(QStringLiteral("intgrtpt") + suffix);
      auto send = form->FindComponent<skin::TsuiButton>(QStringLiteral("btn") + suffix);
      auto display = form->FindComponent<instruments::TiSevenSegmentInteger>(
          QStringLiteral("isvnsgmntntgr") + suffix);
      EXPECT_EQ(entry->geometry(), QRect(208, 21 + 40 * k, 65, 31));
      EXPECT_EQ(send->geometry(), QRect(280, 16 + 40 * k, 57, 41));
      EXPECT_EQ(display->geometry(), QRect(101, 21 + 40 * k, 84, 28));
      EXPECT_EQ(entry->parent(), box);
    }
    EXPECT_EQ(Led(n)->geometry(), QRect(8, 128, 113, 33));
    EXPECT_EQ(Led(n)->Caption(), QStringLiteral("通讯指示灯"));
    EXPECT_EQ(box->Enabled(), n == 1);
    EXPECT_EQ(box->Caption(), n == 1 ? QStringLiteral("从机地址1") : QStringLiteral("从机地址%1未启用").arg(n));
  }
}

TEST_F(Window, CarriesTheProgramIconAtTaskBarSizes) {
  const QList<QSize> sizes = form->windowIcon().availableSizes();
  for (const int size : {16, 32, 48, 256}) EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
  // The picture itself, not an empty or blank square.
  const QImage small = form->windowIcon().pixmap(16).toImage();
  EXPECT_EQ(small.size(), QSize(16, 16));
  EXPECT_NE(small.pixel(8, 8), small.pixel(0, 0));
}

TEST_F(Window, PollsTheSlavesInTurnAndShowsTheirAnswers) {
  Start();
  EXPECT_TRUE(form->ComPort->Connected());
  EXPECT_EQ(form->stat1->PanelText(4), QStringLiteral("COM1 | "));
  EXPECT_EQ(Tick(), (std::vector<uint8_t>{1, 3, 0, 0, 0, 3, 0x05, 0xCB}));
  EXPECT_EQ(form->tmr1->Interval(), 500);
  Answer(ReadAnswer(1, 1, 2, 3));
  EXPECT_EQ(Display(1, 0), 1);
  EXPECT_EQ(Display(1, 2), 3);
  EXPECT_TRUE(Led(1)->Checked());
  EXPECT_EQ(form->tmr1->Interval(), 25);  // the pause at 9600
  EXPECT_TRUE(MonitorLines().last().startsWith(QStringLiteral("Rx-")));
  EXPECT_TRUE(MonitorLines().last().endsWith(QStringLiteral("> 01 03 06 00 01 00 02 00 03 FD 74")));

  SetSlaveCount(3);
  std::vector<int> order;
  for (int i = 0; i < 5; ++i) order.push_back(Tick()[0]);
  EXPECT_EQ(order, (std::vector<int>{2, 3, 1, 2, 3}));
  // Four unanswered requests since the answered one (the first tick of each counts nothing).
  EXPECT_EQ(Count(1), 6);
  EXPECT_EQ(Count(3), 4);

  SetSlaveCount(5);
  Tick();  // cycler at 4
  SetSlaveCount(2);
  EXPECT_EQ(Tick()[0], 1);

  // A slave that falls silent goes dark at the tick after its unanswered request.
  Answer(ReadAnswer(1, 7, 8, 9));
  EXPECT_TRUE(Led(1)->Checked());
  EXPECT_EQ(Tick()[0], 2);
  EXPECT_EQ(Tick()[0], 1);
  EXPECT_TRUE(Led(1)->Checked());
  Tick();
  EXPECT_FALSE(Led(1)->Checked());

  form->suiButton3Click(form->suiButton3);
  EXPECT_TRUE(Tick().empty());
  EXPECT_FALSE(form->ComPort->Connected());
  EXPECT_FALSE(form->tmr1->Enabled());
}

TEST_F(Window, AReadAnswerShowsOnThePanelOfTheAddressItCarries) {
  Start();
  EXPECT_EQ(Tick()[0], 1);
  Answer(ReadAnswer(5, 11, 22, 33));
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(Display(5, k), 11 * (k + 1)) << k;
    EXPECT_EQ(Display(1, k), 0) << k;
  }
  EXPECT_TRUE(Led(5)->Checked());
  EXPECT_FALSE(Led(1)->Checked());
  EXPECT_EQ(AnswerState, 3);
  Tick();
  EXPECT_EQ(Count(3), 0);  // answered, whoever answered
}

TEST_F(Window, EverySendButtonAndEntryFieldAsksForTheWriteOfItsOwnRegister) {
  SetSlaveCount(10);
  form->show();
  QApplication::setActiveWindow(form.get());
  for (int n = 1; n <= 10; ++n) {
    for (int k = 0; k < 3; ++k) {
      const QString suffix = QStringLiteral("A%1D%2").arg(n).arg(k);
      auto entry = form->FindComponent<instruments::TiIntegerOutput>(QStringLiteral("intgrtpt") + suffix);
      auto send = form->FindComponent<skin::TsuiButton>(QStringLiteral("btn") + suffix);
      for (const bool enter : {false, true}) {
        const int value = 100 * k + 10 * enter + n;
        entry->SetValue(value);
        form->PendingWrite = 0;
        char16_t key = 13;
        if (enter) {
          entry->setFocus();
          entry->OnKeyPress(entry, key);
          EXPECT_EQ(key, 0);
        } else {
          send->OnClick(send);
        }
        const std::string where = suffix.toStdString() + (enter ? " enter" : " click");
        EXPECT_EQ(std::tuple(form->PendingWrite, form->WriteAddress, form->WriteRegister,
                             form->WriteValue), std::tuple(2, n, k, value)) << where;
        EXPECT_EQ(QApplication::focusWidget(), entry) << where;
      }
    }
  }
}

TEST_F(Window, WritesTakeThePlaceOfOneRead) {
  SetSlaveCount(3);
  Start();
  auto entry = form->FindComponent<instruments::TiIntegerOutput>(QStringLiteral("intgrtptA2D1"));
  auto send = form->FindComponent<skin::TsuiButton>(QStringLiteral("btnA2D1"));
  entry->SetValue(5);
  form->btnA1D0Click(send);
  entry->SetValue(123);
  form->btnA1D0Click(send);
  EXPECT_EQ(Tick(), (std::vector<uint8_t>{2, 6, 0, 1, 0, 0x7B, 0x98, 0x1A}));  // only the last
  EXPECT_EQ(form->PendingWrite, 1);
  Answer({2, 6, 0, 1, 0, 0x7B, 0x98, 0x1A});
  EXPECT_EQ(AnswerState, 6);
  EXPECT_EQ(Display(2, 1), 0);  // an echo changes no display and no lamp
  EXPECT_FALSE(Led(2)->Checked());
  EXPECT_EQ(Tick()[0], 3);      // the cycler moved on under the write
  EXPECT_EQ(form->PendingWrite, 0);
  EXPECT_EQ(Tick()[0], 1);
  EXPECT_EQ(Tick()[0], 2);

  // An unanswered write darkens the written slave's lamp and counts one error.
  SetSlaveCount(10);
  auto last = form->FindComponent<instruments::TiIntegerOutput>(QStringLiteral("intgrtptA10D2"));
  last->SetValue(999);
  form->btnA1D0Click(form->FindComponent<skin::TsuiButton>(QStringLiteral("btnA10D2")));
  EXPECT_EQ(Tick(), (std::vector<uint8_t>{0x0A, 0x06, 0x00, 0x02, 0x03, 0xE7, 0x69, 0xCB}));
  const int errors = Count(3);
  Led(10)->SetStatusInt(1);
  Tick();
  EXPECT_FALSE(Led(10)->Checked());
  EXPECT_EQ(Count(3), errors + 1);
}

TEST_F(Window, BadAnswersNeverShow) {
  Start();
  Tick();
  // A wrong CRC: logged with its mark, nothing shown, the request times out.
  auto bad = ReadAnswer(1, 4, 5, 6);
  bad.back() ^= 0xFF;
  Answer(bad);
  EXPECT_TRUE(MonitorLines().last().endsWith(QStringLiteral("  CRC错误")));
  EXPECT_EQ(Display(1, 0), 0);
  EXPECT_FALSE(Led(1)->Checked());
  EXPECT_EQ(AnswerState, 0);
  Tick();
  EXPECT_EQ(Count(3), 1);

  // Byte count 2: only register 0 comes from the answer.
  Answer(WithCrc({1, 3, 2, 0, 42}));
  EXPECT_EQ(Display(1, 0), 42);
  EXPECT_EQ(Display(1, 1), 0);

  // An exception answer is logged and times out.
  Tick();
  Answer(WithCrc({1, 0x83, 2}));
  EXPECT_TRUE(MonitorLines().last().endsWith(QStringLiteral("> 01 83 02 C0 F1")));
  Tick();
  EXPECT_EQ(Count(3), 2);

  // Answers from addresses without a panel, floods and garbage: nothing breaks.
  Answer(ReadAnswer(0, 1, 1, 1));
  Tick();
  Answer(ReadAnswer(200, 1, 1, 1));
  Tick();
  Answer(std::vector<uint8_t>(150, 0xAA));
  EXPECT_EQ(AnswerState, 99);
  EXPECT_EQ(form->tmr1->Interval(), 1);
  const int errors = Count(3);
  Tick();
  EXPECT_EQ(Count(3), errors);  // an overflow counts nothing
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Window, StartAndStopEdges) {
  line.FailCall("CreateFile", 2);
  Start();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith(QStringLiteral("串口打开失败，串口号可能不存在，请检查设置\n")));
  EXPECT_FALSE(Polling);
  EXPECT_FALSE(form->ComPort->Connected());

  Start();
  Tick();
  form->suiButton3Click(nullptr);
  Start();  // still open: nothing happens
  EXPECT_TRUE(Tick().empty());
  EXPECT_FALSE(form->ComPort->Connected());
  EXPECT_EQ(Count(3), 1);  // the stopping tick still counts the last request

  // A failing write: a Tx line and count, no message, one error at the next tick.
  Start();
  line.FailCall("WriteFile", 31);
  Tick();
  EXPECT_EQ(Count(1), 1);
  EXPECT_TRUE(MonitorLines().last().startsWith(QStringLiteral("Tx-")));
  Tick();
  EXPECT_EQ(Count(3), 1);
  EXPECT_EQ(messages.size(), 1);
}

// A request the line cannot take (flow control held off, a far end that stopped reading) holds
// the cycle until its write ends, never the window; an answer that comes meanwhile waits for it.
TEST_F(Window, AStalledWriteHoldsTheCycleNotTheWindow) {
  Start();
  line.StallWrites(true);
  std::promise<void> ticked;
  std::thread watchdog([this, done = ticked.get_future()] {  // a held window fails, not hangs
    if (done.wait_for(std::chrono::seconds(2)) != std::future_status::ready) line.StallWrites(false);
  });
  Tick();
  EXPECT_TRUE(line.WriteUnderWay()) << "the tick waited for the write";
  ticked.set_value();
  watchdog.join();
  EXPECT_FALSE(form->tmr1->Enabled());
  Answer(ReadAnswer(1, 1, 2, 3));
  EXPECT_EQ(Lines(QStringLiteral("Rx-")), 0);
  line.StallWrites(false);
  ASSERT_TRUE(ProcessUntil([&] { return form->tmr1->Enabled(); }));
  EXPECT_EQ(line.TakeWritten(), (std::vector<uint8_t>{1, 3, 0, 0, 0, 3, 0x05, 0xCB}));
  EXPECT_EQ(std::tuple(Lines(QStringLiteral("Rx-")), Display(1, 2), form->tmr1->Interval()),
            std::tuple(1, 3, 25)) << "the answer's pause comes after the write's time-out";

  // One that ends in a purge failed: swallowed, the interval kept, counted at the next tick.
  form->tmr1->SetEnabled(false);
  line.StallWrites(true);
  Tick();
  form->ComPort->DeviceHandle()->PurgeComm(platform::PURGE_TXABORT);
  ASSERT_TRUE(ProcessUntil([&] { return form->tmr1->Enabled(); }));
  EXPECT_EQ(form->tmr1->Interval(), 25);
  form->tmr1->SetEnabled(false);
  Tick();
  EXPECT_EQ(std::tuple(Count(1), Count(3), int(messages.size())), std::tuple(3, 1, 0));
}

TEST_F(Window, SlaveCountShowsExactlyThePanelsInUse) {
  form->show();
  QApplication::setActiveWindow(form.get());
  // Up, further up, then down again: panels are enabled and disabled both ways.
  for (const int count : {3, 10, 2}) {
    form->intgrtpt2->SetValue(count);
    char16_t key = 13;
    form->intgrtpt2KeyPress(form->intgrtpt2, key);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(form->SlaveCount, count);
    for (int n = 1; n <= 10; ++n) {
      auto box = form->FindComponent<skin::TsuiGroupBox>(QStringLiteral("sgrpbx%1").arg(n));
      EXPECT_EQ(box->Enabled(), n <= count) << count << "/" << n;
      EXPECT_EQ(box->Caption(), n <= count ? QStringLiteral("从机地址%1").arg(n)
                                           : QStringLiteral("从机地址%1未启用").arg(n));
      EXPECT_EQ(Led(n)->isVisibleTo(form.get()), n <= count) << count << "/" << n;
    }
    EXPECT_EQ(QApplication::focusWidget(), form->intgrtpt2);
    EXPECT_EQ(form->intgrtpt2->SelText(), QString::number(count));
  }
  // A disabled panel takes no clicks; the last one in use does.
  for (const int n : {2, 3}) {
    form->PendingWrite = 0;
    QTest::mouseClick(form->FindComponent<skin::TsuiButton>(QStringLiteral("btnA%1D1").arg(n)),
                      Qt::LeftButton);
    EXPECT_EQ(form->PendingWrite, n == 2 ? 2 : 0) << n;
  }
}

TEST_F(Window, TypingAndEnterInAnEntryFieldAsksForTheWrite) {
  SetSlaveCount(10);
  form->show();
  QApplication::setActiveWindow(form.get());
  auto entry = form->FindComponent<instruments::TiIntegerOutput>(QStringLiteral("intgrtptA10D2"));
  entry->setFocus();
  entry->SelectAll();
  auto key = [&](int code, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
    QCoreApplication::sendEvent(QApplication::focusWidget(), &press);
    QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, text);
    QCoreApplication::sendEvent(QApplication::focusWidget(), &release);
  };
  for (int i = 0; i < 3; ++i) key(Qt::Key_9, QStringLiteral("9"));
  key(Qt::Key_Return, QStringLiteral("\r"));
  EXPECT_EQ(std::tuple(form->PendingWrite, form->WriteAddress, form->WriteRegister, form->WriteValue),
            std::tuple(2, 10, 2, 999));
  EXPECT_EQ(QApplication::focusWidget(), entry);  // back in the field, text selected
  EXPECT_EQ(entry->SelText(), QStringLiteral("999"));
  EXPECT_FALSE(Polling);  // Enter never reached the default start button

  // The field holds three characters: a fourth digit is refused.
  entry->SelectAll();
  for (const char* digit : {"1", "2", "3", "4"}) key(Qt::Key_1, QString::fromLatin1(digit));
  key(Qt::Key_Return, QStringLiteral("\r"));
  EXPECT_EQ(form->WriteValue, 123);
}

TEST_F(Window, ClosingWithAnUnwritableStoreStillCloses) {
  Start();
  QFile blocker(dir.filePath(QStringLiteral("blocker")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  platform::SetRegistryFilePath(dir.filePath(QStringLiteral("blocker/registry.reg")));
  form->show();
  EXPECT_TRUE(form->close());
  EXPECT_EQ(messages, QStringList{QStringLiteral("Failed to store settings\nThe folder %1 cannot be "
                                                 "created: Not a directory.")
                                      .arg(blocker.fileName())});
  EXPECT_FALSE(form->ComPort->Connected());
}

TEST_F(Window, AnUnreadableSettingsFileIsSaidOnceAtStartAndWithTheCloseMessage) {
  const QString file = dir.filePath(QStringLiteral("registry.reg"));
  const QByteArray bad = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software]\n\"P\"=\"x\n";
  QFile put(file);
  ASSERT_TRUE(put.open(QIODevice::WriteOnly) && put.write(bad) == bad.size());
  put.close();
  messages.clear();
  const QString why =
      QStringLiteral("The settings file %1 cannot be read: line 4: missing closing quote.").arg(file);
  auto second = std::make_unique<TForm1>();
  EXPECT_EQ(messages, QStringList{why + QStringLiteral("\nThe port settings were not restored; "
                                                       "the file is left as it is.")});
  second->close();
  ASSERT_EQ(messages.size(), 2);
  EXPECT_EQ(messages[1], QStringLiteral("Failed to store settings\n") + why);
  ASSERT_TRUE(put.open(QIODevice::ReadOnly));
  EXPECT_EQ(put.readAll(), bad);
}

TEST_F(Window, SettingsSurviveARestart) {
  form->ComPort->SetPort(QStringLiteral("/dev/ttyUSB7"));
  form->ComPort->SetBaudRate(serial::br115200);
  form->close();
  TForm1 second;
  EXPECT_EQ(second.ComPort->Port(), QStringLiteral("/dev/ttyUSB7"));
  EXPECT_EQ(second.ComPort->BaudRate(), serial::br115200);
  EXPECT_EQ(second.SlaveCount, 1);
}

TEST_F(Window, TheMonitorKeepsTheNewestLines) {
  for (int i = 0; i < TForm1::MonitorLineLimit + 10; ++i)
    form->mm1->Append(QString::number(i));
  EXPECT_EQ(form->mm1->LineCount(), TForm1::MonitorLineLimit);
  EXPECT_EQ(MonitorLines().first(), QStringLiteral("10"));
}
