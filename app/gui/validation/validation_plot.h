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

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
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
