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

const QString kTitulo = QStringLiteral("Sorvan: Kriging 2D");

QLineEdit* nuevoTexto(const char* nombre, QWidget* padre, int width = 90) {
  auto* t = new QLineEdit(padre);
  t->setObjectName(QLatin1String(nombre));
  t->setMinimumWidth(width);
  t->setMaximumWidth(width + 40);
  return t;
}

QCheckBox* nuevaCasilla(const char* nombre, const QString& text, QWidget* padre) {
  auto* c = new QCheckBox(text, padre);
  if (nombre) c->setObjectName(QLatin1String(nombre));
  return c;
}

// An option group: a frame of radio buttons whose ids are their indices.
QButtonGroup* nuevoGrupo(const char* nombre, QGroupBox* marco, const QStringList& textos,
                         QVBoxLayout* capa) {
  auto* grupo = new QButtonGroup(marco);
  grupo->setObjectName(QLatin1String(nombre));
  for (int i = 0; i < textos.size(); ++i) {
    auto* b = new QRadioButton(textos[i], marco);
    b->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(nombre)).arg(i));
    grupo->addButton(b, i);
    capa->addWidget(b);
  }
  return grupo;
}

void selecciona(QButtonGroup* grupo, int indice) {
  indice = std::clamp(indice, 0, int(grupo->buttons().size()) - 1);
  grupo->button(indice)->setChecked(true);
}

QPushButton* nuevoBoton(const char* nombre, const QString& text, QWidget* padre) {
  auto* b = new QPushButton(text, padre);
  b->setObjectName(QLatin1String(nombre));
  return b;
}

QLabel* etiqueta(const QString& text, QWidget* field, QWidget* padre) {
  auto* l = new QLabel(text, padre);
  l->setBuddy(field);
  return l;
}

// Row `row` of a grid: the label `text` in `column`, `field` beside it.
QLabel* filaEtiquetada(QGridLayout* grid, int row, int column, const QString& text, QWidget* field) {
  QLabel* l = etiqueta(text, field, field->parentWidget());
  grid->addWidget(l, row, column);
  grid->addWidget(field, row, column + 1);
  return l;
}

// A count box with its arrows right beside it (Nx or Ny).
QHBoxLayout* conFlechas(QLineEdit* text, ControlUpDown* flechas) {
  auto* row = new QHBoxLayout;
  row->setSpacing(1);
  row->addWidget(text);
  row->addWidget(flechas);
  row->addStretch();
  return row;
}

}  // namespace

frmOpKriging::frmOpKriging(OpcionesKriging& options, const sorvan::core::SpatialData& data, int colX,
                           int colY, QWidget* parent)
    : QDialog(parent), opciones_(options), datos_(data), colX_(colX), colY_(colY) {
  setObjectName(QStringLiteral("frmOpKriging"));
  setWindowTitle(QStringLiteral("Opciones Kriging"));
  setModal(true);

  Pestanas = new QTabWidget(this);
  Pestanas->setObjectName(QStringLiteral("Pestanas"));
  Pestanas->addTab(crearMetodo(), QStringLiteral("Método kriging"));
  Pestanas->addTab(crearEstimacion(), QStringLiteral("Estimación variograma"));
  Pestanas->addTab(crearModelo(), QStringLiteral("Modelo variograma"));
  Pestanas->addTab(crearRejilla(), QStringLiteral("Rejilla de predicción"));
  Pestanas->addTab(crearSuperficies(), QStringLiteral("Superficies"));
  Pestanas->addTab(crearPerfil(), QStringLiteral("Perfil"));
  // All six tabs in sight: the dialog widens rather than hiding tabs behind
  // scroll arrows.
  Pestanas->setUsesScrollButtons(false);
  Pestanas->tabBar()->setElideMode(Qt::ElideNone);

  CoAceptar = nuevoBoton("CoAceptar", QStringLiteral("Aceptar"), this);
  CoAceptar->setDefault(true);
  CoCancelar = nuevoBoton("CoCancelar", QStringLiteral("Cancelar"), this);
  CoAyuda = nuevoBoton("CoAyuda", QStringLiteral("Ayuda"), this);
  connect(CoAyuda, &QPushButton::clicked, this, [this] {
    if (AppShell* shell = AppShellOf(this)) shell->ShowHelp(QStringLiteral("opciones"));
  });

  auto* botones = new QHBoxLayout;
  botones->addStretch();
  botones->addWidget(CoAceptar);
  botones->addWidget(CoCancelar);
  botones->addWidget(CoAyuda);
  auto* capa = new QVBoxLayout(this);
  capa->addWidget(Pestanas);
  capa->addLayout(botones);

  connect(VerLongVar, &QCheckBox::toggled, this, &frmOpKriging::VerLongVar_Click);
  connect(CoAutoESV, &QPushButton::clicked, this, &frmOpKriging::CoAutoESV_Click);
  connect(CoAutoRej, &QPushButton::clicked, this, &frmOpKriging::CoAutoRej_Click);
  // Only a click by the user starts or ends an association: the box is set
  // from code while loading, and that must not drop the profile.
  connect(VerPerfil, &QCheckBox::clicked, this, &frmOpKriging::VerPerfil_Click);
  connect(CoAceptar, &QPushButton::clicked, this, &frmOpKriging::CoAceptar_Click);
  connect(CoCancelar, &QPushButton::clicked, this, &QDialog::reject);

  cargar();
}

