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
int contadorGraf2D = 0;
int contadorGraf3D = 0;

// The next window number. At the largest number the count stays there
// rather than wrapping to negative numbers.
int siguiente(int& contador) {
  if (contador < std::numeric_limits<int>::max()) ++contador;
  return contador;
}

// The status bar of the shell the area belongs to (none for an area alone).
void estado(const QMdiArea* area, const QString& text) { ShowStatusOf(area, text); }

// The loaded window joins the main window's area and shows. In an area
// smaller than the window (the main window's first-run size is smaller than
// a chart) it is shrunk and moved to lie wholly inside the visible area, so
// that its title bar, toolbar and chart are all reachable without scrolling.
void mostrar(QMdiArea* area, QWidget* ventana) {
  if (area) {
    QMdiSubWindow* sub = area->addSubWindow(ventana);
    const QSize libre = area->viewport()->size();
    const bool medida = area->isVisible() && !libre.isEmpty();
    sub->resize(medida ? ventana->size().boundedTo(libre) : ventana->size());
    sub->show();
    if (medida) {
      const QRect g = sub->geometry();
      sub->move(std::max(0, std::min(g.x(), libre.width() - g.width())),
                std::max(0, std::min(g.y(), libre.height() - g.height())));
    }
  }
  ventana->show();
}

}  // namespace

int ContadorGraf2D() { return contadorGraf2D; }
int ContadorGraf3D() { return contadorGraf3D; }

QWidget* AbrirGraf2D(QMdiArea* area, const QString& path, const QString& title, QString* error) {
  const int number = siguiente(contadorGraf2D);
  estado(area, QString::fromUtf8("Cargando GRÁFICO..."));
  auto* ventana = new frmChart2D;
  ventana->setWindowTitle("Graf" + QString::number(number) + ": " + (title.isEmpty() ? path : title));
  QString warning;
  if (!ventana->Cargar(path, error, &warning)) {
    delete ventana;
    estado(area, "Preparado");
    return nullptr;
  }
  mostrar(area, ventana);
  estado(area, "Preparado");
  if (!warning.isEmpty()) QMessageBox::warning(ventana, QStringLiteral("Sorvan"), warning);
  return ventana;
}

QWidget* AbrirGraf3D(QMdiArea* area, int kind, const QString& title, const sorvan::core::KrigingSession& session,
                     QString* error) {
  const int number = siguiente(contadorGraf3D);
  estado(area, QString::fromUtf8("Cargando SUPERFICIE..."));
  auto* ventana = new frmChart3D;
  ventana->setWindowTitle("Sup" + QString::number(number) + ": " + title);
  // "Guardar como..." exports the run's surfaces from the windows that show them.
  ventana->setProperty("superficieDelCalculo", kind == 1 || kind == 2);
  if (!ventana->Cargar(kind, title, session, error)) {
    delete ventana;
    estado(area, "Preparado");
    return nullptr;
  }
  mostrar(area, ventana);
  estado(area, "Preparado");
  return ventana;
}

}  // namespace sorvan::gui
