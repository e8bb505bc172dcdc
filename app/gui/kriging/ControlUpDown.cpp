#include "gui/kriging/ControlUpDown.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/kriging/text_to_number.h"

namespace sorvan::gui {

ControlUpDown::ControlUpDown(QLineEdit* buddy, QWidget* parent) : QWidget(parent), buddy_(buddy) {
  auto* capa = new QVBoxLayout(this);
  capa->setContentsMargins(0, 0, 0, 0);
  capa->setSpacing(0);
  arriba_ = new QToolButton(this);
  abajo_ = new QToolButton(this);
  arriba_->setArrowType(Qt::UpArrow);
  abajo_->setArrowType(Qt::DownArrow);
  const int alto = std::max(8, buddy_->sizeHint().height() / 2);
  for (QToolButton* b : {arriba_, abajo_}) {
    b->setAutoRepeat(true);
    b->setFixedSize(alto + 6, alto);
    b->setFocusPolicy(Qt::NoFocus);  // the buddy keeps the keyboard
    capa->addWidget(b);
  }
  connect(arriba_, &QToolButton::clicked, this, &ControlUpDown::stepUp);
  connect(abajo_, &QToolButton::clicked, this, &ControlUpDown::stepDown);
  connect(buddy_, &QLineEdit::textEdited, this, &ControlUpDown::textoEditado);
}

void ControlUpDown::setRange(int minimum, int maximum) {
  minimo_ = minimum;
  maximo_ = std::max(minimum, maximum);
  valor_ = std::clamp(valor_, minimo_, maximo_);
}

void ControlUpDown::setValue(int value) {
  valor_ = std::clamp(value, minimo_, maximo_);
  buddy_->setText(FormatoEntero(valor_));
  emit valueChanged(valor_);
}

void ControlUpDown::textoEditado(const QString& text) {
  const auto v = LeeEntero(text);
  if (v && *v >= minimo_ && *v <= maximo_) valor_ = *v;
}

}  // namespace sorvan::gui
