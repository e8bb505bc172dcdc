#include "gui/frmDatos.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>

#include "core/datos_espaciales.h"
#include "gui/app_shell.h"
#include "platform/data_grid.h"

namespace {

const QString kTitulo = QStringLiteral("Sorvan");

}  // namespace

frmDatos::frmDatos(sorvan::DatosEspaciales& datos, QWidget* parent)
    : QWidget(parent), datos_(datos) {
  setObjectName(QStringLiteral("frmDatos"));
  setAttribute(Qt::WA_DeleteOnClose, false);  // one data window, reused for every file
  MSFGrid_ = new DataGrid(this);
  MSFGrid_->setObjectName(QStringLiteral("MSFGrid"));
  auto* capa = new QVBoxLayout(this);
  capa->setContentsMargins(0, 0, 0, 0);
  capa->addWidget(MSFGrid_);

  // The editor lives on the grid's viewport so that a cell's rectangle places it.
  TxtEdit_ = new QLineEdit(MSFGrid_->viewport());
  TxtEdit_->setObjectName(QStringLiteral("TxtEdit"));
  TxtEdit_->setFont(QFont(QStringLiteral("Arial"), 9));
  TxtEdit_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  TxtEdit_->setFrame(false);
  // A thin border in the selection colour shows which cell is being edited.
  TxtEdit_->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid palette(highlight); padding: 0 2px; }"));
  TxtEdit_->hide();
  TxtEdit_->installEventFilter(this);

  connect(MSFGrid_, &DataGrid::TeclaPulsada, this, &frmDatos::MSFGrid_KeyPress);
  connect(MSFGrid_, &DataGrid::DobleClic, this, [this] { MSFGrid_KeyPress(32); });
  connect(MSFGrid_, &DataGrid::FocoRecibido, this, [this] {
    if (TxtEdit_->isVisible()) confirmarEdicion(MSFGrid_->Row(), MSFGrid_->Col());
  });
  connect(MSFGrid_, &DataGrid::SaleDeCelda, this, [this](int fila, int col) {
    if (TxtEdit_->isVisible()) confirmarEdicion(fila, col);
  });
  // Scrolling would leave the editor over the wrong cell: commit first.
  auto alDesplazar = [this] {
    if (TxtEdit_->isVisible()) confirmarEdicion(MSFGrid_->Row(), MSFGrid_->Col());
  };
  connect(MSFGrid_->horizontalScrollBar(), &QScrollBar::valueChanged, this, alDesplazar);
  connect(MSFGrid_->verticalScrollBar(), &QScrollBar::valueChanged, this, alDesplazar);
}

QString frmDatos::TextoValor(double valor) {
  // A missing value is an empty cell; the rest show up to the digits a double
  // needs to come back unchanged from its text.
  if (std::isnan(valor)) return QString();
  return QString::number(valor, 'g', 15);
}

bool frmDatos::IniData(const QString& path) {
  sorvan::DatosEspaciales leidos;
  const sorvan::Resultado r = sorvan::LeeDatos(QFile::encodeName(path).toStdString(), leidos);
  if (!r) {
    // What was loaded before stays, in memory and on screen.
    QMessageBox::warning(parentWidget() ? parentWidget() : this, kTitulo,
                         QStringLiteral("No se pudo cargar el archivo de datos \"%1\".\n%2")
                             .arg(QDir::toNativeSeparators(path), QString::fromStdString(r.mensaje)));
    return false;
  }
  if (!r.mensaje.empty())
    QMessageBox::warning(parentWidget() ? parentWidget() : this, kTitulo, QString::fromStdString(r.mensaje),
                         QMessageBox::Ok);
  datos_ = std::move(leidos);
  llenarRejilla();
  return true;
}

void frmDatos::llenarRejilla() {
  TxtEdit_->hide();
  MSFGrid_->setUpdatesEnabled(false);
  MSFGrid_->Clear();
  MSFGrid_->SetCols(datos_.nvar + 1);
  MSFGrid_->SetRows(datos_.N + 1);
  for (int k = 1; k <= datos_.nvar; ++k)
    MSFGrid_->SetTextMatrix(0, k, QString::fromStdString(datos_.nombreSinBlancos(k)));
  for (int i = 1; i <= datos_.N; ++i) MSFGrid_->SetTextMatrix(i, 0, QString::number(i));
  // The cells show the data set itself, formatted when drawn; whoever changes
  // the data set's size must refill the grid, and until then cells beyond it
  // show nothing.
  MSFGrid_->SetTextos([this](int fila, int col) {
    return fila <= datos_.N && col <= datos_.nvar ? TextoValor(datos_.valor(fila, col)) : QString();
  });
  MSFGrid_->AlinearDerecha();
  // The row-number column is half a data column wide, but never narrower than
  // its widest number.
  const int mitad = static_cast<int>(std::nearbyint(MSFGrid_->horizontalHeader()->defaultSectionSize() / 2.0));
  const int necesario = MSFGrid_->verticalHeader()->fontMetrics().horizontalAdvance(
                            QString::number(std::max(datos_.N, 1))) + 12;
  MSFGrid_->SetColWidth(0, std::max(mitad, necesario));
  if (datos_.N > 0 && datos_.nvar > 0) MSFGrid_->SetCurrentCell(1, 1);
  MSFGrid_->setUpdatesEnabled(true);
}

