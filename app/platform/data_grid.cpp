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

  int nRows = 0, columns = 0;  // cells, without the fixed row and column
  QVector<QString> columnHeader, rowHeaders;
  DataGrid::TextSource texts;
  QHash<qint64, QString> ownTexts;
  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
  bool numberRows = false;  // row headers without a text of their own show their number

  static qint64 key(int r, int c) { return (qint64(r) << 32) | quint32(c); }

  int rowCount(const QModelIndex& parentIndex = {}) const override { return parentIndex.isValid() ? 0 : nRows; }
  int columnCount(const QModelIndex& parentIndex = {}) const override { return parentIndex.isValid() ? 0 : columns; }

  QString cellText(int r, int c) const {  // 0-based cell
    const auto it = ownTexts.constFind(key(r, c));
    if (it != ownTexts.constEnd()) return *it;
    return texts ? texts(r + 1, c + 1) : QString();
  }

  QVariant data(const QModelIndex& i, int role) const override {
    if (!i.isValid()) return {};
    if (role == Qt::DisplayRole) return cellText(i.row(), i.column());
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(alignment);
    return {};
  }

  QVariant headerData(int section, Qt::Orientation o, int role) const override {
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(alignment);
    if (role != Qt::DisplayRole) return {};
    return o == Qt::Horizontal ? header(columnHeader, section) : rowHeader(section);
  }

  static QString header(const QVector<QString>& v, int section) {
    return section >= 0 && section < v.size() ? v[section] : QString();
  }
  QString rowHeader(int section) const {
    QString t = header(rowHeaders, section);
    return t.isEmpty() && numberRows && section >= 0 && section < nRows ? QString::number(section + 1) : t;
  }

  void clearAll() {
    beginResetModel();
    nRows = columns = 0;
    numberRows = false;
    rowHeaders.clear();
    columnHeader.clear();
    ownTexts.clear();
    texts = nullptr;
    endResetModel();
  }

  void setTexts(DataGrid::TextSource newOnes) {
    beginResetModel();
    texts = std::move(newOnes);
    endResetModel();
  }

  void resize(int newRows, int newColumns) {
    beginResetModel();
    nRows = std::max(newRows, 0);
    columns = std::max(newColumns, 0);
    rowHeaders.resize(nRows);
    columnHeader.resize(columns);
    endResetModel();
  }
};

DataGrid::DataGrid(QWidget* parent) : QTableView(parent), model_(new GridModel(this)) {
  setModel(model_);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setTabKeyNavigation(false);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
}

int DataGrid::Rows() const { return model_->nRows + 1; }
int DataGrid::Cols() const { return model_->columns + 1; }
void DataGrid::SetRows(int rows) { model_->resize(rows - 1, model_->columns); }
void DataGrid::SetCols(int cols) { model_->resize(model_->nRows, cols - 1); }

void DataGrid::Clear() { model_->clearAll(); }

void DataGrid::SetTexts(TextSource texts) { model_->setTexts(std::move(texts)); }

void DataGrid::NumberRows() {
  model_->numberRows = true;
  if (model_->nRows > 0) emit model_->headerDataChanged(Qt::Vertical, 0, model_->nRows - 1);
}

QString DataGrid::TextMatrix(int row, int col) const {
  if (row < 0 || col < 0 || row >= Rows() || col >= Cols() || (row == 0 && col == 0)) return {};
  if (row == 0) return model_->columnHeader[col - 1];
  if (col == 0) return model_->rowHeader(row - 1);
  return model_->cellText(row - 1, col - 1);
}

void DataGrid::SetTextMatrix(int row, int col, const QString& text) {
  if (row < 0 || col < 0 || row >= Rows() || col >= Cols() || (row == 0 && col == 0)) return;
  if (row == 0) {
    model_->columnHeader[col - 1] = text;
    emit model_->headerDataChanged(Qt::Horizontal, col - 1, col - 1);
  } else if (col == 0) {
    model_->rowHeaders[row - 1] = text;
    emit model_->headerDataChanged(Qt::Vertical, row - 1, row - 1);
  } else {
    model_->ownTexts.insert(GridModel::key(row - 1, col - 1), text);
    const QModelIndex i = model_->index(row - 1, col - 1);
    emit model_->dataChanged(i, i, {Qt::DisplayRole});
  }
}

void DataGrid::SetRow(int row) { SetCurrentCell(row, std::max(Col(), 1)); }

void DataGrid::SetCurrentCell(int row, int col) {
  setCurrentIndex(model_->index(row - 1, col - 1));
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
  model_->alignment = Qt::AlignRight | Qt::AlignVCenter;
  horizontalHeader()->setDefaultAlignment(model_->alignment);
  verticalHeader()->setDefaultAlignment(model_->alignment);
  viewport()->update();
}

Qt::Alignment DataGrid::ColumnAlignment(int) const { return model_->alignment; }

QRect DataGrid::CellRect() const { return visualRect(currentIndex()); }

void DataGrid::keyPressEvent(QKeyEvent* event) {
  // Character keys are the owner's business; the rest (arrows, pages, Tab) move
  // around the grid as usual.
  const QString cellText = event->text();
  const bool control = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (!cellText.isEmpty() && !control && event->key() != Qt::Key_Tab && event->key() != Qt::Key_Backtab &&
      event->key() != Qt::Key_Delete) {
    int code = cellText.at(0).unicode();
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) code = 13;
    emit KeyPressed(code);
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

void DataGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableView::mouseDoubleClickEvent(event);
  if (currentIndex().isValid()) emit DoubleClicked();
}

void DataGrid::focusInEvent(QFocusEvent* event) {
  QTableView::focusInEvent(event);
  emit FocusReceived();
}

void DataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  if (previous.isValid()) emit CellLeft(previous.row() + 1, previous.column() + 1);
  QTableView::currentChanged(current, previous);
}

}  // namespace sorvan::platform
