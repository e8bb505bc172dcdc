#include "gui/kriging/frmOpKriging.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <optional>

#include "core/run_kriging.h"
#include "core/options_validation.h"
#include "gui/kriging/ControlUpDown.h"
#include "gui/app_shell.h"
#include "gui/kriging/text_to_number.h"
#include "platform/cFileDlg.h"

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

using sorvan::core::OpcionesKriging;

namespace {

const QString kTitle = QStringLiteral("Sorvan: Kriging 2D");

QLineEdit* newText(const char* nombre, QWidget* parentWindow, int width = 90) {
  auto* t = new QLineEdit(parentWindow);
  t->setObjectName(QLatin1String(nombre));
  t->setMinimumWidth(width);
  t->setMaximumWidth(width + 40);
  return t;
}

QCheckBox* newCheckBox(const char* nombre, const QString& text, QWidget* parentWindow) {
  auto* c = new QCheckBox(text, parentWindow);
  if (nombre) c->setObjectName(QLatin1String(nombre));
  return c;
}

// An option group: a frame of radio buttons whose ids are their indices.
QButtonGroup* newGroup(const char* nombre, QGroupBox* frame, const QStringList& texts,
                         QVBoxLayout* layer) {
  auto* grupo = new QButtonGroup(frame);
  grupo->setObjectName(QLatin1String(nombre));
  for (int i = 0; i < texts.size(); ++i) {
    auto* b = new QRadioButton(texts[i], frame);
    b->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(nombre)).arg(i));
    grupo->addButton(b, i);
    layer->addWidget(b);
  }
  return grupo;
}

void select(QButtonGroup* grupo, int index) {
  index = std::clamp(index, 0, int(grupo->buttons().size()) - 1);
  grupo->button(index)->setChecked(true);
}

QPushButton* newButton(const char* nombre, const QString& text, QWidget* parentWindow) {
  auto* b = new QPushButton(text, parentWindow);
  b->setObjectName(QLatin1String(nombre));
  return b;
}

QLabel* label(const QString& text, QWidget* field, QWidget* parentWindow) {
  auto* l = new QLabel(text, parentWindow);
  l->setBuddy(field);
  return l;
}

// Row `row` of a grid: the label `text` in `column`, `field` beside it.
QLabel* labelledRow(QGridLayout* grid, int row, int column, const QString& text, QWidget* field) {
  QLabel* l = label(text, field, field->parentWidget());
  grid->addWidget(l, row, column);
  grid->addWidget(field, row, column + 1);
  return l;
}

// A count box with its arrows right beside it (Nx or Ny).
QHBoxLayout* withArrows(QLineEdit* text, ControlUpDown* arrows) {
  auto* row = new QHBoxLayout;
  row->setSpacing(1);
  row->addWidget(text);
  row->addWidget(arrows);
  row->addStretch();
  return row;
}

}  // namespace

frmOpKriging::frmOpKriging(OpcionesKriging& options, const sorvan::core::SpatialData& data, int colX,
                           int colY, QWidget* parent)
    : QDialog(parent), options_(options), data_(data), colX_(colX), colY_(colY) {
  setObjectName(QStringLiteral("frmOpKriging"));
  setWindowTitle(QStringLiteral("Opciones Kriging"));
  setModal(true);

  Pestanas = new QTabWidget(this);
  Pestanas->setObjectName(QStringLiteral("Pestanas"));
  Pestanas->addTab(createMethodPage(), QStringLiteral("Método kriging"));
  Pestanas->addTab(createEstimationPage(), QStringLiteral("Estimación variograma"));
  Pestanas->addTab(createModelPage(), QStringLiteral("Modelo variograma"));
  Pestanas->addTab(createGridPage(), QStringLiteral("Rejilla de predicción"));
  Pestanas->addTab(createSurfacesPage(), QStringLiteral("Superficies"));
  Pestanas->addTab(createProfilePage(), QStringLiteral("Perfil"));
  // All six tabs in sight: the dialog widens rather than hiding tabs behind
  // scroll arrows.
  Pestanas->setUsesScrollButtons(false);
  Pestanas->tabBar()->setElideMode(Qt::ElideNone);

  CoAceptar = newButton("CoAceptar", QStringLiteral("Aceptar"), this);
  CoAceptar->setDefault(true);
  CoCancelar = newButton("CoCancelar", QStringLiteral("Cancelar"), this);
  CoAyuda = newButton("CoAyuda", QStringLiteral("Ayuda"), this);
  connect(CoAyuda, &QPushButton::clicked, this, [this] {
    if (AppShell* shell = AppShellOf(this)) shell->ShowHelp(QStringLiteral("opciones"));
  });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(CoAceptar);
  buttons->addWidget(CoCancelar);
  buttons->addWidget(CoAyuda);
  auto* layer = new QVBoxLayout(this);
  layer->addWidget(Pestanas);
  layer->addLayout(buttons);

  connect(VerLongVar, &QCheckBox::toggled, this, &frmOpKriging::VerLongVar_Click);
  connect(CoAutoESV, &QPushButton::clicked, this, &frmOpKriging::CoAutoESV_Click);
  connect(CoAutoRej, &QPushButton::clicked, this, &frmOpKriging::CoAutoRej_Click);
  // Only a click by the user starts or ends an association: the box is set
  // from code while loading, and that must not drop the profile.
  connect(VerPerfil, &QCheckBox::clicked, this, &frmOpKriging::VerPerfil_Click);
  connect(CoAceptar, &QPushButton::clicked, this, &frmOpKriging::CoAceptar_Click);
  connect(CoCancelar, &QPushButton::clicked, this, &QDialog::reject);

  load();
}

