#include "gui/kriging/frmKriging2D.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/app_shell.h"
#include "gui/kriging/defaults_notice.h"
#include "gui/kriging/ejecucion_kriging.h"
#include "gui/kriging/frmOpKriging.h"

namespace {

const QString kTitulo = QStringLiteral("Sorvan: Kriging 2D");

QStringList NombresDe(const sorvan::DatosEspaciales& datos) {
  QStringList nombres;
  for (const std::string& n : datos.nombres) nombres << QString::fromStdString(n);
  return nombres;
}

}  // namespace

frmKriging2D::frmKriging2D(sorvan::SesionKriging& sesion, QWidget* parent)
    : QDialog(parent), sesion_(sesion) {
  setObjectName(QStringLiteral("frmKriging2D"));
  setWindowTitle(QStringLiteral("Kriging 2D"));
  setModal(true);

  auto* marco = new QGroupBox(QStringLiteral("Seleccionar variables"), this);
  auto* rejilla = new QGridLayout(marco);
  const struct {
    QComboBox** combo;
    const char* nombre;
    const char* texto;
  } filas[] = {{&ComboZ, "ComboZ", "Variable Z:"},
               {&ComboX, "ComboX", "Coordenada X:"},
               {&ComboY, "ComboY", "Coordenada Y:"},
               {&ComboE, "ComboE", "Etiquetar por:"}};
  int fila = 0;
  for (const auto& f : filas) {
    auto* combo = new QComboBox(marco);
    combo->setObjectName(QLatin1String(f.nombre));
    combo->setMinimumWidth(140);
    auto* etiqueta = new QLabel(QString::fromUtf8(f.texto), marco);
    etiqueta->setBuddy(combo);
    rejilla->addWidget(etiqueta, fila, 0);
    rejilla->addWidget(combo, fila, 1);
    *f.combo = combo;
    ++fila;
  }
  ComboE->setEnabled(false);  // labelling points is not offered yet

  CoAceptar = new QPushButton(QStringLiteral("Aceptar"), this);
  CoAceptar->setObjectName(QStringLiteral("CoAceptar"));
  CoAceptar->setDefault(true);
  CoCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
  CoCancelar->setObjectName(QStringLiteral("CoCancelar"));
  CoAyuda = new QPushButton(QStringLiteral("Ayuda"), this);
  CoAyuda->setObjectName(QStringLiteral("CoAyuda"));  // there is no help file to open
  CoOpciones = new QPushButton(QStringLiteral("Opciones"), this);
  CoOpciones->setObjectName(QStringLiteral("CoOpciones"));

  auto* botones = new QVBoxLayout;
  botones->addWidget(CoAceptar);
  botones->addWidget(CoCancelar);
  botones->addWidget(CoAyuda);
  botones->addStretch();
  botones->addWidget(CoOpciones);
  auto* capa = new QHBoxLayout(this);
  capa->addWidget(marco, 1);
  capa->addLayout(botones);

  // Loading: the lists in column order, each name as its 8-character field;
  // default roles X = column 1, Y = column 2, Z = column 3.
  const sorvan::DatosEspaciales& datos = sesion_.datos;
  archivoDatos_ = sesion_.archivoDatos;
  nombres_ = NombresDe(datos);
  n_ = datos.N;
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
    sesion_.opcionesListas = false;
  };
  connect(ComboX, &QComboBox::currentIndexChanged, this, coordenadasCambiadas);
  connect(ComboY, &QComboBox::currentIndexChanged, this, coordenadasCambiadas);
  connect(CoOpciones, &QPushButton::clicked, this, &frmKriging2D::CoOpciones_Click);
  connect(CoAceptar, &QPushButton::clicked, this, &frmKriging2D::CoAceptar_Click);
  connect(CoCancelar, &QPushButton::clicked, this, &frmKriging2D::reject);
}

bool frmKriging2D::PuedeMostrarse(const sorvan::SesionKriging& sesion, QString* motivo) {
  if (sesion.datos.vacio()) {
    if (motivo) *motivo = QStringLiteral("No hay datos cargados: abra antes un fichero de datos espaciales.");
    return false;
  }
  if (sesion.datos.nvar < 3) {
    if (motivo)
      *motivo = QStringLiteral("El fichero de datos tiene %1 variable(s); el kriging necesita al menos tres "
                               "(coordenadas X e Y y la variable a estimar).")
                    .arg(sesion.datos.nvar);
    return false;
  }
  return true;
}

bool frmKriging2D::MismosDatos() const {
  return sesion_.archivoDatos == archivoDatos_ && sesion_.datos.N == n_ &&
         NombresDe(sesion_.datos) == nombres_;
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
  if (!sesion_.opcionesListas) OpcionesFijadas = false;
}

bool frmKriging2D::aplicarDefectos(QWidget* padre) {
  const sorvan::Resultado r =
      sorvan::OpcionesPorDefecto(sesion_.datos, sesion_.colX, sesion_.colY, sesion_.opciones);
  if (!r) {
    QMessageBox::warning(padre, kTitulo, QString::fromStdString(r.mensaje));
    return false;
  }
  sesion_.opcionesListas = true;
  return true;
}

void frmKriging2D::CoOpciones_Click() {
  leerEleccion();
  if (!OpcionesFijadas && !aplicarDefectos(this)) return;
  frmOpKriging opciones(sesion_.opciones, sesion_.datos, sesion_.colX, sesion_.colY, this);
  opciones.exec();
  // Accepted or cancelled, the options now hold values for these columns.
  OpcionesFijadas = true;
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
  if (!OpcionesFijadas) {
    if (!aplicarDefectos(padre)) return;
    OpcionesFijadas = true;
    AvisaDefectos(padre, sesion_, kTitulo);
  }
  const QString nombre = QString::fromStdString(sesion_.datos.nombreSinBlancos(sesion_.colZ));
  // A failed or cancelled run leaves the earlier surfaces in memory; windows
  // opened now would show them under this variable's name, so none open.
  if (Ejecutar(padre, sesion_, nombre) != FinKriging::Hecho) return;
  abrirResultados();
}

void frmKriging2D::abrirResultados() {
  AppShell* principal = AppShellOf(parentWidget());
  if (!principal) return;
  const sorvan::OpcionesKriging& op = sesion_.opciones;
  // V: the variable's name without the blanks of its 8-character field.
  const QString v = QString::fromStdString(sesion_.datos.nombres[size_t(sesion_.colZ - 1)]).trimmed();
  const QString carpeta = QString::fromStdString(sesion_.carpetaResultados);
  // The two semivariogram windows are told apart by their titles.
  if (op.VerEstimadores)
    principal->OpenSemivariogram(ArchivoEnCarpeta(carpeta, QStringLiteral("skuestim.sv")),
                                 QStringLiteral("Semivariograma experimental de ") + v);
  if (op.VerAjuste)
    principal->OpenSemivariogram(ArchivoEnCarpeta(carpeta, QStringLiteral("skueajus.sv")),
                                 QStringLiteral("Semivariograma ajustado de ") + v);
  if (op.VerSupVar) principal->OpenSurface(2, QStringLiteral("Superficie de varianzas de ") + v);
  // The prediction surface opens last, so it ends up in front.
  if (op.VerSupPred) principal->OpenSurface(1, QStringLiteral("Superficie de predicción de ") + v);
}
