#pragma once
// The data window: an MDI child showing the spatial data set in a grid (fixed
// header row with the variable names, fixed column with the row numbers) and
// letting the user edit cells in place. Edits go into the in-memory data set,
// whose column extremes follow; they can be undone (the last kMaxUndo
// steps), cut, copied and pasted as tab-separated blocks, and saved as ".dae"
// or delimited text. Nothing is written to disk unless the user saves.
#include <QString>
#include <QWidget>
#include <vector>

#include "core/delimited_text.h"

namespace sorvan::platform { class DataGrid; }
class QLineEdit;
namespace sorvan::core {
struct SpatialData;
}

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

class frmDatos : public QWidget {
  Q_OBJECT
public:
  // `data` is the program's data set, which this window fills and edits.
  explicit frmDatos(sorvan::core::SpatialData& data, QWidget* parent = nullptr);

  // Steps of "Undo" kept.
  static constexpr int kMaxUndo = 1000;

  // Reads the data file `path` into the data set and fills the grid: ".dae",
  // delimited text (".csv", ".tsv", ".txt", through the import dialog) or a
  // GIS point layer. A file that cannot be read completely (or an import
  // cancelled) leaves the data set and the grid as they were, with a message
  // naming the file and the line; returns false then.
  // Missing values show as empty cells.
  bool IniData(const QString& path);

  // An empty data set of `rows` rows (every value missing) with these
  // column names, to be typed into the grid.
  void New(const QStringList& names, int rows);

  // The file the data set is saved to ("" for a new one), and whether it has
  // changes not saved.
  QString Path() const { return path_; }
  bool Modified() const { return modified_; }
  // Saves to Path() (asking for a name when there is none or it is a GIS
  // layer); false if it was not saved (cancelled or failed, after a message).
  bool Save();
  bool SaveAs();
  bool SaveTo(const QString& filePath);
  // With unsaved changes: asks "¿Save los cambios...?" (Sí / No /
  // Cancelar). True when the caller may go on (saved, or changes dropped).
  bool AskToSave();

  // "Edición": undo the last edit, paste or cut; copy / cut the selected
  // block (or the current cell) as tab-separated text; paste such a block
  // (a spreadsheet's too) with its top-left corner at the current cell.
  bool CanUndo() const { return !stack_.empty(); }
  void Undo();
  void Copy();
  void Cut();
  void Paste();
  // The block as text: rows on lines, cells separated by tabs, missing
  // values empty, numbers with the digits that give the same value back.
  QString BlockText(int row1, int col1, int row2, int col2) const;
  // Puts the tab-separated `text` at (fila, col) as one undo step; false
  // (after a message naming the cell) if a cell's text is not a number.
  bool PasteText(const QString& text, int row, int col);

  // The grid and the in-cell editor, for the main window and the tests.
  DataGrid* MSFGrid() const { return MSFGrid_; }
  QLineEdit* TxtEdit() const { return TxtEdit_; }

  // The text of a value as the grid shows it (general format, up to fifteen
  // significant digits; empty for a missing value).
  static QString ValueText(double value);

signals:
  // A committed edit changed the value of row `row` of variable `col` (1-based).
  void DatumEdited(int row, int col);
  // The unsaved-changes state, the undo stack or the file name changed.
  void StateChanged();

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  struct Change {
    int row, col;
    double before;
  };
  void fillGrid();
  // Sets one value (grid, extremes, signal), not recorded for undo.
  void setValue(int row, int col, double value);
  // Records a step for "Undo" and marks the data set as changed.
  void record(std::vector<Change> step);
  void markModified(bool yes);
  // The selected block (or the current cell), 1-based; false without cells.
  bool selectedBlock(int& row1, int& col1, int& row2, int& col2) const;
  // Opens the editor over the current cell; `code` is the character typed
  // (32, a blank, for a double-click).
  void MSFGrid_KeyPress(int code);
  // Puts the editor's text into cell (fila, col) and hides the editor.
  void commitEdit(int row, int col);
  // Gives the focus back to the grid, committing a visible editor first.
  void restoreFocus();

  sorvan::core::SpatialData& data_;
  QString path_;
  bool modified_ = false;
  sorvan::core::TextFormat format_;  // of the delimited text read, for saving it back alike
  std::vector<std::vector<Change>> stack_;
  int savedTo_ = 0;  // undo steps at the last save or read (-1: not reachable)
  DataGrid* MSFGrid_ = nullptr;
  QLineEdit* TxtEdit_ = nullptr;
};

}  // namespace sorvan::gui
