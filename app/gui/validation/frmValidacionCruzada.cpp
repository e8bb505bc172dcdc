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

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

namespace {
const char* const kModels[] = {"esférico", "exponencial", "lineal", "potencial", "racional cuadrático",
                                "oscilatorio"};
const char* const kTrends[] = {"constante (kriging ordinario)", "lineal", "cuadrática", "cúbica"};
constexpr int kHistogramClasses = 16;

QString NumberString(double v) { return QString::number(v, 'g', 6); }
}  // namespace

QString ModelName(int code) {
  return code >= 1 && code <= 6 ? QString::fromUtf8(kModels[code - 1]) : QStringLiteral("?");
}

QString ModelDescription(int code, double c0, double c1, double a) {
  QString t = ModelName(code) + QStringLiteral(", c0 = ") + NumberString(c0) + QStringLiteral(", c1 = ") + NumberString(c1);
  if (code != 3) t += QStringLiteral(", a = ") + NumberString(a);
  return t;
}

frmValidacionCruzada::frmValidacionCruzada(const sorvan::core::KrigingSession& session, QWidget* parent)
    : QDialog(parent), session_(session) {
  setObjectName(QStringLiteral("frmValidacionCruzada"));
  setWindowTitle(QStringLiteral("Validación cruzada"));
  auto* root = new QVBoxLayout(this);
  const sorvan::core::FittedModel& m = session.model;
  auto* lblModelo = new QLabel(
      QStringLiteral("Variable: %1.  Modelo: %2.  Tendencia: %3.")
          .arg(QString::fromStdString(session.surfacesVariable), ModelDescription(m.code, m.c0, m.c1, m.a),
               QString::fromUtf8(kTrends[std::clamp(session.options.Media, 0, 3)])),
      this);
  lblModelo->setWordWrap(true);
  root->addWidget(lblModelo);

  auto* row = new QHBoxLayout;
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
  row->addWidget(cboModo_);
  row->addWidget(new QLabel(QStringLiteral("Grupos:"), this));
  row->addWidget(spnGrupos_);
  row->addWidget(new QLabel(QStringLiteral("Semilla:"), this));
  row->addWidget(spnSemilla_);
  row->addWidget(cmdCalcular);
  row->addStretch();
  root->addLayout(row);

  auto* grid = new QGridLayout;
  scatterChart_ = new ValidationPlot(this);
  scatterChart_->setObjectName(QStringLiteral("graficoDispersion"));
  histogramChart_ = new ValidationPlot(this);
  histogramChart_->setObjectName(QStringLiteral("graficoHistograma"));
  mapChart_ = new ValidationPlot(this);
  mapChart_->setObjectName(QStringLiteral("graficoMapa"));
  lblResumen_ = new QLabel(this);
  lblResumen_->setObjectName(QStringLiteral("lblResumen"));
  lblResumen_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  lblResumen_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblResumen_->setWordWrap(true);
  grid->addWidget(scatterChart_, 0, 0);
  grid->addWidget(histogramChart_, 0, 1);
  grid->addWidget(mapChart_, 1, 0);
  grid->addWidget(lblResumen_, 1, 1);
  root->addLayout(grid, 1);

  auto* buttons = new QDialogButtonBox(this);
  auto* cmdExportar = buttons->addButton(QStringLiteral("&Exportar tabla..."), QDialogButtonBox::ActionRole);
  cmdExportar->setObjectName(QStringLiteral("cmdExportar"));
  auto* cmdCerrar = buttons->addButton(QStringLiteral("C&errar"), QDialogButtonBox::RejectRole);
  cmdCerrar->setObjectName(QStringLiteral("cmdCerrar"));
  root->addWidget(buttons);

  connect(cboModo_, &QComboBox::currentIndexChanged, this, [this](int i) {
    spnGrupos_->setEnabled(i == 1);
    spnSemilla_->setEnabled(i == 1);
  });
  connect(cmdCalcular, &QPushButton::clicked, this, [this] { Calcular(); });
  connect(cmdExportar, &QPushButton::clicked, this, &frmValidacionCruzada::Export);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  resize(900, 700);
  Calcular();
}

