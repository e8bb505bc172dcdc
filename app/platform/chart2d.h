#pragma once
// Chart2D: the 2-D chart control of the program, over Qt Charts. It offers the
// operations the semivariogram window relies on and nothing more. Series and
// points are numbered from 1; every data series lives in chart group 1.
//
// Drawing: each series is a polyline and/or a set of symbols (SeriesStyle);
// points whose Y equals the file's hole value are left out. X and Y axes get
// titles and "nice" limits that include every point of every series.
//
// Batching: while Batch(true) is in force nothing is redrawn; Batch(false)
// rebuilds the picture once. Without batching every change redraws at once.
#include <QString>
#include <QWidget>
#include <deque>
#include <vector>

class QChart;
class QChartView;
class QGraphicsItem;

namespace sorvan::platform {

// A text attached to a data point (AddLabel). AttachMethod 2 places it at point
// `Point` of series `series` (1-based), centred `Offset` pixels above the point
// and above the height of a tick mark, so that it clears marks standing on the
// axis. A label that would overlap one drawn before it is left out.
struct ChartLabel {
  QString Text;
  int AttachMethod = 2;
  struct {
    int series = 1;
    int Point = 1;
  } AttachDataIndex;
  int Offset = 0;
};

class Chart2D : public QWidget {
  Q_OBJECT
public:
  explicit Chart2D(QWidget* parent = nullptr);
  ~Chart2D() override;

  void Batch(bool on);
  bool Batching() const { return batch_ > 0; }
  // Places the chart in its parent's coordinates (pixels).
  void Move(int left, int top, int width, int height);
  void Visible(bool on);

  // Replaces every series with those of a "GENERAL" data file. On failure the
  // chart keeps its previous data, returns false and sets `error` to a message
  // naming the file.
  bool LoadDataFile(const QString& path, QString* error = nullptr);

  int SeriesCount() const { return static_cast<int>(series_.size()); }
  void SetSeriesCount(int n);  // raising it adds empty series
  int PointCount(int s) const;
  void SetPointCount(int s, int n);  // new points start at (0, 0)
  double X(int s, int p) const;
  double Y(int s, int p) const;
  void SetX(int s, int p, double v);
  void SetY(int s, int p, double v);
  double HoleValue() const { return hole_; }

  // Legend: a title above the entries and one text per series. A series with
  // an empty label has no legend entry. Labels belong to the series number
  // and survive LoadDataFile, as the styles do.
  void LegendTitle(const QString& text);
  QString LegendTitleText() const { return legendTitle_; }
  void SeriesLabel(int s, const QString& text);
  QString SeriesLabelText(int s) const;

  // Line codes: 0 solid, 1 dashed, 2 dotted, 3 dash-dot, 4 no line.
  // Symbol codes: 0 none, 1 circle, 2 square, 3 diamond, 4 triangle,
  // 5 vertical tick mark (a short stroke standing on the point).
  // Styles belong to the series number and survive LoadDataFile.
  void SeriesStyle(int s, int lineCode, int symbolCode);
  int LineCode(int s) const;
  int SymbolCode(int s) const;

  // false hides the vertical grid lines of the X axis, so that marks standing
  // on the axis read clearly; true shows them again.
  void XAxisSwitch(bool on);
  bool XAxisSwitchOn() const { return xGrid_; }

  // Axis titles (design-time texts of the window).
  void AxisTitles(const QString& xTitle, const QString& yTitle);

  // A new label, shown from the next redraw. The reference stays valid for
  // the chart's lifetime (labels are only added, never removed but by a load).
  ChartLabel& AddLabel();
  int LabelCount() const { return static_cast<int>(labels_.size()); }
  const ChartLabel& Label(int k) const { return labels_[static_cast<std::size_t>(k - 1)]; }

  // Per-series display code. 3: normal drawing. 4: the series is emphasised
  // (drawn on top, thicker, larger symbols) and any other emphasised series
  // returns to normal, so at most one series stands out at a time.
  void SeriesDisplayCode(int s, int code);
  int DisplayCode(int s) const;

  // The picture as the window shows it, at the chart's size.
  QImage Picture();
  // Writes the picture to `path`: ".png" (or any raster format Qt knows) or
  // ".pdf" or ".svg" (vector), whole or not at all. Returns false if the
  // file cannot be written, with `error` naming the file and the cause.
  bool ExportPicture(const QString& path, QString* error = nullptr);

signals:
  // The user pressed the left mouse button on the plot.
  void ChartClicked();

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  struct Series {
    std::vector<double> x, y;
  };
  struct Style {
    int line = 0, symbol = 0, display = 3;
  };
  Series& series(int s);
  const Series& series(int s) const;
  Style& style(int s);
  Style styleOf(int s) const;
  void changed();
  void rebuild();
  void placeOverlay();
  int xSegmentsThatFit() const;

  std::vector<Series> series_;
  std::vector<Style> styles_;
  std::vector<QString> seriesLabels_;
  std::deque<ChartLabel> labels_;
  double hole_ = -1.0;
  QString legendTitle_;
  QString xTitle_, yTitle_;
  bool xGrid_ = true;
  int batch_ = 0;
  bool dirty_ = false;
  int xSegmentCap_ = 0;  // the X step count the axis was last built for

  QChart* chart_ = nullptr;
  QChartView* view_ = nullptr;
  std::vector<QGraphicsItem*> overlay_;
};

}  // namespace sorvan::platform
