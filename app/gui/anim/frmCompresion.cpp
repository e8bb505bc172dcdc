#include "gui/anim/frmCompresion.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace sorvan::gui {

namespace {
// The choice is kept for the rest of the session, as the system's compressor
// dialog remembered its last compressor.
CompressorChoice ultimaEleccion;
}  // namespace

frmCompresion::frmCompresion(QWidget* owner) : QDialog(owner), encoders_(AviEncoders()) {
  setWindowTitle(QStringLiteral("Compresión de vídeo"));
  ComboCompresor = new QComboBox;
  for (const AviEncoder& e : encoders_) ComboCompresor->addItem(QString::fromStdString(e.description));
  TxtCalidad = new QSpinBox;
  TxtCalidad->setRange(1, 100);
  TxtCalidad->setSuffix(QStringLiteral(" %"));
  lblCalidad_ = new QLabel(QStringLiteral("Calidad de compresión:"));

  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("Compresor:"), ComboCompresor);
  fields->addRow(lblCalidad_, TxtCalidad);
  auto* nota = new QLabel(QStringLiteral("Todos los fotogramas se guardan como fotogramas clave."));
  nota->setWordWrap(true);

  auto* botones = new QDialogButtonBox;
  CoAceptar = botones->addButton(QStringLiteral("Aceptar"), QDialogButtonBox::AcceptRole);
  CoCancelar = botones->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
  CoAceptar->setDefault(true);
  connect(botones, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(botones, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(ComboCompresor, &QComboBox::currentIndexChanged, this, &frmCompresion::ComboCompresor_Change);

  auto* capa = new QVBoxLayout(this);
  capa->addLayout(fields);
  capa->addWidget(nota);
  capa->addWidget(botones);
  Seleccionar(CompressorChoice{});
}

void frmCompresion::ComboCompresor_Change() {
  const int i = ComboCompresor->currentIndex();
  const bool conPerdida = i >= 0 && i < static_cast<int>(encoders_.size()) && encoders_[i].lossy;
  TxtCalidad->setEnabled(conPerdida);
  lblCalidad_->setEnabled(conPerdida);
}

CompressorChoice frmCompresion::Eleccion() const {
  CompressorChoice e;
  const int i = ComboCompresor->currentIndex();
  if (i >= 0 && i < static_cast<int>(encoders_.size())) e.encoder = encoders_[i].name;
  e.calidad = TxtCalidad->value();
  return e;
}

void frmCompresion::Seleccionar(const CompressorChoice& eleccion) {
  int indice = 0;
  for (int i = 0; i < static_cast<int>(encoders_.size()); ++i)
    if (encoders_[i].name == eleccion.encoder) indice = i;
  ComboCompresor->setCurrentIndex(indice);
  TxtCalidad->setValue(eleccion.calidad);
  ComboCompresor_Change();
}

bool frmCompresion::Elegir(QWidget* owner, CompressorChoice& eleccion) {
  frmCompresion dlg(owner);
  dlg.Seleccionar(ultimaEleccion);
  if (dlg.exec() != QDialog::Accepted) return false;
  ultimaEleccion = dlg.Eleccion();
  eleccion = ultimaEleccion;
  return true;
}

}  // namespace sorvan::gui
