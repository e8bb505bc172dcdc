#pragma once
// "Kriging" > "Compare modelos": the six models fitted with the session's
// trend and options, each cross-validated, side by side sorted by error; the
// chosen one becomes the model of the next run (fit "none" from its values).
// The fits run in the engine's helper process and the validations in a
// worker thread, one model after the other, while a progress dialog that can
// be cancelled keeps the program answering.
#include <QDialog>
#include <functional>
#include <vector>

#include "core/cross_validation_run.h"
#include "core/kriging_session.h"

class QProgressDialog;
class QTableWidget;

namespace sorvan::gui {
using namespace sorvan::core;

class frmComparaModelos : public QDialog {
 public:
  frmComparaModelos(sorvan::core::KrigingSession& session, QWidget* parent = nullptr);

  // Fits and validates the six models (engine runs in a scratch folder).
  // False when the user cancelled: the table and Filas() keep what they held
  // before (never part of a comparison).
  bool Compare();
  const std::vector<sorvan::core::ModelComparisonRow>& Filas() const { return rows_; }
  // Makes row `row` the model of the next run.
  void UseModel(int row);

 private:
  // Runs the event loop until `terminado` says so (true) or the user cancels
  // the progress dialog (false).
  bool Wait(QProgressDialog& progress, const std::function<bool()>& terminado);
  void ShowRows();

  sorvan::core::KrigingSession& session_;
  QTableWidget* table_;
  std::vector<sorvan::core::ModelComparisonRow> rows_;
};

}  // namespace sorvan::gui
