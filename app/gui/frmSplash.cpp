#include "gui/frmSplash.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

#include "gui/resources_init.h"

namespace sorvan::gui {

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  Principal::InitResources();
  setObjectName(QStringLiteral("frmSplash"));
  setWindowTitle(QStringLiteral("Sorvan"));
  setFixedSize(440, 260);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void frmSplash::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient background(0, 0, 0, height());
  background.setColorAt(0, QColor(28, 66, 110));
  background.setColorAt(1, QColor(12, 30, 52));
  p.fillRect(rect(), background);
  p.setPen(QColor(120, 160, 200));
  p.drawRect(rect().adjusted(0, 0, -1, -1));

  const QPixmap icon(QStringLiteral(":/sorvan/sorvan.png"));
  p.drawPixmap(QRect(28, 40, 96, 96), icon);

  p.setPen(Qt::white);
  QFont f = font();
  f.setPointSize(28);
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRect(145, 40, 280, 50), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Sorvan"));
  f.setPointSize(11);
  f.setBold(false);
  p.setFont(f);
  p.drawText(QRect(145, 92, 280, 44), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
             QStringLiteral("Geoestadística: kriging en dos dimensiones"));
  f.setPointSize(9);
  p.setFont(f);
  p.setPen(QColor(190, 210, 230));
  p.drawText(QRect(28, 190, 384, 20), Qt::AlignLeft,
             QStringLiteral("Versión %1").arg(QStringLiteral(SORVAN_VERSION_TEXT)));
  p.drawText(QRect(28, 212, 384, 20), Qt::AlignLeft, QStringLiteral("Inicializando..."));
}

}  // namespace sorvan::gui
