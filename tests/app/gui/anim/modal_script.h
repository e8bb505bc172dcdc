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

using namespace sorvan::platform;
using namespace sorvan::gui;

class ModalScript {
public:
  ModalScript() : estado_(std::make_shared<Estado>()) {
    auto estado = estado_;
    estado->reloj.start();
    estado->timer = new QTimer;
    estado->timer->setInterval(15);
    QObject::connect(estado->timer, &QTimer::timeout, [estado] { Paso(*estado); });
    estado->timer->start();
  }
  ~ModalScript() {
    estado_->timer->stop();
    delete estado_->timer;
  }

  // The next message box: its text is kept, OK (or the first button) pressed.
  ModalScript& Mensaje(QString* text = nullptr) {
    return Dialogo<QMessageBox>([text](QMessageBox* m) {
      if (text) *text = m->text();
      QAbstractButton* ok = m->button(QMessageBox::Ok);
      if (ok == nullptr && !m->buttons().isEmpty()) ok = m->buttons().first();
      if (ok) ok->click(); else m->accept();
    });
  }
  // The next file dialog: accepted with `path` typed as the name, or cancelled
  // when `path` is empty. `title` receives its caption.
  ModalScript& Archivo(const QString& path, QString* title = nullptr, std::function<void()> antes = {}) {
    return Dialogo<QFileDialog>([path, title, antes](QFileDialog* d) {
      if (antes) antes();
      if (title) *title = d->windowTitle();
      if (path.isEmpty()) {
        d->reject();
        return;
      }
      // Typed as a user would: the folder, then the bare name in the name box.
      const QFileInfo file(path);
      d->setDirectory(file.absolutePath());
      if (auto* nombre = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        nombre->setText(file.fileName());
      else
        d->selectFile(path);
      static_cast<QDialog*>(d)->accept();  // QFileDialog::accept, as the OK button does
    });
  }
  // The compressor dialog: `encoder` chosen and accepted, or cancelled when empty.
  ModalScript& Compresor(const std::string& encoder) {
    return Dialogo<frmCompresion>([encoder](frmCompresion* d) {
      if (encoder.empty()) {
        d->CoCancelar->click();
        return;
      }
      CompressorChoice e;
      e.encoder = encoder;
      d->Seleccionar(e);
      d->CoAceptar->click();
    });
  }
  // The wait dialog: `antes` runs first (to look at or change the chart).
  ModalScript& Esperar(std::function<void()> antes = {}) {
    estado_->pasos.push_back({[] { return static_cast<QWidget*>(frmEsperar::Instancia()); },
                              [antes](QWidget* w) {
                                if (antes) antes();
                                static_cast<frmEsperar*>(w)->CoAceptar->click();
                              }});
    return *this;
  }
  template <class T>
  ModalScript& Dialogo(std::function<void(T*)> accion) {
    estado_->pasos.push_back({[] { return static_cast<QWidget*>(qobject_cast<T*>(QApplication::activeModalWidget())); },
                              [accion](QWidget* w) { accion(static_cast<T*>(w)); }});
    return *this;
  }

  bool Completo() const { return estado_->siguiente == estado_->pasos.size(); }
  std::size_t Hechos() const { return estado_->siguiente; }
  // Texts of the message boxes that no step expected.
  const QStringList& Inesperados() const { return estado_->inesperados; }

private:
  struct ScriptStep {
    std::function<QWidget*()> busca;
    std::function<void(QWidget*)> accion;
  };
  struct Estado {
    std::vector<ScriptStep> pasos;
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
