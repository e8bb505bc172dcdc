#pragma once
// A table with a fixed first row and a fixed first column, addressed as one
// grid: row 0 is the header row, column 0 the header column, rows 1.. and
// columns 1.. the cells. The view's two headers play the fixed row and column.
//
// Cell texts are not stored one by one: the owner gives a function that yields
// the text of any cell, so a grid of any size costs nothing until it is drawn.
// SetTextMatrix() puts a text of its own over a cell.
//
// The grid does no editing of its own: keys and double-clicks are reported to
// the owner (the data window puts its own editor over a cell).
#include <QHash>
#include <QTableView>
#include <QVector>
#include <functional>

namespace sorvan::platform { class GridModel; }

namespace sorvan::platform {

class DataGrid : public QTableView {
  Q_OBJECT
public:
  // Text of cell (row, col), both 1-based.
  using TextSource = std::function<QString(int row, int col)>;

  explicit DataGrid(QWidget* parent = nullptr);

  // Rows and columns, the fixed ones included (so at least 1 each).
  int Rows() const;
  int Cols() const;
  void SetRows(int rows);
  void SetCols(int cols);
  // Empties every cell and header, and forgets the texts function.
  void Clear();
  // Where the cells' texts come from (empty texts without one).
  void SetTexts(TextSource texts);
  // The fixed column shows each row's number where no text was set (until Clear()),
  // without keeping a text per row: a million rows cost nothing.
  void NumberRows();

  QString TextMatrix(int row, int col) const;
  void SetTextMatrix(int row, int col, const QString& text);

  // The current cell (row, column >= 1 when the grid has cells; 0 without one).
  int Row() const { return currentIndex().isValid() ? currentIndex().row() + 1 : 0; }
  int Col() const { return currentIndex().isValid() ? currentIndex().column() + 1 : 0; }
  void SetRow(int row);
  void SetCurrentCell(int row, int col);

  int ColWidth(int col) const;
  void SetColWidth(int col, int width);
  // Right-aligns every column, the fixed column included.
  void AlignTextRight();
  // Alignment of the texts of column `col` (0 the fixed one).
  Qt::Alignment ColumnAlignment(int col) const;

  // The current cell's rectangle in the coordinates of viewport().
  QRect CellRect() const;

signals:
  // A character typed on the grid: its code (Enter 13, Escape 27, Backspace 8,
  // blank 32, and so on).
  void KeyPressed(int code);
  // Double-click on a cell.
  void DoubleClicked();
  // The grid got the keyboard focus.
  void FocusReceived();
  // The current cell is about to change from (row, col) (1-based).
  void CellLeft(int row, int col);

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
  GridModel* model_;
};

}  // namespace sorvan::platform
