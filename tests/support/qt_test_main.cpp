// GoogleTest main for suites that need a QApplication (widgets, timers, the GUI thread).
#include "framework/fonts.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  // The offscreen platform's own screen (800 × 800) cannot hold the main window; the suites
  // get a 1920 × 1080 one unless the environment names a screen of its own.
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (platform.isEmpty() || platform == "offscreen")
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" ZT_TEST_SCREENS "/1920x1080.json");
  QApplication app(argc, argv);
  framework::RegisterFontSubstitutes();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
