// The port setup dialog: port, baud rate, data bits, stop bits, parity and flow control, each
// picked from a list; OK writes them into the port in one batch.
#pragma once

#include "serial/com_combo_box.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <array>
#include <functional>

namespace serial {

class TComSetupFrm : public QDialog {
  Q_OBJECT
 public:
  explicit TComSetupFrm(QWidget* parent = nullptr);

  QGroupBox* GroupBox1;
  std::array<QLabel*, 6> Labels;       // Label1 … Label6
  std::array<TComComboBox*, 6> Combos;  // Combo1 … Combo6
  QPushButton* Button1;                // OK
  QPushButton* Button2;                // Cancel
};

// How the dialog is shown: exec() unless a test puts its own runner in place (it returns
// whether the dialog was closed with OK). Returns the previous runner.
using SetupDialogRunner = std::function<bool(TComSetupFrm& dialog)>;
SetupDialogRunner SetSetupDialogRunner(SetupDialogRunner runner);

// Interface translation of the dialog at its creation: the program points this at its
// translation facility (the port library does not depend on it). The named children are left
// alone; the rest of the dialog is translated in the text domain given.
using DialogTranslator =
    std::function<void(QWidget* dialog, const QStringList& ignoredNames, const QString& domain)>;
void SetDialogTranslator(DialogTranslator translator);

}  // namespace serial
