#include "gui/charts/frmChart3D.h"

#include "core/kriging_options.h"
#include "core/kriging_session.h"
#include "core/trend_surface.h"
#include "gui/charts/image_export.h"
#include "gui/charts/file_path.h"
#include "platform/chart3d.h"
#include "platform/memory_release.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QToolBar>
#include <cmath>

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

namespace {

constexpr int kMargin = 20;  // chart margin below the toolbar and on every side

// Small pictures of the toolbar buttons, drawn rather than shipped as files.
QIcon icon(const QString& key) {
  QPixmap pixmap(24, 24);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor blue(69, 117, 180), red(215, 48, 39), yellow(254, 224, 144);
  QPainterPath wave;  // a surface seen in perspective
  wave.moveTo(2, 15);
  wave.cubicTo(7, 4, 12, 16, 22, 8);
  wave.lineTo(22, 16);
  wave.cubicTo(12, 22, 7, 14, 2, 21);
  wave.closeSubpath();
  if (key == "vista1" || key == "vista2" || key == "solida") {
    QLinearGradient grad(0, 4, 0, 22);
    grad.setColorAt(0, red);
    grad.setColorAt(0.5, yellow);
    grad.setColorAt(1, blue);
    p.setBrush(grad);
    p.setPen(QPen(Qt::black, key == "solida" ? 0.0 : 0.8));
    if (key == "solida") p.setPen(Qt::NoPen);
    p.drawPath(key == "vista2" ? wave.translated(0, -3) : wave);
    if (key == "vista1") {
      p.setPen(QPen(QColor(40, 40, 40), 0.6));
      for (int x = 6; x < 22; x += 4) p.drawLine(x, 6, x, 22);
    }
    if (key == "vista2") {
      p.setPen(QPen(Qt::black, 1));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QRectF(5, 19, 14, 4));
      p.drawEllipse(QRectF(9, 20, 6, 2));
    }
  } else if (key == "vista3" || key == "vista4") {
    const QRectF rings[] = {{2, 3, 20, 18}, {6, 6, 13, 12}, {10, 9, 6, 6}};
    const QColor colours[] = {blue, yellow, red};
    for (int k = 0; k < 3; ++k) {
      p.setBrush(key == "vista4" ? QBrush(colours[k]) : Qt::NoBrush);
      p.setPen(QPen(key == "vista4" ? Qt::black : colours[k].darker(130), 1.2));
      p.drawEllipse(rings[k]);
    }
  } else if (key == "vista5") {
    const int heights[] = {8, 13, 18, 11};
    for (int k = 0; k < 4; ++k) {
      p.setBrush(k == 2 ? red : blue);
      p.setPen(QPen(Qt::black, 0.6));
      p.drawRect(QRectF(2 + k * 5.2, 22 - heights[k], 4, heights[k]));
    }
  } else if (key == "etiquetas") {
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(255, 250, 220));
    p.drawRoundedRect(QRectF(2, 6, 20, 12), 2, 2);
    QFont f = p.font();
    f.setPixelSize(10);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(2, 6, 20, 12), Qt::AlignCenter, "7.5");
  }
  return QIcon(pixmap);
}

}  // namespace

const int frmChart3D::kViewAngles[8] = {0, 45, 90, 135, 180, 225, 270, 315};
const int frmChart3D::kElevationAngles[7] = {0, 15, 30, 45, 60, 75, 90};

frmChart3D::~frmChart3D() {
  // The graph of a large grid leaves much freed memory behind: given back
  // once the chart and its graphs are gone.
  delete grafico_;
  ReleaseFreedMemory();
}

frmChart3D::frmChart3D(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setMinimumSize(240, 200);
  resize(760, 560);
  grafico_ = new Chart3D(this);
  grafico_->setToolTip(tr("Botón derecho del ratón: girar la vista. Clic en la superficie: X, Y y Z del punto."));
  createToolbar();
  connect(grafico_, &Chart3D::ViewChanged, this, &frmChart3D::Grafico_ViewChanged);
  grafico_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(grafico_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { showContextMenu(grafico_->mapToGlobal(pos)); });
  // Load: layout, the lists filled, "Suroeste" and "45°" chosen and applied.
  Form_Resize();
  comboVista_->setCurrentIndex(1);
  comboElevacion_->setCurrentIndex(3);
  applyView();
}