QWidget* frmOpKriging::createMethodPage() {
  auto* page = new QWidget;
  auto* mean = new QGroupBox(QStringLiteral("Media"), page);
  auto* meanLayer = new QVBoxLayout(mean);
  OpMedia = newGroup("OpMedia", mean,
                       {QStringLiteral("Constante (KO)"), QStringLiteral("Lineal (KU)"),
                        QStringLiteral("Cuadrática (KU)"), QStringLiteral("Cúbica (KU)")},
                       meanLayer);

  // Local kriging: checking the frame's title turns it on (Qt disables the
  // frame's contents while it is unchecked).
  FraKrigingLocal = new QGroupBox(QStringLiteral("Kriging Local"), page);
  FraKrigingLocal->setObjectName(QStringLiteral("FraKrigingLocal"));
  FraKrigingLocal->setCheckable(true);
  auto* local = FraKrigingLocal;
  auto* localLayer = new QGridLayout(local);
  TxtNVecinos = newText("TxtNVecinos", local, 60);
  TxtNMinVecinos = newText("TxtNMinVecinos", local, 60);
  TxtDistVecinos = newText("TxtDistVecinos", local, 90);
  TxtDistVecinos->setPlaceholderText(QStringLiteral("sin límite"));
  labelledRow(localLayer, 0, 0, QStringLiteral("Nº de vecinos:"), TxtNVecinos);
  labelledRow(localLayer, 1, 0, QStringLiteral("Nº mínimo:"), TxtNMinVecinos);
  labelledRow(localLayer, 2, 0, QStringLiteral("Distancia máxima:"), TxtDistVecinos);
  VerCuadrantes = newCheckBox("VerCuadrantes", QStringLiteral("Por cuadrantes"), local);
  VerCuadrantes->setToolTip(QStringLiteral("Toma como mucho la cuarta parte de los vecinos de cada cuadrante."));
  VerVariograma = newCheckBox("VerVariograma", QStringLiteral("Variograma"), local);
  VerVariograma->setToolTip(
      QStringLiteral("Estima el semivariograma solo con los pares de datos hasta la distancia máxima."));
  VerTendencia = newCheckBox("VerTendencia", QStringLiteral("Tendencia"), local);
  VerTendencia->setToolTip(
      QStringLiteral("Marcada: la tendencia se estima en cada vecindario (kriging universal local).\n"
                     "Sin marcar: se ajusta una tendencia global una vez, se krigean los residuos "
                     "localmente y se suma la tendencia."));
  localLayer->addWidget(VerCuadrantes, 3, 0, 1, 2);
  localLayer->addWidget(VerVariograma, 4, 0, 1, 2);
  localLayer->addWidget(VerTendencia, 5, 0, 1, 2);
  localLayer->setRowStretch(6, 1);
  localLayer->setColumnStretch(2, 1);  // the boxes beside their labels
  VerSupTend = newCheckBox("VerSupTend", QStringLiteral("Generar gráfico con tendencia"), page);
  VerSupTend->setToolTip(QStringLiteral("Tras el cálculo abre también la superficie de la tendencia ajustada, "
                                        "en la misma rejilla que la predicción."));
  // Only a trend of degree 1 or more has a surface to draw.
  VerSupTend->setEnabled(false);
  connect(OpMedia, &QButtonGroup::idToggled, VerSupTend,
          [this](int, bool) { VerSupTend->setEnabled(OpMedia->checkedId() > 0); });

  auto* row = new QHBoxLayout;
  row->addWidget(mean);
  row->addWidget(local);
  auto* layer = new QVBoxLayout(page);
  layer->addLayout(row);
  layer->addWidget(VerSupTend);
  layer->addStretch();
  return page;
}

