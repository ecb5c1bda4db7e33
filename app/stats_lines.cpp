// Each slave panel's figures: one short line right of its lamp and the full figures in the
// panel's tooltip, redrawn at most ten times a second while the poll cycle runs.
#include "app/main_window.h"

#include "skin/group_box.h"

#include <QLabel>
#include <QTimer>

namespace app {

namespace {

QLabel* StatsLine(const TForm1& form, int n) {
  return form.FindComponent<QLabel>(QStringLiteral("lblStats%1").arg(n));
}

}  // namespace

void TForm1::CreateStatsLines() {
  for (int n = 1; n <= 10; ++n) {
    auto box = FindComponent<skin::TsuiGroupBox>(QStringLiteral("sgrpbx%1").arg(n));
    // The free strip right of the lamp, below the third row of entries and buttons.
    auto line = new QLabel(box);
    line->setObjectName(QStringLiteral("lblStats%1").arg(n));
    line->setGeometry(128, 139, 209, 18);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    line->setFont(font);
    line->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    line->setAttribute(Qt::WA_TransparentForMouseEvents);
    line->setVisible(false);
  }
  statsTimer_ = new QTimer(this);
  statsTimer_->setInterval(StatsInterval);
  connect(statsTimer_, &QTimer::timeout, this, [this] {
    ShowStats();
    if (!ComPort->Connected() && !Polling) statsTimer_->stop();
  });
}

void TForm1::ShowStats() {
  for (int n = 1; n <= 10; ++n) {
    const bool used = n <= SlaveCount;
    const SlaveFigures& figures = stats_.Of(n);
    QLabel* line = StatsLine(*this, n);
    const QString text = used ? TSlaveStats::Line(figures) : QString();
    if (line->text() != text) line->setText(text);
    line->setVisible(used && !text.isEmpty());
    auto box = FindComponent<skin::TsuiGroupBox>(QStringLiteral("sgrpbx%1").arg(n));
    const QString tip = used && figures.requests ? TSlaveStats::Detail(n, figures) : QString();
    if (box->toolTip() != tip) box->setToolTip(tip);
  }
}

}  // namespace app
