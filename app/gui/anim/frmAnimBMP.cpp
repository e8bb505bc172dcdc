#include "gui/anim/frmAnimBMP.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/bitmap/cDIB.h"
#include "gui/anim/MakeAnimation.h"
#include "gui/anim/number_to_text.h"
#include "gui/anim/mAVIDecs.h"
#include "gui/anim/animation_messages.h"
#include "platform/cFileDlg.h"
#include "platform/chart3d.h"

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

frmAnimBMP::frmAnimBMP(QWidget* owner) : QDialog(owner) {
  setWindowTitle(QStringLiteral("Generar AVI de ficheros BMP"));

  lstDIBList = new QListWidget;
  lstDIBList->setMinimumWidth(260);
  cmdFileOpen = new QPushButton(QStringLiteral("Añadir BMP..."));
  cmdClearList = new QPushButton(QStringLiteral("Borrar lista"));
  cmdWriteAVI = new QPushButton(QStringLiteral("Generar AVI..."));
  cmdCancelar = new QPushButton(QStringLiteral("Cancelar"));
  txtFPS = new QLineEdit(QStringLiteral("1"));
  txtFPS->setMaximumWidth(60);
  imgPreview = new QLabel;
  imgPreview->setFixedSize(240, 180);
  imgPreview->setAlignment(Qt::AlignCenter);
  imgPreview->setFrameShape(QFrame::StyledPanel);
  grafico = new Chart3D;
  grafico->setMinimumSize(320, 240);
  grafico->hide();
  cmdClearList->setEnabled(false);
  cmdWriteAVI->setEnabled(false);

  auto* velocidad = new QHBoxLayout;
  velocidad->addWidget(new QLabel(QStringLiteral("Frames/seg.")));
  velocidad->addWidget(txtFPS);
  velocidad->addStretch();
  auto* botones = new QVBoxLayout;
  for (QPushButton* b : {cmdFileOpen, cmdClearList, cmdWriteAVI}) botones->addWidget(b);
  botones->addLayout(velocidad);
  botones->addStretch();
  botones->addWidget(cmdCancelar);
  auto* izquierda = new QVBoxLayout;
  izquierda->addWidget(lstDIBList);
  izquierda->addWidget(imgPreview, 0, Qt::AlignHCenter);
  auto* capa = new QHBoxLayout(this);
  capa->addLayout(izquierda, 1);
  capa->addWidget(grafico, 2);
  capa->addLayout(botones);

  connect(cmdFileOpen, &QPushButton::clicked, this, &frmAnimBMP::cmdFileOpen_Click);
  connect(cmdClearList, &QPushButton::clicked, this, &frmAnimBMP::cmdClearList_Click);
  connect(cmdWriteAVI, &QPushButton::clicked, this, &frmAnimBMP::cmdWriteAVI_Click);
  connect(cmdCancelar, &QPushButton::clicked, this, &QDialog::reject);
  connect(lstDIBList, &QListWidget::currentRowChanged, this, &frmAnimBMP::lstDIBList_Click);
}

void frmAnimBMP::reject() {
  // "Cancelar" (or closing the window) unloads the dialog and its list.
  QDialog::reject();
  deleteLater();
}

void frmAnimBMP::PreparaSUP() {
  setWindowTitle(QStringLiteral("Generar AVI de ficheros SUP"));
  cmdFileOpen->setText(QStringLiteral("Añadir SUP..."));
  modoSUP_ = true;
  imgPreview->hide();
  resize(900, 520);  // room for the chart beside the list
}

QStringList frmAnimBMP::Archivos() const {
  QStringList lista;
  for (int i = 0; i < lstDIBList->count(); ++i) lista << lstDIBList->item(i)->data(Qt::UserRole).toString();
  return lista;
}

void frmAnimBMP::vaciaRango() {
  zmin_ = 3e38f;
  zmax_ = -3e38f;
}

void frmAnimBMP::vistaPrevia(const QString& file) {
  const QPixmap imagen(file);
  imgPreview->setPixmap(imagen.isNull() ? QPixmap()
                                        : imagen.scaled(imgPreview->size(), Qt::KeepAspectRatio,
                                                        Qt::SmoothTransformation));
}

// Loads a surface into the preview chart with the running Z range, widening
// that range first when the file is being added.
bool frmAnimBMP::cargaSuperficie(const QString& file, bool ampliarRango) {
  grafico->show();
  QString error;
  if (!grafico->LoadGridFile(file, &error)) {
    AnimationMessage(this, QMessageBox::Warning, error.isEmpty() ? file : error);
    return false;
  }
  if (ampliarRango) {
    zmin_ = std::min(zmin_, grafico->ZAxisMin());
    zmax_ = std::max(zmax_, grafico->ZAxisMax());
  }
  grafico->Batch(true);
  grafico->ZAxisRange(zmin_, zmax_);
  grafico->Batch(false);
  return true;
}

