#pragma once
// The dialog "Kriging 2D": the user picks the variable to interpolate and the
// two coordinate columns, may open the options dialog, and on "Accept" the
// dialog hides, the engine runs and the chosen result windows open.
//
// "Accept" only hides the dialog, so a second showing keeps the choices and
// the options; "Cancelar" unloads it (the object deletes itself), and the
// next showing starts afresh with the default choices.
#include <QDialog>
#include <QStringList>
#include <functional>
#include <string>

#include "core/kriging_session.h"
#include "gui/kriging/kriging_run.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace sorvan::gui {
using namespace sorvan::core;

class frmKriging2D : public QDialog {
  Q_OBJECT
public:
  // The session's data set must hold at least three variables (see
  // CanBeShown).
  explicit frmKriging2D(sorvan::core::KrigingSession& session, QWidget* parent = nullptr);

  // True when `session` has a data set the dialog can work on; otherwise
  // `reason` says why (no data, fewer than three variables).
  static bool CanBeShown(const sorvan::core::KrigingSession& session, QString* reason);
  // True while the dialog's lists still describe the session's data set (a
  // data file opened since then makes the choices and options stale).
  bool SameData() const;

  // The options hold values computed for the current X and Y columns.
  bool OpcionesFijadas = false;

  QComboBox* ComboZ = nullptr;
  QComboBox* ComboX = nullptr;
  QComboBox* ComboY = nullptr;
  QComboBox* ComboE = nullptr;
  QPushButton* CoAceptar = nullptr;
  QPushButton* CoCancelar = nullptr;
  QPushButton* CoAyuda = nullptr;
  QPushButton* CoOpciones = nullptr;
  // Where the run writes its files: shown, and changed with CoCarpeta.
  QLineEdit* TxtCarpeta = nullptr;
  QPushButton* CoCarpeta = nullptr;
  // The warning that a global run of these data will be slow or large.
  QLabel* LblEstimacion = nullptr;
  // Chooses the result folder; `elegir` stands in for the folder dialog in
  // tests (returns "" for a cancelled choice).
  std::function<QString(QWidget*, const QString&)> ChooseFolder;
  // Shows the session's result folder and the estimate for the current options.
  void UpdateFolderAndEstimate();

  // The run that "Accept" makes: RunKrigingWindow. Tests of the
  // dialog's own logic put a recorder here to keep the engine out.
  std::function<KrigingEnd(QWidget*, sorvan::core::KrigingSession&, const QString&)> Execute =
      RunKrigingWindow;

public slots:
  // Closing the dialog in any way but "Accept" unloads it.
  void reject() override;

private:
  void CoOpciones_Click();
  void CoAceptar_Click();
  void readChoice();
  // OpcionesPorDefecto for the chosen X and Y; false (after telling the
  // user over `parentWindow`) when the data do not allow it.
  bool applyDefaults(QWidget* parentWindow);
  void openResults();
  void CoCarpeta_Click();

  sorvan::core::KrigingSession& session_;
  // What the lists were filled from, to notice a data set replaced meanwhile.
  std::string dataFile_;
  QStringList names_;
  int n_ = 0;
};

}  // namespace sorvan::gui
