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
#include "core/opciones_kriging.h"
#include "cross_validation.h"
#include "gui/kriging/ejecucion_kriging.h"
#include "gui/validation/frmValidacionCruzada.h"
#include "gui/validation/validation_commands.h"
#include "gui/validation/validation_plot.h"

namespace {

constexpr int kPuntosCurva = 200;
constexpr int kClasesMaximas = 50;  // the classes a fit can hold

bool LeeReal(const QString& texto, double& valor) {
  QString t = texto.trimmed();
  t.replace(QLatin1Char(','), QLatin1Char('.'));
  bool ok = false;
  valor = t.toDouble(&ok);
  return ok && std::isfinite(valor);
}

}  // namespace

ClasesAjuste LeeClasesAjuste(const QString& carpeta) {
  ClasesAjuste c;
  sorvan::FitClasses leidas;
  if (!sorvan::ReadFitClasses(QFile::encodeName(carpeta).toStdString(), leidas)) return c;
  c.distancia.assign(leidas.distance.begin(), leidas.distance.end());
  c.estimacion.assign(leidas.estimate.begin(), leidas.estimate.end());
  c.pares.assign(leidas.count.begin(), leidas.count.end());
  return c;
}

double ErrorAjuste(const ClasesAjuste& clases, int codigo, double c0, double c1, double a, int minPares,
                   int cuantas) {
  const kriging::CrossValidationModel modelo{codigo, c0, c1, a};
  double suma = 0;
  int usadas = 0;
  for (size_t i = 0; i < clases.pares.size() && usadas < std::min(cuantas, kClasesMaximas); ++i) {
    if (clases.pares[i] <= minPares) continue;
    ++usadas;
    const double gamma = kriging::ModelSemivariance(modelo, clases.distancia[i]);
    const double desajuste = clases.estimacion[i] == gamma ? 0 : clases.estimacion[i] / gamma - 1;
    suma += clases.pares[i] * desajuste * desajuste;
  }
  return suma;
}

frmModeloVariograma::frmModeloVariograma(sorvan::SesionKriging& sesion, QWidget* parent)
    : QDialog(parent), sesion_(sesion) {
  setObjectName(QStringLiteral("frmModeloVariograma"));
  setWindowTitle(QStringLiteral("Modelo del semivariograma"));
  clases_ = LeeClasesAjuste(QString::fromStdString(sesion.carpetaResultados));

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
    const sorvan::Resultado r = AjusteGlobal();
    if (!r) QMessageBox::warning(this, windowTitle(), QString::fromStdString(r.mensaje));
  });
  connect(cmdKrigear, &QPushButton::clicked, this, &frmModeloVariograma::Krigear);
  connect(cmdCerrar, &QPushButton::clicked, this, &QDialog::close);
  PartirDelAjustado();
}

void frmModeloVariograma::PartirDelAjustado() {
  const sorvan::ModeloAjustado& m = sesion_.modelo;
  lblAjustado_->setText(QStringLiteral("<b>Modelo ajustado</b><br>%1<br>Error del ajuste: %2")
                            .arg(DescripcionModelo(m.codigo, m.c0, m.c1, m.a), QString::number(m.errorAjuste, 'g', 6)));
  cboModelo_->setCurrentIndex(std::clamp(m.codigo, 1, 6) - 1);
  txtC0_->setText(QString::number(m.c0, 'g', 7));
  txtC1_->setText(QString::number(m.c1, 'g', 7));
  txtA_->setText(QString::number(m.a, 'g', 7));
  Actualizar();
}

bool frmModeloVariograma::ModeloEscrito(int& codigo, double& c0, double& c1, double& a) const {
  codigo = cboModelo_->currentIndex() + 1;
  return LeeReal(txtC0_->text(), c0) && LeeReal(txtC1_->text(), c1) && LeeReal(txtA_->text(), a) && c0 >= 0 &&
         c1 >= 0 && (codigo == 3 || a > 0);
}

