// Each slave panel's figures: one short line right of its lamp, redrawn at most ten times a
// second while the poll cycle runs, and the full figures in the panel's tooltip.
#include "app/main_window.h"

#include <QHelpEvent>
#include <QLabel>
#include <QTimer>
#include <QToolTip>

namespace app {

namespace {

// Writes a panel's tooltip when it is asked for, from the figures of that moment.
class TipOnDemand : public QObject {
 public:
  TipOnDemand(TForm1& form, int n) : QObject(&form), form_(form), n_(n) {}
  bool eventFilter(QObject* box, QEvent* event) override {
    if (event->type() != QEvent::ToolTip) return false;
    const QString tip = form_.StatsTip(n_);
    if (tip.isEmpty())
      QToolTip::hideText();
    else
      QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip,
                         static_cast<QWidget*>(box));
    return true;
  }

 private:
  TForm1& form_;
  int n_;
};

}  // namespace

QString TForm1::StatsTip(int n) const {
  const SlaveFigures& figures = stats_.Of(n);
  return n <= SlaveCount && figures.requests ? TSlaveStats::Detail(n, figures) : QString();
}

void TForm1::CreateStatsLines() {
  for (int n = 1; n <= 10; ++n) {
    auto box = FindComponent<QWidget>(QStringLiteral("sgrpbx%1").arg(n));
    box->installEventFilter(new TipOnDemand(*this, n));
    // The free strip right of the lamp, below the third row of entries and buttons.
    auto line = new QLabel(box);
    line->setObjectName(QStringLiteral("lblStats%1").arg(n));
    line->setGeometry(128, 139, 209, 18);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    line->setFont(font);
    line->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    line->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Opaque: a new figure redraws the line alone, not the skinned panel under it.
    line->setAutoFillBackground(true);
    line->setVisible(false);
    statsLines_[size_t(n)] = line;
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
    QLabel* line = statsLines_[size_t(n)];
    const QString text = used ? TSlaveStats::Line(stats_.Of(n)) : QString();
    if (line->text() != text) line->setText(text);
    line->setVisible(used && !text.isEmpty());
  }
}

}  // namespace app
