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

#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QPushButton>

#include "core/spatial_data.h"
#include "core/data_writer.h"
#include "core/list_reader.h"
#include "core/delimited_text.h"
#include "gui/app_shell.h"
#include "gui/frmImportarTexto.h"
#include "platform/cFileDlg.h"
#include "platform/data_grid.h"
#include "platform/gis/point_layer.h"
#include "platform/tarea_con_progreso.h"

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

namespace {

const QString kTitulo = QStringLiteral("Sorvan");

}  // namespace

frmDatos::frmDatos(sorvan::core::SpatialData& data, QWidget* parent)
    : QWidget(parent), datos_(data) {
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
  connect(MSFGrid_, &DataGrid::SaleDeCelda, this, [this](int row, int col) {
    if (TxtEdit_->isVisible()) confirmarEdicion(row, col);
  });
  // Scrolling would leave the editor over the wrong cell: commit first.
  auto alDesplazar = [this] {
    if (TxtEdit_->isVisible()) confirmarEdicion(MSFGrid_->Row(), MSFGrid_->Col());
  };
  connect(MSFGrid_->horizontalScrollBar(), &QScrollBar::valueChanged, this, alDesplazar);
  connect(MSFGrid_->verticalScrollBar(), &QScrollBar::valueChanged, this, alDesplazar);
}

QString frmDatos::TextoValor(double value) {
  // A missing value is an empty cell; the rest show up to the digits a double
  // needs to come back unchanged from its text.
  if (std::isnan(value)) return QString();
  return QString::number(value, 'g', 15);
}

bool frmDatos::IniData(const QString& path) {
  sorvan::core::SpatialData leidos;
  const std::string ruta = QFile::encodeName(path).toStdString();
  sorvan::core::Result r;
  sorvan::core::TextFormat format;
  QWidget* dueno = parentWidget() ? parentWidget() : this;
  // Reading runs off the window's thread; "Cancelar" (or a failure) leaves
  // the data set and the grid as they were.
  const TareaConProgreso tarea{dueno, QStringLiteral("Cargando los datos de \"%1\"...").arg(QFileInfo(path).fileName())};
  if (sorvan::core::IsDelimitedText(ruta)) {
    // Separator and decimal mark shown for the user to confirm or correct.
    std::string bytes;
    if (!tarea.Ejecuta([&](const sorvan::core::AvisoProgreso&) { r = sorvan::core::ReadWholeFile(ruta, bytes); })) return false;
    if (r) {
      frmImportarTexto dialogo(path, bytes, dueno);
      if (dialogo.exec() != QDialog::Accepted) return false;
      sorvan::core::ReadOptions op;
      dialogo.ValorAusente(op.missingValue);
      format = dialogo.Formato();
      if (!tarea.Ejecuta([&](const sorvan::core::AvisoProgreso& warning) {
            op.progreso = warning;
            r = sorvan::core::ReadDelimitedText(bytes, ruta, format, leidos, op);
          }))
        return false;
    }
  } else if (sorvan::platform::IsGisLayer(ruta)) {
    if (!tarea.Ejecuta([&](const sorvan::core::AvisoProgreso& warning) {
          sorvan::core::ReadOptions op;
          op.progreso = warning;
          r = sorvan::platform::ReadPointLayer(ruta, leidos, op);
        }))
      return false;
  } else {
    if (!tarea.Ejecuta([&](const sorvan::core::AvisoProgreso& warning) {
          sorvan::core::ReadOptions op;
          op.progreso = warning;
          r = sorvan::core::ReadData(ruta, leidos, op);
        }))
      return false;
  }
  if (!r) {
    // What was loaded before stays, in memory and on screen.
    QMessageBox::warning(parentWidget() ? parentWidget() : this, kTitulo,
                         QStringLiteral("No se pudo cargar el archivo de datos \"%1\".\n%2")
                             .arg(QDir::toNativeSeparators(path), QString::fromStdString(r.message)));
    return false;
  }
  if (!r.message.empty())
    QMessageBox::warning(parentWidget() ? parentWidget() : this, kTitulo, QString::fromStdString(r.message),
                         QMessageBox::Ok);
  datos_ = std::move(leidos);
  formato_ = format;
  // A GIS layer is saved under a new name (as ".dae" or text).
  path_ = sorvan::platform::IsGisLayer(ruta) ? QString() : QFileInfo(path).absoluteFilePath();
  pila_.clear();
  guardadoEn_ = 0;
  marcaModificado(false);
  llenarRejilla();
  return true;
}