QWidget* frmOpKriging::createEstimationPage() {
  auto* page = new QWidget;
  auto* estimador = new QGroupBox(QStringLiteral("Estimador"), page);
  auto* estimateLayer = new QVBoxLayout(estimador);
  OpEstimador = newGroup("OpEstimador", estimador,
                           {QStringLiteral("Clásico"), QStringLiteral("Robusto")}, estimateLayer);
  estimateLayer->addStretch();

  auto* suavizado = new QGroupBox(QStringLiteral("Suavizado"), page);
  auto* grid = new QGridLayout(suavizado);
  TxtSaltoIni = newText("TxtSaltoIni", suavizado);
  TxtRSalto = newText("TxtRSalto", suavizado);
  TxtNSaltos = newText("TxtNSaltos", suavizado);
  TxtNApor = newText("TxtNApor", suavizado);
  CoAutoESV = newButton("CoAutoESV", QStringLiteral("Auto"), suavizado);
  VerLongVar = newCheckBox("VerLongVar", QStringLiteral("Longitud variable"), suavizado);
  LblSaltoIni = labelledRow(grid, 0, 0, QStringLiteral("Salto inicial:"), TxtSaltoIni);
  LblRSalto = labelledRow(grid, 1, 0, QStringLiteral("Rango:"), TxtRSalto);
  LblNSaltos = labelledRow(grid, 2, 0, QStringLiteral("Nº de saltos:"), TxtNSaltos);
  grid->addWidget(CoAutoESV, 2, 2);
  grid->addWidget(VerLongVar, 3, 0, 1, 2);
  labelledRow(grid, 4, 0, QStringLiteral("Nº Aportaciones:"), TxtNApor);
  grid->setColumnStretch(3, 1);

  auto* charts = new QGroupBox(QStringLiteral("Gráficos"), page);
  auto* chartLayer = new QVBoxLayout(charts);
  VerEstimadores = newCheckBox("VerEstimadores", QStringLiteral("Estimadores"), charts);
  auto* contributions = newCheckBox(nullptr, QStringLiteral("Aportaciones"), charts);
  contributions->setEnabled(false);  // no chart of the pair counts exists
  chartLayer->addWidget(VerEstimadores);
  chartLayer->addWidget(contributions);
  chartLayer->addStretch();

  auto* left = new QVBoxLayout;
  left->addWidget(estimador);
  left->addWidget(charts);
  auto* layer = new QHBoxLayout(page);
  layer->addLayout(left);
  layer->addWidget(suavizado, 1);
  return page;
}

QWidget* frmOpKriging::createModelPage() {
  auto* page = new QWidget;
  auto* models = new QGroupBox(QStringLiteral("Modelos paramétricos"), page);
  auto* modelLayer = new QVBoxLayout(models);
  OpModelo = newGroup("OpModelo", models,
                        {QStringLiteral("Modelo esférico"), QStringLiteral("Modelo exponencial"),
                         QStringLiteral("Modelo lineal"), QStringLiteral("Modelo potencial"),
                         QStringLiteral("Modelo racional-cuadrático"),
                         QStringLiteral("Modelo oscilatorio")},
                        modelLayer);

  auto* fit = new QGroupBox(QStringLiteral("Ajuste"), page);
  auto* grid = new QGridLayout(fit);
  TxtNAjus = newText("TxtNAjus", fit);
  TxtNMinAjus = newText("TxtNMinAjus", fit);
  labelledRow(grid, 0, 0, QStringLiteral("Nº de saltos:"), TxtNAjus);
  labelledRow(grid, 1, 0, QStringLiteral("Nº mínimo de aportaciones:"), TxtNMinAjus);
  ChkAjusteGlobal = newCheckBox("ChkAjusteGlobal", QStringLiteral("Ajuste global (varios puntos de partida)"), fit);
  grid->addWidget(ChkAjusteGlobal, 2, 0, 1, 2);
  grid->setRowStretch(3, 1);
  VerAjuste = newCheckBox("VerAjuste", QStringLiteral("Gráfico ajuste"), page);

  auto* right = new QVBoxLayout;
  right->addWidget(fit);
  right->addWidget(VerAjuste);
  right->addStretch();
  auto* layer = new QHBoxLayout(page);
  layer->addWidget(models);
  layer->addLayout(right, 1);
  return page;
}

