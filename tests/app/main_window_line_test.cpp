// The main window on a real line: the slave simulator on a pseudo-terminal, the timer and the
// port's event thread running as in the program.
#include "form_test.h"
#include "child_process.h"
#include "wait.h"

#include <QElapsedTimer>

#include <sys/resource.h>

using namespace app;
using testing_support::ProcessFor;
using testing_support::ProcessUntil;

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

class Simulator {
 public:
  explicit Simulator(const QString& link, QStringList extra = {}) {
    ready = process.Start(QStringLiteral(SLAVE_SIM),
                          QStringList{"--link", link, "--slaves", "1-10", "--fixed"} + extra) &&
            WaitFor("ready");
  }
  ~Simulator() {
    process.Write("quit\n");
    if (!process.WaitForExit(3000)) process.Kill();
  }
  bool Command(const QString& command) {
    process.Write((command + u'\n').toUtf8());
    return WaitFor("ok");
  }
  bool WaitFor(const char* word) {
    for (int i = 0; i < 100; ++i) {
      output += process.ReadOutput(50);
      if (output.contains(word)) {
        output.clear();
        return true;
      }
    }
    return false;
  }
  testing_support::ChildProcess process;
  QByteArray output;
  bool ready = false;
};

class OnTheLine : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    link = dir.filePath(QStringLiteral("ttySIM"));
  }
  void OpenWindow(int slaves) {
    form = std::make_unique<TForm1>();
    form->ComPort->SetPort(link);
    form->ComPort->SetBaudRate(serial::br115200);
    SetSlaveCount(slaves);
    form->suiButton2Click(form->suiButton2);
  }
  bool Lit(int a) const { return Led(a)->Checked(); }

  QString link;
};

}  // namespace

TEST_F(OnTheLine, TenSlavesAnswerAndFaultsOnTheLineNeitherStopNorFreezeThePolling) {
  Simulator sim(link);
  ASSERT_TRUE(sim.ready);
  OpenWindow(10);
  ASSERT_TRUE(ProcessUntil([&] { return Count(1) >= 40; }, 10000));
  EXPECT_EQ(Count(3), 0);
  // Fixed registers: register r of slave a holds 100 (a - 1) + r + 1.
  for (int a : {1, 5, 10}) {
    EXPECT_EQ(Display(a, 0), 100 * (a - 1) + 1) << a;
    EXPECT_EQ(Display(a, 2), 100 * (a - 1) + 3) << a;
    EXPECT_TRUE(Lit(a)) << a;
  }
  EXPECT_TRUE(form->mm1->Text().startsWith(QStringLiteral("Tx-")));
  EXPECT_TRUE(form->mm1->Text().contains(QStringLiteral("> 01 03 00 00 00 03 05 CB")));

  // A silent slave goes dark and counts errors; the others go on.
  ASSERT_TRUE(sim.Command(QStringLiteral("silent 3")));
  ASSERT_TRUE(ProcessUntil([&] { return Count(3) >= 2; }, 5000));
  EXPECT_FALSE(Lit(3));
  EXPECT_TRUE(Lit(4));
  ASSERT_TRUE(sim.Command(QStringLiteral("speak 3")));
  ASSERT_TRUE(ProcessUntil([&] { return Lit(3); }, 5000));

  for (const char* fault : {"garbage 40", "pieces 1 3,4,4 5ms", "badcrc 2 3", "foreign 3 200",
                            "flood 150", "midframe 4", "exception 1 2", "foreign 2 0"}) {
    ASSERT_TRUE(sim.Command(QString::fromLatin1(fault))) << fault;
    const int sent = Count(1);
    ASSERT_TRUE(ProcessUntil([&] { return Count(1) >= sent + 12; }, 10000)) << fault;
    ASSERT_TRUE(sim.Command(QStringLiteral("clear")));
  }
  // Once the faults are gone, every slave answers again.
  const int errors = Count(3);
  const int sent = Count(1);
  ASSERT_TRUE(ProcessUntil([&] { return Count(1) >= sent + 20; }, 10000));
  EXPECT_LE(Count(3), errors + 2);
  EXPECT_TRUE(form->mm1->Text().contains(QStringLiteral("CRC错误")));

  form->suiButton3Click(form->suiButton3);
  ASSERT_TRUE(ProcessUntil([&] { return !form->ComPort->Connected(); }, 2000));
  EXPECT_TRUE(messages.isEmpty());
}

