#include "platform/data_grid.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <algorithm>

namespace sorvan::platform {

// The texts behind the grid: headers kept as lists, cells asked of the owner's
// function unless a text of their own was set.
class GridModel : public QAbstractTableModel {
public:
  using QAbstractTableModel::QAbstractTableModel;

  int filas = 0, columns = 0;  // cells, without the fixed row and column
  QVector<QString> cabeceraColumnas, cabeceraFilas;
  DataGrid::Textos textos;
  QHash<qint64, QString> propios;
  Qt::Alignment alineacion = Qt::AlignLeft | Qt::AlignVCenter;
  bool numerarFilas = false;  // row headers without a text of their own show their number

  static qint64 clave(int r, int c) { return (qint64(r) << 32) | quint32(c); }

  int rowCount(const QModelIndex& padre = {}) const override { return padre.isValid() ? 0 : filas; }
  int columnCount(const QModelIndex& padre = {}) const override { return padre.isValid() ? 0 : columns; }

  QString texto(int r, int c) const {  // 0-based cell
    const auto it = propios.constFind(clave(r, c));
    if (it != propios.constEnd()) return *it;
    return textos ? textos(r + 1, c + 1) : QString();
  }

  QVariant data(const QModelIndex& i, int rol) const override {
    if (!i.isValid()) return {};
    if (rol == Qt::DisplayRole) return texto(i.row(), i.column());
    if (rol == Qt::TextAlignmentRole) return QVariant::fromValue(alineacion);
    return {};
  }

  QVariant headerData(int seccion, Qt::Orientation o, int rol) const override {
    if (rol == Qt::TextAlignmentRole) return QVariant::fromValue(alineacion);
    if (rol != Qt::DisplayRole) return {};
    return o == Qt::Horizontal ? cabecera(cabeceraColumnas, seccion) : cabeceraFila(seccion);
  }

  static QString cabecera(const QVector<QString>& v, int seccion) {
    return seccion >= 0 && seccion < v.size() ? v[seccion] : QString();
  }
  QString cabeceraFila(int seccion) const {
    QString t = cabecera(cabeceraFilas, seccion);
    return t.isEmpty() && numerarFilas && seccion >= 0 && seccion < filas ? QString::number(seccion + 1) : t;
  }

  void vaciar() {
    beginResetModel();
    filas = columns = 0;
    numerarFilas = false;
    cabeceraFilas.clear();
    cabeceraColumnas.clear();
    propios.clear();
    textos = nullptr;
    endResetModel();
  }

  void ponerTextos(DataGrid::Textos nuevos) {
    beginResetModel();
    textos = std::move(nuevos);
    endResetModel();
  }

  void redimensionar(int nuevasFilas, int nuevasColumnas) {
    beginResetModel();
    filas = std::max(nuevasFilas, 0);
    columns = std::max(nuevasColumnas, 0);
    cabeceraFilas.resize(filas);
    cabeceraColumnas.resize(columns);
    endResetModel();
  }
};

DataGrid::DataGrid(QWidget* parent) : QTableView(parent), modelo_(new GridModel(this)) {
  setModel(modelo_);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setTabKeyNavigation(false);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
}

int DataGrid::Rows() const { return modelo_->filas + 1; }
int DataGrid::Cols() const { return modelo_->columns + 1; }
void DataGrid::SetRows(int rows) { modelo_->redimensionar(rows - 1, modelo_->columns); }
void DataGrid::SetCols(int cols) { modelo_->redimensionar(modelo_->filas, cols - 1); }

void DataGrid::Clear() { modelo_->vaciar(); }

void DataGrid::SetTextos(Textos textos) { modelo_->ponerTextos(std::move(textos)); }

void DataGrid::NumerarFilas() {
  modelo_->numerarFilas = true;
  if (modelo_->filas > 0) emit modelo_->headerDataChanged(Qt::Vertical, 0, modelo_->filas - 1);
}

QString DataGrid::TextMatrix(int row, int col) const {
  if (row < 0 || col < 0 || row >= Rows() || col >= Cols() || (row == 0 && col == 0)) return {};
  if (row == 0) return modelo_->cabeceraColumnas[col - 1];
  if (col == 0) return modelo_->cabeceraFila(row - 1);
  return modelo_->texto(row - 1, col - 1);
}

void DataGrid::SetTextMatrix(int row, int col, const QString& text) {
  if (row < 0 || col < 0 || row >= Rows() || col >= Cols() || (row == 0 && col == 0)) return;
  if (row == 0) {
    modelo_->cabeceraColumnas[col - 1] = text;
    emit modelo_->headerDataChanged(Qt::Horizontal, col - 1, col - 1);
  } else if (col == 0) {
    modelo_->cabeceraFilas[row - 1] = text;
    emit modelo_->headerDataChanged(Qt::Vertical, row - 1, row - 1);
  } else {
    modelo_->propios.insert(GridModel::clave(row - 1, col - 1), text);
    const QModelIndex i = modelo_->index(row - 1, col - 1);
    emit modelo_->dataChanged(i, i, {Qt::DisplayRole});
  }
}

void DataGrid::SetRow(int row) { SetCurrentCell(row, std::max(Col(), 1)); }

void DataGrid::SetCurrentCell(int row, int col) {
  setCurrentIndex(modelo_->index(row - 1, col - 1));
}

int DataGrid::ColWidth(int col) const {
  return col == 0 ? verticalHeader()->width() : columnWidth(col - 1);
}

void DataGrid::SetColWidth(int col, int width) {
  if (col == 0) {
    verticalHeader()->setFixedWidth(width);
  } else {
    setColumnWidth(col - 1, width);
  }
}

void DataGrid::AlignTextRight() {
  modelo_->alineacion = Qt::AlignRight | Qt::AlignVCenter;
  horizontalHeader()->setDefaultAlignment(modelo_->alineacion);
  verticalHeader()->setDefaultAlignment(modelo_->alineacion);
  viewport()->update();
}

Qt::Alignment DataGrid::ColumnAlignment(int) const { return modelo_->alineacion; }

QRect DataGrid::CellRect() const { return visualRect(currentIndex()); }

void DataGrid::keyPressEvent(QKeyEvent* event) {
  // Character keys are the owner's business; the rest (arrows, pages, Tab) move
  // around the grid as usual.
  const QString texto = event->text();
  const bool control = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (!texto.isEmpty() && !control && event->key() != Qt::Key_Tab && event->key() != Qt::Key_Backtab &&
      event->key() != Qt::Key_Delete) {
    int code = texto.at(0).unicode();
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) code = 13;
    emit TeclaPulsada(code);
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

void DataGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableView::mouseDoubleClickEvent(event);
  if (currentIndex().isValid()) emit DobleClic();
}

void DataGrid::focusInEvent(QFocusEvent* event) {
  QTableView::focusInEvent(event);
  emit FocoRecibido();
}

void DataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  if (previous.isValid()) emit SaleDeCelda(previous.row() + 1, previous.column() + 1);
  QTableView::currentChanged(current, previous);
}

}  // namespace sorvan::platform
