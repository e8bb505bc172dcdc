#include "gui/validation/frmModeloVariograma.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "core/global_fit_run.h"
#include "core/kriging_options.h"
#include "cross_validation.h"
#include "gui/kriging/kriging_run.h"
#include "gui/validation/frmValidacionCruzada.h"
#include "gui/validation/validation_commands.h"
#include "gui/validation/validation_plot.h"

namespace sorvan::gui {
using namespace sorvan::core;

namespace {

constexpr int kCurvePoints = 200;
constexpr int kMaxClasses = 50;  // the classes a fit can hold

bool ReadReal(const QString& text, double& value) {
  QString t = text.trimmed();
  t.replace(QLatin1Char(','), QLatin1Char('.'));
  bool ok = false;
  value = t.toDouble(&ok);
  return ok && std::isfinite(value);
}

}  // namespace

FitLagClasses ReadFitLagClasses(const QString& folder) {
  FitLagClasses c;
  sorvan::core::FitClasses readCount;
  if (!sorvan::core::ReadFitClasses(QFile::encodeName(folder).toStdString(), readCount)) return c;
  c.distance.assign(readCount.distance.begin(), readCount.distance.end());
  c.estimate.assign(readCount.estimate.begin(), readCount.estimate.end());
  c.pairs.assign(readCount.count.begin(), readCount.count.end());
  return c;
}

double FitError(const FitLagClasses& clases, int code, double c0, double c1, double a, int minPairs,
                   int count) {
  const kriging::CrossValidationModel model{code, c0, c1, a};
  double sum = 0;
  int used = 0;
  for (size_t i = 0; i < clases.pairs.size() && used < std::min(count, kMaxClasses); ++i) {
    if (clases.pairs[i] <= minPairs) continue;
    ++used;
    const double gamma = kriging::ModelSemivariance(model, clases.distance[i]);
    const double misfit = clases.estimate[i] == gamma ? 0 : clases.estimate[i] / gamma - 1;
    sum += clases.pairs[i] * misfit * misfit;
  }
  return sum;
}

frmModeloVariograma::frmModeloVariograma(sorvan::core::KrigingSession& session, QWidget* parent)
    : QDialog(parent), session_(session) {
  setObjectName(QStringLiteral("frmModeloVariograma"));
  setWindowTitle(QStringLiteral("Modelo del semivariograma"));
  lagClasses_ = ReadFitLagClasses(QString::fromStdString(session.resultsFolder));

  auto* root = new QHBoxLayout(this);
  auto* panel = new QVBoxLayout;
  lblAjustado_ = new QLabel(this);
  lblAjustado_->setObjectName(QStringLiteral("lblAjustado"));
  lblAjustado_->setWordWrap(true);
  panel->addWidget(lblAjustado_);
  auto* form = new QFormLayout;
  cboModelo_ = new QComboBox(this);
  cboModelo_->setObjectName(QStringLiteral("cboModelo"));
  for (int k = 1; k <= 6; ++k) cboModelo_->addItem(ModelName(k));
  txtC0_ = new QLineEdit(this);
  txtC0_->setObjectName(QStringLiteral("txtC0"));
  txtC1_ = new QLineEdit(this);
  txtC1_->setObjectName(QStringLiteral("txtC1"));
  txtA_ = new QLineEdit(this);
  txtA_->setObjectName(QStringLiteral("txtA"));
  form->addRow(QStringLiteral("Modelo:"), cboModelo_);
  form->addRow(QStringLiteral("Pepita c0:"), txtC0_);
  form->addRow(QStringLiteral("Meseta o pendiente c1:"), txtC1_);
  form->addRow(QStringLiteral("Alcance o exponente a:"), txtA_);
  panel->addLayout(form);
  lblError_ = new QLabel(this);
  lblError_->setObjectName(QStringLiteral("lblError"));
  lblError_->setWordWrap(true);
  panel->addWidget(lblError_);
  auto* cmdAjustado = new QPushButton(QStringLiteral("&Partir del ajustado"), this);
  cmdAjustado->setObjectName(QStringLiteral("cmdAjustado"));
  auto* cmdGlobal = new QPushButton(QStringLiteral("Ajuste &global"), this);
  cmdGlobal->setObjectName(QStringLiteral("cmdGlobal"));
  cmdGlobal->setToolTip(QStringLiteral("Ajusta el modelo elegido a las clases desde varios puntos de partida y se "
                                       "queda con el menor error"));
  auto* cmdKrigear = new QPushButton(QStringLiteral("&Krigear con este modelo"), this);
  cmdKrigear->setObjectName(QStringLiteral("cmdKrigear"));
  auto* cmdCerrar = new QPushButton(QStringLiteral("C&errar"), this);
  cmdCerrar->setObjectName(QStringLiteral("cmdCerrar"));
  panel->addWidget(cmdAjustado);
  panel->addWidget(cmdGlobal);
  panel->addWidget(cmdKrigear);
  panel->addStretch();
  panel->addWidget(cmdCerrar);
  root->addLayout(panel);
  grafico_ = new ValidationPlot(this);
  grafico_->setObjectName(QStringLiteral("graficoModelo"));
  grafico_->setMinimumSize(460, 340);
  grafico_->SetYFromZero(true);
  grafico_->SetXFromZero(true);
  root->addWidget(grafico_, 1);

  connect(cboModelo_, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
  for (QLineEdit* t : {txtC0_, txtC1_, txtA_}) connect(t, &QLineEdit::textChanged, this, [this] { Refresh(); });
  connect(cmdAjustado, &QPushButton::clicked, this, &frmModeloVariograma::StartFromFitted);
  connect(cmdGlobal, &QPushButton::clicked, this, [this] {
    const sorvan::core::Result r = GlobalFit();
    if (!r) QMessageBox::warning(this, windowTitle(), QString::fromStdString(r.message));
  });
  connect(cmdKrigear, &QPushButton::clicked, this, &frmModeloVariograma::Krige);
  connect(cmdCerrar, &QPushButton::clicked, this, &QDialog::close);
  StartFromFitted();
}

void frmModeloVariograma::StartFromFitted() {
  const sorvan::core::FittedModel& m = session_.model;
  lblAjustado_->setText(QStringLiteral("<b>Modelo ajustado</b><br>%1<br>Error del ajuste: %2")
                            .arg(ModelDescription(m.code, m.c0, m.c1, m.a), QString::number(m.fitError, 'g', 6)));
  cboModelo_->setCurrentIndex(std::clamp(m.code, 1, 6) - 1);
  txtC0_->setText(QString::number(m.c0, 'g', 7));
  txtC1_->setText(QString::number(m.c1, 'g', 7));
  txtA_->setText(QString::number(m.a, 'g', 7));
  Refresh();
}

bool frmModeloVariograma::WrittenModel(int& code, double& c0, double& c1, double& a) const {
  code = cboModelo_->currentIndex() + 1;
  return ReadReal(txtC0_->text(), c0) && ReadReal(txtC1_->text(), c1) && ReadReal(txtA_->text(), a) && c0 >= 0 &&
         c1 >= 0 && (code == 3 || a > 0);
}

void frmModeloVariograma::Refresh() {
  txtA_->setEnabled(cboModelo_->currentIndex() + 1 != 3);
  std::vector<ValidationPlot::Point> points;
  double hMax = 0;
  for (size_t i = 0; i < lagClasses_.pairs.size(); ++i) {
    if (lagClasses_.pairs[i] == 0) continue;  // a class without pairs has no estimate to draw
    points.push_back({QPointF(lagClasses_.distance[i], lagClasses_.estimate[i]), QColor(40, 90, 180)});
    hMax = std::max(hMax, lagClasses_.distance[i]);
  }
  int code;
  double c0, c1, a;
  std::vector<QPointF> curve;
  if (!WrittenModel(code, c0, c1, a)) {
    lblError_->setText(QStringLiteral("Escriba c0 y c1 no negativos y a positivo (números con punto decimal)."));
  } else {
    const kriging::CrossValidationModel model{code, c0, c1, a};
    for (int i = 1; i <= kCurvePoints; ++i) {
      const double h = hMax * i / kCurvePoints;
      curve.push_back(QPointF(h, kriging::ModelSemivariance(model, h)));
    }
    lblError_->setText(lagClasses_.pairs.empty()
                           ? QStringLiteral("No se encontraron las clases del último ajuste.")
                           : QStringLiteral("Error del ajuste de este modelo: %1")
                                 .arg(QString::number(FitError(lagClasses_, code, c0, c1, a, session_.options.NMinAjus,
                                                                  session_.options.NAjus),
                                                      'g', 6)));
  }
  grafico_->SetTitles(QStringLiteral("Semivariograma: estimador y modelo"), QStringLiteral("distancia"),
                      QStringLiteral("semivarianza"));
  grafico_->SetPoints(points);
  grafico_->SetCurve(curve);
}

sorvan::core::Result frmModeloVariograma::GlobalFit() {
  sorvan::core::FitClasses clases;
  clases.distance.assign(lagClasses_.distance.begin(), lagClasses_.distance.end());
  clases.estimate.assign(lagClasses_.estimate.begin(), lagClasses_.estimate.end());
  clases.count.assign(lagClasses_.pairs.begin(), lagClasses_.pairs.end());
  if (clases.count.empty()) return sorvan::core::Result::Error("No se encontraron las clases del último ajuste.");
  const int code = cboModelo_->currentIndex() + 1;
  float model[4];
  const sorvan::core::Result r =
      sorvan::core::FitGlobally(clases, code, session_.options.NMinAjus, int(clases.count.size()), model);
  if (!r) return r;
  txtC0_->setText(QString::number(model[0], 'g', 7));
  txtC1_->setText(QString::number(model[1], 'g', 7));
  txtA_->setText(QString::number(model[2], 'g', 7));
  return r;
}

bool frmModeloVariograma::SetWrittenModel() {
  int code;
  double c0, c1, a;
  if (!WrittenModel(code, c0, c1, a)) return false;
  session_.options.Modelo = code;
  session_.options.C0Ini = float(c0);
  session_.options.C1Ini = float(c1);
  session_.options.AIni = float(code == 3 ? 1.0 : a);
  session_.options.MetodoAjuste = sorvan::gui::kNoFit;
  return true;
}

void frmModeloVariograma::Krige() {
  if (!SetWrittenModel()) {
    QMessageBox::warning(this, windowTitle(), lblError_->text());
    return;
  }
  const QString nombre = QString::fromStdString(session_.data.nameWithoutBlanks(session_.colZ));
  if (RunKrigingWindow(this, session_, nombre) == KrigingEnd::Done) {
    lagClasses_ = ReadFitLagClasses(QString::fromStdString(session_.resultsFolder));
    StartFromFitted();
    ShowRunWarnings(this, session_);
  }
}

}  // namespace sorvan::gui