QWidget* frmOpKriging::crearMetodo() {
  auto* pagina = new QWidget;
  auto* mean = new QGroupBox(QStringLiteral("Media"), pagina);
  auto* capaMedia = new QVBoxLayout(mean);
  OpMedia = nuevoGrupo("OpMedia", mean,
                       {QStringLiteral("Constante (KO)"), QStringLiteral("Lineal (KU)"),
                        QStringLiteral("Cuadrática (KU)"), QStringLiteral("Cúbica (KU)")},
                       capaMedia);

  // Local kriging: checking the frame's title turns it on (Qt disables the
  // frame's contents while it is unchecked).
  FraKrigingLocal = new QGroupBox(QStringLiteral("Kriging Local"), pagina);
  FraKrigingLocal->setObjectName(QStringLiteral("FraKrigingLocal"));
  FraKrigingLocal->setCheckable(true);
  auto* local = FraKrigingLocal;
  auto* capaLocal = new QGridLayout(local);
  TxtNVecinos = nuevoTexto("TxtNVecinos", local, 60);
  TxtNMinVecinos = nuevoTexto("TxtNMinVecinos", local, 60);
  TxtDistVecinos = nuevoTexto("TxtDistVecinos", local, 90);
  TxtDistVecinos->setPlaceholderText(QStringLiteral("sin límite"));
  filaEtiquetada(capaLocal, 0, 0, QStringLiteral("Nº de vecinos:"), TxtNVecinos);
  filaEtiquetada(capaLocal, 1, 0, QStringLiteral("Nº mínimo:"), TxtNMinVecinos);
  filaEtiquetada(capaLocal, 2, 0, QStringLiteral("Distancia máxima:"), TxtDistVecinos);
  VerCuadrantes = nuevaCasilla("VerCuadrantes", QStringLiteral("Por cuadrantes"), local);
  VerCuadrantes->setToolTip(QStringLiteral("Toma como mucho la cuarta parte de los vecinos de cada cuadrante."));
  VerVariograma = nuevaCasilla("VerVariograma", QStringLiteral("Variograma"), local);
  VerVariograma->setToolTip(
      QStringLiteral("Estima el semivariograma solo con los pares de datos hasta la distancia máxima."));
  VerTendencia = nuevaCasilla("VerTendencia", QStringLiteral("Tendencia"), local);
  VerTendencia->setToolTip(
      QStringLiteral("Marcada: la tendencia se estima en cada vecindario (kriging universal local).\n"
                     "Sin marcar: se ajusta una tendencia global una vez, se krigean los residuos "
                     "localmente y se suma la tendencia."));
  capaLocal->addWidget(VerCuadrantes, 3, 0, 1, 2);
  capaLocal->addWidget(VerVariograma, 4, 0, 1, 2);
  capaLocal->addWidget(VerTendencia, 5, 0, 1, 2);
  capaLocal->setRowStretch(6, 1);
  capaLocal->setColumnStretch(2, 1);  // the boxes beside their labels
  VerSupTend = nuevaCasilla("VerSupTend", QStringLiteral("Generar gráfico con tendencia"), pagina);
  VerSupTend->setToolTip(QStringLiteral("Tras el cálculo abre también la superficie de la tendencia ajustada, "
                                        "en la misma rejilla que la predicción."));
  // Only a trend of degree 1 or more has a surface to draw.
  VerSupTend->setEnabled(false);
  connect(OpMedia, &QButtonGroup::idToggled, VerSupTend,
          [this](int, bool) { VerSupTend->setEnabled(OpMedia->checkedId() > 0); });

  auto* row = new QHBoxLayout;
  row->addWidget(mean);
  row->addWidget(local);
  auto* capa = new QVBoxLayout(pagina);
  capa->addLayout(row);
  capa->addWidget(VerSupTend);
  capa->addStretch();
  return pagina;
}

