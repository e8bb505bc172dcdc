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
#include "gui/kriging/automatic_options.h"
#include "gui/kriging/kriging_run.h"
#include "gui/kriging/frmOpKriging.h"

namespace sorvan::gui {
using namespace sorvan::core;

namespace {

const QString kTitle = QStringLiteral("Sorvan: Kriging 2D");

QStringList NamesOf(const sorvan::core::SpatialData& data) {
  QStringList names;
  for (const std::string& n : data.names) names << QString::fromStdString(n);
  return names;
}

}  // namespace

frmKriging2D::frmKriging2D(sorvan::core::KrigingSession& session, QWidget* parent)
    : QDialog(parent), session_(session) {
  setObjectName(QStringLiteral("frmKriging2D"));
  setWindowTitle(QStringLiteral("Kriging 2D"));
  setModal(true);

  auto* frame = new QGroupBox(QStringLiteral("Seleccionar variables"), this);
  auto* grid = new QGridLayout(frame);
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
    auto* combo = new QComboBox(frame);
    combo->setObjectName(QLatin1String(f.nombre));
    combo->setMinimumWidth(140);
    auto* label = new QLabel(QString::fromUtf8(f.text), frame);
    label->setBuddy(combo);
    grid->addWidget(label, row, 0);
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
  auto* folderRow = new QHBoxLayout(resultados);
  TxtCarpeta = new QLineEdit(resultados);
  TxtCarpeta->setObjectName(QStringLiteral("TxtCarpeta"));
  TxtCarpeta->setReadOnly(true);
  TxtCarpeta->setMinimumWidth(260);
  CoCarpeta = new QPushButton(QStringLiteral("Cambiar..."), resultados);
  CoCarpeta->setObjectName(QStringLiteral("CoCarpeta"));
  folderRow->addWidget(TxtCarpeta, 1);
  folderRow->addWidget(CoCarpeta);
  LblEstimacion = new QLabel(this);
  LblEstimacion->setObjectName(QStringLiteral("LblEstimacion"));
  LblEstimacion->setWordWrap(true);
  LblEstimacion->setVisible(false);
  ChooseFolder = [](QWidget* parentWindow, const QString& actual) {
    return QFileDialog::getExistingDirectory(parentWindow, QStringLiteral("Carpeta de resultados"), actual);
  };

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(CoAceptar);
  buttons->addWidget(CoCancelar);
  buttons->addWidget(CoAyuda);
  buttons->addStretch();
  buttons->addWidget(CoOpciones);
  auto* left = new QVBoxLayout;
  left->addWidget(frame, 1);
  left->addWidget(resultados);
  left->addWidget(LblEstimacion);
  auto* layer = new QHBoxLayout(this);
  layer->addLayout(left, 1);
  layer->addLayout(buttons);

  // Loading: the lists in column order, each name as its 8-character field;
  // default roles X = column 1, Y = column 2, Z = column 3.
  const sorvan::core::SpatialData& data = session_.data;
  dataFile_ = session_.dataFile;
  names_ = NamesOf(data);
  n_ = data.N;
  ComboZ->addItems(names_);
  ComboX->addItems(names_);
  ComboY->addItems(names_);
  ComboE->addItem(QStringLiteral(" "));
  ComboE->addItems(names_);
  ComboZ->setCurrentIndex(std::min(2, int(names_.size()) - 1));
  ComboX->setCurrentIndex(0);
  ComboY->setCurrentIndex(std::min(1, int(names_.size()) - 1));
  ComboE->setCurrentIndex(0);
  OpcionesFijadas = false;

  // The automatic options depend on the coordinates only: a new X or Y makes
  // them stale, a new Z or label does not.
  auto coordinatesChanged = [this] {
    OpcionesFijadas = false;
    session_.optionsReady = false;
  };
  connect(ComboX, &QComboBox::currentIndexChanged, this, coordinatesChanged);
  connect(ComboY, &QComboBox::currentIndexChanged, this, coordinatesChanged);
  connect(CoOpciones, &QPushButton::clicked, this, &frmKriging2D::CoOpciones_Click);
  connect(CoAceptar, &QPushButton::clicked, this, &frmKriging2D::CoAceptar_Click);
  connect(CoCancelar, &QPushButton::clicked, this, &frmKriging2D::reject);
  connect(CoCarpeta, &QPushButton::clicked, this, &frmKriging2D::CoCarpeta_Click);
  UpdateFolderAndEstimate();
}

void frmKriging2D::UpdateFolderAndEstimate() {
  const QString folder = KrigingResultsFolder(session_);
  TxtCarpeta->setText(folder);
  TxtCarpeta->setToolTip(QStringLiteral("Los resultados de la próxima ejecución se guardan en %1").arg(folder));
  // The options' grid when they are set; the automatic 50 x 50 otherwise.
  const sorvan::core::OpcionesKriging& op = session_.options;
  const bool fixed = OpcionesFijadas && op.NRx > 0 && op.NRy > 0;
  if (fixed && op.KrigingLocal) {  // one small system per node: nothing to warn about
    LblEstimacion->setVisible(false);
    return;
  }
  const sorvan::core::Result r = sorvan::core::CheckResources(sorvan::core::EstimateResources(
      session_.data.N, fixed ? int64_t(op.NRx) * op.NRy : 2500, fixed ? op.Media : 0));
  LblEstimacion->setText(QString::fromStdString(r.message));
  LblEstimacion->setStyleSheet(r.ok ? QString() : QStringLiteral("color: #a00000"));
  LblEstimacion->setVisible(!r.message.empty());
}

void frmKriging2D::CoCarpeta_Click() {
  const QString chosenOne = ChooseFolder(this, TxtCarpeta->text());
  if (chosenOne.isEmpty()) return;
  if (!sorvan::core::IsWritableFolder(QFile::encodeName(chosenOne).toStdString())) {
    QMessageBox::warning(this, kTitle,
                         QStringLiteral("No se puede escribir en la carpeta %1: elija otra carpeta de resultados.")
                             .arg(chosenOne));
    return;
  }
  session_.chosenFolder = QFile::encodeName(chosenOne).toStdString();
  session_.chosenFolderFor = session_.dataFile;
  UpdateFolderAndEstimate();
}

bool frmKriging2D::CanBeShown(const sorvan::core::KrigingSession& session, QString* reason) {
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

bool frmKriging2D::SameData() const {
  return session_.dataFile == dataFile_ && session_.data.N == n_ &&
         NamesOf(session_.data) == names_;
}

void frmKriging2D::reject() {
  QDialog::reject();
  deleteLater();
}

void frmKriging2D::readChoice() {
  session_.colZ = ComboZ->currentIndex() + 1;
  session_.colX = ComboX->currentIndex() + 1;
  session_.colY = ComboY->currentIndex() + 1;
  session_.colLabel = ComboE->currentIndex();
  // An edit of a coordinate in the data window also makes the automatic
  // options stale.
  if (!session_.optionsReady) OpcionesFijadas = false;
}

bool frmKriging2D::applyDefaults(QWidget* parentWindow) {
  sorvan::core::Result r;
  if (!ComputeAutomaticOptions(parentWindow, session_, r)) return false;
  if (!r) {
    QMessageBox::warning(parentWindow, kTitle, QString::fromStdString(r.message));
    return false;
  }
  session_.optionsReady = true;
  return true;
}

void frmKriging2D::CoOpciones_Click() {
  readChoice();
  if (!OpcionesFijadas && !applyDefaults(this)) return;
  frmOpKriging options(session_.options, session_.data, session_.colX, session_.colY, this);
  options.exec();
  // Accepted or cancelled, the options now hold values for these columns.
  OpcionesFijadas = true;
  UpdateFolderAndEstimate();
}

void frmKriging2D::CoAceptar_Click() {
  readChoice();
  // Hidden, not unloaded: the choices and the flag survive to the next time.
  done(QDialog::Accepted);
  AppShell* shell = AppShellOf(parentWidget());
  QWidget* parentWindow = shell ? shell->Window() : parentWidget();
  if (shell) {
    parentWindow->show();
    parentWindow->raise();
    parentWindow->activateWindow();
  }
  // A global run that cannot fit in memory is refused before the automatic
  // options (which look at every pair of points) are worked out; a local
  // run solves one small system per node.
  if (!(OpcionesFijadas && session_.options.KrigingLocal)) {
    const sorvan::core::OpcionesKriging& op = session_.options;
    const bool fixed = OpcionesFijadas && op.NRx > 0 && op.NRy > 0;
    const sorvan::core::Result resources = sorvan::core::CheckResources(sorvan::core::EstimateResources(
        session_.data.N, fixed ? int64_t(op.NRx) * op.NRy : 2500, fixed ? op.Media : 0));
    if (!resources) {
      QMessageBox::warning(parentWindow, kTitle, QString::fromStdString(resources.message));
      return;
    }
  }
  if (!OpcionesFijadas) {
    if (!applyDefaults(parentWindow)) return;
    OpcionesFijadas = true;
    NoticeDefaults(parentWindow, session_, kTitle);
  }
  const QString nombre = QString::fromStdString(session_.data.nameWithoutBlanks(session_.colZ));
  // A failed or cancelled run leaves the earlier surfaces in memory; windows
  // opened now would show them under this variable's name, so none open.
  if (Execute(parentWindow, session_, nombre) != KrigingEnd::Done) return;
  openResults();
  // The windows just opened said "Preparado": the run's own status again.
  ShowStatusOf(parentWindow, StateAfterKriging(session_));
  ShowRunWarnings(parentWindow, session_);
}

void frmKriging2D::openResults() {
  AppShell* mainWindow = AppShellOf(parentWidget());
  if (!mainWindow) return;
  const sorvan::core::OpcionesKriging& op = session_.options;
  // V: the variable's name without the blanks of its 8-character field.
  const QString v = QString::fromStdString(session_.data.names[size_t(session_.colZ - 1)]).trimmed();
  const QString folder = QString::fromStdString(session_.resultsFolder);
  // The two semivariogram windows are told apart by their titles.
  if (op.VerEstimadores)
    mainWindow->OpenSemivariogram(FileInFolder(folder, QStringLiteral("skuestim.sv")),
                                 QStringLiteral("Semivariograma experimental de ") + v);
  if (op.VerAjuste)
    mainWindow->OpenSemivariogram(FileInFolder(folder, QStringLiteral("skueajus.sv")),
                                 QStringLiteral("Semivariograma ajustado de ") + v);
  if (op.VerSupVar) mainWindow->OpenSurface(2, QStringLiteral("Superficie de varianzas de ") + v);
  // The trend beside the prediction, when the run fitted one.
  if (op.VerSupTend && op.Media > 0 && session_.trend.known())
    mainWindow->OpenSurface(4, QStringLiteral("Tendencia de ") + v);
  // The prediction surface opens last, so it ends up in front.
  if (op.VerSupPred) mainWindow->OpenSurface(1, QStringLiteral("Superficie de predicción de ") + v);
}

}  // namespace sorvan::gui