void frmChart3D::createToolbar() {
  toolbar_ = new QToolBar(this);
  toolbar_->setObjectName("BarraGraf3D");
  toolbar_->setIconSize(QSize(24, 24));
  const struct {
    const char* key;
    const char* tip;
  } buttons[] = {{"vista1", "Vista 3D normal"},
                 {"vista2", "Vista 3D con contorno"},
                 {"vista3", "Vista 2D (sólo contorno)"},
                 {"vista4", "Vista contorno con bandas"},
                 {"vista5", "Vista 3D barras"}};
  for (const auto& b : buttons) {
    QAction* a = toolbar_->addAction(icon(b.key), QString::fromUtf8(b.tip));
    a->setObjectName(b.key);
    a->setToolTip(QString::fromUtf8(b.tip));
    connect(a, &QAction::triggered, this, [this, key = QString(b.key)] { BarraGraf3D_ButtonClick(key); });
  }
  // The two lists sit where the toolbar keeps room for them.
  comboVista_ = new QComboBox(this);
  comboVista_->setObjectName("ComboVista");
  comboVista_->setToolTip(tr("Punto de vista (la vista también se gira con el botón derecho del ratón)"));
  for (const char* item : {"Sur", "Suroeste", "Oeste", "Noroeste", "Norte", "Noreste", "Este", "Sureste"})
    comboVista_->addItem(QString::fromUtf8(item));
  comboElevacion_ = new QComboBox(this);
  comboElevacion_->setObjectName("ComboElevacion");
  comboElevacion_->setToolTip(
      QString::fromUtf8("Elevación (la vista también se gira con el botón derecho del ratón)"));
  for (int angle : kElevationAngles) comboElevacion_->addItem(QString::number(angle) + QString::fromUtf8("°"));
  toolbar_->addSeparator();
  toolbar_->addWidget(comboVista_)->setObjectName("ComboVista");
  toolbar_->addWidget(comboElevacion_)->setObjectName("ComboElevacion");
  toolbar_->addSeparator();
  QAction* labels = toolbar_->addAction(icon("etiquetas"), QString::fromUtf8("Mostrar etiquetas"));
  labels->setObjectName("etiquetas");
  labels->setToolTip(QString::fromUtf8("Mostrar etiquetas"));
  labels->setCheckable(true);
  labels->setChecked(grafico_->ContourLabelsOn());
  connect(labels, &QAction::triggered, this, [this] { BarraGraf3D_ButtonClick("etiquetas"); });
  QAction* solid = toolbar_->addAction(icon("solida"), QString::fromUtf8("Superficie sólida"));
  solid->setObjectName("solida");
  solid->setToolTip(QString::fromUtf8("Superficie sólida"));
  solid->setCheckable(true);
  connect(solid, &QAction::triggered, this, [this] { BarraGraf3D_ButtonClick("solida"); });
  connect(comboVista_, &QComboBox::currentIndexChanged, this, [this] { applyView(); });
  connect(comboElevacion_, &QComboBox::currentIndexChanged, this, [this] { applyView(); });
}

void frmChart3D::applyView() {
  if (comboVista_->currentIndex() >= 0) grafico_->ViewRotation(kViewAngles[comboVista_->currentIndex()]);
  if (comboElevacion_->currentIndex() >= 0)
    grafico_->ViewElevation(kElevationAngles[comboElevacion_->currentIndex()]);
}

void frmChart3D::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Form_Resize();
}

// A window too small for the margins keeps the chart where it was.
void frmChart3D::Form_Resize() {
  const int barHeight = toolbar_->sizeHint().height();
  toolbar_->setGeometry(0, 0, width(), barHeight);
  const int w = width() - 2 * kMargin, h = height() - barHeight - 2 * kMargin;
  if (w > 0 && h > 0) grafico_->Move(kMargin, barHeight + kMargin, w, h);
}

