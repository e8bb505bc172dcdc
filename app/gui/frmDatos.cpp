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
#include "platform/task_with_progress.h"

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

namespace {

const QString kTitle = QStringLiteral("Sorvan");

}  // namespace

frmDatos::frmDatos(sorvan::core::SpatialData& data, QWidget* parent)
    : QWidget(parent), data_(data) {
  setObjectName(QStringLiteral("frmDatos"));
  setAttribute(Qt::WA_DeleteOnClose, false);  // one data window, reused for every file
  MSFGrid_ = new DataGrid(this);
  MSFGrid_->setObjectName(QStringLiteral("MSFGrid"));
  auto* layer = new QVBoxLayout(this);
  layer->setContentsMargins(0, 0, 0, 0);
  layer->addWidget(MSFGrid_);

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

  connect(MSFGrid_, &DataGrid::KeyPressed, this, &frmDatos::MSFGrid_KeyPress);
  connect(MSFGrid_, &DataGrid::DoubleClicked, this, [this] { MSFGrid_KeyPress(32); });
  connect(MSFGrid_, &DataGrid::FocusReceived, this, [this] {
    if (TxtEdit_->isVisible()) commitEdit(MSFGrid_->Row(), MSFGrid_->Col());
  });
  connect(MSFGrid_, &DataGrid::CellLeft, this, [this](int row, int col) {
    if (TxtEdit_->isVisible()) commitEdit(row, col);
  });
  // Scrolling would leave the editor over the wrong cell: commit first.
  auto onScroll = [this] {
    if (TxtEdit_->isVisible()) commitEdit(MSFGrid_->Row(), MSFGrid_->Col());
  };
  connect(MSFGrid_->horizontalScrollBar(), &QScrollBar::valueChanged, this, onScroll);
  connect(MSFGrid_->verticalScrollBar(), &QScrollBar::valueChanged, this, onScroll);
}

QString frmDatos::ValueText(double value) {
  // A missing value is an empty cell; the rest show up to the digits a double
  // needs to come back unchanged from its text.
  if (std::isnan(value)) return QString();
  return QString::number(value, 'g', 15);
}

bool frmDatos::IniData(const QString& path) {
  sorvan::core::SpatialData readItems;
  const std::string filePath = QFile::encodeName(path).toStdString();
  sorvan::core::Result r;
  sorvan::core::TextFormat format;
  QWidget* ownerWidget = parentWidget() ? parentWidget() : this;
  // Reading runs off the window's thread; "Cancelar" (or a failure) leaves
  // the data set and the grid as they were.
  const TaskWithProgress task{ownerWidget, QStringLiteral("Cargando los datos de \"%1\"...").arg(QFileInfo(path).fileName())};
  if (sorvan::core::IsDelimitedText(filePath)) {
    // Separator and decimal mark shown for the user to confirm or correct.
    std::string bytes;
    if (!task.RunJob([&](const sorvan::core::ProgressCallback&) { r = sorvan::core::ReadWholeFile(filePath, bytes); })) return false;
    if (r) {
      frmImportarTexto dialog(path, bytes, ownerWidget);
      if (dialog.exec() != QDialog::Accepted) return false;
      sorvan::core::ReadOptions op;
      dialog.MissingValue(op.missingValue);
      format = dialog.Format();
      if (!task.RunJob([&](const sorvan::core::ProgressCallback& warning) {
            op.progress = warning;
            r = sorvan::core::ReadDelimitedText(bytes, filePath, format, readItems, op);
          }))
        return false;
    }
  } else if (sorvan::platform::IsGisLayer(filePath)) {
    if (!task.RunJob([&](const sorvan::core::ProgressCallback& warning) {
          sorvan::core::ReadOptions op;
          op.progress = warning;
          r = sorvan::platform::ReadPointLayer(filePath, readItems, op);
        }))
      return false;
  } else {
    if (!task.RunJob([&](const sorvan::core::ProgressCallback& warning) {
          sorvan::core::ReadOptions op;
          op.progress = warning;
          r = sorvan::core::ReadData(filePath, readItems, op);
        }))
      return false;
  }
  if (!r) {
    // What was loaded before stays, in memory and on screen.
    QMessageBox::warning(parentWidget() ? parentWidget() : this, kTitle,
                         QStringLiteral("No se pudo cargar el archivo de datos \"%1\".\n%2")
                             .arg(QDir::toNativeSeparators(path), QString::fromStdString(r.message)));
    return false;
  }
  if (!r.message.empty())
    QMessageBox::warning(parentWidget() ? parentWidget() : this, kTitle, QString::fromStdString(r.message),
                         QMessageBox::Ok);
  data_ = std::move(readItems);
  format_ = format;
  // A GIS layer is saved under a new name (as ".dae" or text).
  path_ = sorvan::platform::IsGisLayer(filePath) ? QString() : QFileInfo(path).absoluteFilePath();
  stack_.clear();
  savedTo_ = 0;
  markModified(false);
  fillGrid();
  return true;
}

