// Placeholder until the chart windows exist; the charts work replaces this file.
#include "gui/charts/chart_windows.h"
#include <QObject>
QWidget* AbrirGraf2D(QMdiArea*, const QString& path, const QString&, QString* error) {
  if (error) *error = QObject::tr("Gráficos no disponibles: ") + path;
  return nullptr;
}
QWidget* AbrirGraf3D(QMdiArea*, int, const QString& title, const SesionKriging&, QString* error) {
  if (error) *error = QObject::tr("Gráficos no disponibles: ") + title;
  return nullptr;
}
