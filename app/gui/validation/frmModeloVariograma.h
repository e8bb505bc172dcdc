#pragma once
// The model panel of the semivariogram: the fitted model's name, c0, c1, a
// and fit error over the classes of the fit; the user types another model
// (or starts from the fitted one), sees its curve over the estimator at once,
// and krige with it (fit "none" from those values).
#include <QDialog>
#include <vector>

#include "core/resultado.h"
#include "core/sesion_kriging.h"

class QComboBox;
class QLabel;
class QLineEdit;
class ValidationPlot;

// The classes of the last fit, read from the run's chart files.
struct ClasesAjuste {
  std::vector<double> distancia, estimacion;
  std::vector<int> pares;
};
// "SKUEAJUS.SV" (first series: mean distance and estimate of each class) and
// "SKUEAJUS.FMT" (pair counts) of `carpeta`; empty when they cannot be read.
ClasesAjuste LeeClasesAjuste(const QString& carpeta);

// sum N_i (gamma^_i / gamma(h_i) - 1)^2 over the classes with more than
// `minPares` pairs, at most `cuantas` of them (the classes of the fit).
double ErrorAjuste(const ClasesAjuste& clases, int codigo, double c0, double c1, double a, int minPares,
                   int cuantas);

class frmModeloVariograma : public QDialog {
 public:
  frmModeloVariograma(sorvan::SesionKriging& sesion, QWidget* parent = nullptr);

  // The values in the boxes (false when one is not a number).
  bool ModeloEscrito(int& codigo, double& c0, double& c1, double& a) const;
  void PartirDelAjustado();
  // Sets the session's options to krige with the typed model (no fit).
  bool FijarModeloEscrito();
  void Actualizar();  // curve and error of the typed model
  // The chosen model fitted to the classes by the global method, into the boxes.
  sorvan::Resultado AjusteGlobal();

 private:
  void Krigear();

  sorvan::SesionKriging& sesion_;
  ClasesAjuste clases_;
  QComboBox* cboModelo_;
  QLineEdit* txtC0_;
  QLineEdit* txtC1_;
  QLineEdit* txtA_;
  QLabel* lblAjustado_;
  QLabel* lblError_;
  ValidationPlot* grafico_;
};
