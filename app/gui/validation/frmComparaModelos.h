#pragma once
// "Kriging" > "Comparar modelos": the six models fitted with the session's
// trend and options, each cross-validated, side by side sorted by error; the
// chosen one becomes the model of the next run (fit "none" from its values).
#include <QDialog>
#include <vector>

#include "core/cross_validation_run.h"
#include "core/sesion_kriging.h"

class QTableWidget;

class frmComparaModelos : public QDialog {
 public:
  frmComparaModelos(sorvan::SesionKriging& sesion, QWidget* parent = nullptr);

  // Fits and validates the six models (engine runs in a scratch folder).
  void Comparar();
  const std::vector<sorvan::ModelComparisonRow>& Filas() const { return filas_; }
  // Makes row `fila` the model of the next run.
  void UsarModelo(int fila);

 private:
  sorvan::SesionKriging& sesion_;
  QTableWidget* tabla_;
  std::vector<sorvan::ModelComparisonRow> filas_;
};