QWidget* frmOpKriging::createGridPage() {
  auto* page = new QWidget;
  auto* origin = new QGroupBox(QStringLiteral("Origen"), page);
  auto* originLayer = new QGridLayout(origin);
  TxtMinRx = newText("TxtMinRx", origin, 110);
  TxtMinRy = newText("TxtMinRy", origin, 110);
  labelledRow(originLayer, 0, 0, QStringLiteral("Coordenada X:"), TxtMinRx);
  labelledRow(originLayer, 1, 0, QStringLiteral("Coordenada Y:"), TxtMinRy);
  originLayer->setRowStretch(2, 1);

  auto* dimensions = new QGroupBox(QStringLiteral("Dimensiones"), page);
  auto* dimLayer = new QGridLayout(dimensions);
  TxtNRx = newText("TxtNRx", dimensions, 50);
  TxtNRy = newText("TxtNRy", dimensions, 50);
  UpDownNRx = new ControlUpDown(TxtNRx, dimensions);
  UpDownNRx->setObjectName(QStringLiteral("UpDownNRx"));
  UpDownNRy = new ControlUpDown(TxtNRy, dimensions);
  UpDownNRy->setObjectName(QStringLiteral("UpDownNRy"));
  TxtLRx = newText("TxtLRx", dimensions, 110);
  TxtLRy = newText("TxtLRy", dimensions, 110);
  dimLayer->addWidget(label(QStringLiteral("Nx:"), TxtNRx, dimensions), 0, 0);
  dimLayer->addLayout(withArrows(TxtNRx, UpDownNRx), 0, 1);
  dimLayer->addWidget(label(QStringLiteral("Ny:"), TxtNRy, dimensions), 1, 0);
  dimLayer->addLayout(withArrows(TxtNRy, UpDownNRy), 1, 1);
  labelledRow(dimLayer, 0, 2, QStringLiteral("Lx:"), TxtLRx);
  labelledRow(dimLayer, 1, 2, QStringLiteral("Ly:"), TxtLRy);
  dimLayer->setRowStretch(2, 1);

  CoAutoRej = newButton("CoAutoRej", QStringLiteral("Ajustar"), page);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(CoAutoRej);

  auto* row = new QHBoxLayout;
  row->addWidget(origin);
  row->addWidget(dimensions, 1);
  auto* layer = new QVBoxLayout(page);
  layer->addLayout(row);
  layer->addLayout(buttons);
  layer->addStretch();
  return page;
}

QWidget* frmOpKriging::createSurfacesPage() {
  auto* page = new QWidget;
  auto* charts = new QGroupBox(QStringLiteral("Gráficos"), page);
  auto* chartLayer = new QVBoxLayout(charts);
  VerSupPred = newCheckBox("VerSupPred", QStringLiteral("Superficie de predicción"), charts);
  VerSupVar = newCheckBox("VerSupVar", QStringLiteral("Superficie de varianzas"), charts);
  chartLayer->addWidget(VerSupPred);
  chartLayer->addWidget(VerSupVar);
  chartLayer->addStretch();

  // After each run the surfaces are also written to these files (GeoTIFF,
  // ".asc", ".grd", CSV of nodes or ".sup", by the extension); empty: none.
  auto* save = new QGroupBox(QStringLiteral("Guardar"), page);
  auto* saveLayer = new QGridLayout(save);
  TxtGuardarPred = new QLineEdit(save);
  TxtGuardarPred->setObjectName(QStringLiteral("TxtGuardarPred"));
  TxtGuardarPred->setPlaceholderText(QStringLiteral("p. ej. prediccion.tif"));
  TxtGuardarVar = new QLineEdit(save);
  TxtGuardarVar->setObjectName(QStringLiteral("TxtGuardarVar"));
  TxtGuardarVar->setPlaceholderText(QStringLiteral("p. ej. varianza.asc"));
  labelledRow(saveLayer, 0, 0, QStringLiteral("Predicción:"), TxtGuardarPred);
  labelledRow(saveLayer, 1, 0, QStringLiteral("Varianzas:"), TxtGuardarVar);
  auto* saveHelp = new QLabel(QStringLiteral("Formato según la extensión: .tif (las dos superficies), .asc, "
                                                 ".grd, .csv (nodos) o .sup. Sin carpeta, en la carpeta de "
                                                 "resultados."),
                                  save);
  saveHelp->setWordWrap(true);
  saveLayer->addWidget(saveHelp, 2, 0, 1, 2);
  saveLayer->setRowStretch(3, 1);

  auto* layer = new QHBoxLayout(page);
  layer->addWidget(charts);
  layer->addWidget(save, 1);
  return page;
}

