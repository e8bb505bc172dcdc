#include "gui/charts/chart_windows.h"

#include "gui/charts/frmChart2D.h"
#include "gui/charts/frmChart3D.h"
#include "gui/app_shell.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <algorithm>
#include <limits>

namespace sorvan::gui {

namespace {

// Window numbers of the captions; numbers are not reused after a close.
int chart2DCounter = 0;
int chart3DCounter = 0;

// The next window number. At the largest number the count stays there
// rather than wrapping to negative numbers.
int next(int& counter) {
  if (counter < std::numeric_limits<int>::max()) ++counter;
  return counter;
}

// The status bar of the shell the area belongs to (none for an area alone).
void state(const QMdiArea* area, const QString& text) { ShowStatusOf(area, text); }

// The loaded window joins the main window's area and shows. In an area
// smaller than the window (the main window's first-run size is smaller than
// a chart) it is shrunk and moved to lie wholly inside the visible area, so
// that its title bar, toolbar and chart are all reachable without scrolling.
void show(QMdiArea* area, QWidget* window) {
  if (area) {
    QMdiSubWindow* sub = area->addSubWindow(window);
    const QSize freeBytes = area->viewport()->size();
    const bool measure = area->isVisible() && !freeBytes.isEmpty();
    sub->resize(measure ? window->size().boundedTo(freeBytes) : window->size());
    sub->show();
    if (measure) {
      const QRect g = sub->geometry();
      sub->move(std::max(0, std::min(g.x(), freeBytes.width() - g.width())),
                std::max(0, std::min(g.y(), freeBytes.height() - g.height())));
    }
  }
  window->show();
}

}  // namespace

int Chart2DCounter() { return chart2DCounter; }
int Chart3DCounter() { return chart3DCounter; }

QWidget* OpenChart2D(QMdiArea* area, const QString& path, const QString& title, QString* error) {
  const int number = next(chart2DCounter);
  state(area, QString::fromUtf8("Cargando GRÁFICO..."));
  auto* window = new frmChart2D;
  window->setWindowTitle("Graf" + QString::number(number) + ": " + (title.isEmpty() ? path : title));
  QString warning;
  if (!window->Load(path, error, &warning)) {
    delete window;
    state(area, "Preparado");
    return nullptr;
  }
  show(area, window);
  state(area, "Preparado");
  if (!warning.isEmpty()) QMessageBox::warning(window, QStringLiteral("Sorvan"), warning);
  return window;
}

QWidget* OpenChart3D(QMdiArea* area, int kind, const QString& title, const sorvan::core::KrigingSession& session,
                     QString* error) {
  const int number = next(chart3DCounter);
  state(area, QString::fromUtf8("Cargando SUPERFICIE..."));
  auto* window = new frmChart3D;
  window->setWindowTitle("Sup" + QString::number(number) + ": " + title);
  // "Save como..." exports the run's surfaces from the windows that show them.
  window->setProperty("superficieDelCalculo", kind == 1 || kind == 2);
  if (!window->Load(kind, title, session, error)) {
    delete window;
    state(area, "Preparado");
    return nullptr;
  }
  show(area, window);
  state(area, "Preparado");
  return window;
}

}  // namespace sorvan::gui