QWidget* frmOpKriging::crearEstimacion() {
  auto* pagina = new QWidget;
  auto* estimador = new QGroupBox(QStringLiteral("Estimador"), pagina);
  auto* capaEst = new QVBoxLayout(estimador);
  OpEstimador = nuevoGrupo("OpEstimador", estimador,
                           {QStringLiteral("Clásico"), QStringLiteral("Robusto")}, capaEst);
  capaEst->addStretch();

  auto* suavizado = new QGroupBox(QStringLiteral("Suavizado"), pagina);
  auto* grid = new QGridLayout(suavizado);
  TxtSaltoIni = nuevoTexto("TxtSaltoIni", suavizado);
  TxtRSalto = nuevoTexto("TxtRSalto", suavizado);
  TxtNSaltos = nuevoTexto("TxtNSaltos", suavizado);
  TxtNApor = nuevoTexto("TxtNApor", suavizado);
  CoAutoESV = nuevoBoton("CoAutoESV", QStringLiteral("Auto"), suavizado);
  VerLongVar = nuevaCasilla("VerLongVar", QStringLiteral("Longitud variable"), suavizado);
  LblSaltoIni = filaEtiquetada(grid, 0, 0, QStringLiteral("Salto inicial:"), TxtSaltoIni);
  LblRSalto = filaEtiquetada(grid, 1, 0, QStringLiteral("Rango:"), TxtRSalto);
  LblNSaltos = filaEtiquetada(grid, 2, 0, QStringLiteral("Nº de saltos:"), TxtNSaltos);
  grid->addWidget(CoAutoESV, 2, 2);
  grid->addWidget(VerLongVar, 3, 0, 1, 2);
  filaEtiquetada(grid, 4, 0, QStringLiteral("Nº Aportaciones:"), TxtNApor);
  grid->setColumnStretch(3, 1);

  auto* graficos = new QGroupBox(QStringLiteral("Gráficos"), pagina);
  auto* capaGraf = new QVBoxLayout(graficos);
  VerEstimadores = nuevaCasilla("VerEstimadores", QStringLiteral("Estimadores"), graficos);
  auto* aportaciones = nuevaCasilla(nullptr, QStringLiteral("Aportaciones"), graficos);
  aportaciones->setEnabled(false);  // no chart of the pair counts exists
  capaGraf->addWidget(VerEstimadores);
  capaGraf->addWidget(aportaciones);
  capaGraf->addStretch();

  auto* izquierda = new QVBoxLayout;
  izquierda->addWidget(estimador);
  izquierda->addWidget(graficos);
  auto* capa = new QHBoxLayout(pagina);
  capa->addLayout(izquierda);
  capa->addWidget(suavizado, 1);
  return pagina;
}

QWidget* frmOpKriging::crearModelo() {
  auto* pagina = new QWidget;
  auto* modelos = new QGroupBox(QStringLiteral("Modelos paramétricos"), pagina);
  auto* capaMod = new QVBoxLayout(modelos);
  OpModelo = nuevoGrupo("OpModelo", modelos,
                        {QStringLiteral("Modelo esférico"), QStringLiteral("Modelo exponencial"),
                         QStringLiteral("Modelo lineal"), QStringLiteral("Modelo potencial"),
                         QStringLiteral("Modelo racional-cuadrático"),
                         QStringLiteral("Modelo oscilatorio")},
                        capaMod);

  auto* ajuste = new QGroupBox(QStringLiteral("Ajuste"), pagina);
  auto* grid = new QGridLayout(ajuste);
  TxtNAjus = nuevoTexto("TxtNAjus", ajuste);
  TxtNMinAjus = nuevoTexto("TxtNMinAjus", ajuste);
  filaEtiquetada(grid, 0, 0, QStringLiteral("Nº de saltos:"), TxtNAjus);
  filaEtiquetada(grid, 1, 0, QStringLiteral("Nº mínimo de aportaciones:"), TxtNMinAjus);
  ChkAjusteGlobal = nuevaCasilla("ChkAjusteGlobal", QStringLiteral("Ajuste global (varios puntos de partida)"), ajuste);
  grid->addWidget(ChkAjusteGlobal, 2, 0, 1, 2);
  grid->setRowStretch(3, 1);
  VerAjuste = nuevaCasilla("VerAjuste", QStringLiteral("Gráfico ajuste"), pagina);

  auto* derecha = new QVBoxLayout;
  derecha->addWidget(ajuste);
  derecha->addWidget(VerAjuste);
  derecha->addStretch();
  auto* capa = new QHBoxLayout(pagina);
  capa->addWidget(modelos);
  capa->addLayout(derecha, 1);
  return pagina;
}