QWidget* frmOpKriging::createProfilePage() {
  auto* page = new QWidget;
  VerPerfil = newCheckBox("VerPerfil", QStringLiteral("Asociar perfil"), page);
  TxtPerfil = new QLineEdit(page);
  TxtPerfil->setObjectName(QStringLiteral("TxtPerfil"));
  TxtPerfil->setReadOnly(true);  // the path comes from the file dialog
  TxtPerfil->setMinimumWidth(320);
  VerRejillaPerfil = newCheckBox("VerRejillaPerfil", QStringLiteral("Ajustar rejilla al perfil"), page);

  auto* exclude = new QGroupBox(QStringLiteral("Excluir ptos:"), page);
  auto* excludeLayer = new QVBoxLayout(exclude);
  OpExcluir = newGroup("OpExcluir", exclude,
                         {QStringLiteral("Exteriores"), QStringLiteral("Interiores")}, excludeLayer);
  excludeLayer->addStretch();

  // Excluded nodes always keep the hole value; the choice is shown disabled.
  auto* excluded = new QGroupBox(QStringLiteral("Ptos. excluidos:"), page);
  auto* excludedLayer = new QGridLayout(excluded);
  OpValorExcluidos = new QButtonGroup(excluded);
  OpValorExcluidos->setObjectName(QStringLiteral("OpValorExcluidos"));
  const QString texts[3] = {QStringLiteral("Eliminar"), QStringLiteral("Mínimo"),
                             QStringLiteral("Valor:")};
  for (int i = 0; i < 3; ++i) {
    auto* b = new QRadioButton(texts[i], excluded);
    OpValorExcluidos->addButton(b, i);
    excludedLayer->addWidget(b, i, 0);
  }
  auto* value = new QLineEdit(excluded);
  value->setMaximumWidth(90);
  excludedLayer->addWidget(value, 2, 1);
  excludedLayer->setColumnStretch(2, 1);
  excluded->setEnabled(false);

  auto* row = new QHBoxLayout;
  row->addWidget(exclude);
  row->addWidget(excluded);
  auto* layer = new QVBoxLayout(page);
  layer->addWidget(VerPerfil);
  layer->addWidget(TxtPerfil);
  layer->addWidget(VerRejillaPerfil);
  layer->addLayout(row);
  layer->addStretch();
  return page;
}

// Fills the controls from the options, in the order the handlers expect.
void frmOpKriging::load() {
  const OpcionesKriging& op = options_;
  select(OpMedia, op.Media);
  select(OpEstimador, op.Estimador - 1);

  FraKrigingLocal->setChecked(op.KrigingLocal != 0);
  TxtNVecinos->setText(IntegerFormat(op.NVecinos));
  TxtNMinVecinos->setText(IntegerFormat(op.NMinVecinos));
  TxtDistVecinos->setText(std::isfinite(op.DistVecinos) ? DistanceFormat(op.DistVecinos) : QString());
  VerCuadrantes->setChecked(op.Cuadrantes != 0);
  VerVariograma->setChecked(op.VarioLocal != 0);
  VerTendencia->setChecked(op.TendLocal != 0);

  TxtNApor->setText(IntegerFormat(op.NApor));
  VerLongVar->setChecked(op.LongVar != 0);
  VerLongVar_Click();

  TxtSaltoIni->setText(DistanceFormat(op.SaltoIni));
  TxtRSalto->setText(DistanceFormat(op.RSalto));
  TxtNSaltos->setText(IntegerFormat(op.NSaltos));
  select(OpModelo, op.Modelo - 1);
  TxtNAjus->setText(IntegerFormat(op.NAjus));
  TxtNMinAjus->setText(IntegerFormat(op.NMinAjus));
  ChkAjusteGlobal->setChecked(op.MetodoAjuste == sorvan::gui::kGlobalFit);

  UpDownNRx->setRange(2, 100);
  UpDownNRy->setRange(2, 100);
  UpDownNRx->setValue(op.NRx);
  UpDownNRy->setValue(op.NRy);
  // A size typed earlier outside the arrows' range is still the option's value.
  TxtNRx->setText(IntegerFormat(op.NRx));
  TxtNRy->setText(IntegerFormat(op.NRy));
  TxtLRx->setText(DistanceFormat(op.LRx));
  TxtLRy->setText(DistanceFormat(op.LRy));
  TxtMinRx->setText(DistanceFormat(op.MinRx));
  TxtMinRy->setText(DistanceFormat(op.MinRy));

  VerEstimadores->setChecked(op.VerEstimadores != 0);
  VerAjuste->setChecked(op.VerAjuste != 0);
  VerSupPred->setChecked(op.VerSupPred != 0);
  VerSupVar->setChecked(op.VerSupVar != 0);
  VerSupTend->setChecked(op.VerSupTend != 0);
  TxtGuardarPred->setText(QString::fromStdString(op.GuardarPred));
  TxtGuardarVar->setText(QString::fromStdString(op.GuardarVar));

  // The box and the path show the profile the next run will use; unticking
  // the box drops it.
  VerPerfil->setChecked(op.profile.attached());
  int side = 0;
  if (op.profile.attached()) {
    side = op.profile.side;
    TxtPerfil->setEnabled(true);
    TxtPerfil->setText(QDir::toNativeSeparators(QString::fromStdString(op.profile.file)));
  } else {
    TxtPerfil->setEnabled(false);
    TxtPerfil->clear();
  }
  select(OpValorExcluidos, 0);
  select(OpExcluir, side);
}