void frmDatos::New(const QStringList& names, int rows) {
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
  data_ = std::move(d);
  path_.clear();
  format_ = {};
  stack_.clear();
  savedTo_ = 0;
  markModified(false);
  fillGrid();
}

void frmDatos::markModified(bool yes) {
  modified_ = yes;
  // The caption shows the file (or "Sin título") and a mark for unsaved changes.
  const QString nombre = path_.isEmpty() ? QStringLiteral("Sin título") : QDir::toNativeSeparators(path_);
  setWindowTitle(nombre + (yes ? QStringLiteral(" *") : QString()));
  emit StateChanged();
}

bool frmDatos::SaveTo(const QString& filePath) {
  const std::string r8 = QFile::encodeName(filePath).toStdString();
  sorvan::core::Result r;
  // Text saved as it was read (separator and decimal mark), ".tsv" with tabs.
  sorvan::core::TextFormat f = format_;
  if (filePath.endsWith(QStringLiteral(".tsv"), Qt::CaseInsensitive)) f.separator = '\t';
  // Written off the window's thread; a cancelled save leaves the file as it
  // was (one that was already whole when "Cancelar" came counts as saved).
  const TaskWithProgress task{parentWidget() ? parentWidget() : this,
                               QStringLiteral("Guardando los datos en \"%1\"...").arg(QFileInfo(filePath).fileName())};
  const bool followed = task.RunJob([&](const sorvan::core::ProgressCallback& warning) {
    r = sorvan::core::IsDelimitedText(r8) ? sorvan::core::WriteDelimitedText(r8, data_, f, warning)
                                      : sorvan::core::WriteDae(r8, data_, warning);
  });
  if (!followed && !r) return false;
  if (!r) {
    QMessageBox::critical(parentWidget() ? parentWidget() : this, kTitle,
                          QStringLiteral("No se han guardado los datos.\n%1").arg(QString::fromStdString(r.message)));
    return false;
  }
  path_ = QFileInfo(filePath).absoluteFilePath();
  savedTo_ = int(stack_.size());
  markModified(false);
  return true;
}

bool frmDatos::Save() {
  if (path_.isEmpty()) return SaveAs();
  return SaveTo(path_);
}

bool frmDatos::SaveAs() {
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
  return SaveTo(file);
}

bool frmDatos::AskToSave() {
  if (!modified_) return true;
  const QString nombre = path_.isEmpty() ? QStringLiteral("Sin título") : QFileInfo(path_).fileName();
  QMessageBox box(QMessageBox::Warning, kTitle,
                   QStringLiteral("¿Guardar los cambios en los datos \"%1\"?").arg(nombre),
                   QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                   parentWidget() ? parentWidget() : this);
  box.setObjectName(QStringLiteral("PreguntaGuardar"));
  box.button(QMessageBox::Yes)->setText(QStringLiteral("&Sí"));
  box.button(QMessageBox::No)->setText(QStringLiteral("&No"));
  box.button(QMessageBox::Cancel)->setText(QStringLiteral("Cancelar"));
  box.setDefaultButton(QMessageBox::Yes);
  const int r = box.exec();
  if (r == QMessageBox::Yes) return Save();
  if (r != QMessageBox::No) return false;
  savedTo_ = -1;
  markModified(false);  // the user chose to drop them: not asked again
  return true;
}

void frmDatos::setValue(int row, int col, double value) {
  data_.matrix[size_t(col - 1) * size_t(data_.N) + size_t(row - 1)] = value;
  // The old value may have been the column's extreme: take them afresh.
  data_.recomputeExtremes(col);
  MSFGrid_->SetTextMatrix(row, col, ValueText(value));
  emit DatumEdited(row, col);
}

void frmDatos::record(std::vector<Change> step) {
  if (step.empty()) return;
  // A step taken after undoing back past the saved state never returns to it.
  if (int(stack_.size()) < savedTo_) savedTo_ = -1;
  stack_.push_back(std::move(step));
  if (int(stack_.size()) > kMaxUndo) {
    stack_.erase(stack_.begin());
    --savedTo_;
  }
  markModified(true);
}

void frmDatos::Undo() {
  if (TxtEdit_->isVisible()) {
    // Undo while typing drops what was typed.
    TxtEdit_->hide();
    MSFGrid_->setFocus();
    return;
  }
  if (stack_.empty()) return;
  std::vector<Change> step = std::move(stack_.back());
  stack_.pop_back();
  for (auto c = step.rbegin(); c != step.rend(); ++c) setValue(c->row, c->col, c->before);
  MSFGrid_->SetCurrentCell(step.front().row, step.front().col);
  // Undone back to what was saved (or read): nothing to save.
  markModified(int(stack_.size()) != savedTo_);
}

