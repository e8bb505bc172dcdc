#include "gui/frmImportarTexto.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/number_text.h"

namespace sorvan::gui {
using namespace sorvan::core;

namespace {
constexpr size_t kViewRows = 12;
const char kSeparators[] = {',', ';', '\t', ' '};
const char kDecimals[] = {'.', ','};
}  // namespace

frmImportarTexto::frmImportarTexto(const QString& path, std::string bytes, QWidget* parent)
    : QDialog(parent), bytes_(std::move(bytes)) {
  setObjectName(QStringLiteral("frmImportarTexto"));
  setWindowTitle(QStringLiteral("Importar texto delimitado - %1").arg(QFileInfo(path).fileName()));
  utf8_ = sorvan::core::AsUtf8(bytes_, windows1252_);
  const sorvan::core::TextFormat f = sorvan::core::DetectFormat(bytes_);

  CboSeparador = new QComboBox(this);
  CboSeparador->setObjectName(QStringLiteral("CboSeparador"));
  CboSeparador->addItems({QStringLiteral("Coma (,)"), QStringLiteral("Punto y coma (;)"), QStringLiteral("Tabulador"),
                          QStringLiteral("Espacios")});
  for (int i = 0; i < 4; ++i)
    if (kSeparators[i] == f.separator) CboSeparador->setCurrentIndex(i);
  CboDecimal = new QComboBox(this);
  CboDecimal->setObjectName(QStringLiteral("CboDecimal"));
  CboDecimal->addItems({QStringLiteral("Punto (3.14)"), QStringLiteral("Coma (3,14)")});
  CboDecimal->setCurrentIndex(f.decimal == ',' ? 1 : 0);
  TxtAusente = new QLineEdit(this);
  TxtAusente->setObjectName(QStringLiteral("TxtAusente"));
  TxtAusente->setPlaceholderText(QStringLiteral("p. ej. -9999 (además de NA y las celdas vacías)"));
  LblCodificacion = new QLabel(windows1252_ ? QStringLiteral("Codificación: Windows-1252")
                                            : QStringLiteral("Codificación: UTF-8"),
                               this);
  LblCodificacion->setObjectName(QStringLiteral("LblCodificacion"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Separador:"), CboSeparador);
  form->addRow(QStringLiteral("Separador &decimal:"), CboDecimal);
  form->addRow(QStringLiteral("Valor &ausente:"), TxtAusente);
  form->addRow(LblCodificacion);

  TblVista = new QTableWidget(this);
  TblVista->setObjectName(QStringLiteral("TblVista"));
  TblVista->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TblVista->verticalHeader()->setVisible(false);
  TblVista->setMinimumSize(560, 260);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Aceptar"));
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("CoAceptar"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layer = new QVBoxLayout(this);
  layer->addLayout(form);
  layer->addWidget(new QLabel(QStringLiteral("Vista previa (la primera fila da los nombres de las columnas):"), this));
  layer->addWidget(TblVista, 1);
  layer->addWidget(buttons);

  connect(CboSeparador, &QComboBox::currentIndexChanged, this, &frmImportarTexto::updateView);
  connect(CboDecimal, &QComboBox::currentIndexChanged, this, &frmImportarTexto::updateView);
  updateView();
}

sorvan::core::TextFormat frmImportarTexto::Format() const {
  sorvan::core::TextFormat f;
  f.separator = kSeparators[std::max(0, CboSeparador->currentIndex())];
  f.decimal = kDecimals[std::max(0, CboDecimal->currentIndex())];
  f.windows1252 = windows1252_;
  return f;
}

bool frmImportarTexto::MissingValue(std::optional<double>& value) const {
  const QString t = TxtAusente->text().trimmed();
  value.reset();
  if (t.isEmpty()) return true;
  bool ok = false;
  const double v = t.toDouble(&ok);
  if (!ok) return false;
  value = v;
  return true;
}

void frmImportarTexto::accept() {
  std::optional<double> v;
  if (!MissingValue(v)) {
    QMessageBox::warning(this, QStringLiteral("Sorvan"),
                         QStringLiteral("\"%1\" no es un número válido para el valor ausente.").arg(TxtAusente->text()));
    return;
  }
  QDialog::accept();
}

void frmImportarTexto::updateView() {
  const auto rows = sorvan::core::Preview(utf8_, Format(), kViewRows + 1);
  TblVista->clear();
  size_t columns = 0;
  for (const auto& f : rows) columns = std::max(columns, f.size());
  TblVista->setColumnCount(int(columns));
  TblVista->setRowCount(rows.empty() ? 0 : int(rows.size() - 1));
  if (rows.empty()) return;
  QStringList header;
  for (const std::string& c : rows[0]) header << QString::fromStdString(c);
  TblVista->setHorizontalHeaderLabels(header);
  for (size_t i = 1; i < rows.size(); ++i)
    for (size_t k = 0; k < rows[i].size(); ++k) {
      QString text = QString::fromStdString(rows[i][k]);
      if (text.size() > 40) text = text.left(40) + QStringLiteral("...");
      TblVista->setItem(int(i - 1), int(k), new QTableWidgetItem(text));
    }
  TblVista->resizeColumnsToContents();
}

}  // namespace sorvan::gui
