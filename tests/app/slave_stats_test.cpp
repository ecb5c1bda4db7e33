// The per-slave figures the poll cycle keeps, driven tick by tick on the recording device:
// slave 2 answers the way each case says, slave 1 always answers.
#include "form_test.h"
#include "skin/group_box.h"
#include "wait.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QHelpEvent>
#include <QLabel>
#include <QToolTip>

#include <functional>
#include <thread>

using namespace app;

namespace {

// Requests, answered, missed, CRC errors, exceptions, the last exception code, foreign answers.
using Expected = std::tuple<int64_t, int64_t, int64_t, int64_t, int64_t, int, int64_t>;

Expected Figures(const SlaveFigures& f) {
  return {f.requests, f.answered, f.missed, f.crcErrors, f.exceptions, f.lastException, f.foreign};
}

class SlaveStats : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    OpenOnRecordingLine();
    SetSlaveCount(2);
  }
};

}  // namespace

TEST_F(SlaveStats, CountEachWayASlaveAnswersOrNot) {
  using Bytes = std::vector<std::vector<uint8_t>>;
  // The byte groups slave 2 sends in round r (each one receive event; none: silent), and the
  // figures they come to.
  const std::tuple<const char*, std::function<Bytes(int r)>, Expected> cases[] = {
      {"misses every other", [](int r) { return r % 2 ? Bytes{} : Bytes{ReadAnswer(2, r, 0, 0)}; },
       {8, 4, 4, 0, 0, 0, 0}},
      {"bad CRCs", [](int r) { return Bytes{BadCrc(ReadAnswer(2, r, 0, 0))}; },
       {8, 0, 8, 8, 0, 0, 0}},
      {"exception answers, in pieces",
       [](int r) {
         const auto e = WithCrc({2, 0x83, uint8_t(r < 7 ? 2 : 4)});
         return Bytes{{e.begin(), e.begin() + 2}, {e.begin() + 2, e.end()}, {0xFF}};
       },
       {8, 0, 8, 0, 8, 4, 0}},
      {"answers for another address", [](int r) { return Bytes{ReadAnswer(7, r, 0, 0)}; },
       {8, 0, 0, 0, 0, 0, 8}},
      {"answers twice", [](int r) { return Bytes{ReadAnswer(2, r, 0, 0), ReadAnswer(2, r, 0, 0)}; },
       {8, 8, 0, 0, 0, 0, 0}},
  };
  for (const auto& [name, answer, slave2] : cases) {
    SCOPED_TRACE(name);
    Start();
    for (int r = 0; r < 8; ++r) {
      EXPECT_EQ(Tick()[0], 2);
      for (const auto& bytes : answer(r)) Answer(bytes);
      EXPECT_EQ(Tick()[0], 1);
      Answer(ReadAnswer(1, r, 0, 0));
    }
    form->suiButton3Click(form->suiButton3);
    Tick();  // the stopping tick, with nothing outstanding
    EXPECT_EQ(Figures(form->Stats().Of(1)), (Expected{8, 8, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Figures(form->Stats().Of(2)), slave2);
    // The time-outs add up to Er=.
    EXPECT_EQ(Count(3), std::get<2>(slave2));
    EXPECT_EQ(Figures(form->Stats().Of(7)), Expected{});  // no panel asked it
  }
}

TEST_F(SlaveStats, PanelsInUseShowTheirFiguresDisabledOnesNothingAndStartClearsThem) {
  SetSlaveCount(3);
  auto label = [this](int n) {
    return form->FindComponent<QLabel>(QStringLiteral("lblStats%1").arg(n));
  };
  // What hovering over the panel shows.
  auto tip = [this](int n) {
    auto box = form->FindComponent<skin::TsuiGroupBox>(QStringLiteral("sgrpbx%1").arg(n));
    for (QWidget* shown : QApplication::topLevelWidgets())  // the last tip, gone at once
      if (shown->inherits("QTipLabel")) shown->hide();
    QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), box->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(box, &hover);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
  };
  form->show();
  Start();
  for (int r = 0; r < 6; ++r) {
    const int address = Tick()[0];
    if (address == 1) Answer(BadCrc(ReadAnswer(1, 0, 0, 0)));
    if (address == 2 && r == 0) std::this_thread::sleep_for(std::chrono::milliseconds(30));
    if (address == 2) Answer(ReadAnswer(2, 0, 0, 0));
  }
  // Each answer timed from the end of its own request's write.
  EXPECT_GE(form->Stats().Of(2).maxUs, 30000);
  EXPECT_LT(form->Stats().Of(2).minUs, 30000);
  Tick();
  // Shown by the panels' own timer, not at each answer.
  EXPECT_TRUE(label(2)->text().isEmpty());
  ASSERT_TRUE(testing_support::ProcessUntil([&] { return !label(2)->text().isEmpty(); }));
  EXPECT_TRUE(label(2)->text().startsWith(QStringLiteral("2 ok  0 lost  ")));
  EXPECT_EQ(label(1)->text(), QStringLiteral("0 ok  2 lost"));
  EXPECT_TRUE(tip(1).contains(QStringLiteral("CRC errors: 2"))) << tip(1).toStdString();
  EXPECT_TRUE(tip(2).contains(QStringLiteral("Response time (ms): last ")));

  // Fewer slaves: the disabled panel loses its line and tooltip at once.
  SetSlaveCount(2);
  EXPECT_FALSE(label(3)->isVisible());
  EXPECT_TRUE(tip(3).isEmpty());
  // The line sits in the free strip right of the lamp, clear of every other control.
  auto box = form->FindComponent<skin::TsuiGroupBox>(QStringLiteral("sgrpbx2"));
  for (QWidget* other : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (other == label(2)) continue;
    EXPECT_FALSE(other->geometry().intersects(label(2)->geometry()))
        << other->objectName().toStdString();
  }
  EXPECT_TRUE(box->rect().contains(label(2)->geometry()));

  // Start clears them all, as it clears Tx= and Er=.
  form->suiButton3Click(form->suiButton3);
  Tick();
  Start();
  EXPECT_EQ(std::tuple_cat(Figures(form->Stats().Of(2)), std::tuple(form->Stats().Of(2).maxUs)),
            std::tuple_cat(Expected{}, std::tuple(int64_t(0))));
  EXPECT_FALSE(label(2)->isVisible());
}

TEST_F(SlaveStats, TheTableOpensWithItsShortcutAndCopiesAsText) {
  form->show();
  QApplication::setActiveWindow(form.get());
  Start();
  Tick();  // slave 2: silent
  Tick();
  Answer(ReadAnswer(1, 0, 0, 0));
  Tick();
  QTest::keyClick(form.get(), Qt::Key_T, Qt::ControlModifier);
  auto dialog = form->FindComponent<QDialog>(QStringLiteral("dlgStats"));
  ASSERT_TRUE(dialog);
  EXPECT_EQ(dialog->findChild<QTableWidget*>()->rowCount(), 2);
  for (QPushButton* button : dialog->findChildren<QPushButton*>())
    if (button->text() == QStringLiteral("Copy as text")) button->click();
  const QStringList rows = QApplication::clipboard()->text().split(u'\n');
  ASSERT_EQ(rows.size(), 4);  // header, two slaves, the closing line break
  EXPECT_TRUE(rows[1].startsWith(QStringLiteral("1\t1\t1\t0\t0\t0\t0\t0\t"))) << rows[1].toStdString();
  EXPECT_EQ(rows[2], QStringLiteral("2\t2\t0\t1\t0\t0\t0\t0\t\t\t\t"));
  QTest::keyClick(form.get(), Qt::Key_T, Qt::ControlModifier);  // still the one window
  EXPECT_EQ(form->findChildren<QDialog*>(QStringLiteral("dlgStats")).size(), 1);
}

// An answer to a request whose write failed is counted but not timed: it must not pull the mean
// down or hold the minimum at zero.
TEST(SlaveStatsTimes, OnlyAnswersWithAKnownWriteEndAreTimed) {
  using namespace std::chrono_literals;
  TSlaveStats stats;
  const TSlaveStats::Clock::time_point t0{};
  stats.Sent(3);
  stats.Answered(3, t0 + 1s);
  for (const auto us : {4000us, 6000us}) {
    stats.Sent(3);
    stats.Written(t0);
    stats.Answered(3, t0 + us);
  }
  const SlaveFigures& f = stats.Of(3);
  EXPECT_EQ(std::tuple(f.answered, f.timed, f.lastUs, f.MeanUs(), f.minUs, f.maxUs),
            std::tuple(int64_t(3), int64_t(2), int64_t(6000), int64_t(5000), int64_t(4000),
                       int64_t(6000)));
  EXPECT_EQ(TSlaveStats::Line(f), QStringLiteral("3 ok  0 lost  5.0 ms"));
}