void frmOpKriging::VerLongVar_Click() {
  // Variable-width lags are made of NApor pairs each: the fixed-width lag
  // fields mean nothing then.
  const bool variable = VerLongVar->isChecked();
  TxtNApor->setEnabled(variable);
  for (QWidget* w : std::initializer_list<QWidget*>{TxtSaltoIni, TxtRSalto, TxtNSaltos, LblSaltoIni,
                                                    LblRSalto, LblNSaltos, CoAutoESV})
    w->setEnabled(!variable);
}

void frmOpKriging::CoAutoESV_Click() {
  // The automatic lag values, worked out afresh from the data's distances
  // (the options may hold values the user accepted since).
  OpcionesKriging automaticas = options_;
  sorvan::core::LagParameters(sorvan::core::ComputeDistances(data_, colX_, colY_), data_.N, automaticas);
  select(OpEstimador, 0);  // the classical estimator
  TxtSaltoIni->setText(DistanceFormat(automaticas.SaltoIni));
  TxtRSalto->setText(DistanceFormat(automaticas.RSalto));
  TxtNSaltos->setText(IntegerFormat(automaticas.NSaltos));
}

void frmOpKriging::CoAutoRej_Click() {
  const auto nx = ReadInteger(TxtNRx->text());
  const auto ny = ReadInteger(TxtNRy->text());
  // The spacing is (max - min)/(n - 2): at least 3 nodes are needed.
  if (!nx || *nx < 3) {
    reject(QStringLiteral("Para ajustar la rejilla Nx debe ser al menos 3 (Nx: \"%1\").").arg(TxtNRx->text()),
             TxtNRx);
    return;
  }
  if (!ny || *ny < 3) {
    reject(QStringLiteral("Para ajustar la rejilla Ny debe ser al menos 3 (Ny: \"%1\").").arg(TxtNRy->text()),
             TxtNRy);
    return;
  }
  // Worked out on a copy: the options change only on "Accept".
  OpcionesKriging copy = options_;
  const sorvan::core::Result r = sorvan::core::AutomaticGrid(data_, colX_, colY_, *nx, *ny, copy);
  if (!r) {
    reject(QString::fromStdString(r.message), TxtNRx);
    return;
  }
  TxtLRx->setText(DistanceFormat(copy.LRx));
  TxtMinRx->setText(DistanceFormat(copy.MinRx));
  TxtLRy->setText(DistanceFormat(copy.LRy));
  TxtMinRy->setText(DistanceFormat(copy.MinRy));
}

void frmOpKriging::VerPerfil_Click() {
  if (!VerPerfil->isChecked()) {
    removeProfile();
    return;
  }
  cFileDlg dlg;
  dlg.OwnerHwnd = this;
  dlg.Filter = QStringLiteral("Ficheros perfil (*.per)|*.per|Todos los ficheros (*.*)|*.*");
  dlg.InitDirectory = QDir::currentPath();
  QString file;
  if (!dlg.VBGetOpenFileName(file)) {
    VerPerfil->setChecked(false);
    removeProfile();
    return;
  }
  TxtPerfil->setEnabled(true);
  TxtPerfil->setText(file);
  // The association takes effect at once, even if the dialog is cancelled.
  const sorvan::core::Result r = sorvan::core::LeePerfil(QFile::encodeName(file).toStdString(), options_.profile);
  if (!r) {
    QMessageBox::warning(this, kTitle, QString::fromStdString(r.message));
    VerPerfil->setChecked(false);
    removeProfile();
    return;
  }
  options_.profile.side = OpExcluir->checkedId();
  if (VerRejillaPerfil->isChecked()) fitGridToProfile();
}

void frmOpKriging::fitGridToProfile() {
  const auto nx = ReadInteger(TxtNRx->text());
  const auto ny = ReadInteger(TxtNRy->text());
  if (!nx || *nx < 1 || !ny || *ny < 1) {
    reject(QStringLiteral("Para ajustar la rejilla al perfil Nx y Ny deben ser al menos 1 "
                            "(Nx: \"%1\", Ny: \"%2\").")
                 .arg(TxtNRx->text(), TxtNRy->text()),
             (!nx || *nx < 1) ? TxtNRx : TxtNRy);
    return;
  }
  OpcionesKriging copy = options_;
  const sorvan::core::Result r = sorvan::core::ProfileGrid(options_.profile, *nx, *ny, copy);
  if (!r) {
    reject(QString::fromStdString(r.message), TxtNRx);
    return;
  }
  TxtLRx->setText(DistanceFormat(copy.LRx));
  TxtMinRx->setText(DistanceFormat(copy.MinRx));
  TxtLRy->setText(DistanceFormat(copy.LRy));
  TxtMinRy->setText(DistanceFormat(copy.MinRy));
}