bool frmValidacionCruzada::Calcular() {
  const sorvan::core::FittedModel& m = session_.model;
  const int groups = cboModo_->currentIndex() == 1 ? spnGrupos_->value() : 0;
  result_ = sorvan::core::CrossValidateColumns(session_.data, session_.colX, session_.colY, session_.colZ,
                                            {m.code, m.c0, m.c1, m.a}, session_.options.Media, groups,
                                            std::uint32_t(spnSemilla_->value()));
  ShowResult();
  return result_.status == 0;
}

void frmValidacionCruzada::ShowResult() {
  std::vector<ValidationPlot::Point> scatter, map;
  std::vector<ValidationPlot::Bar> bars;
  if (result_.status != 0) {
    lblResumen_->setText(QStringLiteral("No se pudo hacer la validación cruzada: ") +
                         QString::fromStdString(result_.message));
  } else {
    const kriging::CrossValidationSummary& r = result_.summary;
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
            .arg(NumberString(r.meanError), NumberString(r.rootMeanSquareError), NumberString(r.meanStandardisedError),
                 NumberString(r.meanSquaredStandardisedError), NumberString(r.correlation),
                 QString::number(100 * r.shareWithin, 'f', 1)));
    double largestError = 0, largestStandardised = 0;
    for (const kriging::CrossValidationPoint& p : result_.points)
      largestError = std::max(largestError, std::abs(p.error)),
      largestStandardised = std::max(largestStandardised, std::abs(p.standardisedError));
    for (const kriging::CrossValidationPoint& p : result_.points) {
      scatter.push_back({QPointF(p.observed, p.predicted), QColor(60, 110, 190)});
      map.push_back({QPointF(p.x, p.y), DivergingColour(p.error, largestError)});
    }
    // Symmetric classes around 0 covering the largest standardised error.
    const double limit = std::max(std::ceil(largestStandardised), 1.0), width = 2 * limit / kHistogramClasses;
    std::vector<double> counts(kHistogramClasses, 0);
    for (const kriging::CrossValidationPoint& p : result_.points)
      counts[std::clamp(int((p.standardisedError + limit) / width), 0, kHistogramClasses - 1)] += 1;
    for (int k = 0; k < kHistogramClasses; ++k)
      bars.push_back({-limit + k * width, -limit + (k + 1) * width, counts[size_t(k)]});
  }
  scatterChart_->SetTitles(QStringLiteral("Observados y predichos"), QStringLiteral("observado"),
                                QStringLiteral("predicho"));
  scatterChart_->SetDiagonal(true);
  scatterChart_->SetPoints(scatter);
  histogramChart_->SetTitles(QStringLiteral("Errores estandarizados"), QStringLiteral("error / σ"),
                                QStringLiteral("datos"));
  histogramChart_->SetYFromZero(true);
  histogramChart_->SetBars(bars);
  mapChart_->SetTitles(QStringLiteral("Mapa de errores (rojo: observado mayor)"), QStringLiteral("X"),
                          QStringLiteral("Y"));
  mapChart_->SetEqualScales(true);
  mapChart_->SetPoints(map);
}

sorvan::core::Result frmValidacionCruzada::ExportTable(const QString& path) const {
  if (result_.status != 0) return sorvan::core::Result::Error("No hay ninguna validación cruzada que exportar.");
  return sorvan::core::WriteCrossValidationCsv(path.toStdString(), result_);
}

void frmValidacionCruzada::Export() {
  cFileDlg dlg;
  dlg.OwnerHwnd = this;
  dlg.DlgTitle = QStringLiteral("Exportar la validación cruzada");
  dlg.Filter = QStringLiteral("Archivos CSV (*.csv)|*.csv");
  dlg.DefaultExt = QStringLiteral("csv");
  dlg.InitDirectory = QString::fromStdString(session_.resultsFolder);
  QString nombre = QStringLiteral("validacion_cruzada.csv");
  if (!dlg.VBGetSaveFileName(nombre)) return;
  const sorvan::core::Result r = ExportTable(nombre);
  if (!r) QMessageBox::warning(this, windowTitle(), QString::fromStdString(r.message));
}

}  // namespace sorvan::gui
