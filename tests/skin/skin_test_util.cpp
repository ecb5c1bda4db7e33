#include "skin_test_util.h"

#include <QTest>

namespace skin_test {

bool Form::ShowActive() {
  widget_->show();
  widget_->activateWindow();
  QApplication::setActiveWindow(widget_.get());
  return QTest::qWaitForWindowActive(widget_.get(), 2000);
}

}  // namespace skin_test
