#pragma once
// A pair of arrow buttons that steps an integer and writes it into a buddy
// text box, as a spin control beside its text box does. Typing in the text box
// is free (the box may hold values outside the range); a typed value inside
// the range becomes the control's value, so the arrows step on from it.
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace sorvan::gui {

class ControlUpDown : public QWidget {
  Q_OBJECT
public:
  ControlUpDown(QLineEdit* buddy, QWidget* parent = nullptr);

  void setRange(int minimo, int maximo);
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  int value() const { return value_; }
  // Sets the value (clamped to the range) and shows it in the buddy.
  void setValue(int valor);
  void stepUp() { setValue(value_ + 1); }
  void stepDown() { setValue(value_ - 1); }

  QToolButton* upButton() const { return up_; }
  QToolButton* downButton() const { return down_; }

signals:
  void valueChanged(int valor);

private:
  void editedText(const QString& text);

  QLineEdit* buddy_;
  QToolButton* up_;
  QToolButton* down_;
  int minimum_ = 0, maximum_ = 100, value_ = 0;
};

}  // namespace sorvan::gui