void frmDatos::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (AppShell* shell = AppShellOf(this)) shell->SetKrigingEnabled(true);
}

void frmDatos::closeEvent(QCloseEvent* event) {
  TxtEdit_->hide();
  if (AppShell* shell = AppShellOf(this)) shell->SetKrigingEnabled(false);
  QWidget::closeEvent(event);
}

void frmDatos::MSFGrid_KeyPress(int codigo) {
  if (MSFGrid_->Row() < 1 || MSFGrid_->Col() < 1) return;
  if (codigo > 32 || codigo < 0) {
    // A character replaces the cell's text.
    TxtEdit_->setText(QString(QChar(codigo)));
  } else {
    // Blank, Enter, Escape, Backspace...: edit the text already there.
    TxtEdit_->setText(MSFGrid_->TextMatrix(MSFGrid_->Row(), MSFGrid_->Col()));
  }
  TxtEdit_->setCursorPosition(TxtEdit_->text().size());
  TxtEdit_->setGeometry(MSFGrid_->RectCelda());
  TxtEdit_->show();
  TxtEdit_->setFocus();
}

void frmDatos::confirmarEdicion(int fila, int col) {
  TxtEdit_->hide();
  if (fila < 1 || col < 1 || fila > datos_.N || col > datos_.nvar) return;
  const QString texto = TxtEdit_->text().trimmed();
  bool ok = false;
  // An emptied cell, or "NA", makes the value missing.
  const bool ausente = texto.isEmpty() || sorvan::EsTextoAusente(texto.toStdString());
  const double x = ausente ? std::numeric_limits<double>::quiet_NaN() : texto.toDouble(&ok);
  if (!ausente && (!ok || !std::isfinite(x) || std::fabs(x) > std::numeric_limits<float>::max())) {
    // The cell and the data keep their value; the message waits until the
    // focus change that brought us here is over.
    const QString aviso =
        QStringLiteral("\"%1\" no es un valor numérico válido (fila %2, variable %3).\n"
                       "El dato conserva su valor anterior.")
            .arg(texto, QString::number(fila), QString::fromStdString(datos_.nombreSinBlancos(col)));
    QMetaObject::invokeMethod(
        this, [this, aviso] { QMessageBox::warning(this, kTitulo, aviso); }, Qt::QueuedConnection);
    return;
  }
  const double valor = x;
  const size_t inicio = size_t(col - 1) * size_t(datos_.N);
  datos_.matriz[inicio + size_t(fila - 1)] = valor;
  // The old value may have been the column's extreme: take them afresh.
  datos_.recalculaExtremos(col);
  MSFGrid_->SetTextMatrix(fila, col, TextoValor(valor));
  emit DatoEditado(fila, col);
}

void frmDatos::devolverFoco() {
  if (TxtEdit_->isVisible()) confirmarEdicion(MSFGrid_->Row(), MSFGrid_->Col());
  MSFGrid_->setFocus();
}

bool frmDatos::eventFilter(QObject* watched, QEvent* event) {
  if (watched != TxtEdit_ || event->type() != QEvent::KeyPress)
    return QWidget::eventFilter(watched, event);
  auto* tecla = static_cast<QKeyEvent*>(event);
  switch (tecla->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      devolverFoco();
      return true;
    case Qt::Key_Escape:
      TxtEdit_->hide();
      MSFGrid_->setFocus();
      return true;
    case Qt::Key_Up:
      devolverFoco();
      QApplication::processEvents();
      if (MSFGrid_->Row() > 1) MSFGrid_->SetRow(MSFGrid_->Row() - 1);
      return true;
    case Qt::Key_Down:
      devolverFoco();
      QApplication::processEvents();
      if (MSFGrid_->Row() < MSFGrid_->Rows() - 1) MSFGrid_->SetRow(MSFGrid_->Row() + 1);
      return true;
    default:
      return QWidget::eventFilter(watched, event);
  }
}