// The far end goes away while a request waits for its answer, and a new one is made later
// under the same link name.
TEST_F(OnTheLine, ALostLineIsToldAtOnceWaitedForQuietlyAndResumedUnderTheSameName) {
  auto sim = std::make_unique<Simulator>(link);
  ASSERT_TRUE(sim->ready);
  OpenWindow(2);
  ASSERT_TRUE(ProcessUntil([&] { return Count(1) >= 4; }, 10000));
  ASSERT_TRUE(sim->Command(QStringLiteral("silent 1-10")));
  const int before = Count(1);
  ASSERT_TRUE(ProcessUntil([&] { return Count(1) > before; }, 2000));
  const int sent = Count(1), errors = Count(3);
  sim.reset();
  // Told by the port before the waiting request's time-out.
  ASSERT_TRUE(ProcessUntil([&] { return Lines(kGone) == 1; }, 2000));
  EXPECT_EQ(Count(3), errors);
  EXPECT_TRUE(form->stat1->PanelText(4).endsWith(QStringLiteral("串口已断开，等待重新连接")));
  ASSERT_TRUE(ProcessUntil([&] { return Count(3) == errors + 1; }, 2000));

  const double cpu = CpuSeconds();
  ProcessFor(1500);
  EXPECT_LT(CpuSeconds() - cpu, 0.15) << "nothing may spin while the line is gone";
  EXPECT_EQ(Count(1), sent);
  EXPECT_EQ(Count(3), errors + 1);
  EXPECT_EQ(Lines(kGone), 1);
  EXPECT_FALSE(form->ComPort->Connected());

  sim = std::make_unique<Simulator>(link);
  ASSERT_TRUE(sim->ready);
  QElapsedTimer back;
  back.start();
  ASSERT_TRUE(ProcessUntil([&] { return Lines(kBack) == 1; }, 3000));
  EXPECT_LT(back.elapsed(), 1000);
  ASSERT_TRUE(ProcessUntil([&] { return Count(1) >= sent + 6 && Lit(1) && Lit(2); }, 5000));
  EXPECT_EQ(Count(3), errors + 1);
  EXPECT_EQ(form->stat1->PanelText(4), link + QStringLiteral(" | "));
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(OnTheLine, AStopWhileTheLineIsGoneHoldsAndTheWindowClosesAtAnyMoment) {
  auto sim = std::make_unique<Simulator>(link);
  ASSERT_TRUE(sim->ready);
  OpenWindow(1);
  ASSERT_TRUE(ProcessUntil([&] { return Count(1) >= 2; }, 10000));
  sim.reset();
  ASSERT_TRUE(ProcessUntil([&] { return Lines(kGone) == 1; }, 2000));
  form->suiButton3Click(form->suiButton3);
  ASSERT_TRUE(ProcessUntil([&] { return !form->tmr1->Enabled(); }, 2000));
  const int sent = Count(1);
  sim = std::make_unique<Simulator>(link);
  ASSERT_TRUE(sim->ready);
  ProcessFor(1000);
  EXPECT_EQ(Lines(kBack), 0);
  EXPECT_FALSE(form->ComPort->Connected());
  EXPECT_EQ(Count(1), sent);

  // Started by hand, it polls again from the start.
  form->suiButton2Click(form->suiButton2);
  ASSERT_TRUE(ProcessUntil([&] { return Count(1) >= 2 && Lit(1); }, 5000));
  EXPECT_EQ(Lines(kBack), 0);

  // The window closes right as the loss is told, and while the name is being tried again.
  for (int wait : {0, 700}) {
    if (!sim) sim = std::make_unique<Simulator>(link);
    if (!form) OpenWindow(1);
    ASSERT_TRUE(ProcessUntil([&] { return Count(1) >= 2; }, 5000));
    sim.reset();
    ASSERT_TRUE(ProcessUntil([&] { return Lines(kGone) == 1; }, 2000));
    ProcessFor(wait);
    QElapsedTimer closing;
    closing.start();
    EXPECT_TRUE(form->close());
    form.reset();
    EXPECT_LT(closing.elapsed(), 500) << wait;
  }
  EXPECT_TRUE(messages.isEmpty());
}
