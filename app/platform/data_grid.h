#pragma once
// A table with a fixed first row and a fixed first column, addressed as one
// grid: row 0 is the header row, column 0 the header column, rows 1.. and
// columns 1.. the cells. Built on QTableWidget, whose two headers play the fixed
// row and column. The grid does no editing of its own: keys and double-clicks
// are reported to the owner (the data window puts its own editor over a cell).
#include <QTableWidget>

class DataGrid : public QTableWidget {
  Q_OBJECT
public:
  explicit DataGrid(QWidget* parent = nullptr);

  // Rows and columns, the fixed ones included (so at least 1 each).
  int Rows() const { return rowCount() + 1; }
  int Cols() const { return columnCount() + 1; }
  void SetRows(int rows);
  void SetCols(int cols);
  // Empties every cell and header.
  void Clear();

  QString TextMatrix(int row, int col) const;
  void SetTextMatrix(int row, int col, const QString& text);

  // The current cell (row, column >= 1 when the grid has cells).
  int Row() const { return currentRow() + 1; }
  int Col() const { return currentColumn() + 1; }
  void SetRow(int row);
  void SetCurrentCell(int row, int col);

  int ColWidth(int col) const;
  void SetColWidth(int col, int width);
  // Right-aligns every column, the fixed column included.
  void AlinearDerecha();

  // The current cell's rectangle in the coordinates of viewport().
  QRect RectCelda() const;

signals:
  // A character typed on the grid: its code (Enter 13, Escape 27, Backspace 8,
  // blank 32, and so on).
  void TeclaPulsada(int codigo);
  // Double-click on a cell.
  void DobleClic();
  // The grid got the keyboard focus.
  void FocoRecibido();
  // The current cell is about to change from (row, col) (1-based).
  void SaleDeCelda(int row, int col);

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
};
