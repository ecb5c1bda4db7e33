// How much the instrument controls cost: one register display drawn into its off-screen
// picture, one entry field, and the GUI thread's share of a core while thirty shown displays
// take 500 new values a second.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGridLayout>
#include <QTimer>
#include <ctime>
#include <memory>
#include <vector>

#include "framework/fonts.h"
#include "framework/timer.h"
#include "instruments/integer_output.h"
#include "instruments/seven_segment_display.h"

using namespace instruments;

namespace {

void MakeRegisterDisplay(TiSevenSegmentInteger& display) {
  display.SetShowSign(false);
  display.SetDigitCount(5);
}

void BM_DrawRegisterDisplay(benchmark::State& state) {
  TiSevenSegmentInteger display;
  MakeRegisterDisplay(display);
  int value = 0;
  for (auto _ : state) {
    display.SetValue(value = (value + 7919) % 65536);
    benchmark::DoNotOptimize(display.RenderContents().constBits());
  }
  state.counters["width"] = display.width();
  state.counters["height"] = display.height();
}
BENCHMARK(BM_DrawRegisterDisplay)->Unit(benchmark::kMicrosecond);

void BM_DrawEntryField(benchmark::State& state) {
  TiIntegerOutput field;
  field.SetBounds(0, 0, 65, 31);
  field.Font()->SetName(QStringLiteral("Courier New"));
  field.Font()->SetHeight(-21);
  field.SetValueMax(999);
  int value = 0;
  for (auto _ : state) {
    field.SetValue(value = (value + 37) % 1000);
    benchmark::DoNotOptimize(field.RenderContents().constBits());
  }
}
BENCHMARK(BM_DrawEntryField)->Unit(benchmark::kMicrosecond);

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Thirty shown displays and a timer ticking every 2 ms for two seconds. state.range(0):
// 0 every display written at each tick, designed settings (no frame-rate limit);
// 1 the same, limited to 60 repaints a second;
// 2 the timer alone, no writes (the cost of waking 500 times a second);
// 3 one display written at each tick, in turn (500 writes a second in all), designed settings.
void BM_ThirtyDisplaysAt500Hz(benchmark::State& state) {
  const bool limited = state.range(0) == 1;
  const bool writes = state.range(0) != 2;
  const bool inTurn = state.range(0) == 3;
  for (auto _ : state) {
    QWidget window;
    auto* grid = new QGridLayout(&window);
    std::vector<TiSevenSegmentInteger*> displays;
    for (int i = 0; i < 30; ++i) {
      auto* display = new TiSevenSegmentInteger(&window);
      MakeRegisterDisplay(*display);
      display->SetAutoFrameRate(limited);
      display->setFixedSize(84, 28);
      grid->addWidget(display, i / 3, i % 3);
      displays.push_back(display);
    }
    window.show();
    QCoreApplication::processEvents();
    int paints = 0;
    for (TiSevenSegmentInteger* display : displays)
      display->OnAfterPaint = [&](QObject*, QPainter&) { ++paints; };
    framework::TTimer writer;
    writer.SetInterval(2);
    int value = 0;
    int ticks = 0;
    writer.OnTimer = [&](QObject*) {
      ++ticks;
      if (!writes) return;
      if (inTurn) {
        displays[size_t(ticks) % displays.size()]->SetValue(value = (value + 1) % 65536);
        return;
      }
      for (TiSevenSegmentInteger* display : displays)
        display->SetValue(value = (value + 1) % 65536);
    };
    QEventLoop loop;
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    QElapsedTimer wall;
    wall.start();
    const double cpuStart = ThreadCpuSeconds();
    loop.exec();
    const double cpu = ThreadCpuSeconds() - cpuStart;
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    writer.SetEnabled(false);
    state.counters["gui_cpu_percent"] = 100.0 * cpu / seconds;
    state.counters["ticks_per_s"] = ticks / seconds;
    state.counters["paints_per_s_all"] = paints / seconds;
  }
}
BENCHMARK(BM_ThirtyDisplaysAt500Hz)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  framework::RegisterFontSubstitutes();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
