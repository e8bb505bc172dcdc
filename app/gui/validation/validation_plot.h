#pragma once
// A small chart for the validation and model windows: points (each with its
// colour), bars, a curve and optionally the 1:1 line, on axes fitted to all
// of them, with a title and the axis names.
#include <QColor>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <vector>

namespace sorvan::gui {

class ValidationPlot : public QWidget {
 public:
  struct Point {
    QPointF at;
    QColor colour;
  };
  struct Bar {
    double from, to, height;
  };

  explicit ValidationPlot(QWidget* parent = nullptr);

  void SetTitles(const QString& title, const QString& xName, const QString& yName);
  void SetPoints(std::vector<Point> points);
  void SetBars(std::vector<Bar> bars);
  void SetCurve(std::vector<QPointF> curve);
  void SetDiagonal(bool shown);       // the 1:1 line
  void SetEqualScales(bool equal);    // one unit the same length along both axes (maps)
  void SetYFromZero(bool fromZero);   // the Y axis starts at 0 (semivariograms, histograms)
  void SetXFromZero(bool fromZero);   // the X axis starts at 0 (distances)

  // The data extent shown: [xMin, xMax] x [yMin, yMax].
  QRectF Extent() const;
  // The labelled ticks of the X (Qt::Horizontal) or Y axis at the present
  // size: round values (1, 2, 2.5 or 5 times a power of ten apart), the
  // first and last at the axis' ends, which enclose Extent().
  std::vector<double> Ticks(Qt::Orientation axis) const;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  struct Axes {
    QRectF area;                  // the plotting area, in pixels
    QRectF range;                 // the axes' ends: Extent() out to round values
    std::vector<double> xTicks, yTicks;
  };
  // Where everything goes at the present size and font.
  Axes axes() const;

  QString title_, xName_, yName_;
  std::vector<Point> points_;
  std::vector<Bar> bars_;
  std::vector<QPointF> curve_;
  bool diagonal_ = false, equalScales_ = false, yFromZero_ = false, xFromZero_ = false;
};

// Blue for negative, red for positive values, paler towards zero, against
// the largest absolute value `largest`.
QColor DivergingColour(double value, double largest);

}  // namespace sorvan::gui
