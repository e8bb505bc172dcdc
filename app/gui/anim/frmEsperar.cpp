#include "gui/anim/frmEsperar.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace sorvan::gui {

namespace {
QPointer<frmEsperar> instance;
constexpr int kHueco = 8;  // pixels between the chart and the box
}  // namespace

frmEsperar::frmEsperar(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("frmEsperar"));
  setWindowTitle(QStringLiteral("Esperando para generar el vídeo"));
  auto* text = new QLabel(
      QStringLiteral("Modifique las propiedades de la superficie y pulse en aceptar cuando esté listo ..."));
  text->setWordWrap(true);
  CoAceptar = new QPushButton(QStringLiteral("Aceptar"));
  CoAceptar->setObjectName(QStringLiteral("CoAceptar"));
  CoAceptar->setDefault(true);
  connect(CoAceptar, &QPushButton::clicked, this, &QDialog::close);
  auto* layer = new QVBoxLayout(this);
  layer->addWidget(text);
  layer->addWidget(CoAceptar, 0, Qt::AlignRight);
  resize(380, sizeHint().height());  // room for the whole title in the title bar
}

frmEsperar* frmEsperar::Instance() { return instance; }

void frmEsperar::UnloadAndWait() { delete instance; }

QPoint frmEsperar::PositionBeside(const QRect& chart, const QSize& size, const QRect& screen) {
  QPoint p;
  if (chart.right() + kHueco + size.width() <= screen.right())
    p = QPoint(chart.right() + kHueco, chart.top());
  else if (chart.left() - kHueco - size.width() >= screen.left())
    p = QPoint(chart.left() - kHueco - size.width(), chart.top());
  else  // no room at either side: over the chart's lower right corner, away from its toolbar
    p = QPoint(chart.right() - size.width(), chart.bottom() - size.height());
  p.setX(std::clamp(p.x(), screen.left(), std::max(screen.left(), screen.right() - size.width())));
  p.setY(std::clamp(p.y(), screen.top(), std::max(screen.top(), screen.bottom() - size.height())));
  return p;
}

bool frmEsperar::WaitFor(QWidget* owner, QWidget* beside) {
  if (instance) return false;
  instance = new frmEsperar(owner);
  QScreen* targetScreen = beside ? beside->screen() : instance->screen();
  if (beside && targetScreen) {
    // The frame (title bar included) of the chart, in global coordinates.
    const QRect chart(beside->mapToGlobal(QPoint(0, 0)), beside->size());
    instance->move(PositionBeside(chart, instance->frameGeometry().size(), targetScreen->availableGeometry()));
  }
  instance->show();
  instance->raise();
  instance->activateWindow();
  while (instance && instance->isVisible())
    QApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
  delete instance;  // unloaded by its button
  return true;
}

}  // namespace sorvan::gui
