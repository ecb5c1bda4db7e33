// The main window on screens of every size: it opens inside the screen, every command can be
// scrolled to and clicked, and the status bar stays on the bottom edge. CTest runs this suite
// once per screen (1920 × 1080, 1366 × 768, 1280 × 720, and 1920 × 1080 scaled by 1.25 and 1.5).
#include "app/main_window.h"
#include "app/status_bar.h"
#include "instruments/integer_output.h"
#include "platform/registry.h"
#include "skin/button.h"

#include <QApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace app;

namespace {

class Screen : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetRegistryFilePath(dir.filePath(QStringLiteral("registry.reg")));
    form = std::make_unique<TForm1>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QApplication::processEvents();
  }
  void TearDown() override {
    form.reset();
    platform::SetRegistryFilePath(QString());
  }

  QRect Available() const { return form->screen()->availableGeometry(); }
  bool HoldsTheWindow() const {
    const QMargins frame = form->windowHandle()->frameMargins();
    return Available().width() >= TForm1::ClientWidth + frame.left() + frame.right() &&
           Available().height() >= TForm1::ClientHeight + frame.top() + frame.bottom();
  }
  // Scrolls the control into view as a user would, then clicks its middle where the window
  // shows it on the screen.
  void ScrollToAndClick(QWidget* control) {
    form->ClientArea()->ensureWidgetVisible(control, 0, 0);
    QApplication::processEvents();
    const QRect inView(control->mapTo(form.get(), QPoint()), control->size());
    const std::string name = control->objectName().toStdString();
    ASSERT_TRUE(form->ClientArea()->geometry().contains(inView)) << name;
    ASSERT_EQ(form->childAt(inView.center()), control) << name;
    ASSERT_TRUE(Available().contains(inView.translated(form->mapToGlobal(QPoint()))));
    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, inView.center());
  }

  QTemporaryDir dir;
  std::unique_ptr<TForm1> form;
};

TEST_F(Screen, TheWindowOpensInsideTheAvailableArea) {
  EXPECT_TRUE(Available().contains(form->frameGeometry()))
      << "frame " << form->frameGeometry().x() << "," << form->frameGeometry().y() << " "
      << form->frameGeometry().width() << "x" << form->frameGeometry().height();
  if (HoldsTheWindow()) {
    // Nothing to scroll: the designed client, the designed places.
    EXPECT_EQ(form->size(), QSize(TForm1::ClientWidth, TForm1::ClientHeight));
    EXPECT_FALSE(form->ClientArea()->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(form->ClientArea()->verticalScrollBar()->isVisible());
    EXPECT_EQ(form->suiButton1->mapTo(form.get(), QPoint()), QPoint(24, 24));
    EXPECT_EQ(form->mm1->mapTo(form.get(), QPoint()), QPoint(16, 472));
  } else {
    EXPECT_TRUE(form->ClientArea()->horizontalScrollBar()->isVisible() ||
                form->ClientArea()->verticalScrollBar()->isVisible());
  }
}

TEST_F(Screen, EveryCommandCanBeReachedAndClicked) {
  form->intgrtpt2->SetValue(10);
  form->btn1Click(form->btn1);
  int settings = 0, starts = 0;
  form->suiButton1->OnClick = [&](QObject*) { ++settings; };
  form->suiButton2->OnClick = [&](QObject*) { ++starts; };
  ScrollToAndClick(form->suiButton1);
  ScrollToAndClick(form->suiButton2);
  EXPECT_EQ(settings, 1);
  EXPECT_EQ(starts, 1);
  // Last slave first: the view has to travel to the far corner and back.
  for (int n = 10; n >= 1; --n) {
    for (int k = 0; k < 3; ++k) {
      form->PendingWrite = 0;
      ScrollToAndClick(form->FindComponent<skin::TsuiButton>(QStringLiteral("btnA%1D%2").arg(n).arg(k)));
      EXPECT_EQ(std::tuple(form->PendingWrite, form->WriteAddress, form->WriteRegister),
                std::tuple(2, n, k));
    }
  }
}

TEST_F(Screen, TabBringsTheNextFieldIntoView) {
  form->intgrtpt2->SetValue(10);
  form->btn1Click(form->btn1);
  form->FindComponent<skin::TsuiButton>(QStringLiteral("btnA4D2"))->setFocus(Qt::TabFocusReason);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QWidget* next = QApplication::focusWidget();
  ASSERT_EQ(next->objectName(), QStringLiteral("intgrtptA5D0"));  // the far column
  EXPECT_TRUE(form->ClientArea()->geometry().contains(
      QRect(next->mapTo(form.get(), QPoint()), next->size())));
}

TEST_F(Screen, TheStatusBarIsShownOnTheBottomEdge) {
  const QRect onScreen(form->stat1->mapToGlobal(QPoint()), form->stat1->size());
  EXPECT_TRUE(Available().contains(onScreen));
  EXPECT_EQ(form->stat1->visibleRegion(), QRegion(form->stat1->rect()));
  for (const QSize size : {QSize(270, 50), QSize(640, 480), QSize(1366, 768), QSize(1782, 788),
                           QSize(1920, 1080), QSize(2560, 1440)}) {
    form->resize(size);
    QApplication::processEvents();
    const int height = form->height();  // the platform may cap a window at the screen
    EXPECT_EQ(form->stat1->geometry(),
              QRect(0, height - TForm1::StatusHeight, form->width(), TForm1::StatusHeight))
        << size.width() << "x" << size.height();
    EXPECT_EQ(form->ClientArea()->geometry(),
              QRect(0, 0, form->width(), height - TForm1::StatusHeight));
  }
}

}  // namespace
