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

namespace {
constexpr size_t kFilasVista = 12;
const char kSeparadores[] = {',', ';', '\t', ' '};
const char kDecimales[] = {'.', ','};
}  // namespace

frmImportarTexto::frmImportarTexto(const QString& ruta, std::string bytes, QWidget* parent)
    : QDialog(parent), bytes_(std::move(bytes)) {
  setObjectName(QStringLiteral("frmImportarTexto"));
  setWindowTitle(QStringLiteral("Importar texto delimitado - %1").arg(QFileInfo(ruta).fileName()));
  utf8_ = sorvan::ComoUtf8(bytes_, windows1252_);
  const sorvan::FormatoTexto f = sorvan::DetectaFormato(bytes_);

  CboSeparador = new QComboBox(this);
  CboSeparador->setObjectName(QStringLiteral("CboSeparador"));
  CboSeparador->addItems({QStringLiteral("Coma (,)"), QStringLiteral("Punto y coma (;)"), QStringLiteral("Tabulador"),
                          QStringLiteral("Espacios")});
  for (int i = 0; i < 4; ++i)
    if (kSeparadores[i] == f.separador) CboSeparador->setCurrentIndex(i);
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

  auto* formulario = new QFormLayout;
  formulario->addRow(QStringLiteral("&Separador:"), CboSeparador);
  formulario->addRow(QStringLiteral("Separador &decimal:"), CboDecimal);
  formulario->addRow(QStringLiteral("Valor &ausente:"), TxtAusente);
  formulario->addRow(LblCodificacion);

  TblVista = new QTableWidget(this);
  TblVista->setObjectName(QStringLiteral("TblVista"));
  TblVista->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TblVista->verticalHeader()->setVisible(false);
  TblVista->setMinimumSize(560, 260);

  auto* botones = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  botones->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Aceptar"));
  botones->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("CoAceptar"));
  botones->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
  connect(botones, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(botones, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* capa = new QVBoxLayout(this);
  capa->addLayout(formulario);
  capa->addWidget(new QLabel(QStringLiteral("Vista previa (la primera fila da los nombres de las columnas):"), this));
  capa->addWidget(TblVista, 1);
  capa->addWidget(botones);

  connect(CboSeparador, &QComboBox::currentIndexChanged, this, &frmImportarTexto::actualizaVista);
  connect(CboDecimal, &QComboBox::currentIndexChanged, this, &frmImportarTexto::actualizaVista);
  actualizaVista();
}

sorvan::FormatoTexto frmImportarTexto::Formato() const {
  sorvan::FormatoTexto f;
  f.separador = kSeparadores[std::max(0, CboSeparador->currentIndex())];
  f.decimal = kDecimales[std::max(0, CboDecimal->currentIndex())];
  f.windows1252 = windows1252_;
  return f;
}

bool frmImportarTexto::ValorAusente(std::optional<double>& valor) const {
  const QString t = TxtAusente->text().trimmed();
  valor.reset();
  if (t.isEmpty()) return true;
  bool ok = false;
  const double v = t.toDouble(&ok);
  if (!ok) return false;
  valor = v;
  return true;
}

void frmImportarTexto::accept() {
  std::optional<double> v;
  if (!ValorAusente(v)) {
    QMessageBox::warning(this, QStringLiteral("Sorvan"),
                         QStringLiteral("\"%1\" no es un número válido para el valor ausente.").arg(TxtAusente->text()));
    return;
  }
  QDialog::accept();
}

void frmImportarTexto::actualizaVista() {
  const auto filas = sorvan::VistaPrevia(utf8_, Formato(), kFilasVista + 1);
  TblVista->clear();
  size_t columnas = 0;
  for (const auto& f : filas) columnas = std::max(columnas, f.size());
  TblVista->setColumnCount(int(columnas));
  TblVista->setRowCount(filas.empty() ? 0 : int(filas.size() - 1));
  if (filas.empty()) return;
  QStringList cabecera;
  for (const std::string& c : filas[0]) cabecera << QString::fromStdString(c);
  TblVista->setHorizontalHeaderLabels(cabecera);
  for (size_t i = 1; i < filas.size(); ++i)
    for (size_t k = 0; k < filas[i].size(); ++k) {
      QString texto = QString::fromStdString(filas[i][k]);
      if (texto.size() > 40) texto = texto.left(40) + QStringLiteral("...");
      TblVista->setItem(int(i - 1), int(k), new QTableWidgetItem(texto));
    }
  TblVista->resizeColumnsToContents();
}