void frmDatos::Nuevo(const QStringList& names, int rows) {
  sorvan::core::SpatialData d;
  d.title = sorvan::core::FitWidth("Sin título", sorvan::core::kTextWidth);
  d.nvar = int(names.size());
  d.N = rows;
  for (const QString& n : names) {
    d.names.push_back(sorvan::core::FitWidth(n.trimmed().toStdString(), sorvan::core::kNameWidth));
    d.descriptions.push_back(sorvan::core::FitWidth(n.trimmed().toStdString(), sorvan::core::kTextWidth));
    d.numbers.push_back(0.0f);
  }
  d.fillFromRows(std::vector<double>(size_t(rows) * size_t(d.nvar), std::nan("")));
  datos_ = std::move(d);
  path_.clear();
  formato_ = {};
  pila_.clear();
  guardadoEn_ = 0;
  marcaModificado(false);
  llenarRejilla();
}

void frmDatos::marcaModificado(bool si) {
  modificado_ = si;
  // The caption shows the file (or "Sin título") and a mark for unsaved changes.
  const QString nombre = path_.isEmpty() ? QStringLiteral("Sin título") : QDir::toNativeSeparators(path_);
  setWindowTitle(nombre + (si ? QStringLiteral(" *") : QString()));
  emit EstadoCambiado();
}

bool frmDatos::GuardarEn(const QString& ruta) {
  const std::string r8 = QFile::encodeName(ruta).toStdString();
  sorvan::core::Result r;
  // Text saved as it was read (separator and decimal mark), ".tsv" with tabs.
  sorvan::core::TextFormat f = formato_;
  if (ruta.endsWith(QStringLiteral(".tsv"), Qt::CaseInsensitive)) f.separator = '\t';
  // Written off the window's thread; a cancelled save leaves the file as it
  // was (one that was already whole when "Cancelar" came counts as saved).
  const TareaConProgreso tarea{parentWidget() ? parentWidget() : this,
                               QStringLiteral("Guardando los datos en \"%1\"...").arg(QFileInfo(ruta).fileName())};
  const bool seguido = tarea.Ejecuta([&](const sorvan::core::AvisoProgreso& warning) {
    r = sorvan::core::IsDelimitedText(r8) ? sorvan::core::WriteDelimitedText(r8, datos_, f, warning)
                                      : sorvan::core::WriteDae(r8, datos_, warning);
  });
  if (!seguido && !r) return false;
  if (!r) {
    QMessageBox::critical(parentWidget() ? parentWidget() : this, kTitulo,
                          QStringLiteral("No se han guardado los datos.\n%1").arg(QString::fromStdString(r.message)));
    return false;
  }
  path_ = QFileInfo(ruta).absoluteFilePath();
  guardadoEn_ = int(pila_.size());
  marcaModificado(false);
  return true;
}

bool frmDatos::Guardar() {
  if (path_.isEmpty()) return GuardarComo();
  return GuardarEn(path_);
}

