#pragma once
// A script of answers for the dialogs a command opens: the steps are taken in
// order, each as soon as its window shows up (the active modal widget of the
// expected type, or the wait dialog, which is not modal). A message box that
// no step expects is noted and closed, so a test never hangs on it and can
// fail with its text. Progress dialogs are left alone.
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "gui/anim/frmCompresion.h"
#include "gui/anim/frmEsperar.h"

class GuionModal {
public:
  GuionModal() : estado_(std::make_shared<Estado>()) {
    auto estado = estado_;
    estado->reloj.start();
    estado->timer = new QTimer;
    estado->timer->setInterval(15);
    QObject::connect(estado->timer, &QTimer::timeout, [estado] { Paso(*estado); });
    estado->timer->start();
  }
  ~GuionModal() {
    estado_->timer->stop();
    delete estado_->timer;
  }

  // The next message box: its text is kept, OK (or the first button) pressed.
  GuionModal& Mensaje(QString* texto = nullptr) {
    return Dialogo<QMessageBox>([texto](QMessageBox* m) {
      if (texto) *texto = m->text();
      QAbstractButton* ok = m->button(QMessageBox::Ok);
      if (ok == nullptr && !m->buttons().isEmpty()) ok = m->buttons().first();
      if (ok) ok->click(); else m->accept();
    });
  }
  // The next file dialog: accepted with `ruta` typed as the name, or cancelled
  // when `ruta` is empty. `titulo` receives its caption.
  GuionModal& Archivo(const QString& ruta, QString* titulo = nullptr, std::function<void()> antes = {}) {
    return Dialogo<QFileDialog>([ruta, titulo, antes](QFileDialog* d) {
      if (antes) antes();
      if (titulo) *titulo = d->windowTitle();
      if (ruta.isEmpty()) {
        d->reject();
        return;
      }
      // Typed as a user would: the folder, then the bare name in the name box.
      const QFileInfo archivo(ruta);
      d->setDirectory(archivo.absolutePath());
      if (auto* nombre = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        nombre->setText(archivo.fileName());
      else
        d->selectFile(ruta);
      static_cast<QDialog*>(d)->accept();  // QFileDialog::accept, as the OK button does
    });
  }
  // The compressor dialog: `encoder` chosen and accepted, or cancelled when empty.
  GuionModal& Compresor(const std::string& encoder) {
    return Dialogo<frmCompresion>([encoder](frmCompresion* d) {
      if (encoder.empty()) {
        d->CoCancelar->click();
        return;
      }
      EleccionCompresor e;
      e.encoder = encoder;
      d->Seleccionar(e);
      d->CoAceptar->click();
    });
  }
  // The wait dialog: `antes` runs first (to look at or change the chart).
  GuionModal& Esperar(std::function<void()> antes = {}) {
    estado_->pasos.push_back({[] { return static_cast<QWidget*>(frmEsperar::Instancia()); },
                              [antes](QWidget* w) {
                                if (antes) antes();
                                static_cast<frmEsperar*>(w)->CoAceptar->click();
                              }});
    return *this;
  }
  template <class T>
  GuionModal& Dialogo(std::function<void(T*)> accion) {
    estado_->pasos.push_back({[] { return static_cast<QWidget*>(qobject_cast<T*>(QApplication::activeModalWidget())); },
                              [accion](QWidget* w) { accion(static_cast<T*>(w)); }});
    return *this;
  }

  bool Completo() const { return estado_->siguiente == estado_->pasos.size(); }
  std::size_t Hechos() const { return estado_->siguiente; }
  // Texts of the message boxes that no step expected.
  const QStringList& Inesperados() const { return estado_->inesperados; }

private:
  struct PasoGuion {
    std::function<QWidget*()> busca;
    std::function<void(QWidget*)> accion;
  };
  struct Estado {
    std::vector<PasoGuion> pasos;
    std::size_t siguiente = 0;
    QStringList inesperados;
    QTimer* timer = nullptr;
    QElapsedTimer reloj;
    bool ocupado = false;
  };

  static void Paso(Estado& e) {
    if (e.ocupado) return;  // an action may itself process events
    e.ocupado = true;
    if (e.siguiente < e.pasos.size()) {
      if (QWidget* w = e.pasos[e.siguiente].busca(); w && w->isVisible()) {
        ++e.siguiente;
        e.pasos[e.siguiente - 1].accion(w);
        e.ocupado = false;
        return;
      }
    }
    if (auto* m = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); m && m->isVisible()) {
      e.inesperados << m->text();
      m->done(QMessageBox::Ok);
    } else if (e.reloj.elapsed() > 60000) {
      // Nothing should take this long: close whatever modal window is up.
      if (QWidget* w = QApplication::activeModalWidget()) w->close();
      if (frmEsperar::Instancia()) frmEsperar::Instancia()->close();
    }
    e.ocupado = false;
  }

  std::shared_ptr<Estado> estado_;
};
