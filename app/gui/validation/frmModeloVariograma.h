#pragma once
// The model panel of the semivariogram: the fitted model's name, c0, c1, a
// and fit error over the classes of the fit; the user types another model
// (or starts from the fitted one), sees its curve over the estimator at once,
// and krige with it (fit "none" from those values).
#include <QDialog>
#include <vector>

#include "core/result.h"
#include "core/kriging_session.h"

class QComboBox;
class QLabel;
class QLineEdit;
namespace sorvan::gui { class ValidationPlot; }

namespace sorvan::gui {
using namespace sorvan::core;

// The classes of the last fit, read from the run's chart files.
struct FitLagClasses {
  std::vector<double> distance, estimate;
  std::vector<int> pairs;
};
// "SKUEAJUS.SV" (first series: mean distance and estimate of each class) and
// "SKUEAJUS.FMT" (pair counts) of `folder`; empty when they cannot be read.
FitLagClasses ReadFitLagClasses(const QString& folder);

// sum N_i (gamma^_i / gamma(h_i) - 1)^2 over the classes with more than
// `minPairs` pairs, at most `count` of them (the classes of the fit).
double FitError(const FitLagClasses& clases, int code, double c0, double c1, double a, int minPairs,
                   int count);

class frmModeloVariograma : public QDialog {
 public:
  frmModeloVariograma(sorvan::core::KrigingSession& session, QWidget* parent = nullptr);

  // The values in the boxes (false when one is not a number).
  bool WrittenModel(int& code, double& c0, double& c1, double& a) const;
  void StartFromFitted();
  // Sets the session's options to krige with the typed model (no fit).
  bool SetWrittenModel();
  void Refresh();  // curve and error of the typed model
  // The chosen model fitted to the classes by the global method, into the boxes.
  sorvan::core::Result GlobalFit();

 private:
  void Krige();

  sorvan::core::KrigingSession& session_;
  FitLagClasses lagClasses_;
  QComboBox* cboModelo_;
  QLineEdit* txtC0_;
  QLineEdit* txtC1_;
  QLineEdit* txtA_;
  QLabel* lblAjustado_;
  QLabel* lblError_;
  ValidationPlot* grafico_;
};

}  // namespace sorvan::gui