QWidget* frmOpKriging::crearRejilla() {
  auto* pagina = new QWidget;
  auto* origin = new QGroupBox(QStringLiteral("Origen"), pagina);
  auto* capaOrigen = new QGridLayout(origin);
  TxtMinRx = nuevoTexto("TxtMinRx", origin, 110);
  TxtMinRy = nuevoTexto("TxtMinRy", origin, 110);
  filaEtiquetada(capaOrigen, 0, 0, QStringLiteral("Coordenada X:"), TxtMinRx);
  filaEtiquetada(capaOrigen, 1, 0, QStringLiteral("Coordenada Y:"), TxtMinRy);
  capaOrigen->setRowStretch(2, 1);

  auto* dimensiones = new QGroupBox(QStringLiteral("Dimensiones"), pagina);
  auto* capaDim = new QGridLayout(dimensiones);
  TxtNRx = nuevoTexto("TxtNRx", dimensiones, 50);
  TxtNRy = nuevoTexto("TxtNRy", dimensiones, 50);
  UpDownNRx = new ControlUpDown(TxtNRx, dimensiones);
  UpDownNRx->setObjectName(QStringLiteral("UpDownNRx"));
  UpDownNRy = new ControlUpDown(TxtNRy, dimensiones);
  UpDownNRy->setObjectName(QStringLiteral("UpDownNRy"));
  TxtLRx = nuevoTexto("TxtLRx", dimensiones, 110);
  TxtLRy = nuevoTexto("TxtLRy", dimensiones, 110);
  capaDim->addWidget(etiqueta(QStringLiteral("Nx:"), TxtNRx, dimensiones), 0, 0);
  capaDim->addLayout(conFlechas(TxtNRx, UpDownNRx), 0, 1);
  capaDim->addWidget(etiqueta(QStringLiteral("Ny:"), TxtNRy, dimensiones), 1, 0);
  capaDim->addLayout(conFlechas(TxtNRy, UpDownNRy), 1, 1);
  filaEtiquetada(capaDim, 0, 2, QStringLiteral("Lx:"), TxtLRx);
  filaEtiquetada(capaDim, 1, 2, QStringLiteral("Ly:"), TxtLRy);
  capaDim->setRowStretch(2, 1);

  CoAutoRej = nuevoBoton("CoAutoRej", QStringLiteral("Ajustar"), pagina);
  auto* botones = new QHBoxLayout;
  botones->addStretch();
  botones->addWidget(CoAutoRej);

  auto* row = new QHBoxLayout;
  row->addWidget(origin);
  row->addWidget(dimensiones, 1);
  auto* capa = new QVBoxLayout(pagina);
  capa->addLayout(row);
  capa->addLayout(botones);
  capa->addStretch();
  return pagina;
}

