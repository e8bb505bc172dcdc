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

constexpr int kPuntosCurva = 200;
constexpr int kClasesMaximas = 50;  // the classes a fit can hold

bool LeeReal(const QString& text, double& value) {
  QString t = text.trimmed();
  t.replace(QLatin1Char(','), QLatin1Char('.'));
  bool ok = false;
  value = t.toDouble(&ok);
  return ok && std::isfinite(value);
}

}  // namespace

FitLagClasses ReadFitLagClasses(const QString& folder) {
  FitLagClasses c;
  sorvan::core::FitClasses leidas;
  if (!sorvan::core::ReadFitClasses(QFile::encodeName(folder).toStdString(), leidas)) return c;
  c.distance.assign(leidas.distance.begin(), leidas.distance.end());
  c.estimacion.assign(leidas.estimate.begin(), leidas.estimate.end());
  c.pairs.assign(leidas.count.begin(), leidas.count.end());
  return c;
}

double ErrorAjuste(const FitLagClasses& clases, int code, double c0, double c1, double a, int minPares,
                   int count) {
  const kriging::CrossValidationModel model{code, c0, c1, a};
  double sum = 0;
  int usadas = 0;
  for (size_t i = 0; i < clases.pairs.size() && usadas < std::min(count, kClasesMaximas); ++i) {
    if (clases.pairs[i] <= minPares) continue;
    ++usadas;
    const double gamma = kriging::ModelSemivariance(model, clases.distance[i]);
    const double desajuste = clases.estimacion[i] == gamma ? 0 : clases.estimacion[i] / gamma - 1;
    sum += clases.pairs[i] * desajuste * desajuste;
  }
  return sum;
}

frmModeloVariograma::frmModeloVariograma(sorvan::core::KrigingSession& session, QWidget* parent)
    : QDialog(parent), sesion_(session) {
  setObjectName(QStringLiteral("frmModeloVariograma"));
  setWindowTitle(QStringLiteral("Modelo del semivariograma"));
  clases_ = ReadFitLagClasses(QString::fromStdString(session.resultsFolder));

  auto* raiz = new QHBoxLayout(this);
  auto* panel = new QVBoxLayout;
  lblAjustado_ = new QLabel(this);
  lblAjustado_->setObjectName(QStringLiteral("lblAjustado"));
  lblAjustado_->setWordWrap(true);
  panel->addWidget(lblAjustado_);
  auto* formulario = new QFormLayout;
  cboModelo_ = new QComboBox(this);
  cboModelo_->setObjectName(QStringLiteral("cboModelo"));
  for (int k = 1; k <= 6; ++k) cboModelo_->addItem(NombreModelo(k));
  txtC0_ = new QLineEdit(this);
  txtC0_->setObjectName(QStringLiteral("txtC0"));
  txtC1_ = new QLineEdit(this);
  txtC1_->setObjectName(QStringLiteral("txtC1"));
  txtA_ = new QLineEdit(this);
  txtA_->setObjectName(QStringLiteral("txtA"));
  formulario->addRow(QStringLiteral("Modelo:"), cboModelo_);
  formulario->addRow(QStringLiteral("Pepita c0:"), txtC0_);
  formulario->addRow(QStringLiteral("Meseta o pendiente c1:"), txtC1_);
  formulario->addRow(QStringLiteral("Alcance o exponente a:"), txtA_);
  panel->addLayout(formulario);
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
  raiz->addLayout(panel);
  grafico_ = new ValidationPlot(this);
  grafico_->setObjectName(QStringLiteral("graficoModelo"));
  grafico_->setMinimumSize(460, 340);
  grafico_->SetYFromZero(true);
  grafico_->SetXFromZero(true);
  raiz->addWidget(grafico_, 1);

  connect(cboModelo_, &QComboBox::currentIndexChanged, this, [this] { Actualizar(); });
  for (QLineEdit* t : {txtC0_, txtC1_, txtA_}) connect(t, &QLineEdit::textChanged, this, [this] { Actualizar(); });
  connect(cmdAjustado, &QPushButton::clicked, this, &frmModeloVariograma::PartirDelAjustado);
  connect(cmdGlobal, &QPushButton::clicked, this, [this] {
    const sorvan::core::Result r = AjusteGlobal();
    if (!r) QMessageBox::warning(this, windowTitle(), QString::fromStdString(r.message));
  });
  connect(cmdKrigear, &QPushButton::clicked, this, &frmModeloVariograma::Krigear);
  connect(cmdCerrar, &QPushButton::clicked, this, &QDialog::close);
  PartirDelAjustado();
}

