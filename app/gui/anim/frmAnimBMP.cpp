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

  auto* speed = new QHBoxLayout;
  speed->addWidget(new QLabel(QStringLiteral("Frames/seg.")));
  speed->addWidget(txtFPS);
  speed->addStretch();
  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {cmdFileOpen, cmdClearList, cmdWriteAVI}) buttons->addWidget(b);
  buttons->addLayout(speed);
  buttons->addStretch();
  buttons->addWidget(cmdCancelar);
  auto* left = new QVBoxLayout;
  left->addWidget(lstDIBList);
  left->addWidget(imgPreview, 0, Qt::AlignHCenter);
  auto* layer = new QHBoxLayout(this);
  layer->addLayout(left, 1);
  layer->addWidget(grafico, 2);
  layer->addLayout(buttons);

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
  surfaceMode_ = true;
  imgPreview->hide();
  resize(900, 520);  // room for the chart beside the list
}

QStringList frmAnimBMP::Archivos() const {
  QStringList list;
  for (int i = 0; i < lstDIBList->count(); ++i) list << lstDIBList->item(i)->data(Qt::UserRole).toString();
  return list;
}

void frmAnimBMP::clearRange() {
  zmin_ = 3e38f;
  zmax_ = -3e38f;
}

void frmAnimBMP::preview(const QString& file) {
  const QPixmap image(file);
  imgPreview->setPixmap(image.isNull() ? QPixmap()
                                        : image.scaled(imgPreview->size(), Qt::KeepAspectRatio,
                                                        Qt::SmoothTransformation));
}

// Loads a surface into the preview chart with the running Z range, widening
// that range first when the file is being added.
bool frmAnimBMP::loadSurface(const QString& file, bool extendRange) {
  grafico->show();
  QString error;
  if (!grafico->LoadGridFile(file, &error)) {
    AnimationMessage(this, QMessageBox::Warning, error.isEmpty() ? file : error);
    return false;
  }
  if (extendRange) {
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
  if (surfaceMode_) {
    dlg.DlgTitle = QStringLiteral("Seleccionar fichero SUP");
    dlg.Filter = QStringLiteral("Archivos de superficies (*.sup)|*.sup|Todos los ficheros (*.*)|*.*");
  } else {
    dlg.DlgTitle = QStringLiteral("Seleccionar fichero BMP");
    dlg.Filter = QStringLiteral("Archivos BMP|*.bmp|Archivos DIB|*.dib");
  }
  QString nombre;
  if (!dlg.VBGetOpenFileName(nombre)) return;
  // The dialog gives the full paths itself, so names holding blanks survive.
  AddFiles(dlg.Archivos());
}

void frmAnimBMP::AddFiles(const QStringList& files) {
  for (const QString& file : files) {
    if (surfaceMode_) {
      if (!loadSurface(file, true)) continue;
    } else {
      cDIB dib;
      UserMessages(dib, this);
      if (!dib.CreateFromFile(file.toStdString())) continue;
      if (!hasFirst_) {
        hasFirst_ = true;
        firstWidth_ = dib.Width();
        firstHeight_ = dib.Height();
        firstBits_ = dib.BitCount();
        firstFile_ = file;
      } else if (dib.Width() != firstWidth_ || dib.Height() != firstHeight_ || dib.BitCount() != firstBits_) {
        // Every frame of a video has one size and colour depth: say which
        // differs, and from which file.
        QStringList differences;
        if (dib.Width() != firstWidth_ || dib.Height() != firstHeight_)
          differences << QStringLiteral("mide %1 x %2 píxeles y no %3 x %4")
                             .arg(dib.Width())
                             .arg(dib.Height())
                             .arg(firstWidth_)
                             .arg(firstHeight_);
        if (dib.BitCount() != firstBits_)
          differences << QStringLiteral("tiene %1 bits de color y no %2").arg(dib.BitCount()).arg(firstBits_);
        AnimationMessage(this, QMessageBox::Warning,
                    QStringLiteral("El mapa de bits \"%1\" no tiene el formato de \"%2\", el primero de la lista: "
                                   "%3. Todos los fotogramas de un vídeo deben ser iguales; no se añade.")
                        .arg(QDir::toNativeSeparators(file), QDir::toNativeSeparators(firstFile_),
                             differences.join(QStringLiteral(" y "))));
        continue;
      }
      preview(file);
    }
    auto* item = new QListWidgetItem(QDir::toNativeSeparators(file));
    item->setData(Qt::UserRole, file);
    QSignalBlocker blocking(lstDIBList);
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
  if (surfaceMode_)
    loadSurface(file, false);
  else
    preview(file);
}

void frmAnimBMP::cmdClearList_Click() {
  {
    QSignalBlocker blocking(lstDIBList);
    lstDIBList->clear();
  }
  imgPreview->clear();
  grafico->hide();
  clearRange();
  hasFirst_ = false;
  cmdWriteAVI->setEnabled(false);
  cmdClearList->setEnabled(false);
}

void frmAnimBMP::cmdWriteAVI_Click() {
  const std::optional<int> readItems = FramesPerSecondOr(this, txtFPS->text());
  if (!readItems) return;
  const int fps = *readItems;
  hide();
  QStringList list;
  for (int i = 0; i < lstDIBList->count(); ++i) {
    lstDIBList->setCurrentRow(i);  // the preview follows, as the user would see it
    list << lstDIBList->item(i)->data(Qt::UserRole).toString();
  }
  if (!list.isEmpty()) {
    if (surfaceMode_) {
      QStringList titles;
      for (const QString& file : list) titles << SurfaceTitle(file);
      float zmin = zmin_, zmax = zmax_;
      MakeAnimation(this, list, titles, zmin, zmax, fps);
    } else {
      WriteAVI(this, list, fps);
    }
  }
  show();
}

QString SurfaceTitle(const QString& file) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return QString();
  QString line = QString::fromLocal8Bit(f.readLine());
  while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r'))) line.chop(1);
  return line.mid(37);
}

}  // namespace sorvan::gui