void frmAnimBMP::cmdFileOpen_Click() {
  cFileDlg dlg;
  dlg.OwnerHwnd = this;
  dlg.MultiSelect = true;
  dlg.InitDirectory = QDir::currentPath();
  if (modoSUP_) {
    dlg.DlgTitle = QStringLiteral("Seleccionar fichero SUP");
    dlg.Filter = QStringLiteral("Archivos de superficies (*.sup)|*.sup|Todos los ficheros (*.*)|*.*");
  } else {
    dlg.DlgTitle = QStringLiteral("Seleccionar fichero BMP");
    dlg.Filter = QStringLiteral("Archivos BMP|*.bmp|Archivos DIB|*.dib");
  }
  QString nombre;
  if (!dlg.VBGetOpenFileName(nombre)) return;
  // The dialog gives the full paths itself, so names holding blanks survive.
  AnadirArchivos(dlg.Archivos());
}

void frmAnimBMP::AnadirArchivos(const QStringList& files) {
  for (const QString& file : files) {
    if (modoSUP_) {
      if (!cargaSuperficie(file, true)) continue;
    } else {
      cDIB dib;
      MensajesAlUsuario(dib, this);
      if (!dib.CreateFromFile(file.toStdString())) continue;
      if (!hayPrimero_) {
        hayPrimero_ = true;
        anchoPrimero_ = dib.Width();
        altoPrimero_ = dib.Height();
        bitsPrimero_ = dib.BitCount();
        archivoPrimero_ = file;
      } else if (dib.Width() != anchoPrimero_ || dib.Height() != altoPrimero_ || dib.BitCount() != bitsPrimero_) {
        // Every frame of a video has one size and colour depth: say which
        // differs, and from which file.
        QStringList diferencias;
        if (dib.Width() != anchoPrimero_ || dib.Height() != altoPrimero_)
          diferencias << QStringLiteral("mide %1 x %2 píxeles y no %3 x %4")
                             .arg(dib.Width())
                             .arg(dib.Height())
                             .arg(anchoPrimero_)
                             .arg(altoPrimero_);
        if (dib.BitCount() != bitsPrimero_)
          diferencias << QStringLiteral("tiene %1 bits de color y no %2").arg(dib.BitCount()).arg(bitsPrimero_);
        AnimationMessage(this, QMessageBox::Warning,
                    QStringLiteral("El mapa de bits \"%1\" no tiene el formato de \"%2\", el primero de la lista: "
                                   "%3. Todos los fotogramas de un vídeo deben ser iguales; no se añade.")
                        .arg(QDir::toNativeSeparators(file), QDir::toNativeSeparators(archivoPrimero_),
                             diferencias.join(QStringLiteral(" y "))));
        continue;
      }
      vistaPrevia(file);
    }
    auto* item = new QListWidgetItem(QDir::toNativeSeparators(file));
    item->setData(Qt::UserRole, file);
    QSignalBlocker bloqueo(lstDIBList);
    lstDIBList->addItem(item);
  }
  const bool hayArchivos = lstDIBList->count() > 0;
  cmdWriteAVI->setEnabled(hayArchivos);
  cmdClearList->setEnabled(hayArchivos);
}

void frmAnimBMP::lstDIBList_Click() {
  QListWidgetItem* item = lstDIBList->currentItem();
  if (item == nullptr) return;
  const QString file = item->data(Qt::UserRole).toString();
  if (modoSUP_)
    cargaSuperficie(file, false);
  else
    vistaPrevia(file);
}

void frmAnimBMP::cmdClearList_Click() {
  {
    QSignalBlocker bloqueo(lstDIBList);
    lstDIBList->clear();
  }
  imgPreview->clear();
  grafico->hide();
  vaciaRango();
  hayPrimero_ = false;
  cmdWriteAVI->setEnabled(false);
  cmdClearList->setEnabled(false);
}

void frmAnimBMP::cmdWriteAVI_Click() {
  const std::optional<int> leidos = FotogramasPorSegundoO(this, txtFPS->text());
  if (!leidos) return;
  const int fps = *leidos;
  hide();
  QStringList lista;
  for (int i = 0; i < lstDIBList->count(); ++i) {
    lstDIBList->setCurrentRow(i);  // the preview follows, as the user would see it
    lista << lstDIBList->item(i)->data(Qt::UserRole).toString();
  }
  if (!lista.isEmpty()) {
    if (modoSUP_) {
      QStringList titulos;
      for (const QString& file : lista) titulos << TituloSuperficie(file);
      float zmin = zmin_, zmax = zmax_;
      MakeAnimation(this, lista, titulos, zmin, zmax, fps);
    } else {
      WriteAVI(this, lista, fps);
    }
  }
  show();
}

QString TituloSuperficie(const QString& file) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return QString();
  QString line = QString::fromLocal8Bit(f.readLine());
  while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r'))) line.chop(1);
  return line.mid(37);
}

}  // namespace sorvan::gui
