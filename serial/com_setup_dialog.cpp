#include "serial/com_setup_dialog.h"

#include "serial/com_port.h"

#include <QGuiApplication>
#include <QScreen>

#include <memory>

namespace serial {

namespace {

SetupDialogRunner& Runner() {
  static SetupDialogRunner runner;
  return runner;
}

DialogTranslator& Translator() {
  static DialogTranslator translator;
  return translator;
}

// The combo box's property, in the order of the lists.
const TComProperty comboProperties[6] = {cpPort, cpBaudRate, cpDataBits,
                                         cpStopBits, cpParity, cpFlowControl};
const char* const labelTexts[6] = {"Port", "Baud rate", "Data bits",
                                   "Stop bits", "Parity", "Flow control"};

}  // namespace

void SetDialogTranslator(DialogTranslator translator) { Translator() = std::move(translator); }

SetupDialogRunner SetSetupDialogRunner(SetupDialogRunner runner) {
  SetupDialogRunner previous = std::move(Runner());
  Runner() = std::move(runner);
  return previous;
}

TComSetupFrm::TComSetupFrm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ComSetupFrm"));
  setWindowTitle(QStringLiteral("Setup"));
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPointSize(8);
  setFont(font);
  setFixedSize(231, 216);

  GroupBox1 = new QGroupBox(QStringLiteral(" Settings "), this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  GroupBox1->setGeometry(8, 8, 217, 169);
  for (int i = 0; i < 6; ++i) {
    Labels[i] = new QLabel(QString::fromLatin1(labelTexts[i]), GroupBox1);
    Labels[i]->setObjectName(QStringLiteral("Label%1").arg(i + 1));
    Labels[i]->move(8, 24 + 24 * i);
    Labels[i]->adjustSize();
    Combos[i] = new TComComboBox(GroupBox1);
    Combos[i]->setObjectName(QStringLiteral("Combo%1").arg(i + 1));
    Combos[i]->setGeometry(80, 16 + 24 * i, 129, 21);
    Combos[i]->SetComProperty(comboProperties[i]);
    Labels[i]->setBuddy(Combos[i]);
  }
  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(70, 184, 75, 25);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
  Button2 = new QPushButton(QStringLiteral("Cancel"), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(150, 184, 75, 25);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

  for (int i = 0; i + 1 < 6; ++i) setTabOrder(Combos[i], Combos[i + 1]);
  setTabOrder(Combos[5], Button1);
  setTabOrder(Button1, Button2);

  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  // The combo boxes' items are values, not words: they stay as they are.
  if (Translator())
    Translator()(this,
                 {QStringLiteral("Combo1"), QStringLiteral("Combo2"), QStringLiteral("Combo3"),
                  QStringLiteral("Combo4"), QStringLiteral("Combo5"), QStringLiteral("Combo6")},
                 QStringLiteral("cport"));
}

void TCustomComPort::RunSetupDialog() {
  auto dialog = std::make_unique<TComSetupFrm>();
  for (TComComboBox* combo : dialog->Combos) combo->SetComPort(this);
  for (TComComboBox* combo : dialog->Combos) combo->ReadFromPort();
  const bool ok = Runner() ? Runner()(*dialog) : dialog->exec() == QDialog::Accepted;
  if (!ok) return;
  BeginBatch();
  try {
    for (TComComboBox* combo : dialog->Combos) combo->ApplyToPort();
  } catch (...) {
    EndBatch();
    throw;
  }
  EndBatch();
}

}  // namespace serial