bool frmChart3D::Load(int kind, const QString& text, const sorvan::core::KrigingSession& session, QString* error) {
  Chart3D& g = *grafico_;
  if (!g.Has3DGraph()) {
    if (error)
      *error = tr("No se puede mostrar la superficie \"%1\": este sistema no ofrece OpenGL.")
                   .arg(kind == 3 ? QDir::toNativeSeparators(text) : text);
    return false;
  }
  g.Batch(true);
  bool ok = true;
  if (kind == 1 || kind == 2 || kind == 4) {
    const sorvan::core::KrigingSurfaces& s = session.surfaces;
    // The trend is evaluated on the prediction's grid, its holes left out.
    const std::vector<float> trend =
        kind == 4 && session.hasSurfaces ? sorvan::core::TrendSurface(s, session.trend) : std::vector<float>{};
    const std::vector<float>& values = kind == 4 ? trend : kind == 2 ? s.SupVar : s.SupPred;
    const long long nodes = static_cast<long long>(s.nx) * s.ny;
    if (!session.hasSurfaces || nodes <= 0 || static_cast<long long>(values.size()) != nodes) {
      if (error)
        *error = kind == 4 ? tr("La última ejecución de kriging no ajustó una tendencia que mostrar (%1).").arg(text)
                           : tr("No hay superficies de una ejecución de kriging que mostrar (%1).").arg(text);
      ok = false;
    } else {
      g.GridLayout(1);
      g.GridNodeCount(GridAxis::Y, s.ny);
      g.GridStep(GridAxis::Y, s.dy);
      g.GridOrigin(GridAxis::Y, s.yMin);
      g.GridNodeCount(GridAxis::X, s.nx);
      g.GridStep(GridAxis::X, s.dx);
      g.GridOrigin(GridAxis::X, s.xMin);
      g.HoleValue(sorvan::core::kHoleValue);
      // A surface limited by a profile reads better solid: the wire mesh of
      // its ragged edge only adds noise.
      if (session.options.profile.npts > 0) {
        toolbar_->findChild<QAction*>("solida")->setChecked(true);
        g.SolidSurface(true);
      }
      ok = g.LoadGridValues(values.data(), nodes);
    }
  } else if (kind == 3) {
    const QString filePath = ExistingFile(text);
    ok = g.LoadGridFile(filePath, error);
    // "Save como..." exports the file's surface from this window.
    if (ok) setProperty("archivoSuperficie", filePath);
  }
  g.Batch(false);
  return ok;
}

void frmChart3D::BarraGraf3D_ButtonClick(const QString& key) {
  Chart3D& g = *grafico_;
  if (key == "etiquetas") {
    // The labels alone: the kind of view stays as it is.
    QAction* button = toolbar_->findChild<QAction*>("etiquetas");
    g.ContourLabels(!g.ContourLabelsOn());
    button->setChecked(g.ContourLabelsOn());
    return;
  }
  g.Batch(true);
  g.ChartType(0);
  g.ContourMode(0);
  if (key == "vista1") {
    g.SurfaceSwitches(true, true);
    g.ContourProjection(false, false);
  } else if (key == "vista2") {
    g.SurfaceSwitches(true, true);
    g.ContourProjection(true, true);
  } else if (key == "vista3") {
    g.SurfaceSwitches(false, false);
  } else if (key == "vista4") {
    g.ContourMode(1);
    g.SurfaceSwitches(false, false);
  } else if (key == "vista5") {
    g.ChartType(1);
    g.SurfaceSwitches(true, true);
    g.ContourProjection(false, false);
  } else if (key == "solida") {
    g.SolidSurface(toolbar_->findChild<QAction*>("solida")->isChecked());
  }
  g.Batch(false);
}

void frmChart3D::Grafico_ViewChanged(double& elevation, double& second, double& rotation) {
  second = 0;
  elevation = std::clamp(elevation, 0.0, 90.0);
  while (rotation < 0) rotation += 360;
  while (rotation >= 360) rotation -= 360;
  // The 45° sector and the 15° band the view lies in (nearest, ties to even,
  // of angle / step − 0.4999). A rotation just below 360 lands on 8, one past
  // the list: that is the sector of "Sur" again.
  int view = static_cast<int>(std::nearbyint(rotation / 45 - 0.4999));
  if (view >= 8) view = 0;
  const int band = std::clamp(static_cast<int>(std::nearbyint(elevation / 15 - 0.4999)), 0, 6);
  // The view always lands on the lists' angles, even when the items stay
  // the same, so that lists and view agree.
  {
    const QSignalBlocker b1(comboVista_), b2(comboElevacion_);
    comboVista_->setCurrentIndex(std::max(view, 0));
    comboElevacion_->setCurrentIndex(band);
  }
  applyView();
}

void frmChart3D::contextMenuEvent(QContextMenuEvent* event) { showContextMenu(event->globalPos()); }

void frmChart3D::showContextMenu(const QPoint& global) {
  QMenu menu(this);
  menu.addAction(tr("Exportar imagen..."), this, [this] {
    ExportImage(this, [this](const QString& path, QString* error) { return grafico_->ExportPicture(path, error); });
  });
  menu.exec(global);
}

}  // namespace sorvan::gui
