#include "framework/fonts.h"
#include "serial/com_error.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zt-modbus-k"));
  framework::RegisterFontSubstitutes();
  serial::InitComErrorTexts();

  QWidget window;
  window.setWindowTitle(QStringLiteral("ZT_DEZAVA_K55_V1.0   通讯功能测试"));
  window.resize(800, 600);
  window.show();
  return app.exec();
}
