#include "platform/data_grid.h"

#include <QHeaderView>
#include <QKeyEvent>

DataGrid::DataGrid(QWidget* parent) : QTableWidget(parent) {
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setTabKeyNavigation(false);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setHighlightSections(true);
  verticalHeader()->setHighlightSections(true);
}

void DataGrid::SetRows(int rows) { setRowCount(std::max(rows - 1, 0)); }
void DataGrid::SetCols(int cols) { setColumnCount(std::max(cols - 1, 0)); }

void DataGrid::Clear() {
  clear();
  setRowCount(0);
  setColumnCount(0);
}

QString DataGrid::TextMatrix(int row, int col) const {
  if (row == 0 && col == 0) return {};
  if (row == 0) {
    const QTableWidgetItem* h = horizontalHeaderItem(col - 1);
    return h ? h->text() : QString();
  }
  if (col == 0) {
    const QTableWidgetItem* h = verticalHeaderItem(row - 1);
    return h ? h->text() : QString();
  }
  const QTableWidgetItem* it = item(row - 1, col - 1);
  return it ? it->text() : QString();
}

void DataGrid::SetTextMatrix(int row, int col, const QString& text) {
  if (row == 0 && col == 0) return;
  if (row == 0) {
    setHorizontalHeaderItem(col - 1, new QTableWidgetItem(text));
  } else if (col == 0) {
    setVerticalHeaderItem(row - 1, new QTableWidgetItem(text));
  } else if (QTableWidgetItem* it = item(row - 1, col - 1)) {
    it->setText(text);
  } else {
    setItem(row - 1, col - 1, new QTableWidgetItem(text));
  }
}

void DataGrid::SetRow(int row) { SetCurrentCell(row, std::max(Col(), 1)); }

void DataGrid::SetCurrentCell(int row, int col) { setCurrentCell(row - 1, col - 1); }

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

void DataGrid::AlinearDerecha() {
  const Qt::Alignment derecha = Qt::AlignRight | Qt::AlignVCenter;
  horizontalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
  verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
  for (int c = 0; c < columnCount(); ++c) {
    if (auto* h = horizontalHeaderItem(c)) h->setTextAlignment(derecha);
    for (int r = 0; r < rowCount(); ++r)
      if (auto* it = item(r, c)) it->setTextAlignment(derecha);
  }
  for (int r = 0; r < rowCount(); ++r)
    if (auto* h = verticalHeaderItem(r)) h->setTextAlignment(derecha);
}

QRect DataGrid::RectCelda() const {
  return visualRect(currentIndex());
}

void DataGrid::keyPressEvent(QKeyEvent* event) {
  // Character keys are the owner's business; the rest (arrows, pages, Tab) move
  // around the grid as usual.
  const QString texto = event->text();
  const bool control = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (!texto.isEmpty() && !control && event->key() != Qt::Key_Tab && event->key() != Qt::Key_Backtab &&
      event->key() != Qt::Key_Delete) {
    int codigo = texto.at(0).unicode();
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) codigo = 13;
    emit TeclaPulsada(codigo);
    event->accept();
    return;
  }
  QTableWidget::keyPressEvent(event);
}

void DataGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableWidget::mouseDoubleClickEvent(event);
  if (currentIndex().isValid()) emit DobleClic();
}

void DataGrid::focusInEvent(QFocusEvent* event) {
  QTableWidget::focusInEvent(event);
  emit FocoRecibido();
}

void DataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  if (previous.isValid()) emit SaleDeCelda(previous.row() + 1, previous.column() + 1);
  QTableWidget::currentChanged(current, previous);
}
