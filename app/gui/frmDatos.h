#pragma once
// The data window: an MDI child showing the spatial data set in a grid (fixed
// header row with the variable names, fixed column with the row numbers) and
// letting the user edit cells in place. Edits go into the in-memory data set,
// whose column extremes follow; the file on disk is never written.
#include <QWidget>

class DataGrid;
class QLineEdit;
namespace sorvan {
struct DatosEspaciales;
}

class frmDatos : public QWidget {
  Q_OBJECT
public:
  // `datos` is the program's data set, which this window fills and edits.
  explicit frmDatos(sorvan::DatosEspaciales& datos, QWidget* parent = nullptr);

  // Reads the ".dae" file `path` into the data set and fills the grid. A file
  // that cannot be read completely leaves the data set and the grid as they
  // were and gets a message naming the file and the line; returns false then.
  // Missing values show as empty cells.
  bool IniData(const QString& path);

  // The grid and the in-cell editor, for the main window and the tests.
  DataGrid* MSFGrid() const { return MSFGrid_; }
  QLineEdit* TxtEdit() const { return TxtEdit_; }

  // The text of a value as the grid shows it (general format, up to fifteen
  // significant digits; empty for a missing value).
  static QString TextoValor(double valor);

signals:
  // A committed edit changed the value of row `fila` of variable `col` (1-based).
  void DatoEditado(int fila, int col);

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void llenarRejilla();
  // Opens the editor over the current cell; `codigo` is the character typed
  // (32, a blank, for a double-click).
  void MSFGrid_KeyPress(int codigo);
  // Puts the editor's text into cell (fila, col) and hides the editor.
  void confirmarEdicion(int fila, int col);
  // Gives the focus back to the grid, committing a visible editor first.
  void devolverFoco();

  sorvan::DatosEspaciales& datos_;
  DataGrid* MSFGrid_ = nullptr;
  QLineEdit* TxtEdit_ = nullptr;
};