void frmOpKriging::removeProfile() {
  options_.profile.clear();
  TxtPerfil->clear();
  TxtPerfil->setEnabled(false);
}

void frmOpKriging::reject(const QString& text, QLineEdit* field) {
  QMessageBox::warning(this, kTitle, text);
  for (QWidget* w = field; w; w = w->parentWidget()) {
    const int i = Pestanas->indexOf(w);
    if (i >= 0) {
      Pestanas->setCurrentIndex(i);
      break;
    }
  }
  field->setFocus();
  field->selectAll();
}

void frmOpKriging::CoAceptar_Click() {
  // Every field is read and checked before any option changes, so that a
  // refused value leaves the options as they were and the dialog open.
  auto distance = [this](QLineEdit* field, const QString& nombre) -> std::optional<float> {
    const std::optional<double> v = ReadNumberText(field->text());
    if (!v || std::fabs(*v) > FLT_MAX) {
      reject(QStringLiteral("El valor \"%1\" de %2 no es un número válido.").arg(field->text(), nombre),
               field);
      return std::nullopt;
    }
    return static_cast<float>(*v);
  };
  // The grid's origin and spacing are kept in double: a northing of millions
  // of metres keeps its centimetres.
  auto coordinate = [this](QLineEdit* field, const QString& nombre) -> std::optional<double> {
    const std::optional<double> v = ReadNumberText(field->text());
    if (!v || std::fabs(*v) > FLT_MAX) {
      reject(QStringLiteral("El valor \"%1\" de %2 no es un número válido.").arg(field->text(), nombre),
               field);
      return std::nullopt;
    }
    return *v;
  };
  auto integer = [this](QLineEdit* field, const QString& nombre) -> std::optional<int> {
    const auto v = ReadInteger(field->text());
    if (!v)
      reject(QStringLiteral("El valor \"%1\" de %2 no es un número entero válido.").arg(field->text(), nombre),
               field);
    return v;
  };

  const auto nContributions = integer(TxtNApor, QStringLiteral("\"Nº Aportaciones\""));
  if (!nContributions) return;
  const auto firstLag = distance(TxtSaltoIni, QStringLiteral("\"Salto inicial\""));
  if (!firstLag) return;
  const auto lagWidth = distance(TxtRSalto, QStringLiteral("\"Rango\""));
  if (!lagWidth) return;
  const auto lagCount = integer(TxtNSaltos, QStringLiteral("\"Nº de saltos\""));
  if (!lagCount) return;
  // The engine holds at most kMaxLags lag classes.
  if (*lagCount < 1 || *lagCount > sorvan::core::kMaxLags) {
    reject(QStringLiteral("El nº de saltos debe estar entre 1 y %1 (se ha escrito \"%2\").")
                 .arg(sorvan::core::kMaxLags)
                 .arg(TxtNSaltos->text()),
             TxtNSaltos);
    return;
  }
  auto fitLagCount = integer(TxtNAjus, QStringLiteral("\"Nº de saltos\" del ajuste"));
  if (!fitLagCount) return;
  const auto minContributions = integer(TxtNMinAjus, QStringLiteral("\"Nº mínimo de aportaciones\""));
  if (!minContributions) return;
  const auto nRx = integer(TxtNRx, QStringLiteral("\"Nx\""));
  if (!nRx) return;
  const auto nRy = integer(TxtNRy, QStringLiteral("\"Ny\""));
  if (!nRy) return;
  for (auto [n, field, axis] : {std::tuple{*nRx, TxtNRx, "Nx"}, std::tuple{*nRy, TxtNRy, "Ny"}}) {
    if (n < 1) {
      reject(QStringLiteral("La rejilla necesita al menos un nodo en cada eje (%1: \"%2\").")
                   .arg(QLatin1String(axis), field->text()),
               field);
      return;
    }
  }
  if (int64_t(*nRx) * *nRy > sorvan::core::kMaxGridNodes) {
    reject(QStringLiteral("La rejilla de %1 por %2 nodos es demasiado grande (como máximo %3 nodos).")
                 .arg(*nRx)
                 .arg(*nRy)
                 .arg(sorvan::core::kMaxGridNodes),
             TxtNRx);
    return;
  }
  const auto lRx = coordinate(TxtLRx, QStringLiteral("\"Lx\""));
  if (!lRx) return;
  const auto lRy = coordinate(TxtLRy, QStringLiteral("\"Ly\""));
  if (!lRy) return;
  for (auto [l, field, axis] : {std::tuple{*lRx, TxtLRx, "Lx"}, std::tuple{*lRy, TxtLRy, "Ly"}}) {
    if (!(l > 0)) {
      reject(QStringLiteral("El espaciado de la rejilla debe ser mayor que cero (%1: \"%2\").")
                   .arg(QLatin1String(axis), field->text()),
               field);
      return;
    }
  }
  const auto minRx = coordinate(TxtMinRx, QStringLiteral("\"Coordenada X\" del origen"));
  if (!minRx) return;
  const auto minRy = coordinate(TxtMinRy, QStringLiteral("\"Coordenada Y\" del origen"));
  if (!minRy) return;

  // The neighbourhood is read only when it is in use; an empty distance is no limit.
  const bool local = FraKrigingLocal->isChecked();
  std::optional<int> neighbourCount = options_.NVecinos, minNeighbourCount = options_.NMinVecinos;
  std::optional<float> neighbourDistance = options_.DistVecinos;
  if (local) {
    neighbourCount = integer(TxtNVecinos, QStringLiteral("\"Nº de vecinos\""));
    if (!neighbourCount) return;
    minNeighbourCount = integer(TxtNMinVecinos, QStringLiteral("\"Nº mínimo\" de vecinos"));
    if (!minNeighbourCount) return;
    neighbourDistance = std::numeric_limits<float>::infinity();
    if (!TxtDistVecinos->text().trimmed().isEmpty()) {
      neighbourDistance = distance(TxtDistVecinos, QStringLiteral("\"Distancia máxima\""));
      if (!neighbourDistance) return;
    }
  }

  if (*fitLagCount > *lagCount) {
    QMessageBox::information(this, kTitle, QString::fromUtf8(sorvan::core::kNAjusWarning));
    fitLagCount = *lagCount;
  }

  // Built apart and checked by the same validation as the tool and the
  // engine call before the session's options change.
  OpcionesKriging op = options_;
  op.Media = OpMedia->checkedId();
  op.LongVar = VerLongVar->isChecked() ? 1 : 0;
  op.NApor = *nContributions;
  op.Estimador = OpEstimador->checkedId() + 1;
  op.SaltoIni = *firstLag;
  op.RSalto = *lagWidth;
  op.NSaltos = *lagCount;
  op.Modelo = OpModelo->checkedId() + 1;
  op.NAjus = *fitLagCount;
  op.NMinAjus = *minContributions;
  if (ChkAjusteGlobal->isChecked())
    op.MetodoAjuste = sorvan::gui::kGlobalFit;
  else if (op.MetodoAjuste == sorvan::gui::kGlobalFit)
    op.MetodoAjuste = sorvan::gui::kEngineFit;
  op.NRx = *nRx;
  op.NRy = *nRy;
  op.LRx = *lRx;
  op.LRy = *lRy;
  op.MinRx = *minRx;
  op.MinRy = *minRy;
  op.VerEstimadores = VerEstimadores->isChecked();
  op.VerAjuste = VerAjuste->isChecked();
  op.VerSupPred = VerSupPred->isChecked();
  op.VerSupVar = VerSupVar->isChecked();
  op.VerSupTend = VerSupTend->isChecked();
  op.GuardarPred = TxtGuardarPred->text().trimmed().toStdString();
  op.GuardarVar = TxtGuardarVar->text().trimmed().toStdString();
  // The node mask itself is built for the grid in force when the run starts.
  if (op.profile.attached()) op.profile.side = OpExcluir->checkedId();
  op.KrigingLocal = local ? 1 : 0;
  op.NVecinos = *neighbourCount;
  op.NMinVecinos = *minNeighbourCount;
  op.DistVecinos = *neighbourDistance;
  op.Cuadrantes = VerCuadrantes->isChecked();
  op.VarioLocal = VerVariograma->isChecked();
  op.TendLocal = VerTendencia->isChecked();
  const sorvan::core::Result valid = sorvan::core::ValidateOptions(op);
  if (!valid) {
    QMessageBox::warning(this, kTitle, QString::fromStdString(valid.message));
    return;
  }
  const sorvan::core::Result vecindario = sorvan::core::ValidateNeighbourhood(op);
  if (!vecindario) {
    QMessageBox::warning(this, kTitle, QString::fromStdString(vecindario.message));
    return;
  }
  options_ = op;
  accept();
}

}  // namespace sorvan::gui
