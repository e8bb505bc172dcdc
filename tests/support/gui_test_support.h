#pragma once
// Scaffolding shared by the tests that drive real windows: the test program's
// main with its QApplication, answers to the modal windows a command opens,
// the watch that closes a modal window no test answered, a temporary working
// folder and a settings store of the tests' own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <ostream>

class QFileDialog;

// Readable QStrings in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace test_data {

// What the test program sets up around the tests.
struct GuiEnvironment {
  // A modal window left up this long (ms) is closed and fails the test that
  // left it, so the run fails instead of hanging; 0 leaves modal windows alone.
  int forgottenModalMs = 0;
  // QSettings read and write a store of the run's own, never the user's
  // (the file dialogs remember their folder there, the main window its place).
  bool ownSettings = true;
};

// The whole test program: a QApplication, Google Test and `environment`.
// Returns what RUN_ALL_TESTS() returns.
int RunTests(int argc, char** argv, const GuiEnvironment& environment = {});

// Runs `action` on the first modal widget that becomes active within 5 s.
// Nothing waits for it: the action runs from the event loop of whatever the
// test does next (usually the modal window's own).
void OnModalShown(std::function<void(QWidget*)> action);

// Types `nombre` into the file dialog's file-name box and accepts. (selectFile()
// leaves the box alone once it has the focus, which depends on the window
// manager's timing.) An absolute name first moves the dialog to its folder.
void ChooseFile(QFileDialog* fd, const QString& nombre);

// Answers modal widgets of type T while it lives: each one that appears (up
// to `times`, within `limitMs`) is handed once to `answer`, which usually
// closes it. Destroying the object stops the watch, so a window that never
// came cannot be answered later with references that are gone.
template <class T>
class Reply {
 public:
  explicit Reply(std::function<void(T*)> answer, int times = 1, int limitMs = 60000)
      : active_(std::make_shared<bool>(true)), views_(std::make_shared<int>(0)) {
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto step = std::make_shared<std::function<void()>>();
    auto active = active_;
    auto views = views_;
    auto last = std::make_shared<QPointer<T>>();
    std::weak_ptr<std::function<void()>> weak = step;
    *step = [=] {
      if (!*active) return;
      T* w = qobject_cast<T*>(QApplication::activeModalWidget());
      if (w && w->isVisible() && w != *last) {
        *last = w;
        ++*views;
        answer(w);
      }
      if (*active && *views < times && clock->elapsed() < limitMs)
        if (auto p = weak.lock()) QTimer::singleShot(20, *p);
    };
    keepAlive_ = step;
    QTimer::singleShot(0, *step);
  }
  ~Reply() { *active_ = false; }
  int views() const { return *views_; }
  bool view() const { return *views_ > 0; }

 private:
  std::shared_ptr<bool> active_;
  std::shared_ptr<int> views_;
  std::shared_ptr<std::function<void()>> keepAlive_;
};

// A message box as it was shown.
struct Message {
  bool seen = false;
  QString title, text;
};

// Answers the next message box with OK, keeping its title and text in `m`.
std::unique_ptr<Reply<QMessageBox>> AnswerMessage(Message* m);
// The same, keeping only its text.
std::unique_ptr<Reply<QMessageBox>> AnswerMessage(QString* text);

// A temporary folder for one test. The current folder at construction is
// made current again on destruction, whoever changed it in between.
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  bool isValid() const { return dir_.isValid(); }
  QString path() const { return dir_.path(); }
  QString filePath(const QString& nombre) const { return dir_.filePath(nombre); }
  // Makes this folder the current one (where the engine writes its files).
  void MakeCurrent() const;

 private:
  QTemporaryDir dir_;
  QString previous_;
};

// While it lives, QSettings (native format, user scope) read and write under a
// temporary folder of their own. The path is not put back afterwards.
class TemporarySettings {
 public:
  TemporarySettings();
  bool isValid() const { return dir_.isValid(); }

 private:
  QTemporaryDir dir_;
};

}  // namespace prueba
