#include "gui/kriging/frmKriging2D.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFile>
#include <QLineEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/results_folder.h"
#include "core/resource_estimate.h"
#include "gui/app_shell.h"
#include "gui/validation/validation_commands.h"
#include "gui/kriging/defaults_notice.h"
#include "gui/kriging/opciones_automaticas.h"
#include "gui/kriging/kriging_run.h"
#include "gui/kriging/frmOpKriging.h"

namespace sorvan::gui {
using namespace sorvan::core;

namespace {

const QString kTitulo = QStringLiteral("Sorvan: Kriging 2D");

QStringList NombresDe(const sorvan::core::SpatialData& data) {
  QStringList names;
  for (const std::string& n : data.names) names << QString::fromStdString(n);
  return names;
}

}  // namespace

frmKriging2D::frmKriging2D(sorvan::core::KrigingSession& session, QWidget* parent)
    : QDialog(parent), sesion_(session) {
  setObjectName(QStringLiteral("frmKriging2D"));
  setWindowTitle(QStringLiteral("Kriging 2D"));
  setModal(true);

  auto* marco = new QGroupBox(QStringLiteral("Seleccionar variables"), this);
  auto* grid = new QGridLayout(marco);
  const struct {
    QComboBox** combo;
    const char* nombre;
    const char* text;
  } rows[] = {{&ComboZ, "ComboZ", "Variable Z:"},
               {&ComboX, "ComboX", "Coordenada X:"},
               {&ComboY, "ComboY", "Coordenada Y:"},
               {&ComboE, "ComboE", "Etiquetar por:"}};
  int row = 0;
  for (const auto& f : rows) {
    auto* combo = new QComboBox(marco);
    combo->setObjectName(QLatin1String(f.nombre));
    combo->setMinimumWidth(140);
    auto* etiqueta = new QLabel(QString::fromUtf8(f.text), marco);
    etiqueta->setBuddy(combo);
    grid->addWidget(etiqueta, row, 0);
    grid->addWidget(combo, row, 1);
    *f.combo = combo;
    ++row;
  }
  ComboE->setEnabled(false);  // labelling points is not offered yet

  CoAceptar = new QPushButton(QStringLiteral("Aceptar"), this);
  CoAceptar->setObjectName(QStringLiteral("CoAceptar"));
  CoAceptar->setDefault(true);
  CoCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
  CoCancelar->setObjectName(QStringLiteral("CoCancelar"));
  CoAyuda = new QPushButton(QStringLiteral("Ayuda"), this);
  CoAyuda->setObjectName(QStringLiteral("CoAyuda"));
  connect(CoAyuda, &QPushButton::clicked, this, [this] {
    if (AppShell* shell = AppShellOf(this)) shell->ShowHelp(QStringLiteral("kriging"));
  });
  CoOpciones = new QPushButton(QStringLiteral("Opciones"), this);
  CoOpciones->setObjectName(QStringLiteral("CoOpciones"));

  auto* resultados = new QGroupBox(QStringLiteral("Carpeta de resultados"), this);
  auto* filaCarpeta = new QHBoxLayout(resultados);
  TxtCarpeta = new QLineEdit(resultados);
  TxtCarpeta->setObjectName(QStringLiteral("TxtCarpeta"));
  TxtCarpeta->setReadOnly(true);
  TxtCarpeta->setMinimumWidth(260);
  CoCarpeta = new QPushButton(QStringLiteral("Cambiar..."), resultados);
  CoCarpeta->setObjectName(QStringLiteral("CoCarpeta"));
  filaCarpeta->addWidget(TxtCarpeta, 1);
  filaCarpeta->addWidget(CoCarpeta);
  LblEstimacion = new QLabel(this);
  LblEstimacion->setObjectName(QStringLiteral("LblEstimacion"));
  LblEstimacion->setWordWrap(true);
  LblEstimacion->setVisible(false);
  ElegirCarpeta = [](QWidget* padre, const QString& actual) {
    return QFileDialog::getExistingDirectory(padre, QStringLiteral("Carpeta de resultados"), actual);
  };

  auto* botones = new QVBoxLayout;
  botones->addWidget(CoAceptar);
  botones->addWidget(CoCancelar);
  botones->addWidget(CoAyuda);
  botones->addStretch();
  botones->addWidget(CoOpciones);
  auto* izquierda = new QVBoxLayout;
  izquierda->addWidget(marco, 1);
  izquierda->addWidget(resultados);
  izquierda->addWidget(LblEstimacion);
  auto* capa = new QHBoxLayout(this);
  capa->addLayout(izquierda, 1);
  capa->addLayout(botones);

  // Loading: the lists in column order, each name as its 8-character field;
  // default roles X = column 1, Y = column 2, Z = column 3.
  const sorvan::core::SpatialData& data = sesion_.data;
  archivoDatos_ = sesion_.dataFile;
  nombres_ = NombresDe(data);
  n_ = data.N;
  ComboZ->addItems(nombres_);
  ComboX->addItems(nombres_);
  ComboY->addItems(nombres_);
  ComboE->addItem(QStringLiteral(" "));
  ComboE->addItems(nombres_);
  ComboZ->setCurrentIndex(std::min(2, int(nombres_.size()) - 1));
  ComboX->setCurrentIndex(0);
  ComboY->setCurrentIndex(std::min(1, int(nombres_.size()) - 1));
  ComboE->setCurrentIndex(0);
  OpcionesFijadas = false;

  // The automatic options depend on the coordinates only: a new X or Y makes
  // them stale, a new Z or label does not.
  auto coordenadasCambiadas = [this] {
    OpcionesFijadas = false;
    sesion_.optionsReady = false;
  };
  connect(ComboX, &QComboBox::currentIndexChanged, this, coordenadasCambiadas);
  connect(ComboY, &QComboBox::currentIndexChanged, this, coordenadasCambiadas);
  connect(CoOpciones, &QPushButton::clicked, this, &frmKriging2D::CoOpciones_Click);
  connect(CoAceptar, &QPushButton::clicked, this, &frmKriging2D::CoAceptar_Click);
  connect(CoCancelar, &QPushButton::clicked, this, &frmKriging2D::reject);
  connect(CoCarpeta, &QPushButton::clicked, this, &frmKriging2D::CoCarpeta_Click);
  ActualizaCarpetaYEstimacion();
}

void frmKriging2D::ActualizaCarpetaYEstimacion() {
  const QString folder = CarpetaResultadosKriging(sesion_);
  TxtCarpeta->setText(folder);
  TxtCarpeta->setToolTip(QStringLiteral("Los resultados de la próxima ejecución se guardan en %1").arg(folder));
  // The options' grid when they are set; the automatic 50 x 50 otherwise.
  const sorvan::core::OpcionesKriging& op = sesion_.options;
  const bool fijadas = OpcionesFijadas && op.NRx > 0 && op.NRy > 0;
  if (fijadas && op.KrigingLocal) {  // one small system per node: nothing to warn about
    LblEstimacion->setVisible(false);
    return;
  }
  const sorvan::core::Result r = sorvan::core::CheckResources(sorvan::core::EstimateResources(
      sesion_.data.N, fijadas ? int64_t(op.NRx) * op.NRy : 2500, fijadas ? op.Media : 0));
  LblEstimacion->setText(QString::fromStdString(r.message));
  LblEstimacion->setStyleSheet(r.ok ? QString() : QStringLiteral("color: #a00000"));
  LblEstimacion->setVisible(!r.message.empty());
}

void frmKriging2D::CoCarpeta_Click() {
  const QString elegida = ElegirCarpeta(this, TxtCarpeta->text());
  if (elegida.isEmpty()) return;
  if (!sorvan::core::IsWritableFolder(QFile::encodeName(elegida).toStdString())) {
    QMessageBox::warning(this, kTitulo,
                         QStringLiteral("No se puede escribir en la carpeta %1: elija otra carpeta de resultados.")
                             .arg(elegida));
    return;
  }
  sesion_.chosenFolder = QFile::encodeName(elegida).toStdString();
  sesion_.chosenFolderFor = sesion_.dataFile;
  ActualizaCarpetaYEstimacion();
}

bool frmKriging2D::PuedeMostrarse(const sorvan::core::KrigingSession& session, QString* reason) {
  if (session.data.empty()) {
    if (reason) *reason = QStringLiteral("No hay datos cargados: abra antes un fichero de datos espaciales.");
    return false;
  }
  if (session.data.nvar < 3) {
    if (reason)
      *reason = QStringLiteral("El fichero de datos tiene %1 variable(s); el kriging necesita al menos tres "
                               "(coordenadas X e Y y la variable a estimar).")
                    .arg(session.data.nvar);
    return false;
  }
  return true;
}

bool frmKriging2D::MismosDatos() const {
  return sesion_.dataFile == archivoDatos_ && sesion_.data.N == n_ &&
         NombresDe(sesion_.data) == nombres_;
}

void frmKriging2D::reject() {
  QDialog::reject();
  deleteLater();
}

void frmKriging2D::leerEleccion() {
  sesion_.colZ = ComboZ->currentIndex() + 1;
  sesion_.colX = ComboX->currentIndex() + 1;
  sesion_.colY = ComboY->currentIndex() + 1;
  sesion_.colLabel = ComboE->currentIndex();
  // An edit of a coordinate in the data window also makes the automatic
  // options stale.
  if (!sesion_.optionsReady) OpcionesFijadas = false;
}

bool frmKriging2D::aplicarDefectos(QWidget* padre) {
  sorvan::core::Result r;
  if (!CalculaOpcionesAutomaticas(padre, sesion_, r)) return false;
  if (!r) {
    QMessageBox::warning(padre, kTitulo, QString::fromStdString(r.message));
    return false;
  }
  sesion_.optionsReady = true;
  return true;
}

void frmKriging2D::CoOpciones_Click() {
  leerEleccion();
  if (!OpcionesFijadas && !aplicarDefectos(this)) return;
  frmOpKriging options(sesion_.options, sesion_.data, sesion_.colX, sesion_.colY, this);
  options.exec();
  // Accepted or cancelled, the options now hold values for these columns.
  OpcionesFijadas = true;
  ActualizaCarpetaYEstimacion();
}

void frmKriging2D::CoAceptar_Click() {
  leerEleccion();
  // Hidden, not unloaded: the choices and the flag survive to the next time.
  done(QDialog::Accepted);
  AppShell* shell = AppShellOf(parentWidget());
  QWidget* padre = shell ? shell->Window() : parentWidget();
  if (shell) {
    padre->show();
    padre->raise();
    padre->activateWindow();
  }
  // A global run that cannot fit in memory is refused before the automatic
  // options (which look at every pair of points) are worked out; a local
  // run solves one small system per node.
  if (!(OpcionesFijadas && sesion_.options.KrigingLocal)) {
    const sorvan::core::OpcionesKriging& op = sesion_.options;
    const bool fijadas = OpcionesFijadas && op.NRx > 0 && op.NRy > 0;
    const sorvan::core::Result resources = sorvan::core::CheckResources(sorvan::core::EstimateResources(
        sesion_.data.N, fijadas ? int64_t(op.NRx) * op.NRy : 2500, fijadas ? op.Media : 0));
    if (!resources) {
      QMessageBox::warning(padre, kTitulo, QString::fromStdString(resources.message));
      return;
    }
  }
  if (!OpcionesFijadas) {
    if (!aplicarDefectos(padre)) return;
    OpcionesFijadas = true;
    NoticeDefaults(padre, sesion_, kTitulo);
  }
  const QString nombre = QString::fromStdString(sesion_.data.nameWithoutBlanks(sesion_.colZ));
  // A failed or cancelled run leaves the earlier surfaces in memory; windows
  // opened now would show them under this variable's name, so none open.
  if (Ejecutar(padre, sesion_, nombre) != KrigingEnd::Hecho) return;
  abrirResultados();
  // The windows just opened said "Preparado": the run's own status again.
  ShowStatusOf(padre, EstadoTrasKriging(sesion_));
  MostrarAvisosEjecucion(padre, sesion_);
}

void frmKriging2D::abrirResultados() {
  AppShell* principal = AppShellOf(parentWidget());
  if (!principal) return;
  const sorvan::core::OpcionesKriging& op = sesion_.options;
  // V: the variable's name without the blanks of its 8-character field.
  const QString v = QString::fromStdString(sesion_.data.names[size_t(sesion_.colZ - 1)]).trimmed();
  const QString folder = QString::fromStdString(sesion_.resultsFolder);
  // The two semivariogram windows are told apart by their titles.
  if (op.VerEstimadores)
    principal->OpenSemivariogram(ArchivoEnCarpeta(folder, QStringLiteral("skuestim.sv")),
                                 QStringLiteral("Semivariograma experimental de ") + v);
  if (op.VerAjuste)
    principal->OpenSemivariogram(ArchivoEnCarpeta(folder, QStringLiteral("skueajus.sv")),
                                 QStringLiteral("Semivariograma ajustado de ") + v);
  if (op.VerSupVar) principal->OpenSurface(2, QStringLiteral("Superficie de varianzas de ") + v);
  // The trend beside the prediction, when the run fitted one.
  if (op.VerSupTend && op.Media > 0 && sesion_.tendencia.known())
    principal->OpenSurface(4, QStringLiteral("Tendencia de ") + v);
  // The prediction surface opens last, so it ends up in front.
  if (op.VerSupPred) principal->OpenSurface(1, QStringLiteral("Superficie de predicción de ") + v);
}

}  // namespace sorvan::gui
