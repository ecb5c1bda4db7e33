// The main window in a test: its settings in a scratch folder, its error reports collected,
// and on the recording device (OpenOnRecordingLine) ticks and answers handed over by the test.
#pragma once

#include "app/main_window.h"
#include "app/modbus_frames.h"
#include "app/status_bar.h"
#include "framework/guard.h"
#include "instruments/integer_output.h"
#include "instruments/led/ab_led.h"
#include "instruments/seven_segment_display.h"
#include "platform/recording_serial_device.h"
#include "platform/registry.h"
#include "skin/button.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace app {

// What the monitor says when the line goes away and when it is back.
inline const QString kGone = QStringLiteral("串口已断开");
inline const QString kBack = QStringLiteral("串口已恢复");

inline std::vector<uint8_t> WithCrc(std::vector<uint8_t> frame) {
  uint16_t crc = 0xFFFF;
  Crc16Update(frame.data(), uint16_t(frame.size()), crc);
  frame.push_back(uint8_t(crc));
  frame.push_back(uint8_t(crc >> 8));
  return frame;
}

// The frame with its last CRC byte spoilt.
inline std::vector<uint8_t> BadCrc(std::vector<uint8_t> frame) {
  frame.back() ^= 0x5A;
  return frame;
}

inline std::vector<uint8_t> ReadAnswer(int address, int r0, int r1, int r2) {
  return WithCrc({uint8_t(address), 3, 6, uint8_t(r0 >> 8), uint8_t(r0), uint8_t(r1 >> 8),
                  uint8_t(r1), uint8_t(r2 >> 8), uint8_t(r2)});
}

class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetRegistryFilePath(dir.filePath(QStringLiteral("registry.reg")));
    previous = framework::SetExceptionReporter([this](const QString& m) { messages << m; });
  }
  void TearDown() override {
    form.reset();
    Polling = false;
    framework::SetExceptionReporter(previous);
    platform::SetRegistryFilePath(QString());
  }

  void OpenOnRecordingLine() {
    form = std::make_unique<TForm1>();
    form->ComPort->SetDeviceOpener(line.Opener());
    form->ComPort->SetEvents({});
    form->ComPort->SetPort(QStringLiteral("COM1"));
  }
  void Start() {
    form->suiButton2Click(form->suiButton2);
    form->tmr1->SetEnabled(false);
  }
  // One tick; returns the request it wrote.
  std::vector<uint8_t> Tick() {
    form->tmr1Timer(form->tmr1);
    return line.TakeWritten();
  }
  void Answer(const std::vector<uint8_t>& bytes) {
    line.Inject(bytes);
    form->ComPortRxChar(form->ComPort, int(bytes.size()));
  }
  void SetSlaveCount(int count) {
    form->intgrtpt2->SetValue(count);
    form->btn1Click(form->btn1);
  }

  int Count(int panel) const { return form->stat1->PanelText(panel).toInt(); }
  int Display(int a, int k) const {
    return form->FindComponent<instruments::TiSevenSegmentInteger>(
                    QStringLiteral("isvnsgmntntgrA%1D%2").arg(a).arg(k))
        ->Value();
  }
  instruments::TAbLED* Led(int a) const {
    return form->FindComponent<instruments::TAbLED>(QStringLiteral("abld%1").arg(a));
  }
  QStringList MonitorLines() const { return form->mm1->Text().split(u'\n'); }
  // Monitor lines holding `text`.
  int Lines(const QString& text) const { return int(MonitorLines().filter(text).size()); }

  QTemporaryDir dir;
  platform::RecordingLine line;
  std::unique_ptr<TForm1> form;
  QStringList messages;
  framework::ExceptionReporter previous;
};

}  // namespace app
