#include "gui_test_support.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <optional>

namespace test_data {

namespace {

// A modal window that no test answers would hang the run: one left up for
// `limiteMs` is closed, and the test that left it fails, naming it.
void VigilarModalesOlvidados(int limiteMs) {
  auto* reloj = new QTimer(qApp);
  auto last = std::make_shared<QPointer<QWidget>>();
  auto from = std::make_shared<QElapsedTimer>();
  QObject::connect(reloj, &QTimer::timeout, [last, from, limiteMs] {
    QWidget* w = QApplication::activeModalWidget();
    if (w != last->data()) {
      *last = w;
      from->start();
    } else if (w && from->elapsed() > limiteMs) {
      const auto* box = qobject_cast<QMessageBox*>(w);
      ADD_FAILURE() << "modal window left unanswered: " << w->metaObject()->className() << " \""
                    << (box ? box->text() : w->windowTitle()).toStdString() << "\"";
      if (auto* d = qobject_cast<QDialog*>(w)) d->reject(); else w->close();
    }
  });
  reloj->start(250);
}

}  // namespace

int EjecutaPruebas(int argc, char** argv, const GuiEnvironment& entorno) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  std::optional<TemporarySettings> ajustes;
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
  QString text = nombre;
  if (QFileInfo(nombre).isAbsolute()) {
    fd->setDirectory(QFileInfo(nombre).absolutePath());
    text = QFileInfo(nombre).fileName();
  }
  auto* caja = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(caja, nullptr);
  caja->setText(text);
  static_cast<QDialog*>(fd)->accept();  // QFileDialog::accept, as the OK button does
}

std::unique_ptr<Respuesta<QMessageBox>> ResponderMensaje(Mensaje* m) {
  return std::make_unique<Respuesta<QMessageBox>>([m](QMessageBox* box) {
    m->visto = true;
    m->title = box->windowTitle();
    m->text = box->text();
    box->button(QMessageBox::Ok)->click();
  });
}

std::unique_ptr<Respuesta<QMessageBox>> ResponderMensaje(QString* text) {
  return std::make_unique<Respuesta<QMessageBox>>([text](QMessageBox* box) {
    *text = box->text();
    box->button(QMessageBox::Ok)->click();
  });
}

TemporaryFolder::TemporaryFolder() : anterior_(QDir::currentPath()) {}

TemporaryFolder::~TemporaryFolder() { QDir::setCurrent(anterior_); }

void TemporaryFolder::HacerActual() const { QDir::setCurrent(dir_.path()); }

TemporarySettings::TemporarySettings() {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
}

}  // namespace prueba
