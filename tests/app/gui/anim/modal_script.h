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
  ModalScript() : state_(std::make_shared<State>()) {
    auto state = state_;
    state->clock.start();
    state->timer = new QTimer;
    state->timer->setInterval(15);
    QObject::connect(state->timer, &QTimer::timeout, [state] { Paso(*state); });
    state->timer->start();
  }
  ~ModalScript() {
    state_->timer->stop();
    delete state_->timer;
  }

  // The next message box: its text is kept, OK (or the first button) pressed.
  ModalScript& Message(QString* text = nullptr) {
    return Dialog<QMessageBox>([text](QMessageBox* m) {
      if (text) *text = m->text();
      QAbstractButton* ok = m->button(QMessageBox::Ok);
      if (ok == nullptr && !m->buttons().isEmpty()) ok = m->buttons().first();
      if (ok) ok->click(); else m->accept();
    });
  }
  // The next file dialog: accepted with `path` typed as the name, or cancelled
  // when `path` is empty. `title` receives its caption.
  ModalScript& FileName(const QString& path, QString* title = nullptr, std::function<void()> before = {}) {
    return Dialog<QFileDialog>([path, title, before](QFileDialog* d) {
      if (before) before();
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
  ModalScript& Compressor(const std::string& encoder) {
    return Dialog<frmCompresion>([encoder](frmCompresion* d) {
      if (encoder.empty()) {
        d->CoCancelar->click();
        return;
      }
      CompressorChoice e;
      e.encoder = encoder;
      d->Select(e);
      d->CoAceptar->click();
    });
  }
  // The wait dialog: `before` runs first (to look at or change the chart).
  ModalScript& WaitFor(std::function<void()> before = {}) {
    state_->stepCount.push_back({[] { return static_cast<QWidget*>(frmEsperar::Instance()); },
                              [before](QWidget* w) {
                                if (before) before();
                                static_cast<frmEsperar*>(w)->CoAceptar->click();
                              }});
    return *this;
  }
  template <class T>
  ModalScript& Dialog(std::function<void(T*)> action) {
    state_->stepCount.push_back({[] { return static_cast<QWidget*>(qobject_cast<T*>(QApplication::activeModalWidget())); },
                              [action](QWidget* w) { action(static_cast<T*>(w)); }});
    return *this;
  }

  bool Complete() const { return state_->next == state_->stepCount.size(); }
  std::size_t DoneCount() const { return state_->next; }
  // Texts of the message boxes that no step expected.
  const QStringList& Unexpected() const { return state_->unexpected; }

private:
  struct ScriptStep {
    std::function<QWidget*()> search;
    std::function<void(QWidget*)> action;
  };
  struct State {
    std::vector<ScriptStep> stepCount;
    std::size_t next = 0;
    QStringList unexpected;
    QTimer* timer = nullptr;
    QElapsedTimer clock;
    bool busy = false;
  };

  static void Paso(State& e) {
    if (e.busy) return;  // an action may itself process events
    e.busy = true;
    if (e.next < e.stepCount.size()) {
      if (QWidget* w = e.stepCount[e.next].search(); w && w->isVisible()) {
        ++e.next;
        e.stepCount[e.next - 1].action(w);
        e.busy = false;
        return;
      }
    }
    if (auto* m = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); m && m->isVisible()) {
      e.unexpected << m->text();
      m->done(QMessageBox::Ok);
    } else if (e.clock.elapsed() > 60000) {
      // Nothing should take this long: close whatever modal window is up.
      if (QWidget* w = QApplication::activeModalWidget()) w->close();
      if (frmEsperar::Instance()) frmEsperar::Instance()->close();
    }
    e.busy = false;
  }

  std::shared_ptr<State> state_;
};
