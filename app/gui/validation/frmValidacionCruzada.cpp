#include "gui/validation/frmValidacionCruzada.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "gui/validation/validation_plot.h"
#include "platform/cFileDlg.h"

namespace {
const char* const kModelos[] = {"esférico", "exponencial", "lineal", "potencial", "racional cuadrático",
                                "oscilatorio"};
const char* const kTendencias[] = {"constante (kriging ordinario)", "lineal", "cuadrática", "cúbica"};
constexpr int kClasesHistograma = 16;

QString Numero(double v) { return QString::number(v, 'g', 6); }
}  // namespace

QString NombreModelo(int codigo) {
  return codigo >= 1 && codigo <= 6 ? QString::fromUtf8(kModelos[codigo - 1]) : QStringLiteral("?");
}

QString DescripcionModelo(int codigo, double c0, double c1, double a) {
  QString t = NombreModelo(codigo) + QStringLiteral(", c0 = ") + Numero(c0) + QStringLiteral(", c1 = ") + Numero(c1);
  if (codigo != 3) t += QStringLiteral(", a = ") + Numero(a);
  return t;
}

frmValidacionCruzada::frmValidacionCruzada(const sorvan::SesionKriging& sesion, QWidget* parent)
    : QDialog(parent), sesion_(sesion) {
  setObjectName(QStringLiteral("frmValidacionCruzada"));
  setWindowTitle(QStringLiteral("Validación cruzada"));
  auto* raiz = new QVBoxLayout(this);
  const sorvan::ModeloAjustado& m = sesion.modelo;
  auto* lblModelo = new QLabel(
      QStringLiteral("Variable: %1.  Modelo: %2.  Tendencia: %3.")
          .arg(QString::fromStdString(sesion.variableSuperficies), DescripcionModelo(m.codigo, m.c0, m.c1, m.a),
               QString::fromUtf8(kTendencias[std::clamp(sesion.opciones.Media, 0, 3)])),
      this);
  lblModelo->setWordWrap(true);
  raiz->addWidget(lblModelo);

  auto* fila = new QHBoxLayout;
  cboModo_ = new QComboBox(this);
  cboModo_->setObjectName(QStringLiteral("cboModo"));
  cboModo_->addItems({QStringLiteral("Dejando fuera cada dato"), QStringLiteral("En grupos")});
  spnGrupos_ = new QSpinBox(this);
  spnGrupos_->setObjectName(QStringLiteral("spnGrupos"));
  spnGrupos_->setRange(2, 1000);
  spnGrupos_->setValue(10);
  spnGrupos_->setEnabled(false);
  spnSemilla_ = new QSpinBox(this);
  spnSemilla_->setObjectName(QStringLiteral("spnSemilla"));
  spnSemilla_->setRange(0, 999999999);
  spnSemilla_->setValue(1);
  spnSemilla_->setEnabled(false);
  auto* cmdCalcular = new QPushButton(QStringLiteral("&Calcular"), this);
  cmdCalcular->setObjectName(QStringLiteral("cmdCalcular"));
  fila->addWidget(cboModo_);
  fila->addWidget(new QLabel(QStringLiteral("Grupos:"), this));
  fila->addWidget(spnGrupos_);
  fila->addWidget(new QLabel(QStringLiteral("Semilla:"), this));
  fila->addWidget(spnSemilla_);
  fila->addWidget(cmdCalcular);
  fila->addStretch();
  raiz->addLayout(fila);

  auto* rejilla = new QGridLayout;
  graficoDispersion_ = new ValidationPlot(this);
  graficoDispersion_->setObjectName(QStringLiteral("graficoDispersion"));
  graficoHistograma_ = new ValidationPlot(this);
  graficoHistograma_->setObjectName(QStringLiteral("graficoHistograma"));
  graficoMapa_ = new ValidationPlot(this);
  graficoMapa_->setObjectName(QStringLiteral("graficoMapa"));
  lblResumen_ = new QLabel(this);
  lblResumen_->setObjectName(QStringLiteral("lblResumen"));
  lblResumen_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  lblResumen_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblResumen_->setWordWrap(true);
  rejilla->addWidget(graficoDispersion_, 0, 0);
  rejilla->addWidget(graficoHistograma_, 0, 1);
  rejilla->addWidget(graficoMapa_, 1, 0);
  rejilla->addWidget(lblResumen_, 1, 1);
  raiz->addLayout(rejilla, 1);

  auto* botones = new QDialogButtonBox(this);
  auto* cmdExportar = botones->addButton(QStringLiteral("&Exportar tabla..."), QDialogButtonBox::ActionRole);
  cmdExportar->setObjectName(QStringLiteral("cmdExportar"));
  auto* cmdCerrar = botones->addButton(QStringLiteral("C&errar"), QDialogButtonBox::RejectRole);
  cmdCerrar->setObjectName(QStringLiteral("cmdCerrar"));
  raiz->addWidget(botones);

  connect(cboModo_, &QComboBox::currentIndexChanged, this, [this](int i) {
    spnGrupos_->setEnabled(i == 1);
    spnSemilla_->setEnabled(i == 1);
  });
  connect(cmdCalcular, &QPushButton::clicked, this, [this] { Calcular(); });
  connect(cmdExportar, &QPushButton::clicked, this, &frmValidacionCruzada::Exportar);
  connect(botones, &QDialogButtonBox::rejected, this, &QDialog::close);
  resize(900, 700);
  Calcular();
}