bool frmDatos::GuardarComo() {
  cFileDlg dlg;
  dlg.OwnerHwnd = parentWidget() ? parentWidget() : this;
  dlg.Filter = QStringLiteral("Archivos de datos espaciales (*.dae)|*.dae|Texto separado por comas (*.csv)|*.csv|"
                              "Texto separado por tabuladores (*.tsv)|*.tsv");
  const bool text = sorvan::core::IsDelimitedText(QFile::encodeName(path_).toStdString());
  dlg.FilterIndex = text ? 2 : 1;
  dlg.DefaultExt = text ? QStringLiteral("csv") : QStringLiteral("dae");
  dlg.InitDirectory = path_.isEmpty() ? QDir::currentPath() : QFileInfo(path_).absolutePath();
  QString file = path_.isEmpty() ? QString() : QFileInfo(path_).fileName();
  if (!dlg.VBGetSaveFileName(file)) return false;
  return GuardarEn(file);
}

bool frmDatos::PreguntarGuardar() {
  if (!modificado_) return true;
  const QString nombre = path_.isEmpty() ? QStringLiteral("Sin título") : QFileInfo(path_).fileName();
  QMessageBox caja(QMessageBox::Warning, kTitulo,
                   QStringLiteral("¿Guardar los cambios en los datos \"%1\"?").arg(nombre),
                   QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                   parentWidget() ? parentWidget() : this);
  caja.setObjectName(QStringLiteral("PreguntaGuardar"));
  caja.button(QMessageBox::Yes)->setText(QStringLiteral("&Sí"));
  caja.button(QMessageBox::No)->setText(QStringLiteral("&No"));
  caja.button(QMessageBox::Cancel)->setText(QStringLiteral("Cancelar"));
  caja.setDefaultButton(QMessageBox::Yes);
  const int r = caja.exec();
  if (r == QMessageBox::Yes) return Guardar();
  if (r != QMessageBox::No) return false;
  guardadoEn_ = -1;
  marcaModificado(false);  // the user chose to drop them: not asked again
  return true;
}

void frmDatos::ponValor(int row, int col, double value) {
  datos_.matrix[size_t(col - 1) * size_t(datos_.N) + size_t(row - 1)] = value;
  // The old value may have been the column's extreme: take them afresh.
  datos_.recomputeExtremes(col);
  MSFGrid_->SetTextMatrix(row, col, TextoValor(value));
  emit DatoEditado(row, col);
}

void frmDatos::registra(std::vector<Cambio> step) {
  if (step.empty()) return;
  // A step taken after undoing back past the saved state never returns to it.
  if (int(pila_.size()) < guardadoEn_) guardadoEn_ = -1;
  pila_.push_back(std::move(step));
  if (int(pila_.size()) > kMaxDeshacer) {
    pila_.erase(pila_.begin());
    --guardadoEn_;
  }
  marcaModificado(true);
}

void frmDatos::Deshacer() {
  if (TxtEdit_->isVisible()) {
    // Undo while typing drops what was typed.
    TxtEdit_->hide();
    MSFGrid_->setFocus();
    return;
  }
  if (pila_.empty()) return;
  std::vector<Cambio> step = std::move(pila_.back());
  pila_.pop_back();
  for (auto c = step.rbegin(); c != step.rend(); ++c) ponValor(c->row, c->col, c->antes);
  MSFGrid_->SetCurrentCell(step.front().row, step.front().col);
  // Undone back to what was saved (or read): nothing to save.
  marcaModificado(int(pila_.size()) != guardadoEn_);
}

bool frmDatos::bloqueSeleccionado(int& fila1, int& col1, int& fila2, int& col2) const {
  if (datos_.empty() || MSFGrid_->Row() < 1 || MSFGrid_->Col() < 1) return false;
  fila1 = fila2 = MSFGrid_->Row();
  col1 = col2 = MSFGrid_->Col();
  const QModelIndexList sel = MSFGrid_->selectionModel() ? MSFGrid_->selectionModel()->selectedIndexes()
                                                         : QModelIndexList();
  if (sel.size() > 1) {
    fila1 = col1 = std::numeric_limits<int>::max();
    fila2 = col2 = 0;
    for (const QModelIndex& i : sel) {
      fila1 = std::min(fila1, i.row() + 1);
      fila2 = std::max(fila2, i.row() + 1);
      col1 = std::min(col1, i.column() + 1);
      col2 = std::max(col2, i.column() + 1);
    }
  }
  fila2 = std::min(fila2, datos_.N);
  col2 = std::min(col2, datos_.nvar);
  return fila1 <= fila2 && col1 <= col2;
}

