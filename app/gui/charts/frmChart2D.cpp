#include "gui/charts/frmChart2D.h"

#include "gui/charts/image_export.h"
#include "gui/charts/file_path.h"
#include "platform/chart2d.h"
#include "platform/chart_files.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <cmath>

namespace sorvan::gui {
using namespace sorvan::platform;

namespace {
constexpr int kMargin = 25;  // chart margin on every side
}

frmChart2D::frmChart2D(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setMinimumSize(200, 160);
  resize(620, 460);
  grafico_ = new Chart2D(this);
  // Design-time look: the estimator as dots, the fitted model as a line,
  // series 3 (carrier of the pair counts) invisible, series 4 (class limits)
  // as tick marks standing on the X axis.
  grafico_->Batch(true);
  grafico_->AxisTitles(tr("Distancia (h)"), tr("Semivarianza γ(h)"));
  grafico_->LegendTitle(tr("Semivariograma"));
  grafico_->SeriesLabel(1, tr("Estimador"));
  grafico_->SeriesLabel(2, tr("Modelo ajustado"));
  grafico_->SeriesStyle(1, 4, 1);
  grafico_->SeriesStyle(2, 0, 0);
  grafico_->SeriesStyle(3, 4, 0);
  grafico_->SeriesStyle(4, 4, 5);
  grafico_->SetSeriesCount(0);
  grafico_->Batch(false);
  connect(grafico_, &Chart2D::ChartClicked, this, &frmChart2D::Grafico_ChartClicked);
  Form_Resize();
}

void frmChart2D::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Form_Resize();
}

// A window too small for the margins keeps the chart where it was.
void frmChart2D::Form_Resize() {
  const int w = width() - 2 * kMargin, h = height() - 2 * kMargin;
  if (w > 0 && h > 0) grafico_->Move(kMargin, kMargin, w, h);
}

QString frmChart2D::Companion(const QString& path) {
  const QFileInfo info(path);
  const QString fmt = ExistingFile(info.absoluteDir().filePath(info.completeBaseName() + ".fmt"));
  return QFileInfo(fmt).isFile() ? fmt : QString();
}

bool frmChart2D::Load(const QString& path, QString* error, QString* warning) {
  Chart2D& g = *grafico_;
  g.Batch(true);
  if (!g.LoadDataFile(ExistingFile(path), error)) {
    g.Batch(false);
    return false;
  }
  const QString fmt = Companion(ExistingFile(path));
  if (!fmt.isEmpty() && !note(fmt) && warning)
    *warning = tr("El fichero de anotaciones %1 está incompleto o dañado; el gráfico se muestra sin todas sus "
                "anotaciones.")
                 .arg(QDir::toNativeSeparators(fmt));
  g.Batch(false);
  return true;
}

// The companion file: kind, pair counts, class limits, as one stream of
// numbers. Returns false where it stops short of its own counts.
bool frmChart2D::note(const QString& fmtPath) {
  Chart2D& g = *grafico_;
  QFile file(fmtPath);
  if (!file.open(QIODevice::ReadOnly)) return false;
  bool completeOne = false;
  const std::vector<double> numbers = ReadNumberStream(file.readAll(), &completeOne);
  file.close();
  std::size_t at = 0;
  auto hay = [&] { return at < numbers.size(); };
  auto integer = [&](int* v) {
    if (!hay() || numbers[at] != std::floor(numbers[at]) || numbers[at] < 0 || numbers[at] > 100000) return false;
    *v = static_cast<int>(numbers[at++]);
    return true;
  };

  int kind = 0;
  if (!integer(&kind)) return false;
  if (kind == 1) {
    g.LegendTitle(tr("Estimadores"));
    g.SeriesLabel(1, tr("Clásico"));
    g.SeriesLabel(2, tr("Robusto"));
    g.SeriesStyle(2, 4, 4);
  }
  g.Batch(false);
  g.XAxisSwitch(false);
  g.Batch(true);

  // Series 3: a baseline under series 1 that carries the pair counts.
  g.SetSeriesCount(3);
  const int n = g.PointCount(1);
  g.SetPointCount(3, n);
  for (int p = 1; p <= n; ++p) {
    g.SetX(3, p, g.X(1, p));
    g.SetY(3, p, 0.0);
  }
  int k = 0;
  if (!integer(&k)) return false;
  for (int i = 1; i <= k; ++i) {
    if (!hay()) return false;
    const float c = static_cast<float>(numbers[at++]);
    ChartLabel& label = g.AddLabel();
    // Plain decimal; whole numbers (the pair counts) without decimals.
    label.Text = (c == std::floor(c) && std::abs(c) < 1e15f) ? QString::number(static_cast<qint64>(c))
                                                              : QString::number(static_cast<double>(c), 'g', 7);
    label.AttachMethod = 2;
    label.AttachDataIndex.series = 3;
    label.AttachDataIndex.Point = i;
    label.Offset = 4;
    // A class without pairs has no estimate: its zeros are not drawn.
    if (c == 0)
      for (int series = 1; series <= (kind == 1 ? 2 : 1) && series <= g.SeriesCount(); ++series)
        if (i <= g.PointCount(series) && g.Y(series, i) == 0.0) g.SetY(series, i, g.HoleValue());
  }

  // Series 4: the class limits, marked on the X axis.
  int m = 0;
  if (!integer(&m)) return false;
  g.SetSeriesCount(4);
  g.SetPointCount(4, m);
  for (int i = 1; i <= m; ++i) {
    if (!hay()) {
      g.SetPointCount(4, i - 1);
      return false;
    }
    g.SetX(4, i, static_cast<float>(numbers[at++]));
    g.SetY(4, i, 0.0);
  }
  return true;
}

void frmChart2D::Grafico_ChartClicked() {
  const int series = alternate_ ? 1 : 2;
  grafico_->SeriesDisplayCode(series, 3);
  grafico_->SeriesDisplayCode(series, 4);
  alternate_ = !alternate_;
}

void frmChart2D::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(tr("Exportar imagen..."), this, [this] {
    ExportImage(this, [this](const QString& path, QString* error) { return grafico_->ExportPicture(path, error); });
  });
  menu.exec(event->globalPos());
}

}  // namespace sorvan::gui