bool frmValidacionCruzada::Calcular() {
  const sorvan::ModeloAjustado& m = sesion_.modelo;
  const int grupos = cboModo_->currentIndex() == 1 ? spnGrupos_->value() : 0;
  resultado_ = sorvan::CrossValidateColumns(sesion_.datos, sesion_.colX, sesion_.colY, sesion_.colZ,
                                            {m.codigo, m.c0, m.c1, m.a}, sesion_.opciones.Media, grupos,
                                            std::uint32_t(spnSemilla_->value()));
  MostrarResultado();
  return resultado_.status == 0;
}

void frmValidacionCruzada::MostrarResultado() {
  std::vector<ValidationPlot::Point> dispersion, mapa;
  std::vector<ValidationPlot::Bar> barras;
  if (resultado_.status != 0) {
    lblResumen_->setText(QStringLiteral("No se pudo hacer la validación cruzada: ") +
                         QString::fromStdString(resultado_.message));
  } else {
    const kriging::CrossValidationSummary& r = resultado_.summary;
    lblResumen_->setText(
        QStringLiteral("<b>Resumen (%1 datos)</b><table>"
                       "<tr><td>Error medio</td><td align=right>%2</td></tr>"
                       "<tr><td>Raíz del error cuadrático medio</td><td align=right>%3</td></tr>"
                       "<tr><td>Error estandarizado medio</td><td align=right>%4</td></tr>"
                       "<tr><td>Error estandarizado cuadrático medio</td><td align=right>%5</td></tr>"
                       "<tr><td>Correlación observados-predichos</td><td align=right>%6</td></tr>"
                       "<tr><td>Datos dentro de ±1,96 σ</td><td align=right>%7 %</td></tr></table>"
                       "<p>El error estandarizado cuadrático medio cerca de 1 indica una varianza de "
                       "kriging realista; el error medio cerca de 0, predicciones sin sesgo.</p>")
            .arg(r.count)
            .arg(Numero(r.meanError), Numero(r.rootMeanSquareError), Numero(r.meanStandardisedError),
                 Numero(r.meanSquaredStandardisedError), Numero(r.correlation),
                 QString::number(100 * r.shareWithin, 'f', 1)));
    double mayorError = 0, mayorEstandar = 0;
    for (const kriging::CrossValidationPoint& p : resultado_.points)
      mayorError = std::max(mayorError, std::abs(p.error)),
      mayorEstandar = std::max(mayorEstandar, std::abs(p.standardisedError));
    for (const kriging::CrossValidationPoint& p : resultado_.points) {
      dispersion.push_back({QPointF(p.observed, p.predicted), QColor(60, 110, 190)});
      mapa.push_back({QPointF(p.x, p.y), DivergingColour(p.error, mayorError)});
    }
    // Symmetric classes around 0 covering the largest standardised error.
    const double limite = std::max(std::ceil(mayorEstandar), 1.0), ancho = 2 * limite / kClasesHistograma;
    std::vector<double> cuentas(kClasesHistograma, 0);
    for (const kriging::CrossValidationPoint& p : resultado_.points)
      cuentas[std::clamp(int((p.standardisedError + limite) / ancho), 0, kClasesHistograma - 1)] += 1;
    for (int k = 0; k < kClasesHistograma; ++k)
      barras.push_back({-limite + k * ancho, -limite + (k + 1) * ancho, cuentas[size_t(k)]});
  }
  graficoDispersion_->SetTitles(QStringLiteral("Observados y predichos"), QStringLiteral("observado"),
                                QStringLiteral("predicho"));
  graficoDispersion_->SetDiagonal(true);
  graficoDispersion_->SetPoints(dispersion);
  graficoHistograma_->SetTitles(QStringLiteral("Errores estandarizados"), QStringLiteral("error / σ"),
                                QStringLiteral("datos"));
  graficoHistograma_->SetYFromZero(true);
  graficoHistograma_->SetBars(barras);
  graficoMapa_->SetTitles(QStringLiteral("Mapa de errores (rojo: observado mayor)"), QStringLiteral("X"),
                          QStringLiteral("Y"));
  graficoMapa_->SetEqualScales(true);
  graficoMapa_->SetPoints(mapa);
}

sorvan::Resultado frmValidacionCruzada::ExportarTabla(const QString& path) const {
  if (resultado_.status != 0) return sorvan::Resultado::Error("No hay ninguna validación cruzada que exportar.");
  return sorvan::WriteCrossValidationCsv(path.toStdString(), resultado_);
}

void frmValidacionCruzada::Exportar() {
  cFileDlg dlg;
  dlg.OwnerHwnd = this;
  dlg.DlgTitle = QStringLiteral("Exportar la validación cruzada");
  dlg.Filter = QStringLiteral("Archivos CSV (*.csv)|*.csv");
  dlg.DefaultExt = QStringLiteral("csv");
  dlg.InitDirectory = QString::fromStdString(sesion_.carpetaResultados);
  QString nombre = QStringLiteral("validacion_cruzada.csv");
  if (!dlg.VBGetSaveFileName(nombre)) return;
  const sorvan::Resultado r = ExportarTabla(nombre);
  if (!r) QMessageBox::warning(this, windowTitle(), QString::fromStdString(r.mensaje));
}