QString frmDatos::TextoBloque(int fila1, int col1, int fila2, int col2) const {
  QString t;
  for (int i = fila1; i <= fila2; ++i) {
    for (int k = col1; k <= col2; ++k) {
      t += QString::fromStdString(sorvan::core::NumberText(datos_.value(i, k)));
      if (k < col2) t += QLatin1Char('\t');
    }
    t += QLatin1Char('\n');
  }
  return t;
}

void frmDatos::Copiar() {
  int f1, c1, f2, c2;
  if (TxtEdit_->isVisible()) {
    TxtEdit_->copy();
    return;
  }
  if (bloqueSeleccionado(f1, c1, f2, c2)) QGuiApplication::clipboard()->setText(TextoBloque(f1, c1, f2, c2));
}

void frmDatos::Cortar() {
  if (TxtEdit_->isVisible()) {
    TxtEdit_->cut();
    return;
  }
  int f1, c1, f2, c2;
  if (!bloqueSeleccionado(f1, c1, f2, c2)) return;
  QGuiApplication::clipboard()->setText(TextoBloque(f1, c1, f2, c2));
  // The cut cells become missing values, as one step.
  std::vector<Cambio> step;
  for (int i = f1; i <= f2; ++i)
    for (int k = c1; k <= c2; ++k) {
      step.push_back({i, k, datos_.value(i, k)});
      ponValor(i, k, std::nan(""));
    }
  registra(std::move(step));
}

void frmDatos::Pegar() {
  if (TxtEdit_->isVisible()) {
    TxtEdit_->paste();
    return;
  }
  if (MSFGrid_->Row() < 1 || MSFGrid_->Col() < 1) return;
  PegarTexto(QGuiApplication::clipboard()->text(), MSFGrid_->Row(), MSFGrid_->Col());
}

bool frmDatos::PegarTexto(const QString& text, int row, int col) {
  QStringList lines = text.split(QLatin1Char('\n'));
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();  // the final line break
  // Every cell is checked before any value changes.
  struct Valor {
    int row, col;
    double v;
  };
  std::vector<Valor> values;
  bool recortado = false;
  for (int i = 0; i < lines.size(); ++i) {
    QString line = lines[i];
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    const QStringList celdas = line.split(QLatin1Char('\t'));
    for (int k = 0; k < celdas.size(); ++k) {
      const int f = row + i, c = col + k;
      if (f > datos_.N || c > datos_.nvar) {
        recortado = true;
        continue;
      }
      const QString t = celdas[k].trimmed();
      double v = std::nan("");
      if (!t.isEmpty() && !sorvan::core::IsMissingText(t.toStdString())) {
        bool ok = false;
        v = t.toDouble(&ok);
        // A spreadsheet in Spanish copies "3,5".
        if (!ok && !t.contains(QLatin1Char('.'))) v = QString(t).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        if (!ok || !std::isfinite(v) || std::fabs(v) > std::numeric_limits<float>::max()) {
          QMessageBox::warning(parentWidget() ? parentWidget() : this, kTitulo,
                               QStringLiteral("No se ha pegado nada: \"%1\" no es un valor numérico válido "
                                              "(fila %2, variable %3).")
                                   .arg(t.left(40), QString::number(f),
                                        QString::fromStdString(datos_.nameWithoutBlanks(c))));
          return false;
        }
      }
      values.push_back({f, c, v});
    }
  }
  std::vector<Cambio> step;
  for (const Valor& v : values) {
    step.push_back({v.row, v.col, datos_.value(v.row, v.col)});
    ponValor(v.row, v.col, v.v);
  }
  registra(std::move(step));
  if (recortado)
    QMessageBox::information(parentWidget() ? parentWidget() : this, kTitulo,
                             QStringLiteral("Parte del bloque pegado quedaba fuera de la tabla y no se ha pegado."));
  return true;
}