QWidget* frmOpKriging::crearSuperficies() {
  auto* pagina = new QWidget;
  auto* graficos = new QGroupBox(QStringLiteral("Gráficos"), pagina);
  auto* capaGraf = new QVBoxLayout(graficos);
  VerSupPred = nuevaCasilla("VerSupPred", QStringLiteral("Superficie de predicción"), graficos);
  VerSupVar = nuevaCasilla("VerSupVar", QStringLiteral("Superficie de varianzas"), graficos);
  capaGraf->addWidget(VerSupPred);
  capaGraf->addWidget(VerSupVar);
  capaGraf->addStretch();

  // After each run the surfaces are also written to these files (GeoTIFF,
  // ".asc", ".grd", CSV of nodes or ".sup", by the extension); empty: none.
  auto* guardar = new QGroupBox(QStringLiteral("Guardar"), pagina);
  auto* capaGuardar = new QGridLayout(guardar);
  TxtGuardarPred = new QLineEdit(guardar);
  TxtGuardarPred->setObjectName(QStringLiteral("TxtGuardarPred"));
  TxtGuardarPred->setPlaceholderText(QStringLiteral("p. ej. prediccion.tif"));
  TxtGuardarVar = new QLineEdit(guardar);
  TxtGuardarVar->setObjectName(QStringLiteral("TxtGuardarVar"));
  TxtGuardarVar->setPlaceholderText(QStringLiteral("p. ej. varianza.asc"));
  filaEtiquetada(capaGuardar, 0, 0, QStringLiteral("Predicción:"), TxtGuardarPred);
  filaEtiquetada(capaGuardar, 1, 0, QStringLiteral("Varianzas:"), TxtGuardarVar);
  auto* ayudaGuardar = new QLabel(QStringLiteral("Formato según la extensión: .tif (las dos superficies), .asc, "
                                                 ".grd, .csv (nodos) o .sup. Sin carpeta, en la carpeta de "
                                                 "resultados."),
                                  guardar);
  ayudaGuardar->setWordWrap(true);
  capaGuardar->addWidget(ayudaGuardar, 2, 0, 1, 2);
  capaGuardar->setRowStretch(3, 1);

  auto* capa = new QHBoxLayout(pagina);
  capa->addWidget(graficos);
  capa->addWidget(guardar, 1);
  return pagina;
}

QWidget* frmOpKriging::crearPerfil() {
  auto* pagina = new QWidget;
  VerPerfil = nuevaCasilla("VerPerfil", QStringLiteral("Asociar perfil"), pagina);
  TxtPerfil = new QLineEdit(pagina);
  TxtPerfil->setObjectName(QStringLiteral("TxtPerfil"));
  TxtPerfil->setReadOnly(true);  // the path comes from the file dialog
  TxtPerfil->setMinimumWidth(320);
  VerRejillaPerfil = nuevaCasilla("VerRejillaPerfil", QStringLiteral("Ajustar rejilla al perfil"), pagina);

  auto* excluir = new QGroupBox(QStringLiteral("Excluir ptos:"), pagina);
  auto* capaExcluir = new QVBoxLayout(excluir);
  OpExcluir = nuevoGrupo("OpExcluir", excluir,
                         {QStringLiteral("Exteriores"), QStringLiteral("Interiores")}, capaExcluir);
  capaExcluir->addStretch();

  // Excluded nodes always keep the hole value; the choice is shown disabled.
  auto* excluidos = new QGroupBox(QStringLiteral("Ptos. excluidos:"), pagina);
  auto* capaExcl = new QGridLayout(excluidos);
  OpValorExcluidos = new QButtonGroup(excluidos);
  OpValorExcluidos->setObjectName(QStringLiteral("OpValorExcluidos"));
  const QString textos[3] = {QStringLiteral("Eliminar"), QStringLiteral("Mínimo"),
                             QStringLiteral("Valor:")};
  for (int i = 0; i < 3; ++i) {
    auto* b = new QRadioButton(textos[i], excluidos);
    OpValorExcluidos->addButton(b, i);
    capaExcl->addWidget(b, i, 0);
  }
  auto* value = new QLineEdit(excluidos);
  value->setMaximumWidth(90);
  capaExcl->addWidget(value, 2, 1);
  capaExcl->setColumnStretch(2, 1);
  excluidos->setEnabled(false);

  auto* row = new QHBoxLayout;
  row->addWidget(excluir);
  row->addWidget(excluidos);
  auto* capa = new QVBoxLayout(pagina);
  capa->addWidget(VerPerfil);
  capa->addWidget(TxtPerfil);
  capa->addWidget(VerRejillaPerfil);
  capa->addLayout(row);
  capa->addStretch();
  return pagina;
}

