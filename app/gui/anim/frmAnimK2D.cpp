#include "gui/anim/frmAnimK2D.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/kriging_options.h"
#include "gui/anim/MakeAnimation.h"
#include "gui/anim/animation_messages.h"
#include "gui/anim/number_to_text.h"
#include "gui/app_shell.h"
#include "gui/kriging/defaults_notice.h"
#include "gui/kriging/kriging_run.h"
#include "gui/kriging/frmOpKriging.h"
#include "gui/kriging/opciones_automaticas.h"

namespace sorvan::gui {
using namespace sorvan::core;

namespace {

const QString kTituloKriging = QStringLiteral("Sorvan: Kriging 2D");

// Removes the files of `folder` whose names match `patron` (ignoring case).
void BorraArchivos(const QString& folder, const QString& patron) {
  QDir dir(folder);
  for (const QString& nombre : dir.entryList(QDir::Files))
    if (QDir::match(patron, nombre)) QFile::remove(dir.filePath(nombre));
}

int ColumnOf(const QComboBox* combo) { return combo->currentIndex() < 0 ? 0 : combo->currentData().toInt(); }

}  // namespace

frmAnimK2D::frmAnimK2D(sorvan::core::KrigingSession& session, QWidget* owner)
    : QDialog(owner), sesion_(session), datosCargados_(&session.data), archivoCargado_(session.dataFile) {
  setWindowTitle(QStringLiteral("Animar superficies Kriging 2D"));

  ComboX = new QComboBox;
  ComboY = new QComboBox;
  ComboE = new QComboBox;
  ListaZ = new QListWidget;
  ListaSup = new QListWidget;
  for (QListWidget* lista : {ListaZ, ListaSup}) {
    lista->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lista->installEventFilter(this);
  }
  CoAñadir = new QPushButton(QStringLiteral("Añadir >>"));
  CoEliminar = new QPushButton(QStringLiteral("<< Eliminar"));
  CoAñadir->setEnabled(false);
  CoEliminar->setEnabled(false);
  CoEliminar->hide();
  txtFPS = new QLineEdit(QStringLiteral("1"));
  txtFPS->setMaximumWidth(60);
  CoOpciones = new QPushButton(QStringLiteral("Opciones"));
  CoAyuda = new QPushButton(QStringLiteral("Ayuda"));
  CoAyuda->setObjectName(QStringLiteral("CoAyuda"));
  connect(CoAyuda, &QPushButton::clicked, this, [this] {
    if (AppShell* shell = AppShellOf(this)) shell->ShowHelp(QStringLiteral("animaciones"));
  });
  CoCancelar = new QPushButton(QStringLiteral("Cancelar"));
  CoAceptar = new QPushButton(QStringLiteral("Aceptar"));
  CoAceptar->setDefault(true);

  // Every variable in each list, carrying its 1-based column.
  const sorvan::core::SpatialData& data = sesion_.data;
  for (int j = 1; j <= data.nvar; ++j) {
    const QString nombre = QString::fromStdString(data.names[j - 1]);
    auto* item = new QListWidgetItem(nombre);
    item->setData(Qt::UserRole, j);
    ListaZ->addItem(item);
    ComboX->addItem(nombre, j);
    ComboY->addItem(nombre, j);
    ComboE->addItem(nombre, j);
  }
  ComboE->addItem(QStringLiteral(" "), 0);
  ComboE->setCurrentIndex(0);
  ComboX->setCurrentIndex(-1);
  ComboY->setCurrentIndex(-1);

  auto* coordenadas = new QGridLayout;
  coordenadas->addWidget(new QLabel(QStringLiteral("Coordenada X:")), 0, 0);
  coordenadas->addWidget(ComboX, 0, 1);
  coordenadas->addWidget(new QLabel(QStringLiteral("Coordenada Y:")), 1, 0);
  coordenadas->addWidget(ComboY, 1, 1);
  coordenadas->addWidget(new QLabel(QStringLiteral("Etiquetar por:")), 2, 0);
  coordenadas->addWidget(ComboE, 2, 1);

  // CoAñadir and CoEliminar share one place; the list with the focus decides.
  auto* centro = new QGridLayout;
  centro->addWidget(CoAñadir, 0, 0);
  centro->addWidget(CoEliminar, 0, 0);
  auto* listas = new QGridLayout;
  listas->addWidget(new QLabel(QStringLiteral("Lista variables:")), 0, 0);
  listas->addWidget(new QLabel(QStringLiteral("Superficies:")), 0, 2);
  listas->addWidget(ListaZ, 1, 0);
  listas->addLayout(centro, 1, 1, Qt::AlignVCenter);
  listas->addWidget(ListaSup, 1, 2);

  auto* velocidad = new QHBoxLayout;
  velocidad->addWidget(new QLabel(QStringLiteral("Frames/seg.")));
  velocidad->addWidget(txtFPS);
  velocidad->addStretch();

  auto* botones = new QHBoxLayout;
  botones->addWidget(CoOpciones);
  botones->addWidget(CoAyuda);
  botones->addStretch();
  botones->addWidget(CoCancelar);
  botones->addWidget(CoAceptar);

  auto* capa = new QVBoxLayout(this);
  capa->addLayout(coordenadas);
  capa->addLayout(listas);
  capa->addLayout(velocidad);
  capa->addLayout(botones);

  connect(ListaZ, &QListWidget::itemSelectionChanged, this,
          [this] { CoAñadir->setEnabled(!ListaZ->selectedItems().isEmpty()); });
  connect(ListaSup, &QListWidget::itemSelectionChanged, this,
          [this] { CoEliminar->setEnabled(!ListaSup->selectedItems().isEmpty()); });
  connect(CoAñadir, &QPushButton::clicked, this, &frmAnimK2D::CoAñadir_Click);
  connect(CoEliminar, &QPushButton::clicked, this, &frmAnimK2D::CoEliminar_Click);
  connect(CoOpciones, &QPushButton::clicked, this, &frmAnimK2D::CoOpciones_Click);
  connect(CoAceptar, &QPushButton::clicked, this, &frmAnimK2D::CoAceptar_Click);
  connect(CoCancelar, &QPushButton::clicked, this, &QDialog::reject);
}

void frmAnimK2D::reject() {
  // "Cancelar" (or closing the window) unloads the dialog with its choices;
  // "Aceptar" only hides it.
  QDialog::reject();
  deleteLater();
}

bool frmAnimK2D::MismosDatos() const {
  return datosCargados_ == &sesion_.data && archivoCargado_ == sesion_.dataFile &&
         ListaZ->count() + ListaSup->count() == sesion_.data.nvar;
}

bool frmAnimK2D::eventFilter(QObject* objeto, QEvent* evento) {
  if (evento->type() == QEvent::FocusIn) {
    if (objeto == ListaZ) {
      CoAñadir->show();
      CoEliminar->hide();
    } else if (objeto == ListaSup) {
      CoEliminar->show();
      CoAñadir->hide();
    }
  }
  return QDialog::eventFilter(objeto, evento);
}

// Moves the selected items, from the top, to the end of the other list.
void frmAnimK2D::Mueve(QListWidget* from, QListWidget* hasta) {
  for (int i = 0; i < from->count();) {
    if (from->item(i)->isSelected()) {
      QListWidgetItem* item = from->takeItem(i);
      item->setSelected(false);
      hasta->addItem(item);
    } else {
      ++i;
    }
  }
}

void frmAnimK2D::CoAñadir_Click() {
  Mueve(ListaZ, ListaSup);
  CoAñadir->setEnabled(false);
}

void frmAnimK2D::CoEliminar_Click() {
  Mueve(ListaSup, ListaZ);
  CoEliminar->setEnabled(false);
}

bool frmAnimK2D::Valido() {
  if (ListaSup->count() >= 1 && ComboX->currentIndex() >= 0 && ComboY->currentIndex() >= 0) return true;
  AnimationMessage(this, QMessageBox::NoIcon, QStringLiteral("No se han seleccionado todas las variables necesarias"));
  return false;
}

void frmAnimK2D::TomaColumnas() {
  sesion_.colX = ColumnOf(ComboX);
  sesion_.colY = ColumnOf(ComboY);
  sesion_.colLabel = ColumnOf(ComboE);
}

// The automatic options for the chosen coordinates; false (after saying why)
// when the data do not allow them.
bool frmAnimK2D::PreparaOpciones() {
  sorvan::core::Result r;
  if (!CalculaOpcionesAutomaticas(this, sesion_, r)) return false;
  if (!r) {
    QMessageBox::warning(this, kTituloKriging, QString::fromStdString(r.message));
    return false;
  }
  // The options are shared with the kriging dialog, which must not take
  // these (made for this dialog's coordinates) for the ones it fixed.
  sesion_.optionsReady = false;
  return true;
}

void frmAnimK2D::CoOpciones_Click() {
  if (!Valido()) return;
  TomaColumnas();
  if (!opcionesElegidas_ && !PreparaOpciones()) return;
  // An animation never inherits the profile of an earlier run: the user
  // associates one again in the options dialog if wanted.
  sesion_.options.profile.clear();
  frmOpKriging options(sesion_.options, sesion_.data, sesion_.colX, sesion_.colY, this);
  options.exec();
  sesion_.optionsReady = false;
  opcionesElegidas_ = true;
}

void frmAnimK2D::CoAceptar_Click() {
  if (!Valido()) return;
  // Checked before any kriging, so a mistyped rate costs no run.
  const std::optional<int> fps = FotogramasPorSegundoO(this, txtFPS->text());
  if (!fps) return;
  hide();
  TomaColumnas();
  if (!opcionesElegidas_) {
    if (!PreparaOpciones()) return;
    opcionesElegidas_ = true;
    NoticeDefaults(this, sesion_, kTituloKriging);
  }

  // The series goes where the session's runs write their results.
  const QString folder = CarpetaResultadosKriging(sesion_);
  if (!QDir().mkpath(folder)) {
    AnimationMessage(this, QMessageBox::Warning,
                QStringLiteral("No se puede crear la carpeta de resultados %1.").arg(QDir::toNativeSeparators(folder)));
    return;
  }
  BorraArchivos(folder, QStringLiteral("ANIM*.SUP"));
  float zmin = 3e38f, zmax = -3e38f;
  archivos_.clear();
  titulos_.clear();

  const int n = ListaSup->count();
  for (int i = 0; i < n; ++i) {
    const int column = ListaSup->item(i)->data(Qt::UserRole).toInt();
    const QString variable = QString::fromStdString(sesion_.data.names[column - 1]);
    sesion_.colZ = column;
    const KrigingEnd atEnd = EjecutaKrigingVentana(this, sesion_, QStringLiteral("%1 de %2").arg(i + 1).arg(n));
    QApplication::processEvents();
    if (atEnd == KrigingEnd::Cancelado) return;

    // The run wrote into the session's result folder; the series is kept
    // in the current folder.
    const QString prediccion =
        ArchivoEnCarpeta(QString::fromStdString(sesion_.resultsFolder), QStringLiteral("SKUPRE.SUP"));
    if (atEnd != KrigingEnd::Hecho || !QFile::exists(prediccion)) {
      AnimationMessage(this, QMessageBox::Warning,
                  QStringLiteral("No se generó la superficie de %1; esta variable no entra en la animación.")
                      .arg(variable.trimmed()));
      continue;
    }
    zmin = std::min(zmin, sesion_.surfaces.zMin);
    zmax = std::max(zmax, sesion_.surfaces.zMax);

    const QString destination = QDir(folder).filePath(
        QStringLiteral("ANIM%1.SUP").arg(static_cast<int>(archivos_.size()), 2, 10, QLatin1Char('0')));
    if (!QFile::rename(prediccion, destination)) {
      AnimationMessage(this, QMessageBox::Warning,
                  QStringLiteral("No se pudo renombrar %1 como %2; %3 no entra en la animación.")
                      .arg(QDir::toNativeSeparators(prediccion), QDir::toNativeSeparators(destination),
                           variable.trimmed()));
      continue;
    }
    archivos_ << destination;
    titulos_ << variable;
  }

  if (archivos_.isEmpty()) {
    AnimationMessage(this, QMessageBox::Warning, QStringLiteral("No se generó ninguna superficie: no hay animación."));
    return;
  }
  QDir::setCurrent(folder);
  MakeAnimation(this, archivos_, titulos_, zmin, zmax, *fps);

  BorraArchivos(folder, QStringLiteral("ANIM*.BMP"));
  QApplication::processEvents();
}

}  // namespace sorvan::gui
