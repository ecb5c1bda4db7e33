// The figures of all slaves in use as a table, opened from the monitor's context menu or with
// Ctrl+T, kept up to date while it is open and copied as tab-separated text.
#include "app/main_window.h"

#include "framework/line_memo.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace app {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("SlaveStats", text); }

void Fill(QTableWidget& table, const QString& text) {
  const QStringList rows = text.trimmed().split(u'\n');
  table.setColumnCount(int(rows[0].split(u'\t').size()));
  table.setHorizontalHeaderLabels(rows[0].split(u'\t'));
  table.setRowCount(int(rows.size()) - 1);
  for (int r = 1; r < rows.size(); ++r) {
    const QStringList cells = rows[r].split(u'\t');
    for (int c = 0; c < cells.size(); ++c) {
      auto item = table.item(r - 1, c);
      if (!item) table.setItem(r - 1, c, item = new QTableWidgetItem);
      item->setText(cells[c]);
    }
  }
}

}  // namespace

void TForm1::CreateStatsTable() {
  mm1->OnContextMenu = [this](QMenu& menu) {
    menu.addAction(Tr("Slave statistics..."), QKeySequence(Qt::CTRL | Qt::Key_T), this,
                   &TForm1::ShowStatsTable);
  };
  auto shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), this);
  connect(shortcut, &QShortcut::activated, this, &TForm1::ShowStatsTable);
}

void TForm1::ShowStatsTable() {
  if (auto open = findChild<QDialog*>(QStringLiteral("dlgStats"))) {
    open->raise();
    open->activateWindow();
    return;
  }
  auto dialog = new QDialog(this);
  dialog->setObjectName(QStringLiteral("dlgStats"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(Tr("Slave statistics since start"));
  auto table = new QTableWidget(dialog);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->verticalHeader()->hide();
  auto buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
  QPushButton* copy = buttons->addButton(Tr("Copy as text"), QDialogButtonBox::ActionRole);
  connect(copy, &QPushButton::clicked, dialog,
          [this] { QApplication::clipboard()->setText(stats_.Table(SlaveCount)); });
  connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
  auto layout = new QVBoxLayout(dialog);
  layout->addWidget(table);
  layout->addWidget(buttons);
  auto refresh = [this, table] { Fill(*table, stats_.Table(SlaveCount)); };
  refresh();
  table->resizeColumnsToContents();
  auto timer = new QTimer(dialog);
  connect(timer, &QTimer::timeout, dialog, refresh);
  timer->start(500);
  dialog->resize(1000, 360);
  dialog->show();
}

}  // namespace app