// Fills the controls from the options, in the order the handlers expect.
void frmOpKriging::cargar() {
  const OpcionesKriging& op = opciones_;
  selecciona(OpMedia, op.Media);
  selecciona(OpEstimador, op.Estimador - 1);

  FraKrigingLocal->setChecked(op.KrigingLocal != 0);
  TxtNVecinos->setText(FormatoEntero(op.NVecinos));
  TxtNMinVecinos->setText(FormatoEntero(op.NMinVecinos));
  TxtDistVecinos->setText(std::isfinite(op.DistVecinos) ? FormatoDistancia(op.DistVecinos) : QString());
  VerCuadrantes->setChecked(op.Cuadrantes != 0);
  VerVariograma->setChecked(op.VarioLocal != 0);
  VerTendencia->setChecked(op.TendLocal != 0);

  TxtNApor->setText(FormatoEntero(op.NApor));
  VerLongVar->setChecked(op.LongVar != 0);
  VerLongVar_Click();

  TxtSaltoIni->setText(FormatoDistancia(op.SaltoIni));
  TxtRSalto->setText(FormatoDistancia(op.RSalto));
  TxtNSaltos->setText(FormatoEntero(op.NSaltos));
  selecciona(OpModelo, op.Modelo - 1);
  TxtNAjus->setText(FormatoEntero(op.NAjus));
  TxtNMinAjus->setText(FormatoEntero(op.NMinAjus));
  ChkAjusteGlobal->setChecked(op.MetodoAjuste == sorvan::gui::kGlobalFit);

  UpDownNRx->setRange(2, 100);
  UpDownNRy->setRange(2, 100);
  UpDownNRx->setValue(op.NRx);
  UpDownNRy->setValue(op.NRy);
  // A size typed earlier outside the arrows' range is still the option's value.
  TxtNRx->setText(FormatoEntero(op.NRx));
  TxtNRy->setText(FormatoEntero(op.NRy));
  TxtLRx->setText(FormatoDistancia(op.LRx));
  TxtLRy->setText(FormatoDistancia(op.LRy));
  TxtMinRx->setText(FormatoDistancia(op.MinRx));
  TxtMinRy->setText(FormatoDistancia(op.MinRy));

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
  selecciona(OpValorExcluidos, 0);
  selecciona(OpExcluir, side);
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
  OpcionesKriging automaticas = opciones_;
  sorvan::core::LagParameters(sorvan::core::ComputeDistances(datos_, colX_, colY_), datos_.N, automaticas);
  selecciona(OpEstimador, 0);  // the classical estimator
  TxtSaltoIni->setText(FormatoDistancia(automaticas.SaltoIni));
  TxtRSalto->setText(FormatoDistancia(automaticas.RSalto));
  TxtNSaltos->setText(FormatoEntero(automaticas.NSaltos));
}

void frmOpKriging::CoAutoRej_Click() {
  const auto nx = LeeEntero(TxtNRx->text());
  const auto ny = LeeEntero(TxtNRy->text());
  // The spacing is (max - min)/(n - 2): at least 3 nodes are needed.
  if (!nx || *nx < 3) {
    rechazar(QStringLiteral("Para ajustar la rejilla Nx debe ser al menos 3 (Nx: \"%1\").").arg(TxtNRx->text()),
             TxtNRx);
    return;
  }
  if (!ny || *ny < 3) {
    rechazar(QStringLiteral("Para ajustar la rejilla Ny debe ser al menos 3 (Ny: \"%1\").").arg(TxtNRy->text()),
             TxtNRy);
    return;
  }
  // Worked out on a copy: the options change only on "Aceptar".
  OpcionesKriging copia = opciones_;
  const sorvan::core::Result r = sorvan::core::AutomaticGrid(datos_, colX_, colY_, *nx, *ny, copia);
  if (!r) {
    rechazar(QString::fromStdString(r.message), TxtNRx);
    return;
  }
  TxtLRx->setText(FormatoDistancia(copia.LRx));
  TxtMinRx->setText(FormatoDistancia(copia.MinRx));
  TxtLRy->setText(FormatoDistancia(copia.LRy));
  TxtMinRy->setText(FormatoDistancia(copia.MinRy));
}

void frmOpKriging::VerPerfil_Click() {
  if (!VerPerfil->isChecked()) {
    quitarPerfil();
    return;
  }
  cFileDlg dlg;
  dlg.OwnerHwnd = this;
  dlg.Filter = QStringLiteral("Ficheros perfil (*.per)|*.per|Todos los ficheros (*.*)|*.*");
  dlg.InitDirectory = QDir::currentPath();
  QString file;
  if (!dlg.VBGetOpenFileName(file)) {
    VerPerfil->setChecked(false);
    quitarPerfil();
    return;
  }
  TxtPerfil->setEnabled(true);
  TxtPerfil->setText(file);
  // The association takes effect at once, even if the dialog is cancelled.
  const sorvan::core::Result r = sorvan::core::LeePerfil(QFile::encodeName(file).toStdString(), opciones_.profile);
  if (!r) {
    QMessageBox::warning(this, kTitulo, QString::fromStdString(r.message));
    VerPerfil->setChecked(false);
    quitarPerfil();
    return;
  }
  opciones_.profile.side = OpExcluir->checkedId();
  if (VerRejillaPerfil->isChecked()) ajustarRejillaAlPerfil();
}