bool frmDatos::selectedBlock(int& row1, int& col1, int& row2, int& col2) const {
  if (data_.empty() || MSFGrid_->Row() < 1 || MSFGrid_->Col() < 1) return false;
  row1 = row2 = MSFGrid_->Row();
  col1 = col2 = MSFGrid_->Col();
  const QModelIndexList sel = MSFGrid_->selectionModel() ? MSFGrid_->selectionModel()->selectedIndexes()
                                                         : QModelIndexList();
  if (sel.size() > 1) {
    row1 = col1 = std::numeric_limits<int>::max();
    row2 = col2 = 0;
    for (const QModelIndex& i : sel) {
      row1 = std::min(row1, i.row() + 1);
      row2 = std::max(row2, i.row() + 1);
      col1 = std::min(col1, i.column() + 1);
      col2 = std::max(col2, i.column() + 1);
    }
  }
  row2 = std::min(row2, data_.N);
  col2 = std::min(col2, data_.nvar);
  return row1 <= row2 && col1 <= col2;
}

QString frmDatos::BlockText(int row1, int col1, int row2, int col2) const {
  QString t;
  for (int i = row1; i <= row2; ++i) {
    for (int k = col1; k <= col2; ++k) {
      t += QString::fromStdString(sorvan::core::NumberText(data_.value(i, k)));
      if (k < col2) t += QLatin1Char('\t');
    }
    t += QLatin1Char('\n');
  }
  return t;
}

void frmDatos::Copy() {
  int f1, c1, f2, c2;
  if (TxtEdit_->isVisible()) {
    TxtEdit_->copy();
    return;
  }
  if (selectedBlock(f1, c1, f2, c2)) QGuiApplication::clipboard()->setText(BlockText(f1, c1, f2, c2));
}

void frmDatos::Cut() {
  if (TxtEdit_->isVisible()) {
    TxtEdit_->cut();
    return;
  }
  int f1, c1, f2, c2;
  if (!selectedBlock(f1, c1, f2, c2)) return;
  QGuiApplication::clipboard()->setText(BlockText(f1, c1, f2, c2));
  // The cut cells become missing values, as one step.
  std::vector<Change> step;
  for (int i = f1; i <= f2; ++i)
    for (int k = c1; k <= c2; ++k) {
      step.push_back({i, k, data_.value(i, k)});
      setValue(i, k, std::nan(""));
    }
  record(std::move(step));
}

void frmDatos::Paste() {
  if (TxtEdit_->isVisible()) {
    TxtEdit_->paste();
    return;
  }
  if (MSFGrid_->Row() < 1 || MSFGrid_->Col() < 1) return;
  PasteText(QGuiApplication::clipboard()->text(), MSFGrid_->Row(), MSFGrid_->Col());
}

bool frmDatos::PasteText(const QString& text, int row, int col) {
  QStringList lines = text.split(QLatin1Char('\n'));
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();  // the final line break
  // Every cell is checked before any value changes.
  struct Value {
    int row, col;
    double v;
  };
  std::vector<Value> values;
  bool clipped = false;
  for (int i = 0; i < lines.size(); ++i) {
    QString line = lines[i];
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    const QStringList cells = line.split(QLatin1Char('\t'));
    for (int k = 0; k < cells.size(); ++k) {
      const int f = row + i, c = col + k;
      if (f > data_.N || c > data_.nvar) {
        clipped = true;
        continue;
      }
      const QString t = cells[k].trimmed();
      double v = std::nan("");
      if (!t.isEmpty() && !sorvan::core::IsMissingText(t.toStdString())) {
        bool ok = false;
        v = t.toDouble(&ok);
        // A spreadsheet in Spanish copies "3,5".
        if (!ok && !t.contains(QLatin1Char('.'))) v = QString(t).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        if (!ok || !std::isfinite(v) || std::fabs(v) > std::numeric_limits<float>::max()) {
          QMessageBox::warning(parentWidget() ? parentWidget() : this, kTitle,
                               QStringLiteral("No se ha pegado nada: \"%1\" no es un valor numérico válido "
                                              "(fila %2, variable %3).")
                                   .arg(t.left(40), QString::number(f),
                                        QString::fromStdString(data_.nameWithoutBlanks(c))));
          return false;
        }
      }
      values.push_back({f, c, v});
    }
  }
  std::vector<Change> step;
  for (const Value& v : values) {
    step.push_back({v.row, v.col, data_.value(v.row, v.col)});
    setValue(v.row, v.col, v.v);
  }
  record(std::move(step));
  if (clipped)
    QMessageBox::information(parentWidget() ? parentWidget() : this, kTitle,
                             QStringLiteral("Parte del bloque pegado quedaba fuera de la tabla y no se ha pegado."));
  return true;
}

