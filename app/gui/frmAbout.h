#pragma once
// The About box: program name, version, what it does, credits, and a button
// that shows what the program knows about the system it runs on.
#include <QDialog>

class QPushButton;

namespace sorvan::gui {

class frmAbout : public QDialog {
  Q_OBJECT
public:
  explicit frmAbout(QWidget* parent = nullptr);

  // The text the system-information button shows.
  static QString SystemInformation();

  QPushButton* CoAceptar() const { return CoAceptar_; }
  QPushButton* CoInfoSistema() const { return CoInfoSistema_; }

private:
  void CoInfoSistema_Click();

  QPushButton* CoAceptar_ = nullptr;
  QPushButton* CoInfoSistema_ = nullptr;
};

}  // namespace sorvan::gui
