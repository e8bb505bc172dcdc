#pragma once
// The import dialog of delimited text files: the separator and decimal mark
// found in the file, which the user can correct, a value meaning "missing",
// and a preview of the first rows as they will be read.
#include <QDialog>
#include <optional>
#include <string>

#include "core/delimited_text.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace sorvan::gui {
using namespace sorvan::core;

class frmImportarTexto : public QDialog {
  Q_OBJECT
public:
  // `bytes` is the whole file; `path` is shown in the caption.
  frmImportarTexto(const QString& path, std::string bytes, QWidget* parent = nullptr);

  sorvan::core::TextFormat Format() const;
  // The number typed as "missing", if any; false when the text is not a number.
  bool MissingValue(std::optional<double>& value) const;

  QComboBox* CboSeparador = nullptr;
  QComboBox* CboDecimal = nullptr;
  QLineEdit* TxtAusente = nullptr;
  QTableWidget* TblVista = nullptr;
  QLabel* LblCodificacion = nullptr;

  void accept() override;

private:
  void updateView();

  std::string bytes_;
  std::string utf8_;
  bool windows1252_ = false;
};

}  // namespace sorvan::gui