void frmOpKriging::ajustarRejillaAlPerfil() {
  const auto nx = LeeEntero(TxtNRx->text());
  const auto ny = LeeEntero(TxtNRy->text());
  if (!nx || *nx < 1 || !ny || *ny < 1) {
    rechazar(QStringLiteral("Para ajustar la rejilla al perfil Nx y Ny deben ser al menos 1 "
                            "(Nx: \"%1\", Ny: \"%2\").")
                 .arg(TxtNRx->text(), TxtNRy->text()),
             (!nx || *nx < 1) ? TxtNRx : TxtNRy);
    return;
  }
  OpcionesKriging copia = opciones_;
  const sorvan::core::Result r = sorvan::core::ProfileGrid(opciones_.profile, *nx, *ny, copia);
  if (!r) {
    rechazar(QString::fromStdString(r.message), TxtNRx);
    return;
  }
  TxtLRx->setText(FormatoDistancia(copia.LRx));
  TxtMinRx->setText(FormatoDistancia(copia.MinRx));
  TxtLRy->setText(FormatoDistancia(copia.LRy));
  TxtMinRy->setText(FormatoDistancia(copia.MinRy));
}

void frmOpKriging::quitarPerfil() {
  opciones_.profile.clear();
  TxtPerfil->clear();
  TxtPerfil->setEnabled(false);
}