void frmModeloVariograma::PartirDelAjustado() {
  const sorvan::core::FittedModel& m = sesion_.model;
  lblAjustado_->setText(QStringLiteral("<b>Modelo ajustado</b><br>%1<br>Error del ajuste: %2")
                            .arg(DescripcionModelo(m.code, m.c0, m.c1, m.a), QString::number(m.fitError, 'g', 6)));
  cboModelo_->setCurrentIndex(std::clamp(m.code, 1, 6) - 1);
  txtC0_->setText(QString::number(m.c0, 'g', 7));
  txtC1_->setText(QString::number(m.c1, 'g', 7));
  txtA_->setText(QString::number(m.a, 'g', 7));
  Actualizar();
}

bool frmModeloVariograma::ModeloEscrito(int& code, double& c0, double& c1, double& a) const {
  code = cboModelo_->currentIndex() + 1;
  return LeeReal(txtC0_->text(), c0) && LeeReal(txtC1_->text(), c1) && LeeReal(txtA_->text(), a) && c0 >= 0 &&
         c1 >= 0 && (code == 3 || a > 0);
}

void frmModeloVariograma::Actualizar() {
  txtA_->setEnabled(cboModelo_->currentIndex() + 1 != 3);
  std::vector<ValidationPlot::Point> points;
  double hMax = 0;
  for (size_t i = 0; i < clases_.pairs.size(); ++i) {
    if (clases_.pairs[i] == 0) continue;  // a class without pairs has no estimate to draw
    points.push_back({QPointF(clases_.distance[i], clases_.estimacion[i]), QColor(40, 90, 180)});
    hMax = std::max(hMax, clases_.distance[i]);
  }
  int code;
  double c0, c1, a;
  std::vector<QPointF> curva;
  if (!ModeloEscrito(code, c0, c1, a)) {
    lblError_->setText(QStringLiteral("Escriba c0 y c1 no negativos y a positivo (números con punto decimal)."));
  } else {
    const kriging::CrossValidationModel model{code, c0, c1, a};
    for (int i = 1; i <= kPuntosCurva; ++i) {
      const double h = hMax * i / kPuntosCurva;
      curva.push_back(QPointF(h, kriging::ModelSemivariance(model, h)));
    }
    lblError_->setText(clases_.pairs.empty()
                           ? QStringLiteral("No se encontraron las clases del último ajuste.")
                           : QStringLiteral("Error del ajuste de este modelo: %1")
                                 .arg(QString::number(ErrorAjuste(clases_, code, c0, c1, a, sesion_.options.NMinAjus,
                                                                  sesion_.options.NAjus),
                                                      'g', 6)));
  }
  grafico_->SetTitles(QStringLiteral("Semivariograma: estimador y modelo"), QStringLiteral("distancia"),
                      QStringLiteral("semivarianza"));
  grafico_->SetPoints(points);
  grafico_->SetCurve(curva);
}

sorvan::core::Result frmModeloVariograma::AjusteGlobal() {
  sorvan::core::FitClasses clases;
  clases.distance.assign(clases_.distance.begin(), clases_.distance.end());
  clases.estimate.assign(clases_.estimacion.begin(), clases_.estimacion.end());
  clases.count.assign(clases_.pairs.begin(), clases_.pairs.end());
  if (clases.count.empty()) return sorvan::core::Result::Error("No se encontraron las clases del último ajuste.");
  const int code = cboModelo_->currentIndex() + 1;
  float model[4];
  const sorvan::core::Result r =
      sorvan::core::FitGlobally(clases, code, sesion_.options.NMinAjus, int(clases.count.size()), model);
  if (!r) return r;
  txtC0_->setText(QString::number(model[0], 'g', 7));
  txtC1_->setText(QString::number(model[1], 'g', 7));
  txtA_->setText(QString::number(model[2], 'g', 7));
  return r;
}

bool frmModeloVariograma::FijarModeloEscrito() {
  int code;
  double c0, c1, a;
  if (!ModeloEscrito(code, c0, c1, a)) return false;
  sesion_.options.Modelo = code;
  sesion_.options.C0Ini = float(c0);
  sesion_.options.C1Ini = float(c1);
  sesion_.options.AIni = float(code == 3 ? 1.0 : a);
  sesion_.options.MetodoAjuste = sorvan::gui::kNoFit;
  return true;
}

void frmModeloVariograma::Krigear() {
  if (!FijarModeloEscrito()) {
    QMessageBox::warning(this, windowTitle(), lblError_->text());
    return;
  }
  const QString nombre = QString::fromStdString(sesion_.data.nameWithoutBlanks(sesion_.colZ));
  if (EjecutaKrigingVentana(this, sesion_, nombre) == KrigingEnd::Hecho) {
    clases_ = ReadFitLagClasses(QString::fromStdString(sesion_.resultsFolder));
    PartirDelAjustado();
    MostrarAvisosEjecucion(this, sesion_);
  }
}

}  // namespace sorvan::gui
