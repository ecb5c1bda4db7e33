#include "app/main_window.h"
#include "framework/fonts.h"
#include "serial/com_error.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ZT_MODBUS_K"));
  framework::RegisterFontSubstitutes();
  serial::InitComErrorTexts();

  app::TForm1 window;
  window.show();
  return application.exec();
}
