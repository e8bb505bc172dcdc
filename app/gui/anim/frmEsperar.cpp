#include "gui/anim/frmEsperar.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "gui/frmMain.h"

namespace {
QPointer<frmEsperar> instancia;
}

frmEsperar::frmEsperar(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::WindowStaysOnTopHint) {
  setWindowTitle(QStringLiteral("Esperando para generar video ..."));
  auto* texto = new QLabel(
      QStringLiteral("Modifique las propiedades de la superficie y pulse en aceptar cuando esté listo ..."));
  texto->setWordWrap(true);
  CoAceptar = new QPushButton(QStringLiteral("Aceptar"));
  CoAceptar->setDefault(true);
  connect(CoAceptar, &QPushButton::clicked, this, &QDialog::close);
  auto* capa = new QVBoxLayout(this);
  capa->addWidget(texto);
  capa->addWidget(CoAceptar, 0, Qt::AlignRight);
  resize(360, sizeHint().height());
}

frmEsperar* frmEsperar::Instancia() { return instancia; }

void frmEsperar::DescargarEsperar() { delete instancia; }

bool frmEsperar::Esperar(QWidget* owner) {
  if (instancia) return false;
  instancia = new frmEsperar(owner != nullptr ? owner : frmMain::Instance());
  instancia->show();
  // Top-left corner of the screen, size unchanged.
  if (QScreen* pantalla = instancia->screen()) instancia->move(pantalla->availableGeometry().topLeft());
  instancia->raise();
  instancia->activateWindow();
  while (instancia && instancia->isVisible())
    QApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
  delete instancia;  // unloaded by its button
  return true;
}
