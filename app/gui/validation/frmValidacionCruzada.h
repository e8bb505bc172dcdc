#pragma once
// "Kriging" > "Validación cruzada": the model and trend of the last run
// validated leaving out each datum (or in K groups): observed against
// predicted with the 1:1 line, the histogram of the standardised errors, the
// map of the errors, the summary, and the table exported to CSV.
#include <QDialog>

#include "core/cross_validation_run.h"
#include "core/kriging_session.h"

class QComboBox;
class QLabel;
class QSpinBox;
namespace sorvan::gui { class ValidationPlot; }

namespace sorvan::gui {
using namespace sorvan::core;

class frmValidacionCruzada : public QDialog {
 public:
  frmValidacionCruzada(const sorvan::core::KrigingSession& session, QWidget* parent = nullptr);

  // Runs the cross-validation with the window's choices; false (and a
  // message in the summary) when it cannot be done.
  bool Calcular();
  // Writes the table to `path`; the message box of a failure is left to the caller.
  sorvan::core::Result ExportTable(const QString& path) const;
  const kriging::CrossValidationResult& Result() const { return result_; }

 private:
  void Export();
  void ShowResult();

  const sorvan::core::KrigingSession& session_;
  QComboBox* cboModo_;
  QSpinBox* spnGrupos_;
  QSpinBox* spnSemilla_;
  QLabel* lblResumen_;
  ValidationPlot* scatterChart_;
  ValidationPlot* histogramChart_;
  ValidationPlot* mapChart_;
  kriging::CrossValidationResult result_;
};

// The name of a model code in the program's words ("esférico", ...).
QString ModelName(int code);
// "esférico, c0 = 0.05, c1 = 0.59, a = 900" (no a for the linear model).
QString ModelDescription(int code, double c0, double c1, double a);

}  // namespace sorvan::gui
