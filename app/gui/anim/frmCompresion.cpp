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
CompressorChoice lastChoice;
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
  auto* note = new QLabel(QStringLiteral("Todos los fotogramas se guardan como fotogramas clave."));
  note->setWordWrap(true);

  auto* buttons = new QDialogButtonBox;
  CoAceptar = buttons->addButton(QStringLiteral("Aceptar"), QDialogButtonBox::AcceptRole);
  CoCancelar = buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
  CoAceptar->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(ComboCompresor, &QComboBox::currentIndexChanged, this, &frmCompresion::ComboCompresor_Change);

  auto* layer = new QVBoxLayout(this);
  layer->addLayout(fields);
  layer->addWidget(note);
  layer->addWidget(buttons);
  Select(CompressorChoice{});
}

void frmCompresion::ComboCompresor_Change() {
  const int i = ComboCompresor->currentIndex();
  const bool lossy = i >= 0 && i < static_cast<int>(encoders_.size()) && encoders_[i].lossy;
  TxtCalidad->setEnabled(lossy);
  lblCalidad_->setEnabled(lossy);
}

CompressorChoice frmCompresion::Choice() const {
  CompressorChoice e;
  const int i = ComboCompresor->currentIndex();
  if (i >= 0 && i < static_cast<int>(encoders_.size())) e.encoder = encoders_[i].name;
  e.quality = TxtCalidad->value();
  return e;
}

void frmCompresion::Select(const CompressorChoice& choice) {
  int index = 0;
  for (int i = 0; i < static_cast<int>(encoders_.size()); ++i)
    if (encoders_[i].name == choice.encoder) index = i;
  ComboCompresor->setCurrentIndex(index);
  TxtCalidad->setValue(choice.quality);
  ComboCompresor_Change();
}

bool frmCompresion::Choose(QWidget* owner, CompressorChoice& choice) {
  frmCompresion dlg(owner);
  dlg.Select(lastChoice);
  if (dlg.exec() != QDialog::Accepted) return false;
  lastChoice = dlg.Choice();
  choice = lastChoice;
  return true;
}

}  // namespace sorvan::gui
