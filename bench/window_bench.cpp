// What the main window costs to draw: the whole window with ten slave panels and a full
// monitor, and the repaint after one answer has been shown (three displays, the LED, two
// monitor lines, the request count), as the poll cycle does it a few hundred times a second.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>

#include "app/main_window.h"
#include "app/status_bar.h"
#include "skin/button.h"
#include "framework/fonts.h"
#include "instruments/integer_output.h"
#include "instruments/led/ab_led.h"
#include "instruments/seven_segment_display.h"
#include "platform/registry.h"

namespace {

struct Window {
  QTemporaryDir dir;
  std::unique_ptr<app::TForm1> form;
  Window() {
    platform::SetRegistryFilePath(dir.filePath(QStringLiteral("registry.reg")));
    form = std::make_unique<app::TForm1>();
    form->intgrtpt2->SetValue(10);
    form->btn1Click(form->btn1);
    for (int i = 0; i < 2000; ++i)
      form->mm1->Append(QStringLiteral("Rx-07:081> 01 03 06 00 01 00 02 00 03 FD 74"));
    form->mm1->Refresh();
    form->show();
    QCoreApplication::processEvents();
  }
  template <typename T>
  T* Find(const QString& name) const {
    return form->FindComponent<T>(name);
  }
};

void BM_PaintWholeWindow(benchmark::State& state) {
  Window window;
  QImage image(window.form->size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    window.form->render(&image);
    benchmark::DoNotOptimize(image.constBits());
  }
  state.counters["width"] = window.form->width();
  state.counters["height"] = window.form->height();
}
BENCHMARK(BM_PaintWholeWindow)->Unit(benchmark::kMillisecond);

void BM_RepaintAfterOneAnswer(benchmark::State& state) {
  Window window;
  int n = 0;
  for (auto _ : state) {
    const int a = n % 10 + 1;
    for (int k = 0; k < 3; ++k)
      window.Find<instruments::TiSevenSegmentInteger>(QStringLiteral("isvnsgmntntgrA%1D%2").arg(a).arg(k))
          ->SetValue((n * 7 + k) % 65536);
    window.Find<instruments::TAbLED>(QStringLiteral("abld%1").arg(a))->SetStatusInt(n % 2);
    window.form->mm1->Append(QStringLiteral("Tx-07:045> 01 03 00 00 00 03 05 CB"));
    window.form->mm1->Append(QStringLiteral("Rx-07:081> 01 03 06 00 01 00 02 00 03 FD 74"));
    window.form->stat1->SetPanelText(1, QString::number(n));
    QCoreApplication::processEvents();
    ++n;
  }
}
BENCHMARK(BM_RepaintAfterOneAnswer)->Unit(benchmark::kMicrosecond);

// The monitor's repaint ten times a second: the lines of 100 ms of polling and one refresh.
void BM_MonitorRefresh(benchmark::State& state) {
  Window window;
  int n = 0;
  for (auto _ : state) {
    for (int i = 0; i < 17; ++i) {
      window.form->mm1->Append(QStringLiteral("Tx-07:045> 01 03 00 00 00 03 05 CB"));
      window.form->mm1->Append(QStringLiteral("Rx-07:081> %1 03 06 00 01 00 02 00 03 FD 74").arg(n++ % 100));
    }
    window.form->mm1->Refresh();
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_MonitorRefresh)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  // A screen that holds the whole window (the offscreen platform's own is 800 × 800).
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" ZT_SCREEN_1920x1080);
  QApplication application(argc, argv);
  framework::RegisterFontSubstitutes();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  platform::SetRegistryFilePath(QString());
  return 0;
}