void frmDatos::fillGrid() {
  TxtEdit_->hide();
  MSFGrid_->setUpdatesEnabled(false);
  MSFGrid_->Clear();
  MSFGrid_->SetCols(data_.nvar + 1);
  MSFGrid_->SetRows(data_.N + 1);
  for (int k = 1; k <= data_.nvar; ++k)
    MSFGrid_->SetTextMatrix(0, k, QString::fromStdString(data_.nameWithoutBlanks(k)));
  MSFGrid_->NumberRows();
  // The cells show the data set itself, formatted when drawn; whoever changes
  // the data set's size must refill the grid, and until then cells beyond it
  // show nothing.
  MSFGrid_->SetTexts([this](int row, int col) {
    return row <= data_.N && col <= data_.nvar ? ValueText(data_.value(row, col)) : QString();
  });
  MSFGrid_->AlignTextRight();
  // The row-number column is half a data column wide, but never narrower than
  // its widest number.
  const int half = static_cast<int>(std::nearbyint(MSFGrid_->horizontalHeader()->defaultSectionSize() / 2.0));
  const int needed = MSFGrid_->verticalHeader()->fontMetrics().horizontalAdvance(
                            QString::number(std::max(data_.N, 1))) + 12;
  MSFGrid_->SetColWidth(0, std::max(half, needed));
  if (data_.N > 0 && data_.nvar > 0) MSFGrid_->SetCurrentCell(1, 1);
  MSFGrid_->setUpdatesEnabled(true);
}

void frmDatos::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (AppShell* shell = AppShellOf(this)) shell->SetKrigingEnabled(true);
}

void frmDatos::closeEvent(QCloseEvent* event) {
  if (TxtEdit_->isVisible()) commitEdit(MSFGrid_->Row(), MSFGrid_->Col());
  // Unsaved changes are never dropped without a question.
  if (!AskToSave()) {
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

void frmDatos::commitEdit(int row, int col) {
  TxtEdit_->hide();
  if (row < 1 || col < 1 || row > data_.N || col > data_.nvar) return;
  const QString text = TxtEdit_->text().trimmed();
  bool ok = false;
  // An emptied cell, or "NA", makes the value missing.
  const bool absent = text.isEmpty() || sorvan::core::IsMissingText(text.toStdString());
  const double x = absent ? std::numeric_limits<double>::quiet_NaN() : text.toDouble(&ok);
  if (!absent && (!ok || !std::isfinite(x) || std::fabs(x) > std::numeric_limits<float>::max())) {
    // The cell and the data keep their value; the message waits until the
    // focus change that brought us here is over.
    const QString warning =
        QStringLiteral("\"%1\" no es un valor numérico válido (fila %2, variable %3).\n"
                       "El dato conserva su valor anterior.")
            .arg(text, QString::number(row), QString::fromStdString(data_.nameWithoutBlanks(col)));
    QMetaObject::invokeMethod(
        this, [this, warning] { QMessageBox::warning(this, kTitle, warning); }, Qt::QueuedConnection);
    return;
  }
  if (std::isnan(x) && std::isnan(data_.value(row, col))) return;
  if (x == data_.value(row, col)) return;  // nothing changed
  record({{row, col, data_.value(row, col)}});
  setValue(row, col, x);
}

void frmDatos::restoreFocus() {
  if (TxtEdit_->isVisible()) commitEdit(MSFGrid_->Row(), MSFGrid_->Col());
  MSFGrid_->setFocus();
}

bool frmDatos::eventFilter(QObject* watched, QEvent* event) {
  if (watched != TxtEdit_ || event->type() != QEvent::KeyPress)
    return QWidget::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      restoreFocus();
      return true;
    case Qt::Key_Escape:
      TxtEdit_->hide();
      MSFGrid_->setFocus();
      return true;
    case Qt::Key_Up:
      restoreFocus();
      QApplication::processEvents();
      if (MSFGrid_->Row() > 1) MSFGrid_->SetRow(MSFGrid_->Row() - 1);
      return true;
    case Qt::Key_Down:
      restoreFocus();
      QApplication::processEvents();
      if (MSFGrid_->Row() < MSFGrid_->Rows() - 1) MSFGrid_->SetRow(MSFGrid_->Row() + 1);
      return true;
    default:
      return QWidget::eventFilter(watched, event);
  }
}

}  // namespace sorvan::gui
