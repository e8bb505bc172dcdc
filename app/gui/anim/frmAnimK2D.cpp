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
#include "gui/kriging/automatic_options.h"

namespace sorvan::gui {
using namespace sorvan::core;

namespace {

const QString kKrigingTitle = QStringLiteral("Sorvan: Kriging 2D");

// Removes the files of `folder` whose names match `pattern` (ignoring case).
void RemoveFiles(const QString& folder, const QString& pattern) {
  QDir dir(folder);
  for (const QString& nombre : dir.entryList(QDir::Files))
    if (QDir::match(pattern, nombre)) QFile::remove(dir.filePath(nombre));
}

int ColumnOf(const QComboBox* combo) { return combo->currentIndex() < 0 ? 0 : combo->currentData().toInt(); }

}  // namespace

frmAnimK2D::frmAnimK2D(sorvan::core::KrigingSession& session, QWidget* owner)
    : QDialog(owner), session_(session), dataLoaded_(&session.data), loadedFile_(session.dataFile) {
  setWindowTitle(QStringLiteral("Animar superficies Kriging 2D"));

  ComboX = new QComboBox;
  ComboY = new QComboBox;
  ComboE = new QComboBox;
  ListaZ = new QListWidget;
  ListaSup = new QListWidget;
  for (QListWidget* list : {ListaZ, ListaSup}) {
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->installEventFilter(this);
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
  const sorvan::core::SpatialData& data = session_.data;
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
  auto* centre = new QGridLayout;
  centre->addWidget(CoAñadir, 0, 0);
  centre->addWidget(CoEliminar, 0, 0);
  auto* lists = new QGridLayout;
  lists->addWidget(new QLabel(QStringLiteral("Lista variables:")), 0, 0);
  lists->addWidget(new QLabel(QStringLiteral("Superficies:")), 0, 2);
  lists->addWidget(ListaZ, 1, 0);
  lists->addLayout(centre, 1, 1, Qt::AlignVCenter);
  lists->addWidget(ListaSup, 1, 2);

  auto* speed = new QHBoxLayout;
  speed->addWidget(new QLabel(QStringLiteral("Frames/seg.")));
  speed->addWidget(txtFPS);
  speed->addStretch();

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(CoOpciones);
  buttons->addWidget(CoAyuda);
  buttons->addStretch();
  buttons->addWidget(CoCancelar);
  buttons->addWidget(CoAceptar);

  auto* layer = new QVBoxLayout(this);
  layer->addLayout(coordenadas);
  layer->addLayout(lists);
  layer->addLayout(speed);
  layer->addLayout(buttons);

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
  // "Accept" only hides it.
  QDialog::reject();
  deleteLater();
}

bool frmAnimK2D::SameData() const {
  return dataLoaded_ == &session_.data && loadedFile_ == session_.dataFile &&
         ListaZ->count() + ListaSup->count() == session_.data.nvar;
}

bool frmAnimK2D::eventFilter(QObject* object, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    if (object == ListaZ) {
      CoAñadir->show();
      CoEliminar->hide();
    } else if (object == ListaSup) {
      CoEliminar->show();
      CoAñadir->hide();
    }
  }
  return QDialog::eventFilter(object, event);
}

// Moves the selected items, from the top, to the end of the other list.
void frmAnimK2D::Move(QListWidget* from, QListWidget* hasta) {
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
  Move(ListaZ, ListaSup);
  CoAñadir->setEnabled(false);
}

void frmAnimK2D::CoEliminar_Click() {
  Move(ListaSup, ListaZ);
  CoEliminar->setEnabled(false);
}

bool frmAnimK2D::Valid() {
  if (ListaSup->count() >= 1 && ComboX->currentIndex() >= 0 && ComboY->currentIndex() >= 0) return true;
  AnimationMessage(this, QMessageBox::NoIcon, QStringLiteral("No se han seleccionado todas las variables necesarias"));
  return false;
}

void frmAnimK2D::TakeColumns() {
  session_.colX = ColumnOf(ComboX);
  session_.colY = ColumnOf(ComboY);
  session_.colLabel = ColumnOf(ComboE);
}

// The automatic options for the chosen coordinates; false (after saying why)
// when the data do not allow them.
bool frmAnimK2D::PrepareOptions() {
  sorvan::core::Result r;
  if (!ComputeAutomaticOptions(this, session_, r)) return false;
  if (!r) {
    QMessageBox::warning(this, kKrigingTitle, QString::fromStdString(r.message));
    return false;
  }
  // The options are shared with the kriging dialog, which must not take
  // these (made for this dialog's coordinates) for the ones it fixed.
  session_.optionsReady = false;
  return true;
}

void frmAnimK2D::CoOpciones_Click() {
  if (!Valid()) return;
  TakeColumns();
  if (!chosenOptions_ && !PrepareOptions()) return;
  // An animation never inherits the profile of an earlier run: the user
  // associates one again in the options dialog if wanted.
  session_.options.profile.clear();
  frmOpKriging options(session_.options, session_.data, session_.colX, session_.colY, this);
  options.exec();
  session_.optionsReady = false;
  chosenOptions_ = true;
}

void frmAnimK2D::CoAceptar_Click() {
  if (!Valid()) return;
  // Checked before any kriging, so a mistyped rate costs no run.
  const std::optional<int> fps = FramesPerSecondOr(this, txtFPS->text());
  if (!fps) return;
  hide();
  TakeColumns();
  if (!chosenOptions_) {
    if (!PrepareOptions()) return;
    chosenOptions_ = true;
    NoticeDefaults(this, session_, kKrigingTitle);
  }

  // The series goes where the session's runs write their results.
  const QString folder = KrigingResultsFolder(session_);
  if (!QDir().mkpath(folder)) {
    AnimationMessage(this, QMessageBox::Warning,
                QStringLiteral("No se puede crear la carpeta de resultados %1.").arg(QDir::toNativeSeparators(folder)));
    return;
  }
  RemoveFiles(folder, QStringLiteral("ANIM*.SUP"));
  float zmin = 3e38f, zmax = -3e38f;
  frameFiles_.clear();
  titles_.clear();

  const int n = ListaSup->count();
  for (int i = 0; i < n; ++i) {
    const int column = ListaSup->item(i)->data(Qt::UserRole).toInt();
    const QString variable = QString::fromStdString(session_.data.names[column - 1]);
    session_.colZ = column;
    const KrigingEnd atEnd = RunKrigingWindow(this, session_, QStringLiteral("%1 de %2").arg(i + 1).arg(n));
    QApplication::processEvents();
    if (atEnd == KrigingEnd::Cancelled) return;

    // The run wrote into the session's result folder; the series is kept
    // in the current folder.
    const QString prediction =
        FileInFolder(QString::fromStdString(session_.resultsFolder), QStringLiteral("SKUPRE.SUP"));
    if (atEnd != KrigingEnd::Done || !QFile::exists(prediction)) {
      AnimationMessage(this, QMessageBox::Warning,
                  QStringLiteral("No se generó la superficie de %1; esta variable no entra en la animación.")
                      .arg(variable.trimmed()));
      continue;
    }
    zmin = std::min(zmin, session_.surfaces.zMin);
    zmax = std::max(zmax, session_.surfaces.zMax);

    const QString destination = QDir(folder).filePath(
        QStringLiteral("ANIM%1.SUP").arg(static_cast<int>(frameFiles_.size()), 2, 10, QLatin1Char('0')));
    if (!QFile::rename(prediction, destination)) {
      AnimationMessage(this, QMessageBox::Warning,
                  QStringLiteral("No se pudo renombrar %1 como %2; %3 no entra en la animación.")
                      .arg(QDir::toNativeSeparators(prediction), QDir::toNativeSeparators(destination),
                           variable.trimmed()));
      continue;
    }
    frameFiles_ << destination;
    titles_ << variable;
  }

  if (frameFiles_.isEmpty()) {
    AnimationMessage(this, QMessageBox::Warning, QStringLiteral("No se generó ninguna superficie: no hay animación."));
    return;
  }
  QDir::setCurrent(folder);
  MakeAnimation(this, frameFiles_, titles_, zmin, zmax, *fps);

  RemoveFiles(folder, QStringLiteral("ANIM*.BMP"));
  QApplication::processEvents();
}

}  // namespace sorvan::gui
