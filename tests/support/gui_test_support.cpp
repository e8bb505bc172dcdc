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
// `limitMs` is closed, and the test that left it fails, naming it.
void WatchForgottenModals(int limitMs) {
  auto* clock = new QTimer(qApp);
  auto last = std::make_shared<QPointer<QWidget>>();
  auto from = std::make_shared<QElapsedTimer>();
  QObject::connect(clock, &QTimer::timeout, [last, from, limitMs] {
    QWidget* w = QApplication::activeModalWidget();
    if (w != last->data()) {
      *last = w;
      from->start();
    } else if (w && from->elapsed() > limitMs) {
      const auto* box = qobject_cast<QMessageBox*>(w);
      ADD_FAILURE() << "modal window left unanswered: " << w->metaObject()->className() << " \""
                    << (box ? box->text() : w->windowTitle()).toStdString() << "\"";
      if (auto* d = qobject_cast<QDialog*>(w)) d->reject(); else w->close();
    }
  });
  clock->start(250);
}

}  // namespace

int RunTests(int argc, char** argv, const GuiEnvironment& environment) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  std::optional<TemporarySettings> settings;
  if (environment.ownSettings) settings.emplace();
  if (environment.forgottenModalMs > 0) WatchForgottenModals(environment.forgottenModalMs);
  return RUN_ALL_TESTS();
}

void OnModalShown(std::function<void(QWidget*)> action) {
  auto* t = new QTimer;
  auto start = std::make_shared<QElapsedTimer>();
  start->start();
  t->setInterval(20);
  QObject::connect(t, &QTimer::timeout, [t, action, start] {
    if (QWidget* w = QApplication::activeModalWidget()) {
      t->stop();
      t->deleteLater();
      action(w);
    } else if (start->elapsed() > 5000) {
      t->stop();
      t->deleteLater();
    }
  });
  t->start();
}

void ChooseFile(QFileDialog* fd, const QString& nombre) {
  QString text = nombre;
  if (QFileInfo(nombre).isAbsolute()) {
    fd->setDirectory(QFileInfo(nombre).absolutePath());
    text = QFileInfo(nombre).fileName();
  }
  auto* nameEdit = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(nameEdit, nullptr);
  nameEdit->setText(text);
  static_cast<QDialog*>(fd)->accept();  // QFileDialog::accept, as the OK button does
}

std::unique_ptr<Reply<QMessageBox>> AnswerMessage(Message* m) {
  return std::make_unique<Reply<QMessageBox>>([m](QMessageBox* box) {
    m->seen = true;
    m->title = box->windowTitle();
    m->text = box->text();
    box->button(QMessageBox::Ok)->click();
  });
}

std::unique_ptr<Reply<QMessageBox>> AnswerMessage(QString* text) {
  return std::make_unique<Reply<QMessageBox>>([text](QMessageBox* box) {
    *text = box->text();
    box->button(QMessageBox::Ok)->click();
  });
}

TemporaryFolder::TemporaryFolder() : previous_(QDir::currentPath()) {}

TemporaryFolder::~TemporaryFolder() { QDir::setCurrent(previous_); }

void TemporaryFolder::MakeCurrent() const { QDir::setCurrent(dir_.path()); }

TemporarySettings::TemporarySettings() {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
}

}  // namespace prueba