void frmDatos::llenarRejilla() {
  TxtEdit_->hide();
  MSFGrid_->setUpdatesEnabled(false);
  MSFGrid_->Clear();
  MSFGrid_->SetCols(datos_.nvar + 1);
  MSFGrid_->SetRows(datos_.N + 1);
  for (int k = 1; k <= datos_.nvar; ++k)
    MSFGrid_->SetTextMatrix(0, k, QString::fromStdString(datos_.nameWithoutBlanks(k)));
  MSFGrid_->NumerarFilas();
  // The cells show the data set itself, formatted when drawn; whoever changes
  // the data set's size must refill the grid, and until then cells beyond it
  // show nothing.
  MSFGrid_->SetTextos([this](int row, int col) {
    return row <= datos_.N && col <= datos_.nvar ? TextoValor(datos_.value(row, col)) : QString();
  });
  MSFGrid_->AlignTextRight();
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
  if (TxtEdit_->isVisible()) confirmarEdicion(MSFGrid_->Row(), MSFGrid_->Col());
  // Unsaved changes are never dropped without a question.
  if (!PreguntarGuardar()) {
    event->ignore();
    return;
  }
  TxtEdit_->hide();
  if (AppShell* shell = AppShellOf(this)) shell->SetKrigingEnabled(false);
  QWidget::closeEvent(event);
}

void frmDatos::MSFGrid_KeyPress(int code) {
  if (MSFGrid_->Row() < 1 || MSFGrid_->Col() < 1) return;
  if (code > 32 || code < 0) {
    // A character replaces the cell's text.
    TxtEdit_->setText(QString(QChar(code)));
  } else {
    // Blank, Enter, Escape, Backspace...: edit the text already there.
    TxtEdit_->setText(MSFGrid_->TextMatrix(MSFGrid_->Row(), MSFGrid_->Col()));
  }
  TxtEdit_->setCursorPosition(TxtEdit_->text().size());
  TxtEdit_->setGeometry(MSFGrid_->CellRect());
  TxtEdit_->show();
  TxtEdit_->setFocus();
}

void frmDatos::confirmarEdicion(int row, int col) {
  TxtEdit_->hide();
  if (row < 1 || col < 1 || row > datos_.N || col > datos_.nvar) return;
  const QString text = TxtEdit_->text().trimmed();
  bool ok = false;
  // An emptied cell, or "NA", makes the value missing.
  const bool ausente = text.isEmpty() || sorvan::core::IsMissingText(text.toStdString());
  const double x = ausente ? std::numeric_limits<double>::quiet_NaN() : text.toDouble(&ok);
  if (!ausente && (!ok || !std::isfinite(x) || std::fabs(x) > std::numeric_limits<float>::max())) {
    // The cell and the data keep their value; the message waits until the
    // focus change that brought us here is over.
    const QString warning =
        QStringLiteral("\"%1\" no es un valor numérico válido (fila %2, variable %3).\n"
                       "El dato conserva su valor anterior.")
            .arg(text, QString::number(row), QString::fromStdString(datos_.nameWithoutBlanks(col)));
    QMetaObject::invokeMethod(
        this, [this, warning] { QMessageBox::warning(this, kTitulo, warning); }, Qt::QueuedConnection);
    return;
  }
  if (std::isnan(x) && std::isnan(datos_.value(row, col))) return;
  if (x == datos_.value(row, col)) return;  // nothing changed
  registra({{row, col, datos_.value(row, col)}});
  ponValor(row, col, x);
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

}  // namespace sorvan::gui