void frmOpKriging::rechazar(const QString& text, QLineEdit* field) {
  QMessageBox::warning(this, kTitulo, text);
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
      rechazar(QStringLiteral("El valor \"%1\" de %2 no es un número válido.").arg(field->text(), nombre),
               field);
      return std::nullopt;
    }
    return static_cast<float>(*v);
  };
  // The grid's origin and spacing are kept in double: a northing of millions
  // of metres keeps its centimetres.
  auto coordenada = [this](QLineEdit* field, const QString& nombre) -> std::optional<double> {
    const std::optional<double> v = ReadNumberText(field->text());
    if (!v || std::fabs(*v) > FLT_MAX) {
      rechazar(QStringLiteral("El valor \"%1\" de %2 no es un número válido.").arg(field->text(), nombre),
               field);
      return std::nullopt;
    }
    return *v;
  };
  auto entero = [this](QLineEdit* field, const QString& nombre) -> std::optional<int> {
    const auto v = LeeEntero(field->text());
    if (!v)
      rechazar(QStringLiteral("El valor \"%1\" de %2 no es un número entero válido.").arg(field->text(), nombre),
               field);
    return v;
  };

  const auto nApor = entero(TxtNApor, QStringLiteral("\"Nº Aportaciones\""));
  if (!nApor) return;
  const auto saltoIni = distance(TxtSaltoIni, QStringLiteral("\"Salto inicial\""));
  if (!saltoIni) return;
  const auto rSalto = distance(TxtRSalto, QStringLiteral("\"Rango\""));
  if (!rSalto) return;
  const auto nSaltos = entero(TxtNSaltos, QStringLiteral("\"Nº de saltos\""));
  if (!nSaltos) return;
  // The engine holds at most kMaxLags lag classes.
  if (*nSaltos < 1 || *nSaltos > sorvan::core::kMaxLags) {
    rechazar(QStringLiteral("El nº de saltos debe estar entre 1 y %1 (se ha escrito \"%2\").")
                 .arg(sorvan::core::kMaxLags)
                 .arg(TxtNSaltos->text()),
             TxtNSaltos);
    return;
  }
  auto nAjus = entero(TxtNAjus, QStringLiteral("\"Nº de saltos\" del ajuste"));
  if (!nAjus) return;
  const auto nMinAjus = entero(TxtNMinAjus, QStringLiteral("\"Nº mínimo de aportaciones\""));
  if (!nMinAjus) return;
  const auto nRx = entero(TxtNRx, QStringLiteral("\"Nx\""));
  if (!nRx) return;
  const auto nRy = entero(TxtNRy, QStringLiteral("\"Ny\""));
  if (!nRy) return;
  for (auto [n, field, eje] : {std::tuple{*nRx, TxtNRx, "Nx"}, std::tuple{*nRy, TxtNRy, "Ny"}}) {
    if (n < 1) {
      rechazar(QStringLiteral("La rejilla necesita al menos un nodo en cada eje (%1: \"%2\").")
                   .arg(QLatin1String(eje), field->text()),
               field);
      return;
    }
  }
  if (int64_t(*nRx) * *nRy > sorvan::core::kMaxGridNodes) {
    rechazar(QStringLiteral("La rejilla de %1 por %2 nodos es demasiado grande (como máximo %3 nodos).")
                 .arg(*nRx)
                 .arg(*nRy)
                 .arg(sorvan::core::kMaxGridNodes),
             TxtNRx);
    return;
  }
  const auto lRx = coordenada(TxtLRx, QStringLiteral("\"Lx\""));
  if (!lRx) return;
  const auto lRy = coordenada(TxtLRy, QStringLiteral("\"Ly\""));
  if (!lRy) return;
  for (auto [l, field, eje] : {std::tuple{*lRx, TxtLRx, "Lx"}, std::tuple{*lRy, TxtLRy, "Ly"}}) {
    if (!(l > 0)) {
      rechazar(QStringLiteral("El espaciado de la rejilla debe ser mayor que cero (%1: \"%2\").")
                   .arg(QLatin1String(eje), field->text()),
               field);
      return;
    }
  }
  const auto minRx = coordenada(TxtMinRx, QStringLiteral("\"Coordenada X\" del origen"));
  if (!minRx) return;
  const auto minRy = coordenada(TxtMinRy, QStringLiteral("\"Coordenada Y\" del origen"));
  if (!minRy) return;

  // The neighbourhood is read only when it is in use; an empty distance is no limit.
  const bool local = FraKrigingLocal->isChecked();
  std::optional<int> nVecinos = opciones_.NVecinos, nMinVecinos = opciones_.NMinVecinos;
  std::optional<float> distVecinos = opciones_.DistVecinos;
  if (local) {
    nVecinos = entero(TxtNVecinos, QStringLiteral("\"Nº de vecinos\""));
    if (!nVecinos) return;
    nMinVecinos = entero(TxtNMinVecinos, QStringLiteral("\"Nº mínimo\" de vecinos"));
    if (!nMinVecinos) return;
    distVecinos = std::numeric_limits<float>::infinity();
    if (!TxtDistVecinos->text().trimmed().isEmpty()) {
      distVecinos = distance(TxtDistVecinos, QStringLiteral("\"Distancia máxima\""));
      if (!distVecinos) return;
    }
  }

  if (*nAjus > *nSaltos) {
    QMessageBox::information(this, kTitulo, QString::fromUtf8(sorvan::core::kNAjusWarning));
    nAjus = *nSaltos;
  }

  // Built apart and checked by the same validation as the tool and the
  // engine call before the session's options change.
  OpcionesKriging op = opciones_;
  op.Media = OpMedia->checkedId();
  op.LongVar = VerLongVar->isChecked() ? 1 : 0;
  op.NApor = *nApor;
  op.Estimador = OpEstimador->checkedId() + 1;
  op.SaltoIni = *saltoIni;
  op.RSalto = *rSalto;
  op.NSaltos = *nSaltos;
  op.Modelo = OpModelo->checkedId() + 1;
  op.NAjus = *nAjus;
  op.NMinAjus = *nMinAjus;
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
  op.NVecinos = *nVecinos;
  op.NMinVecinos = *nMinVecinos;
  op.DistVecinos = *distVecinos;
  op.Cuadrantes = VerCuadrantes->isChecked();
  op.VarioLocal = VerVariograma->isChecked();
  op.TendLocal = VerTendencia->isChecked();
  const sorvan::core::Result valido = sorvan::core::ValidateOptions(op);
  if (!valido) {
    QMessageBox::warning(this, kTitulo, QString::fromStdString(valido.message));
    return;
  }
  const sorvan::core::Result vecindario = sorvan::core::ValidateNeighbourhood(op);
  if (!vecindario) {
    QMessageBox::warning(this, kTitulo, QString::fromStdString(vecindario.message));
    return;
  }
  opciones_ = op;
  accept();
}

}  // namespace sorvan::gui