void frmModeloVariograma::Actualizar() {
  txtA_->setEnabled(cboModelo_->currentIndex() + 1 != 3);
  std::vector<ValidationPlot::Point> puntos;
  double hMax = 0;
  for (size_t i = 0; i < clases_.pares.size(); ++i) {
    if (clases_.pares[i] == 0) continue;  // a class without pairs has no estimate to draw
    puntos.push_back({QPointF(clases_.distancia[i], clases_.estimacion[i]), QColor(40, 90, 180)});
    hMax = std::max(hMax, clases_.distancia[i]);
  }
  int codigo;
  double c0, c1, a;
  std::vector<QPointF> curva;
  if (!ModeloEscrito(codigo, c0, c1, a)) {
    lblError_->setText(QStringLiteral("Escriba c0 y c1 no negativos y a positivo (números con punto decimal)."));
  } else {
    const kriging::CrossValidationModel modelo{codigo, c0, c1, a};
    for (int i = 1; i <= kPuntosCurva; ++i) {
      const double h = hMax * i / kPuntosCurva;
      curva.push_back(QPointF(h, kriging::ModelSemivariance(modelo, h)));
    }
    lblError_->setText(clases_.pares.empty()
                           ? QStringLiteral("No se encontraron las clases del último ajuste.")
                           : QStringLiteral("Error del ajuste de este modelo: %1")
                                 .arg(QString::number(ErrorAjuste(clases_, codigo, c0, c1, a, sesion_.opciones.NMinAjus,
                                                                  sesion_.opciones.NAjus),
                                                      'g', 6)));
  }
  grafico_->SetTitles(QStringLiteral("Semivariograma: estimador y modelo"), QStringLiteral("distancia"),
                      QStringLiteral("semivarianza"));
  grafico_->SetPoints(puntos);
  grafico_->SetCurve(curva);
}

sorvan::Resultado frmModeloVariograma::AjusteGlobal() {
  sorvan::FitClasses clases;
  clases.distance.assign(clases_.distancia.begin(), clases_.distancia.end());
  clases.estimate.assign(clases_.estimacion.begin(), clases_.estimacion.end());
  clases.count.assign(clases_.pares.begin(), clases_.pares.end());
  if (clases.count.empty()) return sorvan::Resultado::Error("No se encontraron las clases del último ajuste.");
  const int codigo = cboModelo_->currentIndex() + 1;
  float modelo[4];
  const sorvan::Resultado r =
      sorvan::FitGlobally(clases, codigo, sesion_.opciones.NMinAjus, int(clases.count.size()), modelo);
  if (!r) return r;
  txtC0_->setText(QString::number(modelo[0], 'g', 7));
  txtC1_->setText(QString::number(modelo[1], 'g', 7));
  txtA_->setText(QString::number(modelo[2], 'g', 7));
  return r;
}

bool frmModeloVariograma::FijarModeloEscrito() {
  int codigo;
  double c0, c1, a;
  if (!ModeloEscrito(codigo, c0, c1, a)) return false;
  sesion_.opciones.Modelo = codigo;
  sesion_.opciones.C0Ini = float(c0);
  sesion_.opciones.C1Ini = float(c1);
  sesion_.opciones.AIni = float(codigo == 3 ? 1.0 : a);
  sesion_.opciones.MetodoAjuste = sorvan::kSinAjuste;
  return true;
}

void frmModeloVariograma::Krigear() {
  if (!FijarModeloEscrito()) {
    QMessageBox::warning(this, windowTitle(), lblError_->text());
    return;
  }
  const QString nombre = QString::fromStdString(sesion_.datos.nombreSinBlancos(sesion_.colZ));
  if (EjecutaKrigingVentana(this, sesion_, nombre) == FinKriging::Hecho) {
    clases_ = LeeClasesAjuste(QString::fromStdString(sesion_.carpetaResultados));
    PartirDelAjustado();
    MostrarAvisosEjecucion(this, sesion_);
  }
}
