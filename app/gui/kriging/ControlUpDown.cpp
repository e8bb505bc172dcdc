#include "gui/kriging/ControlUpDown.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/kriging/text_to_number.h"

namespace sorvan::gui {

ControlUpDown::ControlUpDown(QLineEdit* buddy, QWidget* parent) : QWidget(parent), buddy_(buddy) {
  auto* layer = new QVBoxLayout(this);
  layer->setContentsMargins(0, 0, 0, 0);
  layer->setSpacing(0);
  up_ = new QToolButton(this);
  down_ = new QToolButton(this);
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  const int height = std::max(8, buddy_->sizeHint().height() / 2);
  for (QToolButton* b : {up_, down_}) {
    b->setAutoRepeat(true);
    b->setFixedSize(height + 6, height);
    b->setFocusPolicy(Qt::NoFocus);  // the buddy keeps the keyboard
    layer->addWidget(b);
  }
  connect(up_, &QToolButton::clicked, this, &ControlUpDown::stepUp);
  connect(down_, &QToolButton::clicked, this, &ControlUpDown::stepDown);
  connect(buddy_, &QLineEdit::textEdited, this, &ControlUpDown::editedText);
}

void ControlUpDown::setRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = std::max(minimum, maximum);
  value_ = std::clamp(value_, minimum_, maximum_);
}

void ControlUpDown::setValue(int value) {
  value_ = std::clamp(value, minimum_, maximum_);
  buddy_->setText(IntegerFormat(value_));
  emit valueChanged(value_);
}

void ControlUpDown::editedText(const QString& text) {
  const auto v = ReadInteger(text);
  if (v && *v >= minimum_ && *v <= maximum_) value_ = *v;
}

}  // namespace sorvan::gui
