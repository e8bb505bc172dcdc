#include "gui_test_support.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <optional>

namespace prueba {

namespace {

// A modal window that no test answers would hang the run: one left up for
// `limiteMs` is closed, and the test that left it fails, naming it.
void VigilarModalesOlvidados(int limiteMs) {
  auto* reloj = new QTimer(qApp);
  auto ultimo = std::make_shared<QPointer<QWidget>>();
  auto desde = std::make_shared<QElapsedTimer>();
  QObject::connect(reloj, &QTimer::timeout, [ultimo, desde, limiteMs] {
    QWidget* w = QApplication::activeModalWidget();
    if (w != ultimo->data()) {
      *ultimo = w;
      desde->start();
    } else if (w && desde->elapsed() > limiteMs) {
      const auto* box = qobject_cast<QMessageBox*>(w);
      ADD_FAILURE() << "modal window left unanswered: " << w->metaObject()->className() << " \""
                    << (box ? box->text() : w->windowTitle()).toStdString() << "\"";
      if (auto* d = qobject_cast<QDialog*>(w)) d->reject(); else w->close();
    }
  });
  reloj->start(250);
}

}  // namespace

int EjecutaPruebas(int argc, char** argv, const EntornoGui& entorno) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  std::optional<AjustesTemporales> ajustes;
  if (entorno.ajustesPropios) ajustes.emplace();
  if (entorno.modalOlvidadoMs > 0) VigilarModalesOlvidados(entorno.modalOlvidadoMs);
  return RUN_ALL_TESTS();
}

void AlAparecerModal(std::function<void(QWidget*)> accion) {
  auto* t = new QTimer;
  auto inicio = std::make_shared<QElapsedTimer>();
  inicio->start();
  t->setInterval(20);
  QObject::connect(t, &QTimer::timeout, [t, accion, inicio] {
    if (QWidget* w = QApplication::activeModalWidget()) {
      t->stop();
      t->deleteLater();
      accion(w);
    } else if (inicio->elapsed() > 5000) {
      t->stop();
      t->deleteLater();
    }
  });
  t->start();
}

void EligeArchivo(QFileDialog* fd, const QString& nombre) {
  QString texto = nombre;
  if (QFileInfo(nombre).isAbsolute()) {
    fd->setDirectory(QFileInfo(nombre).absolutePath());
    texto = QFileInfo(nombre).fileName();
  }
  auto* caja = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(caja, nullptr);
  caja->setText(texto);
  static_cast<QDialog*>(fd)->accept();  // QFileDialog::accept, as the OK button does
}

std::unique_ptr<Respuesta<QMessageBox>> ResponderMensaje(Mensaje* m) {
  return std::make_unique<Respuesta<QMessageBox>>([m](QMessageBox* box) {
    m->visto = true;
    m->titulo = box->windowTitle();
    m->texto = box->text();
    box->button(QMessageBox::Ok)->click();
  });
}

std::unique_ptr<Respuesta<QMessageBox>> ResponderMensaje(QString* texto) {
  return std::make_unique<Respuesta<QMessageBox>>([texto](QMessageBox* box) {
    *texto = box->text();
    box->button(QMessageBox::Ok)->click();
  });
}

CarpetaTemporal::CarpetaTemporal() : anterior_(QDir::currentPath()) {}

CarpetaTemporal::~CarpetaTemporal() { QDir::setCurrent(anterior_); }

void CarpetaTemporal::HacerActual() const { QDir::setCurrent(dir_.path()); }

AjustesTemporales::AjustesTemporales() {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
}

}  // namespace prueba
